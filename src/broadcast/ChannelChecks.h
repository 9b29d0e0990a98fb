#pragma once
// The panel of the override windows: one check box per channel, captioned with its title. Checking
// a box takes its channel over, unchecking gives it back (the windows' SetMainPlayer).

#include "OverrideSession.h"

#include <QPoint>
#include <QScrollArea>

#include <vector>

class QCheckBox;
class QPushButton;

namespace tessora {

// Where box `index` stands in the panel: four to a row, 120 pixels apart across and 25 down, the
// first at (10, 10), so that four rows (sixteen channels) show whole in the 465 × 113 panel and
// more rows are reached by scrolling.
QPoint CheckBoxPlace(int index);

class TChannelChecks : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kWidth = 465;
    static constexpr int kHeight = 113;
    static constexpr int kBoxWidth = 80;
    static constexpr int kBoxHeight = 25;

    TChannelChecks(TOverrideSession& session, TBroadcastChannels& channels, QWidget* parent);

    // Creates the boxes, unchecked; `checked` checks each as it is created, taking its channel.
    void CreateBoxes(bool checked);
    QCheckBox* Box(int index) const;
    int BoxCount() const { return int(boxes_.size()); }

private:
    TOverrideSession& session_;
    TBroadcastChannels& channels_;
    std::vector<QCheckBox*> boxes_;
};

// The play button as the taken channels stand: "||" with "暂停播放" while one of them plays (a
// press pauses it), ">" with "恢复播放" while none does (a press plays them).
void ShowPlayState(QPushButton& button, bool playing);

}  // namespace tessora
