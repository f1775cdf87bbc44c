// Number texts of the numeric entry field: reading a value from text, writing a
// value in one of the field's formats, and the filter for typed characters.
// Pure functions over QtCore types: no widget, no C library locale.
#pragma once

#include "ui/RegionalSettings.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

namespace orbel {

enum TFloatFormat : int { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Precision is used clamped to this range.
constexpr int MinFloatPrecision = 2;
constexpr int MaxFloatPrecision = 18;
// ffFixed, ffNumber and ffCurrency write at most this many decimals.
constexpr int MaxFloatDecimals = 18;

// The value of a number text, or nothing when the text is no number. A number
// text is: optional blanks (U+0020), an optional sign, decimal digits 0-9 with
// at most one decimal separator and at least one digit, an optional exponent
// (E or e, an optional sign, at least one digit), optional blanks. No thousands
// separators. The value is rounded to the nearest double: a magnitude beyond
// the double range gives an infinity, one below it gives zero (or a subnormal).
std::optional<double> TryTextToFloat(QStringView text, QChar decimalSeparator);

// As TryTextToFloat, but a text that is no number reads as 0.
double TextToFloat(QStringView text, QChar decimalSeparator);

// The text of a value in a format. Precision is the number of significant
// digits (clamped to MinFloatPrecision..MaxFloatPrecision); the meaning of
// Digits depends on the format. Infinities and NaN are written "INF", "-INF"
// and "NAN" in every format. An unknown format writes the general one.
QString FloatToText(double value, TFloatFormat format, int precision, int digits,
                    const TRegionalSettings& settings);

// The typed-character filter: the character to insert for one character typed
// into text whose selection (or caret, when selectionLength is 0) starts at
// selectionStart, or nothing when the character is to be discarded. Digits,
// backspace, tab, carriage return and escape pass; a full stop or comma
// becomes the decimal separator unless the text already holds one; a minus
// sign passes only at the start of the text when it would not make a second
// minus; everything else is discarded.
std::optional<QChar> FilterTypedChar(QStringView text, qsizetype selectionStart,
                                     qsizetype selectionLength, QChar typed,
                                     QChar decimalSeparator);

} // namespace orbel
