#pragma once
// The day list: an ordered list of timed items, stored as 600-byte records in ".lst" files.

#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tessora {

enum PlayKind : uint8_t { KindFile = 0, KindFolder = 1, KindDevice = 2 };

struct PlayItem {
    QString Title;          // at most 50 bytes in GBK
    int32_t Index = 0;      // 1-based position, set on load
    double StartTime = 0;   // date-time value; only the time of day counts
    double EndTime = 0;
    uint8_t Kind = KindFile;
    QString Source;         // file path, folder path or device name; at most 255 bytes
    QString Memo;           // at most 255 bytes
    uint8_t Loop = 0;
    int32_t DeviceIndex = 0;
    int32_t PlayOrder = 0;  // folders: 0 sequential, anything else random

    bool operator==(const PlayItem&) const = default;
};

// Offsets and widths of the record, the same in every ".lst" file.
namespace PlayItemLayout {
constexpr size_t Size = 600;
constexpr size_t Title = 0, TitleSize = 51;
constexpr size_t Index = 52;
constexpr size_t StartTime = 56;
constexpr size_t EndTime = 64;
constexpr size_t Kind = 72;
constexpr size_t Source = 73, SourceSize = 256;
constexpr size_t Memo = 329, MemoSize = 256;
constexpr size_t Loop = 585;
constexpr size_t DeviceIndex = 588;
constexpr size_t PlayOrder = 592;
}  // namespace PlayItemLayout

// Longest texts, in GBK bytes, that the fields hold beside their terminator.
constexpr qsizetype kMaxTitleBytes = 50;
constexpr qsizetype kMaxSourceBytes = 255;
constexpr qsizetype kMaxMemoBytes = 255;

using PlayItemRecord = std::array<char, PlayItemLayout::Size>;
// Texts too long for their field are cut at a character boundary; padding is zero.
PlayItemRecord EncodePlayItem(const PlayItem& item);
PlayItem DecodePlayItem(std::span<const char, PlayItemLayout::Size> record);

// The texts of one row of a list view: caption, then the column texts.
struct PlayItemRow {
    QString Title, Start, End, Source, PlayMode, Memo;
};
PlayItemRow RowOf(const PlayItem& item);

// The text of TPlayList::Damage for a file of `fileSize` bytes with `restBytes` after its last
// whole record.
QString DamagedListMessage(qsizetype fileSize, qsizetype restBytes);

class TPlayList {
public:
    std::vector<PlayItem> Items;
    // Why the file last loaded was not whole (a copy cut short): its whole records were loaded,
    // the bytes after the last of them were not. Empty for a whole file.
    QString Damage;

    void Clear() {
        Items.clear();
        Damage.clear();
    }
    // Replaces the items with those of the file; raises EFileError (the list is then empty).
    // A file whose size is not a whole number of records loads its whole records and says so
    // in Damage.
    void LoadFromFile(const QString& path);
    // Writes every item, appending ".lst" unless the path has it; returns the path written.
    QString SaveToFile(const QString& path) const;
    // The items of a file's contents: every whole record; bytes after the last one are ignored.
    void LoadFromBytes(const QByteArray& contents);
    // The contents of the file SaveToFile writes.
    QByteArray ToBytes() const;
    // One row per item, in list order.
    std::vector<PlayItemRow> FillListView() const;

    static void CopyItem(const PlayItem& source, PlayItem& destination) { destination = source; }
};

}  // namespace tessora
