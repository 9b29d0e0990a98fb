#include "Metrics.h"

#include <array>

namespace tessora {

namespace {

const std::array<const char*, 5> kStates{"playing", "paused", "stopped", "idle", "error"};

// A label value: backslash, double quote and line end escaped.
QByteArray LabelValue(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

QByteArray ChannelLabels(const ChannelSnapshot& c) {
    return "channel=\"" + QByteArray::number(c.Channel) + "\",title=\"" + LabelValue(c.Title) + '"';
}

void Header(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

}  // namespace

QByteArray MetricsText(const StationSnapshot& snapshot, const StationFacts& facts) {
    QByteArray out;
    const auto counts = [&](const ChannelSnapshot& c) {
        return size_t(c.Channel) < facts.Counts.size() ? facts.Counts[size_t(c.Channel)] : ChannelCounts();
    };
    Header(out, "tessora_channel_state", "gauge", "1 for the state the channel is in, 0 for the others.");
    for (const ChannelSnapshot& c : snapshot.Channels)
        for (const char* state : kStates)
            out += "tessora_channel_state{" + ChannelLabels(c) + ",state=\"" + state + "\"} " +
                   (c.State == QLatin1String(state) ? "1" : "0") + '\n';
    Header(out, "tessora_channel_level", "gauge", "The level the channel's gauge shows, 0 to 100.");
    for (const ChannelSnapshot& c : snapshot.Channels) {
        out += "tessora_channel_level{" + ChannelLabels(c) + ",side=\"left\"} " + QByteArray::number(c.Level[0]) + '\n';
        out += "tessora_channel_level{" + ChannelLabels(c) + ",side=\"right\"} " + QByteArray::number(c.Level[1]) + '\n';
    }
    Header(out, "tessora_item_start_offset_seconds", "gauge",
           "Seconds from the last started item's start time to its sound, today.");
    for (const ChannelSnapshot& c : snapshot.Channels)
        if (const auto offset = counts(c).LastStartOffset)
            out += "tessora_item_start_offset_seconds{" + ChannelLabels(c) + "} " + QByteArray::number(*offset, 'f', 3) + '\n';
    const struct {
        const char* name;
        const char* help;
        int ChannelCounts::*field;
    } counters[] = {
        {"tessora_items_started_total", "Timetable items started today.", &ChannelCounts::Started},
        {"tessora_items_missed_total", "Timetable items ended unheard today.", &ChannelCounts::Missed},
        {"tessora_errors_total", "Errors in the as-run log today.", &ChannelCounts::Errors},
    };
    for (const auto& counter : counters) {
        Header(out, counter.name, "counter", counter.help);
        for (const ChannelSnapshot& c : snapshot.Channels)
            out += QByteArray(counter.name) + '{' + ChannelLabels(c) + "} " + QByteArray::number(counts(c).*counter.field) + '\n';
    }
    return out;
}

}  // namespace tessora
