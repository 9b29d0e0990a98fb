#pragma once
// The dot-matrix artwork of the LED fonts: one 5 x 7 pattern for every glyph code from 32 to 157.

#include <array>
#include <string_view>

namespace tessora::fontgen {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 7;
constexpr int kFirstGlyph = 32;
constexpr int kLastGlyph = 157;
constexpr int kGlyphCount = kLastGlyph - kFirstGlyph + 1;

// Seven rows of five characters; '#' is a lit dot, '.' an unlit one.
using GlyphPattern = std::array<std::string_view, kGlyphRows>;

// The pattern of glyph code `code` (kFirstGlyph .. kLastGlyph).
const GlyphPattern& glyphPattern(int code);

}  // namespace tessora::fontgen
