#pragma once
// The station's files hold their texts in GBK (code page 936), in fixed-width,
// zero-terminated fields. Inside the program texts are QStrings.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <span>

namespace tessora {

// Characters GBK cannot hold are written as this visible stand-in (the codec's own).
constexpr char kGbkReplacement = '?';

QByteArray EncodeGbk(const QString& text);
QString DecodeGbk(const QByteArray& bytes);

// True when every character of `text` has a GBK encoding.
bool FitsGbk(const QString& text);
// Number of bytes `text` takes in GBK.
qsizetype GbkLength(const QString& text);

// Cuts GBK bytes to at most `maxBytes` without splitting a double-byte character.
QByteArray CutGbk(const QByteArray& gbk, qsizetype maxBytes);

// Splits 8-bit text into lines ending at CR, LF or CR LF. A last line without terminator counts;
// a terminator at the very end adds no empty line. (CR and LF never occur inside a GBK
// double-byte character, so the split is safe on the bytes.)
QList<QByteArray> SplitTextLines(const QByteArray& text);

// Writes `text` into a zero-padded field of field.size() bytes. At most `maxTextBytes` bytes of
// text are kept (field.size() - 1 for fields that keep room for the terminator, field.size() for
// those that may be filled to the brim), cut at a character boundary.
void WriteGbkField(std::span<char> field, const QString& text, qsizetype maxTextBytes);
// Reads a field up to its first zero byte, or whole when it has none.
QString ReadGbkField(std::span<const char> field);

}  // namespace tessora
