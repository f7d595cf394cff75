#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The unit names of the language file: nine names each for base 1000 and base
// 1024, index 0 being the unit of single bytes.
struct QuantityUnits {
  QStringList names1000;
  QStringList names1024;
};

// Scales a byte count or rate into the largest fitting unit and appends the unit
// name: "12.50 KiB" (long form) or "12.50KiB" / "3.00B" (short form). Base 1000
// selects the names1000 list, any other base the names1024 list.
QString FormatQuantity(long double value, int base, const QuantityUnits& units, bool shortForm,
                       const QLocale& locale = QLocale());

// value / maximum x 100, 0 when either is not positive; when `round` is set the
// result is rounded to a multiple of 10^digits (halves to the even neighbour).
double Percentage(long double maximum, long double value, signed char digits, bool round);
