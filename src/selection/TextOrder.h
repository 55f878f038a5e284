#pragma once
#include <QStringView>
#include <QtGlobal>

// Order of member texts: by the Windows-1252 byte of each character, as the roster's
// code page numbers them (Š, Œ, Ž, Ÿ before É and Ö); characters that code page lacks
// follow all of them, by code point. A text that begins another sorts first.

namespace TextOrder {
// The weight of every UTF-16 unit: 0..255 for the Windows-1252 characters, then the rest
// in code-point order (a surrogate weighs more than every other unit, so a pair compares
// by its code point).
extern const quint16 *const Weights;

inline quint16 Weight(char16_t unit) { return unit < 0x80 ? quint16(unit) : Weights[unit]; }
}

// < 0, 0 or > 0. from: the units before it are known to be equal.
int CompareSortText(QStringView a, QStringView b, qsizetype from = 0);
