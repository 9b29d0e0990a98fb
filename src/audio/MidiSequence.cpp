#include "MidiSequence.h"

#include "AudioFileRead.h"
#include "FfmpegDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

uint32_t BigEndianAt(const QByteArray& data, qsizetype at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | uint8_t(data[at + i]);
    return value;
}

QByteArray BigEndianBytes(uint32_t value, int bytes) {
    QByteArray out(bytes, 0);
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xFF);
    return out;
}

// The events of one track up to the last complete one, closed with an end-of-track event. An
// escaped sysex (F7) becomes a sequencer-specific meta event with the same bytes: libsmf stops the
// program at an F7 event, and there is nothing in one a synthesizer is waiting for.
QByteArray CompleteTrack(const QByteArray& track) {
    const auto* p = reinterpret_cast<const uint8_t*>(track.constData());
    const qsizetype n = track.size();
    qsizetype i = 0, complete = 0;
    uint8_t running = 0;
    QByteArray out;          // the track up to `copied`, escapes rewritten
    qsizetype copied = 0;
    auto upTo = [&](qsizetype end) { return out + track.mid(copied, end - copied); };
    auto number = [&](uint32_t& value) {  // a variable-length quantity
        value = 0;
        for (int k = 0; k < 4 && i < n; ++k) {
            const uint8_t b = p[i++];
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    };
    while (i < n) {
        uint32_t delta = 0, length = 0;
        if (!number(delta) || i >= n)
            break;
        uint8_t status = p[i];
        if (status & 0x80)
            ++i;
        else if (running)
            status = running;
        else
            break;
        if (status == 0xFF) {
            if (i >= n)
                break;
            const uint8_t type = p[i++];
            if (!number(length) || length > n - i)
                break;
            i += length;
            if (type == 0x2F)
                return upTo(i);
            running = 0;
        } else if (status == 0xF0 || status == 0xF7) {
            const qsizetype statusAt = i - 1;
            if (!number(length) || length > n - i)
                break;
            i += length;
            running = 0;
            if (status == 0xF7) {
                out = upTo(statusAt) + QByteArray("\xFF\x7F", 2);
                copied = statusAt + 1;
            }
        } else if (status > 0xF0) {
            break;  // no such event in a file
        } else {
            const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (i + dataBytes > n)
                break;
            i += dataBytes;
            running = status;
        }
        complete = i;
    }
    return upTo(complete) + QByteArray("\x00\xFF\x2F\x00", 4);
}

// libsmf trusts a file's chunk lengths and stops the program at a track that ends without
// its end-of-track event; it is given a copy in which every track is whole, the tracks of a
// cut file being cut at their last complete event. Nothing when there is no valid MIDI header,
// timing in SMPTE frames, or format 2 (independent sequences): libsmf cannot play those, and
// leaks on refusing them.
QByteArray WellFormedMidi(const QByteArray& data) {
    if (data.size() < 14 || !data.startsWith("MThd") || BigEndianAt(data, 4, 4) < 6)
        return {};
    const uint32_t format = BigEndianAt(data, 8, 2), division = BigEndianAt(data, 12, 2);
    if (format > 1 || division == 0 || (division & 0x8000))
        return {};
    qsizetype at = 8 + qsizetype(BigEndianAt(data, 4, 4));
    QByteArray tracks;
    uint32_t trackCount = 0;
    while (at + 8 <= data.size()) {
        const qsizetype length = std::min<qsizetype>(BigEndianAt(data, at + 4, 4), data.size() - at - 8);
        if (data.mid(at, 4) == "MTrk") {
            const QByteArray track = CompleteTrack(data.mid(at + 8, length));
            tracks += "MTrk" + BigEndianBytes(uint32_t(track.size()), 4) + track;
            ++trackCount;
        }
        at += 8 + length;
    }
    if (trackCount == 0)
        return {};  // libsmf would refuse it too, and leak
    return "MThd" + BigEndianBytes(6, 4) + data.mid(8, 2) + BigEndianBytes(trackCount, 2) + data.mid(12, 2) + tracks;
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
    const QByteArray data = WellFormedMidi(StandardMidiData(file.readAll()));
    if (data.isEmpty())
        RaiseFfmpegError(AVERROR_INVALIDDATA, QStringLiteral("Unsupported file format."));
    std::unique_ptr<smf_t, SmfDeleter> smf(smf_load_from_memory(data.constData(), int(data.size())));
    if (!smf)
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
