#include "acquisition/FormatQuantity.h"

#include <cmath>

#include "platform/FloatFormat.h"

QString FormatQuantity(long double value, int base, const QuantityUnits& units, bool shortForm,
                       const QLocale& locale) {
  const QStringList& names = base == 1000 ? units.names1000 : units.names1024;
  int i = 0;
  // A base below 2 would never shrink the value; it then stays in unit 0.
  if (base > 1) {
    while (value > base && i < 8) {
      value /= base;
      ++i;
    }
  }
  const QString number = FloatToStrFixed(value, 2, locale);
  const QString name = i < names.size() ? names.at(i) : QString();
  if (!shortForm) return number + u' ' + name;
  return number + name.left(i == 0 ? 1 : 3);
}

double Percentage(long double maximum, long double value, signed char digits, bool round) {
  long double result = 0;
  if (value > 0 && maximum > 0) result = value / maximum * 100;
  if (round) {
    // Rounding to 10^digits: digits 0 a whole number, -1 one decimal place.
    const long double scale = std::pow(10.0L, -static_cast<long double>(digits));
    result = std::nearbyintl(result * scale) / scale;
  }
  return static_cast<double>(result);
}
