#include "ChannelChecks.h"

#include <QCheckBox>
#include <QPushButton>

namespace tessora {

namespace {

constexpr int kColumns = 4;
constexpr int kFirstX = 10;
constexpr int kFirstY = 10;
constexpr int kStepX = 120;
constexpr int kStepY = 25;

}  // namespace

QPoint CheckBoxPlace(int index) { return {kFirstX + kStepX * (index % kColumns), kFirstY + kStepY * (index / kColumns)}; }

TChannelChecks::TChannelChecks(TOverrideSession& session, TBroadcastChannels& channels, QWidget* parent)
    : QScrollArea(parent), session_(session), channels_(channels) {
    setFixedSize(kWidth, kHeight);
    // Without a frame four rows of boxes fit the panel whole.
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    auto* inside = new QWidget;
    inside->setObjectName("checksInside");
    setWidget(inside);
}

void TChannelChecks::CreateBoxes(bool checked) {
    QWidget* inside = widget();
    const int count = channels_.ChannelCount();
    const int lastBottom = count > 0 ? CheckBoxPlace(count - 1).y() + kBoxHeight : 0;
    inside->resize(kWidth, std::max(kHeight, lastBottom));
    for (int i = 0; i < count; ++i) {
        auto* box = new QCheckBox(channels_.ChannelTitle(i), inside);
        box->setGeometry(QRect(CheckBoxPlace(i), QSize(kBoxWidth, kBoxHeight)));
        box->setToolTip(channels_.ChannelTitle(i));  // a long title is cut in the box
        connect(box, &QCheckBox::toggled, this, [this, i](bool on) { session_.SetTaken(i, on); });
        boxes_.push_back(box);
        box->show();
        if (checked) box->setChecked(true);
    }
}

QCheckBox* TChannelChecks::Box(int index) const {
    return index >= 0 && index < BoxCount() ? boxes_[size_t(index)] : nullptr;
}

void ShowPlayState(QPushButton& button, bool playing) {
    button.setText(playing ? QStringLiteral("||") : QStringLiteral(">"));
    button.setToolTip(playing ? QStringLiteral("暂停播放") : QStringLiteral("恢复播放"));
}

}  // namespace tessora
