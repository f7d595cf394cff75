#pragma once

#include <QLocale>
#include <QString>

// Float <-> text conversions in the user's locale, as the stored files and the
// user interface print numbers.

// General form with up to 15 significant digits: no trailing zeros, whole numbers
// without a decimal separator, exponent form ("1.5E20", "1E-6") when the value
// needs more than 15 integer digits or is below 0.00001. NaN and infinities print
// as "NAN", "INF" and "-INF".
QString FloatToStrGeneral(long double value, const QLocale& locale = QLocale());

// Shortest text that reads back to the same value: whole numbers below 2^64 print
// as plain integers (exact), other values with the fewest digits that round-trip
// through a double, in plain notation where that is at most 21 integer digits.
QString FloatToStrShortest(long double value, const QLocale& locale = QLocale());

// Parses a number written with the locale's decimal separator (no grouping):
// optional blanks, sign, digits, separator, digits, optional exponent. NaN,
// infinities and anything else are rejected. Returns false and leaves `out`
// untouched on failure. Overflow is rejected; underflow reads as 0 or a denormal.
bool TryStrToFloat(const QString& text, long double& out, const QLocale& locale = QLocale());
bool TryStrToFloat(const QString& text, double& out, const QLocale& locale = QLocale());

// Fixed-point text with `decimals` decimals (clamped to 0..18), no grouping, locale
// decimal separator, rounded as printf rounds. A result that rounds to zero has no
// minus sign.
QString FloatToStrFixed(long double value, int decimals, const QLocale& locale = QLocale());
