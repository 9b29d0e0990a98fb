#pragma once
// What the LED text display shows: the caption as 8-bit character codes, one per cell, the
// window of cells taken from it, and the size arithmetic of the row of cells.

#include <QByteArray>
#include <QString>

namespace tessora {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One code per cell. Characters of the Latin-1 range keep their code (so that the font's
// umlauts show); every other character takes one blank cell per byte of its GBK encoding
// (a Chinese character two), or one when GBK cannot hold it.
QByteArray ledCodes(const QString& caption);

// The `numChars` codes shown, padded with spaces.
//  taLeftJustify:  from `currentStep` on, padded on the right;
//  taRightJustify: the last ones, padded on the left;
//  taCenter:       the middle part, or a short caption padded half on each side (the odd
//                  space on the right).
QByteArray ledWindow(const QByteArray& codes, int numChars, TAlignment alignment, int currentStep);

// How many cells fit into `width` pixels with a frame `frame` pixels wide on each side;
// the cells lie `ledSpace` - 1 pixels apart. Never below 0.
int ledCellsForWidth(int width, int ledSpace, int frame, int cellWidth);
// The width of `numChars` cells with that frame and spacing.
int ledWidthForCells(int numChars, int ledSpace, int frame, int cellWidth);

}  // namespace tessora
