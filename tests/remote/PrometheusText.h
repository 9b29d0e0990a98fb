#pragma once
// A small reader of Prometheus's text format, strict enough to refuse what a scraper refuses:
// every sample belongs to a metric declared by a TYPE line before it, names and labels are well
// formed, label values are properly escaped, and values are numbers.

#include <QByteArray>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tessora::test {

struct Sample {
    QString name;
    QMap<QString, QString> labels;
    double value = 0;
};

struct Exposition {
    QMap<QString, QString> types;  // metric name → type
    std::vector<Sample> samples;
    QString error;                 // the first line that is not valid, with why

    std::optional<double> Value(const QString& name, const QMap<QString, QString>& labels) const {
        for (const Sample& s : samples) {
            if (s.name != name) continue;
            bool all = true;
            for (auto it = labels.begin(); it != labels.end(); ++it) all = all && s.labels.value(it.key()) == it.value();
            if (all) return s.value;
        }
        return std::nullopt;
    }
};

inline Exposition ParsePrometheus(const QByteArray& text) {
    Exposition e;
    static const QRegularExpression nameRe("^[a-zA-Z_:][a-zA-Z0-9_:]*$");
    static const QRegularExpression labelNameRe("^[a-zA-Z_][a-zA-Z0-9_]*$");
    const auto fail = [&](const QString& line, const QString& why) {
        if (e.error.isEmpty()) e.error = why + ": " + line;
    };
    if (!text.isEmpty() && !text.endsWith('\n')) fail("(end)", "no line end at the end");
    for (const QString& line : QString::fromUtf8(text).split('\n')) {
        if (line.isEmpty()) continue;
        if (line.startsWith("# TYPE ")) {
            const QStringList parts = line.mid(7).split(' ');
            const QStringList types{"counter", "gauge", "histogram", "summary", "untyped"};
            if (parts.size() != 2 || !nameRe.match(parts[0]).hasMatch() || !types.contains(parts[1])) fail(line, "bad TYPE");
            else if (e.types.contains(parts[0])) fail(line, "TYPE twice");
            else e.types[parts[0]] = parts[1];
            continue;
        }
        if (line.startsWith('#')) continue;  // HELP and comments
        Sample s;
        qsizetype i = 0;
        while (i < line.size() && line[i] != '{' && line[i] != ' ') ++i;
        s.name = line.left(i);
        if (!nameRe.match(s.name).hasMatch()) { fail(line, "bad metric name"); continue; }
        if (!e.types.contains(s.name)) { fail(line, "sample before its TYPE"); continue; }
        if (i < line.size() && line[i] == '{') {
            ++i;
            bool ok = true;
            while (ok && i < line.size() && line[i] != '}') {
                const qsizetype eq = line.indexOf('=', i);
                if (eq < 0) { ok = false; break; }
                const QString label = line.mid(i, eq - i);
                if (!labelNameRe.match(label).hasMatch() || eq + 1 >= line.size() || line[eq + 1] != '"') { ok = false; break; }
                QString value;
                qsizetype j = eq + 2;
                for (; j < line.size() && line[j] != '"'; ++j) {
                    if (line[j] == '\\') {
                        if (++j >= line.size()) { ok = false; break; }
                        if (line[j] == 'n') value += '\n';
                        else if (line[j] == '\\' || line[j] == '"') value += line[j];
                        else { ok = false; break; }
                    } else {
                        value += line[j];
                    }
                }
                if (!ok || j >= line.size()) { ok = false; break; }
                s.labels[label] = value;
                i = j + 1;
                if (i < line.size() && line[i] == ',') ++i;
            }
            if (!ok || i >= line.size()) { fail(line, "bad labels"); continue; }
            ++i;  // '}'
        }
        if (i >= line.size() || line[i] != ' ') { fail(line, "no value"); continue; }
        const QStringList rest = line.mid(i + 1).split(' ');
        bool isNumber = false;
        s.value = rest.value(0).toDouble(&isNumber);
        if (!isNumber || rest.size() > 2) { fail(line, "bad value"); continue; }
        e.samples.push_back(std::move(s));
    }
    return e;
}

}  // namespace tessora::test
