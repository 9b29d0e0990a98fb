#include "PlayerTestSupport.h"

#include "DateTimeValue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace tessora::test {

void FakePanel::SetCaption(const QString& text) {
    caption = text;
    ++captionWrites;
    writerThread = std::this_thread::get_id();
}

void FakeChannel::Log(const QString& what, const QString& file) { events.push_back({clockMs, what, file, position_}); }

void FakeChannel::Close() {
    fileName_.clear();
    state_ = Stopped;
    ended_ = false;
    heldEnds = 0;  // a notice of the file closed is no news for the next one
    position_ = 0;
    loop_ = false;
    volume_ = 0;
}

void FakeChannel::Open(const QString& fileName) {
    Close();
    opening_.clear();  // abandons a pending open
    openDone_ = nullptr;
    if (fileName.isEmpty()) {
        Log("Open", fileName);
        return;
    }
    ++attempts[fileName];
    if (missing.contains(fileName)) throw std::runtime_error("File not found");
    if (unreadable.contains(fileName)) throw std::runtime_error("Unsupported file format.");
    file_ = files.value(fileName);
    fileName_ = fileName;
    Log("Open", fileName);
}

void FakeChannel::OpenAsync(const QString& fileName, std::function<void(const TOpenResult&)> done,
                            std::optional<TOpenResult> knownFailure) {
    Open(QString());
    opening_ = fileName;
    openDone_ = std::move(done);
    knownFailure_ = std::move(knownFailure);
    if (!QCoreApplication::instance()) return;
    const uint64_t generation = ++openGeneration_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, generation, alive = std::weak_ptr<bool>(alive_)] {
            if (alive.lock() && generation == openGeneration_) FinishOpen();
        },
        Qt::QueuedConnection);
}

void FakeChannel::FinishOpen(const QString& error) {
    if (opening_.isEmpty() || (holdOpens && error.isEmpty())) return;
    TOpenResult result;
    result.fileName = std::exchange(opening_, QString());
    result.stamp = TFileStamp::Of(result.fileName);
    result.error = error;
    const auto done = std::exchange(openDone_, nullptr);
    if (error.isEmpty()) {
        try {
            if (knownFailure_ && knownFailure_->stamp == result.stamp) throw std::runtime_error(knownFailure_->error.toStdString());
            Open(result.fileName);
        } catch (const std::exception& e) {
            result.error = QString::fromUtf8(e.what());
        }
    }
    if (done) done(result);
}

void FakeChannel::Play() {
    if (fileName_.isEmpty()) throw std::runtime_error("No file opened");
    if (state_ == Playing) return;
    if (noDevice) throw std::runtime_error("No sound driver is available for use.");
    state_ = Playing;
    ended_ = false;
    heldEnds = 0;  // as the mixer channel: the owner has moved on from an earlier end
    Log("Play", fileName_);
}

void FakeChannel::Pause() {
    if (fileName_.isEmpty()) throw std::runtime_error("No file opened");
    if (state_ != Playing) return;
    state_ = Paused;
    Log("Pause", fileName_);
}

void FakeChannel::Stop() {
    if (fileName_.isEmpty()) return;
    state_ = Stopped;
    ended_ = false;
    position_ = 0;
    Log("Stop", fileName_);
}

float FakeChannel::TakeOutputPeak() {
    if (!std::exchange(soundSent, false)) return 0;
    int loudest = 0;
    for (size_t i = 0; i + 1 < sound.size(); i += 2)
        loudest = std::max(loudest, std::abs(int(int16_t(uint16_t(sound[i]) | uint16_t(sound[i + 1]) << 8))));
    return float(loudest) / 32768;
}

void FakeChannel::Advance(uint32_t ms) {
    if (state_ != Playing) return;
    if (ms > 0) soundSent = true;
    position_ += ms;
    if (position_ < file_.length) return;
    if (loop_) {
        position_ %= file_.length;
        return;
    }
    state_ = Stopped;
    ended_ = true;
    position_ = 0;
    Log("End", fileName_);
    if (holdEnds) {
        ++heldEnds;
    } else if (OnEnd) {
        OnEnd();
        FinishOpen();  // the next file, as the event loop would deliver it
    }
}

void FakeChannel::DeliverHeldEnds() {
    for (; heldEnds > 0; --heldEnds) {
        if (OnEnd) OnEnd();
        FinishOpen();  // the next file, as the event loop would deliver it
    }
}

void FakeChannel::FailWhilePlaying(const QString& message) {
    state_ = Stopped;
    position_ = 0;
    Log("Error", fileName_);
    if (OnError) OnError(message);
    FinishOpen();
}

TPlayingData FakeChannel::GetPlayingData(uint32_t offset, uint32_t count) {
    lastAsked = count;
    TPlayingData data;
    if (offset >= sound.size()) return data;
    const uint32_t available = std::min<uint32_t>(count, uint32_t(sound.size()) - offset);
    const uint32_t first = std::min(available, splitAt);
    data.Data1 = sound.data() + offset;
    data.Length1 = first;
    if (available > first) {
        data.Data2 = sound.data() + offset + first;
        data.Length2 = available - first;
    }
    lent = true;
    return data;
}

std::vector<ChannelEvent> FakeChannel::Events(const QString& what) const {
    std::vector<ChannelEvent> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [&](const ChannelEvent& e) { return e.what == what; });
    return found;
}

std::vector<int64_t> FakeChannel::OpensOf(const QString& file) const {
    std::vector<int64_t> times;
    for (const ChannelEvent& e : events)
        if (e.what == "Open" && e.file == file) times.push_back(e.atMs);
    return times;
}

Station::Station(QDate day, int64_t phaseMs) : firstDay(day), clockMs_(phaseMs - kTickMs) {
    player.Title = QStringLiteral("一号");
    player.SetPanel(&panel);
    player.CreateChannel(0, [this](int, int) {
        auto fake = std::make_unique<FakeChannel>();
        channel = fake.get();
        return fake;
    });
    player.CurrentItem.Index = -1;
    player.Clock = [this] { return Moment(); };
}

LocalMoment Station::Moment() const {
    LocalMoment moment;
    moment.date = firstDay.addDays(clockMs_ / kMsPerDayInt);
    moment.timeOfDay = double(clockMs_ % kMsPerDayInt) / kMsPerDay;
    return moment;
}

void Station::SetDayList(std::vector<PlayItem> items, const QString& file) {
    player.DayList.Items = std::move(items);
    player.DayListFile = file;
    player.CurrentItem.Index = -1;
}

PlayItem Item(int index, const QString& title, int64_t startMs, int64_t endMs, const QString& source, uint8_t kind,
              uint8_t loop, int32_t playOrder) {
    PlayItem item;
    item.Index = index;
    item.Title = title;
    item.StartTime = double(startMs) / kMsPerDay;
    item.EndTime = double(endMs) / kMsPerDay;
    item.Source = source;
    item.Kind = kind;
    item.Loop = loop;
    item.PlayOrder = playOrder;
    return item;
}

}  // namespace tessora::test
