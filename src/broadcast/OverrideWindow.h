#pragma once
// What the all-call and alarm windows share: the channels they hold, the panel of check boxes,
// the play button that pauses or resumes the held channels, and "退出". However the window
// closes (退出, Escape, the close button), every held channel is given back.

#include "ChannelChecks.h"
#include "OverrideSession.h"

#include <QDialog>

class QPushButton;

namespace tessora {

class TOverrideWindow : public QDialog {
    Q_OBJECT
public:
    TChannelChecks* Checks() const { return checks_; }
    const TOverrideSession& Session() const { return session_; }

    // Pauses or resumes the held channels.
    void tPlayClick();
    // The play button follows the held channels at every moment: what it shows is what a press
    // undoes. Run after every command and by a timer, for changes made elsewhere.
    void ShowButtons();

    QPushButton* tPlay;
    QPushButton* btnExit;

protected:
    // `bottom`: the top of the row of buttons.
    TOverrideWindow(TBroadcastChannels& channels, const QString& file, TOverrideKind kind, const QString& title,
                    int bottom, QWidget* parent);

    // Once, at the first show.
    virtual void FormShow() = 0;
    // Before the channels are given back.
    virtual void FormClose() {}

    void showEvent(QShowEvent* event) override;
    void done(int result) override;

    TOverrideSession session_;
    TChannelChecks* checks_;

private:
    bool shown_ = false;
};

}  // namespace tessora
