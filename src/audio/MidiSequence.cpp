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
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        RaiseFfmpegError(AVERROR_INVALIDDATA, QStringLiteral("The file is empty."));
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
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi"))
        return true;
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "MThd";
}

}  // namespace tessora
