#pragma once
// The lock window: small and always on top, it holds keyboard and pointer until the
// administrator password or the fixed unlock code is typed. The main window stays visible behind
// it, its clock and channels running.

#include "ScreenGrab.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLineEdit;
class QTimer;

namespace tessora {

inline const QString kUnlockCode = QStringLiteral("50417382");

class TForm5 : public QDialog {
    Q_OBJECT
public:
    // `adminPassword` is asked at every Enter, so a password changed in the settings counts at once.
    TForm5(std::function<QString()> adminPassword, std::unique_ptr<ScreenGrab> grab, QWidget* parent = nullptr);
    ~TForm5() override;

    QLineEdit* Edit1 = nullptr;

    // Whether keyboard and pointer are held (false for a moment after showing, while the display
    // refuses the grab, and after unlocking).
    bool Grabbed() const { return grabbed_; }

    // Neither Esc nor a close request from the window manager lifts the lock.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void TryGrab();
    // Enter in the password box.
    void TryUnlock();
    void FormClose();

    std::function<QString()> adminPassword_;
    std::unique_ptr<ScreenGrab> grab_;
    QTimer* grabRetry_ = nullptr;
    bool grabbed_ = false;
    bool unlocking_ = false;
};

}  // namespace tessora
