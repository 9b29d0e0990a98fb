#include "ChannelFile.h"

#include "FileError.h"
#include "GbkText.h"
#include "RecordFields.h"

#include <QByteArray>
#include <QFileInfo>


namespace tessora {

namespace L = ChannelLayout;

namespace {

QString AbsolutePath(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

ChannelRecord EncodeChannel(const ChannelConfig& c) {
    ChannelRecord record{};
    WriteGbkField(std::span(record).subspan(L::Title, L::TitleSize), c.Title, L::TitleSize);
    WriteGbkField(std::span(record).subspan(L::DayListFile, L::DayListFileSize), c.DayListFile, L::DayListFileSize);
    PutField(std::span<char>(record), L::SoundCard, c.SoundCard);
    PutField(std::span<char>(record), L::PlayState, c.PlayState);
    WriteGbkField(std::span(record).subspan(L::PeriodicListFile, L::PeriodicListFileSize), c.PeriodicListFile,
                  L::PeriodicListFileSize);
    PutField(std::span<char>(record), L::Volume, c.Volume);
    PutField(std::span<char>(record), L::PlayMode, c.PlayMode);
    return record;
}

ChannelConfig DecodeChannel(std::span<const char, L::Size> record) {
    ChannelConfig c;
    c.Title = ReadGbkField(record.subspan(L::Title, L::TitleSize));
    c.DayListFile = ReadGbkField(record.subspan(L::DayListFile, L::DayListFileSize));
    c.SoundCard = GetField<int32_t>(record, L::SoundCard);
    c.PlayState = GetField<uint8_t>(record, L::PlayState);
    c.PeriodicListFile = ReadGbkField(record.subspan(L::PeriodicListFile, L::PeriodicListFileSize));
    c.Volume = GetField<int32_t>(record, L::Volume);
    c.PlayMode = GetField<uint8_t>(record, L::PlayMode);
    return c;
}

TChannelFile::TChannelFile(PeriodicListReader readPeriodic) : readPeriodic_(std::move(readPeriodic)) {}

ChannelLoadResult TChannelFile::LoadChannels(const QString& path) {
    ChannelLoadResult result;
    failedFile_.clear();
    try {
        const QByteArray contents = ReadWholeFile(path);
        const qsizetype count = contents.size() / static_cast<qsizetype>(L::Size);
        for (qsizetype i = 0; i < count; ++i) {
            LoadedChannel channel;
            channel.Config = DecodeChannel(std::span<const char, L::Size>(contents.constData() + i * L::Size, L::Size));
            if (!channel.Config.PeriodicListFile.isEmpty()) {
                channel.PeriodicLines = readPeriodic_(channel.Config.PeriodicListFile);
                channel.Config.DayListFile.clear();
            }
            result.Channels.push_back(std::move(channel));
        }
        if (const qsizetype rest = contents.size() % static_cast<qsizetype>(L::Size); rest != 0)
            result.Damage = QString("%1 bytes is not a whole number of %2-byte channel records (%3 bytes left over)")
                                .arg(contents.size())
                                .arg(L::Size)
                                .arg(rest);
        result.Complete = true;
    } catch (const EFileError& e) {
        result.Error = e.Path + ": " + e.Message;
        if (QFileInfo::exists(path)) failedFile_ = AbsolutePath(path);
    }
    return result;
}

QString TChannelFile::SaveChannels(const QString& path, const std::vector<ChannelConfig>& channels) const {
    const QString target = WithExtension(path, ".cfg");
    if (!failedFile_.isEmpty() && AbsolutePath(target) == failedFile_)
        throw EFileError(target, "This channel file could not be read completely at start; it is left as it was "
                                 "so that no channel is lost");
    QByteArray contents;
    contents.reserve(static_cast<qsizetype>(channels.size() * L::Size));
    for (const ChannelConfig& channel : channels) {
        const ChannelRecord record = EncodeChannel(channel);
        contents.append(record.data(), static_cast<qsizetype>(record.size()));
    }
    WriteFileAtomically(target, contents);
    return target;
}

}  // namespace tessora
