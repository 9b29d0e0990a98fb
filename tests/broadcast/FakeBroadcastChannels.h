#pragma once
// Channels as the override windows see them, recording every command they are given.

#include "BroadcastChannels.h"
#include "ChannelFile.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tessora::test {

class FakeBroadcastChannels : public TBroadcastChannels {
public:
    struct Channel {
        QString title;
        uint8_t state = PlayOn;
        bool taken = false;
        QString file;
        bool loop = false;
        QString holder;
    };

    explicit FakeBroadcastChannels(int count, uint8_t state = PlayOn) {
        for (int i = 0; i < count; ++i) {
            Channel channel;
            channel.title = QStringLiteral("通道%1").arg(i + 1);
            channel.state = state;
            channels.push_back(channel);
        }
    }

    int ChannelCount() const override { return int(channels.size()); }
    QString ChannelTitle(int index) const override { return channels[size_t(index)].title; }
    uint8_t ChannelPlayState(int index) const override { return channels[size_t(index)].state; }
    void SetChannelPlayState(int index, uint8_t state) override {
        channels[size_t(index)].state = state;
        log << QStringLiteral("state %1 %2").arg(index).arg(state);
    }
    void TakeOver(int index, const QString& file, bool loop, const QString& holder) override {
        channels[size_t(index)].holder = holder;
        Channel& c = channels[size_t(index)];
        c.taken = true;
        c.file = file;
        c.loop = loop;
        log << QStringLiteral("take %1 %2 %3").arg(index).arg(file).arg(loop ? "loop" : "once");
    }
    void SetOverrideFile(int index, const QString& file) override {
        channels[size_t(index)].file = file;
        log << QStringLiteral("file %1 %2").arg(index).arg(file);
    }
    void SetLoop(int index, bool loop) override {
        channels[size_t(index)].loop = loop;
        log << QStringLiteral("loop %1 %2").arg(index).arg(loop ? "on" : "off");
    }
    void GiveBack(int index) override {
        Channel& c = channels[size_t(index)];
        c.taken = false;
        c.file.clear();
        c.loop = false;
        log << QStringLiteral("give %1").arg(index);
    }

    std::vector<Channel> channels;
    QStringList log;
};

}  // namespace tessora::test
