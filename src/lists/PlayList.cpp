#include "PlayList.h"

#include "DateTimeValue.h"
#include "FileError.h"
#include "GbkText.h"
#include "RecordFields.h"

#include <QByteArray>


namespace tessora {

namespace L = PlayItemLayout;

namespace {

QString PlayModeText(const PlayItem& item) {
    QString text;
    if (item.Kind == KindFolder) text = item.PlayOrder == 0 ? "顺序" : "随机";
    if (item.Loop) text += " 循环播放";
    return text;
}

}  // namespace

PlayItemRecord EncodePlayItem(const PlayItem& item) {
    PlayItemRecord record{};
    WriteGbkField(std::span(record).subspan(L::Title, L::TitleSize), item.Title, kMaxTitleBytes);
    PutField(std::span<char>(record), L::Index, item.Index);
    PutField(std::span<char>(record), L::StartTime, item.StartTime);
    PutField(std::span<char>(record), L::EndTime, item.EndTime);
    PutField(std::span<char>(record), L::Kind, item.Kind);
    WriteGbkField(std::span(record).subspan(L::Source, L::SourceSize), item.Source, kMaxSourceBytes);
    WriteGbkField(std::span(record).subspan(L::Memo, L::MemoSize), item.Memo, kMaxMemoBytes);
    PutField(std::span<char>(record), L::Loop, item.Loop);
    PutField(std::span<char>(record), L::DeviceIndex, item.DeviceIndex);
    PutField(std::span<char>(record), L::PlayOrder, item.PlayOrder);
    return record;
}

PlayItem DecodePlayItem(std::span<const char, L::Size> record) {
    PlayItem item;
    item.Title = ReadGbkField(record.subspan(L::Title, L::TitleSize));
    item.Index = GetField<int32_t>(record, L::Index);
    item.StartTime = GetField<double>(record, L::StartTime);
    item.EndTime = GetField<double>(record, L::EndTime);
    item.Kind = GetField<uint8_t>(record, L::Kind);
    item.Source = ReadGbkField(record.subspan(L::Source, L::SourceSize));
    item.Memo = ReadGbkField(record.subspan(L::Memo, L::MemoSize));
    item.Loop = GetField<uint8_t>(record, L::Loop);
    item.DeviceIndex = GetField<int32_t>(record, L::DeviceIndex);
    item.PlayOrder = GetField<int32_t>(record, L::PlayOrder);
    return item;
}

PlayItemRow RowOf(const PlayItem& item) {
    return {item.Title, FormatTimeOfDay(item.StartTime), FormatTimeOfDay(item.EndTime), item.Source,
            PlayModeText(item), item.Memo};
}

void TPlayList::LoadFromFile(const QString& path) {
    Clear();
    LoadFromBytes(ReadWholeFile(path));
}

void TPlayList::LoadFromBytes(const QByteArray& contents) {
    Clear();
    const qsizetype count = contents.size() / static_cast<qsizetype>(L::Size);
    Items.reserve(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        Items.push_back(DecodePlayItem(std::span<const char, L::Size>(contents.constData() + i * L::Size, L::Size)));
        Items.back().Index = static_cast<int32_t>(Items.size());
    }
    if (const qsizetype rest = contents.size() % static_cast<qsizetype>(L::Size); rest != 0)
        Damage = DamagedListMessage(contents.size(), rest);
}

QString DamagedListMessage(qsizetype fileSize, qsizetype restBytes) {
    return QStringLiteral("List is damaged: %1 bytes is not a whole number of %2-byte records (%3 bytes left over)")
        .arg(fileSize)
        .arg(L::Size)
        .arg(restBytes);
}

QString TPlayList::SaveToFile(const QString& path) const {
    const QString target = WithExtension(path, ".lst");
    WriteFileAtomically(target, ToBytes());
    return target;
}

QByteArray TPlayList::ToBytes() const {
    QByteArray contents;
    contents.reserve(static_cast<qsizetype>(Items.size() * L::Size));
    for (const PlayItem& item : Items) {
        const PlayItemRecord record = EncodePlayItem(item);
        contents.append(record.data(), static_cast<qsizetype>(record.size()));
    }
    return contents;
}

std::vector<PlayItemRow> TPlayList::FillListView() const {
    std::vector<PlayItemRow> rows;
    rows.reserve(Items.size());
    for (const PlayItem& item : Items) rows.push_back(RowOf(item));
    return rows;
}

}  // namespace tessora
