#include "ChannelPanelBinder.h"

#include "ChannelPanel.h"
#include "Station.h"

#include <QSignalBlocker>
#include <QSlider>

namespace tessora {

TChannelPanelBinder::TChannelPanelBinder(TStation& station, TChannelPanel* panel)
    : QObject(panel), station_(station), panel_(panel) {
    const int index = panel->Index();
    connect(panel->tPlay, &QPushButton::clicked, this, [this, index] { station_.PlayOrPause(index); });
    connect(panel->tStop, &QPushButton::clicked, this, [this, index] { station_.Stop(index); });
    connect(panel->tVolume, &QSlider::valueChanged, this, [this, index](int value) { station_.SetVolume(index, value - 10000); });
    connect(panel, &TChannelPanel::seekRequested, this, [this, index](int ms) { station_.Seek(index, uint32_t(std::max(0, ms))); });
    connect(&station, &TStation::ChannelChanged, this, [this, index](int changed) {
        if (changed == index) Redraw();
    });
    Redraw();
}

void TChannelPanelBinder::Redraw() {
    const TListPlayer* channel = station_.Channel(panel_->Index());
    if (!channel) return;
    const bool playing = channel->PlayState == PlayOn;
    panel_->tPlay->setText(playing ? QStringLiteral("||") : QStringLiteral(">"));
    panel_->tPlay->setToolTip(playing ? QStringLiteral("暂停播放") : QStringLiteral("恢复播放"));
    const QSignalBlocker quiet(panel_->tVolume);
    panel_->tVolume->setValue(channel->Volume + 10000);
}

}  // namespace tessora
