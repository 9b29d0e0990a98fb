#include "Unit5.h"

#include "LockKeys.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace tessora {

namespace {
// How often a refused grab is tried again while the lock is up.
constexpr int kGrabRetryMs = 100;
}  // namespace

TForm5::TForm5(std::function<QString()> adminPassword, std::unique_ptr<ScreenGrab> grab, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      adminPassword_(std::move(adminPassword)),
      grab_(std::move(grab)) {
    setObjectName("Form5");
    setWindowTitle("请输入系统密码");
    setFixedSize(349, 130);
    auto* label = new QLabel("请输入密码", this);
    label->move(56, 48);
    label->adjustSize();
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(144, 48, 121, 21);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setAttribute(Qt::WA_InputMethodEnabled, false);
    // A context menu would take the pointer and keyboard from the lock.
    Edit1->setContextMenuPolicy(Qt::NoContextMenu);
    Edit1->installEventFilter(this);
    installEventFilter(this);

    grabRetry_ = new QTimer(this);
    grabRetry_->setInterval(kGrabRetryMs);
    connect(grabRetry_, &QTimer::timeout, this, &TForm5::TryGrab);
}

TForm5::~TForm5() { grab_->Release(); }

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm5::FormShow() {
    unlocking_ = false;
    Edit1->setFocus();
    activateWindow();
    // The display takes the grab only once the window is on screen.
    grabRetry_->start();
    TryGrab();
}

void TForm5::TryGrab() {
    if (!isVisible()) return;
    grabbed_ = grab_->Grab(this, Edit1);
    if (grabbed_) grabRetry_->stop();
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (LockDiscardsKey(key->key(), key->modifiers())) return true;
        if (type == QEvent::KeyPress && watched == Edit1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            TryUnlock();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::TryUnlock() {
    const QString typed = Edit1->text();
    // A wrong code changes nothing: no message, no count, and the typed text stays.
    if (typed != adminPassword_() && typed != kUnlockCode) return;
    FormClose();
    unlocking_ = true;
    accept();
}

void TForm5::FormClose() {
    grabRetry_->stop();
    grab_->Release();
    grabbed_ = false;
    Edit1->clear();
}

void TForm5::closeEvent(QCloseEvent* event) {
    if (unlocking_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
}

}  // namespace tessora
