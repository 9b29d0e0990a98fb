#pragma once
// Fakes and a simulated clock for the channel player: a panel that records what it is shown,
// a sound channel that plays in simulated time, and a station that steps both tick by tick.

#include "PlayerThread.h"
#include "SettingsStore.h"
#include "SoundMixer.h"
#include "TempFolder.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <thread>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace tessora::test {

// A password store that holds no password and takes any.
class NoPasswords : public PasswordStore {
public:
    std::optional<QString> Read() override { return QString(); }
    bool Write(const QString&) override { return true; }
};

class FakePanel : public ChannelPanelView {
public:
    void SetCaption(const QString& text) override;
    void SetListLabel(const QString& text) override { listLabel = text; }
    void SetFileLabel(const QString& text) override { fileLabel = text; }
    void SetGauges(int l, int r) override {
        left = l;
        right = r;
        maxLeft = std::max(maxLeft, l);
        maxRight = std::max(maxRight, r);
    }
    void SetProgressRange(int minimum, int maximum) override {
        rangeMin = minimum;
        rangeMax = maximum;
    }
    void SetProgressValue(int v) override {
        value = v;
        ++valueWrites;
    }
    bool ProgressDragging() const override { return dragging; }

    QString caption, listLabel, fileLabel;
    int left = -1, right = -1, maxLeft = -1, maxRight = -1;
    int rangeMin = -1, rangeMax = -1, value = -1, valueWrites = 0;
    bool dragging = false;
    int captionWrites = 0;
    std::thread::id writerThread;
};

// How a file the fake channel opens sounds.
struct FakeFile {
    uint32_t length = 20000;  // ms
    uint32_t rate = 44100;
    uint32_t channels = 2;
    uint32_t bits = 16;
};

struct ChannelEvent {
    int64_t atMs;   // the station clock when it happened
    QString what;   // "Open", "Play", "Pause", "Stop", "End"
    QString file;   // the file open at the time (for Open, the name asked for)
    uint32_t position;
};

// A sound channel that plays in simulated time: Advance moves the clock, and a file that runs
// out ends as the mixer channel's does (stopped, rewound, then OnEnd).
class FakeChannel : public PlayerChannel {
public:
    void Open(const QString& fileName) override;
    // Pending until FinishOpen, which the station calls right after each tick as the event loop
    // would deliver the result of a file that opens at once; a running event loop delivers it too.
    void OpenAsync(const QString& fileName, std::function<void(const TOpenResult&)> done,
                   std::optional<TOpenResult> knownFailure) override;
    QString OpeningFile() const override { return opening_; }
    // Completes a pending open as Open would (unless `holdOpens`), or with `error` as given.
    void FinishOpen(const QString& error = QString());
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Seek(uint32_t ms) override {
        position_ = ms;
        ended_ = false;
    }
    void SetVolume(int32_t volume) override { volume_ = volume; }
    void SetLoop(bool loop) override { loop_ = loop; }
    bool Loop() const override { return loop_; }
    State GetState() const override { return state_; }
    bool Ended() const override { return ended_; }
    bool OnDefaultOutputInstead() const override { return defaultOutputInstead; }
    bool WaitingForOutputs() const override { return waitingForOutputs; }
    void FollowOutputs() override { ++followOutputsCalls; }
    QString FileName() const override { return fileName_; }
    uint32_t Length() const override { return fileName_.isEmpty() ? 0 : file_.length; }
    uint32_t Position() override { return position_; }
    uint32_t SampleRate() const override { return fileName_.isEmpty() ? 0 : file_.rate; }
    uint32_t Channels() const override { return fileName_.isEmpty() ? 0 : file_.channels; }
    uint32_t BitsPerSample() const override { return fileName_.isEmpty() ? 0 : file_.bits; }
    uint32_t BlockAlign() const override { return Channels() * BitsPerSample() / 8; }
    TPlayingData GetPlayingData(uint32_t offset, uint32_t count) override;
    void ReleasePlayingData() override { lent = false; }
    // The loudest sample of `sound` (16-bit) once time has passed while playing: what the
    // output would have got.
    float TakeOutputPeak() override;

