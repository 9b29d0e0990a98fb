#include "LEDText.h"

#include <QStringEncoder>

#include <algorithm>

namespace tessora {
namespace {

constexpr char kBlank = ' ';
// A code no font cell has, for characters that cannot be shown at all.
constexpr char kNoGlyph = '\0';

// One blank cell per GBK byte of the character. The bytes themselves must not reach the font:
// trail bytes run through 0x40..0x7E and lead bytes through 0x81..0x9D, which have glyphs.
void appendBlanksForGbk(QByteArray& codes, QStringView character)
{
    QStringEncoder gbk("GBK");
    const QByteArray bytes = gbk.encode(character);
    const bool encoded = gbk.isValid() && !gbk.hasError() && !bytes.isEmpty();
    codes.append(encoded ? bytes.size() : 1, kNoGlyph);
}

}  // namespace

QByteArray ledCodes(const QString& caption)
{
    QByteArray codes;
    codes.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (c.unicode() <= 0xFF) {
            codes.append(char(c.unicode()));
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < caption.size()
                          && caption.at(i + 1).isLowSurrogate();
        appendBlanksForGbk(codes, QStringView(caption).mid(i, pair ? 2 : 1));
        if (pair)
            ++i;
    }
    return codes;
}

QByteArray ledWindow(const QByteArray& codes, int numChars, TAlignment alignment, int currentStep)
{
    if (numChars <= 0)
        return {};
    const int length = int(codes.size());
    QByteArray shown;
    int leftPad = 0;
    switch (alignment) {
    case TAlignment::taLeftJustify:
        shown = codes.mid(std::clamp(currentStep, 0, length), numChars);
        break;
    case TAlignment::taRightJustify:
        shown = codes.right(numChars);
        leftPad = numChars - int(shown.size());
        break;
    case TAlignment::taCenter:
        // Division truncates toward zero, so a caption one shorter than the row starts at 0.
        shown = codes.mid(std::max(0, (length - numChars) / 2), numChars);
        leftPad = (numChars - int(shown.size())) / 2;
        break;
    }
    QByteArray row(leftPad, kBlank);
    row += shown;
    row.append(numChars - int(row.size()), kBlank);
    return row;
}

int ledCellsForWidth(int width, int ledSpace, int frame, int cellWidth)
{
    const int pitch = ledSpace + cellWidth - 1;
    if (pitch <= 0)
        return 0;
    return std::max(0, (width + ledSpace - 2 * frame - 1) / pitch);
}

int ledWidthForCells(int numChars, int ledSpace, int frame, int cellWidth)
{
    return std::max(2 * frame, 2 * frame + (cellWidth + ledSpace - 1) * numChars - ledSpace + 1);
}

}  // namespace tessora
