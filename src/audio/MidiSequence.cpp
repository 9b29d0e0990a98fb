#include "MidiSequence.h"

#include "AudioFileRead.h"
#include "FfmpegDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <memory>
#include <mutex>

#include <smf.h>

extern "C" {
#include <libavutil/error.h>
}

namespace tessora {

namespace {

struct SmfDeleter {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

// libsmf reports every flaw it meets on stderr; the reader reports a refused file itself.
void QuietSmfLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_log_set_handler("libsmf", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

// The standard MIDI data itself: the whole file, or the "data" chunk of a RIFF MIDI file.
QByteArray StandardMidiData(const QByteArray& file) {
    if (!file.startsWith("RIFF"))
        return file;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(file.constData() + at + 4);
        const qsizetype size = qsizetype(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
        if (file.mid(at, 4) == "data")
            return file.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return {};
}

// libsmf trusts the chunk lengths a file declares and reads past the end of a cut file;
// a cut chunk is given the length it really has, and a torn chunk header is dropped.
QByteArray WithTrueChunkLengths(QByteArray data) {
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        auto* p = reinterpret_cast<uint8_t*>(data.data() + at + 4);
        const qsizetype declared = qsizetype(uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
        const qsizetype available = data.size() - at - 8;
        if (declared > available) {
            p[0] = uint8_t(available >> 24);
            p[1] = uint8_t(available >> 16);
            p[2] = uint8_t(available >> 8);
            p[3] = uint8_t(available);
            return data;
        }
        at += 8 + declared;
    }
    data.truncate(at);
    return data;
}

bool IsPlayable(const smf_event_t* event) {
    if (event->midi_buffer_length < 1 || smf_event_is_metadata(event))
        return false;
    const uint8_t status = event->midi_buffer[0];
    return (status >= 0x80 && status < 0xF0) || status == 0xF0;
}

}  // namespace

MidiSequence LoadMidiSequence(const QString& fileName) {
    QuietSmfLog();
    QFile file(fileName);
    if (!QFileInfo::exists(fileName))
        RaiseFfmpegError(AVERROR(ENOENT), QStringLiteral("File not found"));
    if (!file.open(QIODevice::ReadOnly))
        RaiseFfmpegError(AVERROR(EACCES));
    const QByteArray data = WithTrueChunkLengths(StandardMidiData(file.readAll()));
    if (data.isEmpty())
        RaiseFfmpegError(AVERROR_INVALIDDATA, QStringLiteral("Unsupported file format."));
    std::unique_ptr<smf_t, SmfDeleter> smf(smf_load_from_memory(data.constData(), int(data.size())));
    if (!smf || smf->number_of_tracks == 0)
        RaiseFfmpegError(AVERROR_INVALIDDATA, QStringLiteral("Unsupported file format."));

    MidiSequence sequence;
    smf_rewind(smf.get());
    while (smf_event_t* event = smf_get_next_event(smf.get())) {
        if (!IsPlayable(event))
            continue;
        MidiMessage message;
        message.seconds = event->time_seconds;
        message.bytes.assign(event->midi_buffer, event->midi_buffer + event->midi_buffer_length);
        sequence.hasNotes = sequence.hasNotes || message.Kind() == 0x90;
        sequence.messages.push_back(std::move(message));
    }
    sequence.lengthSeconds = smf_get_length_seconds(smf.get());
    return sequence;
}

bool LooksLikeMidiFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
}

}  // namespace tessora
