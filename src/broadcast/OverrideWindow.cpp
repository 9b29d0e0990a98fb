#include "OverrideWindow.h"

#include <QPushButton>

namespace tessora {

namespace {

constexpr int kMargin = 10;
constexpr int kButtonHeight = 25;

}  // namespace

TOverrideWindow::TOverrideWindow(TBroadcastChannels& channels, const QString& file, TOverrideKind kind,
                                 const QString& title, const QString& playCaption, int bottom, QWidget* parent)
    : QDialog(parent), session_(channels, file, kind) {
    setWindowTitle(title);
    setFixedSize(TChannelChecks::kWidth + 2 * kMargin, bottom + kButtonHeight + kMargin);
    checks_ = new TChannelChecks(session_, channels, this);
    checks_->move(kMargin, kMargin);
    tPlay = new QPushButton(playCaption, this);
    tPlay->setGeometry(kMargin, bottom, 40, kButtonHeight);
    btnExit = new QPushButton(QStringLiteral("退出"), this);
    btnExit->setGeometry(width() - kMargin - 80, bottom, 80, kButtonHeight);
    for (QPushButton* button : {tPlay, btnExit}) button->setAutoDefault(false);
    connect(tPlay, &QPushButton::clicked, this, &TOverrideWindow::tPlayClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
}

void TOverrideWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TOverrideWindow::done(int result) {
    FormClose();
    session_.GiveBackAll();
    QDialog::done(result);
}

void TOverrideWindow::tPlayClick() {
    if (const std::optional<uint8_t> state = session_.TogglePlay()) ShowPlayOutcome(*tPlay, *state);
}

}  // namespace tessora
