#pragma once
// Edit masks in the station's own notation ("!90:00:00;1; "), turned into Qt input masks.

#include <QString>

namespace tessora {

// The notation: "0" a digit that must be typed, "9" a digit that may be left blank, "#" a digit
// or sign that may be left blank, "L"/"l" a letter (must/may), "A"/"a" a letter or digit, "C"/"c"
// any character, "_" a blank, "\" makes the next character literal, ">" and "<" switch to upper
// and lower case, "!" shows unfilled optional characters as leading blanks (Qt has no such
// switch: the reader of the text trims them). Anything else is literal. After the mask, ";"
// whether literals are kept in the text (Qt always keeps them) and ";" the blank character.
QString QtInputMask(const QString& editMask);

}  // namespace tessora
