#include "OverrideWindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

namespace tessora {

namespace {

constexpr int kMargin = 10;
constexpr int kButtonHeight = 25;
// How soon the play button follows a channel paused or played from elsewhere.
constexpr int kButtonRefreshMs = 250;

}  // namespace

TOverrideWindow::TOverrideWindow(TBroadcastChannels& channels, const QString& file, TOverrideKind kind,
                                 const QString& title, int bottom, QWidget* parent)
    : QDialog(parent), session_(channels, file, kind) {
    setWindowTitle(title);
    setFixedSize(TChannelChecks::kWidth + 2 * kMargin, bottom + kButtonHeight + kMargin);
    checks_ = new TChannelChecks(session_, channels, this);
    checks_->move(kMargin, kMargin);
    tPlay = new QPushButton(this);
    tPlay->setGeometry(kMargin, bottom, 40, kButtonHeight);
    btnExit = new QPushButton(QStringLiteral("退出"), this);
    btnExit->setGeometry(width() - kMargin - 80, bottom, 80, kButtonHeight);
    for (QPushButton* button : {tPlay, btnExit}) button->setAutoDefault(false);
    connect(tPlay, &QPushButton::clicked, this, &TOverrideWindow::tPlayClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    ShowButtons();
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &TOverrideWindow::ShowButtons);
    refresh->start(kButtonRefreshMs);
}

void TOverrideWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
    for (int i = 0; i < checks_->BoxCount(); ++i)
        connect(checks_->Box(i), &QCheckBox::toggled, this, &TOverrideWindow::ShowButtons);
    ShowButtons();
}

void TOverrideWindow::done(int result) {
    FormClose();
    session_.GiveBackAll();
    QDialog::done(result);
}

void TOverrideWindow::tPlayClick() {
    session_.TogglePlay();
    ShowButtons();
}

void TOverrideWindow::ShowButtons() { ShowPlayState(*tPlay, session_.AnyPlaying()); }

}  // namespace tessora
