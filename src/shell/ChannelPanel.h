#pragma once
// One channel's panel in the player area: status line, list and file labels, two level gauges,
// progress and volume bars, and the play, stop and open buttons.

#include "PlayerThread.h"

#include <QGroupBox>
#include <QPushButton>

class QLabel;
class QMenu;
class QSlider;

namespace tessora {

class TLEDGauge;

// The open button: a mouse press shows the open menu, Space or Enter asks for a list file.
class TMenuButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    QMenu* OpenMenu = nullptr;
signals:
    void menuShown();    // the open menu is about to show
    void openClicked();  // the keyboard's click
protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class TChannelPanel : public QGroupBox, public ChannelPanelView {
    Q_OBJECT
public:
    TChannelPanel(int index, const QString& title, int32_t volume, QWidget* parent);

    int Index() const { return index_; }

    void SetCaption(const QString& text) override;
    void SetListLabel(const QString& text) override;
    void SetFileLabel(const QString& text) override;
    void SetGauges(int left, int right) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;
    // From any press on the progress bar (its handle or its groove) until the release.
    bool ProgressDragging() const override { return dragging_; }

    QLabel* tListFile;
    QLabel* tCurFile;
    TLEDGauge* LeftG;
    TLEDGauge* RightG;
    QSlider* tProgress;
    QSlider* tVolume;
    QPushButton* tPlay;
    QPushButton* tStop;
    TMenuButton* tMenuBtn;

signals:
    void entered(int index);  // the panel or any of its controls got the focus or was clicked
    // The operator moved the progress bar to `ms` (never the player's own moves).
    void seekRequested(int ms);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ProgressMouse(QEvent* event);

    int index_;
    bool dragging_ = false;
};

}  // namespace tessora
