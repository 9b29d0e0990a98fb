#pragma once
// Ties one channel panel to its channel in the station: the panel's buttons and bars become the
// station's commands, and the panel's buttons and volume bar are drawn from the channel's state.
// The player writes the rest of the panel (captions, labels, gauges, progress) itself.

#include <QObject>

namespace tessora {

class TChannelPanel;
class TStation;

class TChannelPanelBinder : public QObject {
    Q_OBJECT
public:
    // Lives as long as the panel, its parent.
    TChannelPanelBinder(TStation& station, TChannelPanel* panel);

    // Draws the play button (caption and hint) and the volume bar from the channel.
    void Redraw();

private:
    TStation& station_;
    TChannelPanel* panel_;
};

}  // namespace tessora
