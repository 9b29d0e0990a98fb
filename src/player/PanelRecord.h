#pragma once
// A channel's panel as last written: passes every write on to the window's panel (if any) and
// keeps the texts and levels, so that readers without a window (the HTTP server) see exactly
// what the operator sees, written by the player alone.

#include "PlayerThread.h"

#include <QString>

namespace tessora {

struct PanelTexts {
    QString Caption;
    QString ListLabel;
    QString FileLabel;
    int Left = 0, Right = 0;  // the level gauges, 0..100
};

class TPanelRecord : public ChannelPanelView {
public:
    // `shown` may be null: a channel without a window keeps its texts all the same.
    explicit TPanelRecord(ChannelPanelView* shown) : shown_(shown) {}

    const PanelTexts& Texts() const { return texts_; }

    void SetCaption(const QString& text) override {
        texts_.Caption = text;
        if (shown_) shown_->SetCaption(text);
    }
    void SetListLabel(const QString& text) override {
        texts_.ListLabel = text;
        if (shown_) shown_->SetListLabel(text);
    }
    void SetFileLabel(const QString& text) override {
        texts_.FileLabel = text;
        if (shown_) shown_->SetFileLabel(text);
    }
    void SetGauges(int left, int right) override {
        texts_.Left = left;
        texts_.Right = right;
        if (shown_) shown_->SetGauges(left, right);
    }
    void SetProgressRange(int minimum, int maximum) override {
        if (shown_) shown_->SetProgressRange(minimum, maximum);
    }
    void SetProgressValue(int value) override {
        if (shown_) shown_->SetProgressValue(value);
    }
    bool ProgressDragging() const override { return shown_ && shown_->ProgressDragging(); }

private:
    ChannelPanelView* shown_;
    PanelTexts texts_;
};

}  // namespace tessora
