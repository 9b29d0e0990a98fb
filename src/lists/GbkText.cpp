#include "GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace tessora {

QByteArray EncodeGbk(const QString& text) {
    // The codec writes one '?' for each character GBK has no code for.
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    return bytes;
}

QString DecodeGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

namespace {

bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace

bool FitsGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    return !encoder.hasError();
}

qsizetype GbkLength(const QString& text) { return EncodeGbk(text).size(); }

QByteArray CutGbk(const QByteArray& gbk, qsizetype maxBytes) {
    if (gbk.size() <= maxBytes) return gbk;
    qsizetype end = 0;
    for (qsizetype i = 0; i < gbk.size();) {
        const qsizetype width = IsGbkLeadByte(static_cast<unsigned char>(gbk.at(i))) ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
        end = i;
    }
    return gbk.left(end);
}

QList<QByteArray> SplitTextLines(const QByteArray& text) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\r' && c != '\n') continue;
        lines << text.mid(start, i - start);
        if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

void WriteGbkField(std::span<char> field, const QString& text, qsizetype maxTextBytes) {
    const QByteArray bytes = CutGbk(EncodeGbk(text), std::min<qsizetype>(maxTextBytes, field.size()));
    std::fill(field.begin(), field.end(), '\0');
    std::memcpy(field.data(), bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString ReadGbkField(std::span<const char> field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return DecodeGbk(QByteArray(field.data(), end - field.begin()));
}

}  // namespace tessora