    void Advance(uint32_t ms);
    // Delivers the end notices held back by holdEnds, as the event loop would later.
    void DeliverHeldEnds();
    // A read failure in the middle of the file: stopped, then OnError.
    void FailWhilePlaying(const QString& message);

    int32_t Volume() const { return volume_; }
    std::vector<ChannelEvent> Events(const QString& what) const;
    // Times at which `file` was opened successfully.
    std::vector<int64_t> OpensOf(const QString& file) const;
    int OpenAttempts(const QString& file) const { return attempts.value(file); }

    QHash<QString, FakeFile> files;  // anything else opens as a default FakeFile
    QSet<QString> missing;           // Open raises "File not found"
    QSet<QString> unreadable;        // Open raises "Unsupported file format."
    bool noDevice = false;           // Play raises, as without a sound card
    bool defaultOutputInstead = false;
    bool waitingForOutputs = false;
    int followOutputsCalls = 0;
    bool holdEnds = false;           // end notices wait for DeliverHeldEnds; Open and Play drop them
    int heldEnds = 0;
    bool holdOpens = false;          // OpenAsync stays pending, as on a share that stopped answering
    std::vector<uint8_t> sound;      // what GetPlayingData lends, from its start; also what goes out
    bool soundSent = false;          // time passed while playing since TakeOutputPeak
    uint32_t splitAt = UINT32_MAX;   // where the lent bytes wrap into a second region
    uint32_t lastAsked = 0;
    bool lent = false;
    int64_t clockMs = 0;
    std::vector<ChannelEvent> events;
    QHash<QString, int> attempts;

private:
    void Log(const QString& what, const QString& file);
    void Close();

    QString fileName_;
    QString opening_;
    uint64_t openGeneration_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the event loop's delivery
    std::function<void(const TOpenResult&)> openDone_;
    std::optional<TOpenResult> knownFailure_;
    FakeFile file_;
    State state_ = Stopped;
    bool ended_ = false;
    uint32_t position_ = 0;
    bool loop_ = false;
    int32_t volume_ = 0;
};

constexpr int64_t kMsPerDayInt = 86400000;
constexpr int64_t kTickMs = 500;

// Milliseconds of the day from a clock time.
constexpr int64_t At(int h, int m, int s, int ms = 0) { return ((h * 60 + m) * 60 + s) * 1000 + ms; }

// One channel on a fake sound card with a recording panel, and a clock that starts at midnight
// of `firstDay`. Ticks fall on `phaseMs` past every half second, as a loop started at some
// moment does; with a phase of 0 a tick would meet item boundaries exactly.
class Station {
public:
    explicit Station(QDate firstDay = QDate(2026, 12, 7), int64_t phaseMs = 250);

    LocalMoment Moment() const;
    int64_t Now() const { return clockMs_; }
    // Steps the clock tick by tick up to `untilMs` (from midnight of the first day): time
    // passes on the channel, then the player ticks. `each` runs after every tick.
    template <typename Each>
    void RunUntil(int64_t untilMs, Each each) {
        while (clockMs_ + kTickMs <= untilMs) {
            clockMs_ += kTickMs;
            channel->clockMs = clockMs_;
            channel->Advance(uint32_t(kTickMs));
            player.Tick(Moment());
            channel->FinishOpen();  // as the event loop delivers a file that opens at once
            each();
        }
    }
    void RunUntil(int64_t untilMs) {
        RunUntil(untilMs, [] {});
    }
    // Moves the clock without ticks, as when the program starts at that time.
    void JumpTo(int64_t ms) { clockMs_ = ms - kTickMs; }
    void SetDayList(std::vector<PlayItem> items, const QString& file = QStringLiteral("/lists/day.lst"));

    FakePanel panel;
    FakeChannel* channel = nullptr;  // owned by the player
    TListPlayer player;
    QDate firstDay;

private:
    int64_t clockMs_;
};

PlayItem Item(int index, const QString& title, int64_t startMs, int64_t endMs, const QString& source,
              uint8_t kind = KindFile, uint8_t loop = 0, int32_t playOrder = 0);


}  // namespace tessora::test
