#pragma once
// The channel configuration file "tessora.cfg": one 580-byte record per channel, in channel order.

#include "PeriodicList.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tessora {

inline const QString kChannelFileName = QStringLiteral("tessora.cfg");

enum PlayStateValue : uint8_t { PlayOn = 0, PlayPaused = 1, PlayStopped = 2 };
enum PlayModeValue : uint8_t { ListMode = 0, ManualMode = 1 };

struct ChannelConfig {
    QString Title;             // at most 51 bytes in GBK
    QString DayListFile;       // at most 256 bytes
    int32_t SoundCard = 0;
    uint8_t PlayState = PlayOn;
    QString PeriodicListFile;  // at most 256 bytes
    int32_t Volume = 0;        // -10000..0, hundredths of a decibel
    uint8_t PlayMode = ListMode;

    bool operator==(const ChannelConfig&) const = default;
};

namespace ChannelLayout {
constexpr size_t Size = 580;
constexpr size_t Title = 0, TitleSize = 51;
constexpr size_t DayListFile = 51, DayListFileSize = 256;
constexpr size_t SoundCard = 308;
constexpr size_t PlayState = 312;
constexpr size_t PeriodicListFile = 313, PeriodicListFileSize = 256;
constexpr size_t Volume = 572;
constexpr size_t PlayMode = 576;
}  // namespace ChannelLayout

using ChannelRecord = std::array<char, ChannelLayout::Size>;
// Texts fill their field to the brim at most (no terminator then), cut at a character boundary.
ChannelRecord EncodeChannel(const ChannelConfig& channel);
// Every field as stored, DayListFile included.
ChannelConfig DecodeChannel(std::span<const char, ChannelLayout::Size> record);

// A channel as loaded: its record, and the lines of its periodic list when it names one.
struct LoadedChannel {
    ChannelConfig Config;
    PeriodicList PeriodicLines;
};

struct ChannelLoadResult {
    std::vector<LoadedChannel> Channels;  // the channels read before any failure
    bool Complete = false;
    QString Error;  // why the load stopped, when it did
    // Bytes after the last whole record (a file cut short): they are not a channel, and the
    // channels read are all that could be read. Empty when the file ends at a record.
    QString Damage;
};

using PeriodicListReader = std::function<PeriodicList(const QString& path)>;

// Reads the channel file and remembers whether it was read whole, so that a file that failed to
// load is never written over with only the channels that were read.
class TChannelFile {
public:
    explicit TChannelFile(PeriodicListReader readPeriodic = ReadPeriodicList);

    // A channel naming a periodic list gets that list's lines and an empty DayListFile. The load
    // stops at the first failure (a missing or unreadable file, a periodic list that cannot be
    // read), keeping the channels read before it.
    ChannelLoadResult LoadChannels(const QString& path);

    // Appends ".cfg" unless the path has it; returns the path written. Raises EFileError when the
    // file cannot be written, or when it is a file whose load failed: rewriting it would lose the
    // channels that were never read. A file that was missing may be written.
    QString SaveChannels(const QString& path, const std::vector<ChannelConfig>& channels) const;
    // The last load found a file it could not read whole: SaveChannels refuses to write over it.
    bool LoadedPartly() const { return !failedFile_.isEmpty(); }

private:
    PeriodicListReader readPeriodic_;
    QString failedFile_;  // absolute path of a file that exists but did not load completely
};

}  // namespace tessora
