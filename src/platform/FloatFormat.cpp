#include "platform/FloatFormat.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// Decimal digits (no leading or trailing zeros) and the decimal exponent of the
// first digit: value = 0.d1d2... * 10^(exponent + 1), i.e. d1.d2... * 10^exponent.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// Splits the scientific text std::to_chars produced ("-1.2345e+07") into a Decimal.
Decimal ParseScientific(const char* begin, const char* end) {
  Decimal d;
  const char* p = begin;
  if (p != end && *p == '-') {
    d.negative = true;
    ++p;
  }
  for (; p != end && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') d.digits.push_back(*p);
  }
  if (p != end) {
    ++p;  // 'e'
    bool negativeExponent = false;
    if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
    int e = 0;
    for (; p != end; ++p) e = e * 10 + (*p - '0');
    d.exponent = negativeExponent ? -e : e;
  }
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

QString SpecialText(long double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// "1.5E20", "1E-6", "-2.5E-7".
QString ExponentText(const Decimal& d, const QString& point) {
  QString text;
  if (d.negative) text += QLatin1Char('-');
  text += QLatin1Char(d.digits[0]);
  if (d.digits.size() > 1) {
    text += point;
    text += QString::fromLatin1(d.digits.data() + 1, qsizetype(d.digits.size() - 1));
  }
  text += QLatin1Char('E');
  text += QString::number(d.exponent);
  return text;
}

// Plain notation of the same digits: "123.45", "0.00001", "1500".
QString PlainText(const Decimal& d, const QString& point) {
  const auto count = int(d.digits.size());
  std::string integral;
  std::string fraction;
  if (d.exponent >= 0) {
    const int integerDigits = d.exponent + 1;
    if (count <= integerDigits) {
      integral = d.digits + std::string(size_t(integerDigits - count), '0');
    } else {
      integral = d.digits.substr(0, size_t(integerDigits));
      fraction = d.digits.substr(size_t(integerDigits));
    }
  } else {
    integral = "0";
    fraction = std::string(size_t(-d.exponent - 1), '0') + d.digits;
  }
  QString text;
  if (d.negative) text += QLatin1Char('-');
  text += QString::fromLatin1(integral.data(), qsizetype(integral.size()));
  if (!fraction.empty()) {
    text += point;
    text += QString::fromLatin1(fraction.data(), qsizetype(fraction.size()));
  }
  return text;
}

// Checks the grammar with the locale's decimal separator and rewrites the number
// with '.' for the C conversion functions. Empty result = rejected.
std::string NormalizeNumber(const QString& text, const QLocale& locale) {
  const QString s = text.trimmed();
  const QString point = locale.decimalPoint();
  std::string out;
  qsizetype i = 0;
  const qsizetype n = s.size();
  auto isDigit = [&](qsizetype k) { return k < n && s[k] >= u'0' && s[k] <= u'9'; };
  if (i < n && (s[i] == u'+' || s[i] == u'-')) out.push_back(char(s[i++].unicode()));
  int mantissaDigits = 0;
  while (isDigit(i)) {
    out.push_back(char(s[i++].unicode()));
    ++mantissaDigits;
  }
  if (!point.isEmpty() && QStringView(s).mid(i).startsWith(point)) {
    i += point.size();
    out.push_back('.');
    while (isDigit(i)) {
      out.push_back(char(s[i++].unicode()));
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return {};
  if (i < n && (s[i] == u'e' || s[i] == u'E')) {
    out.push_back('e');
    ++i;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) out.push_back(char(s[i++].unicode()));
    if (!isDigit(i)) return {};
    while (isDigit(i)) out.push_back(char(s[i++].unicode()));
  }
  if (i != n) return {};
  return out;
}

// The process locale may have a comma as decimal separator (QCoreApplication
// calls setlocale), so the conversions run in the C locale explicitly.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return c;
}

}  // namespace

QString FloatToStrGeneral(long double value, const QLocale& locale) {
  if (!std::isfinite(value)) return SpecialText(value);
  if (value == 0) return QStringLiteral("0");
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const Decimal d = ParseScientific(buffer, result.ptr);
  const QString point = locale.decimalPoint();
  // Exponent taken after rounding to 15 digits, so 999999999999999.9 counts as 1E15.
  if (d.exponent >= 15 || d.exponent < -5) return ExponentText(d, point);
  return PlainText(d, point);
}

QString FloatToStrShortest(long double value, const QLocale& locale) {
  if (!std::isfinite(value)) return SpecialText(value);
  if (value == 0) return QStringLiteral("0");
  constexpr long double kTwoTo64 = 18446744073709551616.0L;
  const long double magnitude = std::fabs(value);
  if (magnitude < kTwoTo64 && std::trunc(value) == value) {
    const auto whole = static_cast<unsigned long long>(magnitude);
    QString text = QString::number(whole);
    return value < 0 ? QLatin1Char('-') + text : text;
  }
  const double asDouble = static_cast<double>(value);
  if (!std::isfinite(asDouble)) return SpecialText(value);
  if (asDouble == 0) return QStringLiteral("0");
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, asDouble, std::chars_format::scientific);
  const Decimal d = ParseScientific(buffer, result.ptr);
  const QString point = locale.decimalPoint();
  const double abs = std::fabs(asDouble);
  if (abs >= 1e21 || abs < 1e-5) return ExponentText(d, point);
  return PlainText(d, point);
}

bool TryStrToFloat(const QString& text, long double& out, const QLocale& locale) {
  const std::string normalized = NormalizeNumber(text, locale);
  if (normalized.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long double value = strtold_l(normalized.c_str(), &end, CLocale());
  if (end != normalized.c_str() + normalized.size()) return false;
  if (errno == ERANGE && std::isinf(value)) return false;
  if (!std::isfinite(value)) return false;
  out = value;
  return true;
}

bool TryStrToFloat(const QString& text, double& out, const QLocale& locale) {
  const std::string normalized = NormalizeNumber(text, locale);
  if (normalized.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = strtod_l(normalized.c_str(), &end, CLocale());
  if (end != normalized.c_str() + normalized.size()) return false;
  if (errno == ERANGE && std::isinf(value)) return false;
  if (!std::isfinite(value)) return false;
  out = value;
  return true;
}

QString FloatToStrFixed(long double value, int decimals, const QLocale& locale) {
  if (!std::isfinite(value)) return SpecialText(value);
  decimals = std::clamp(decimals, 0, 18);
  char small[128];
  auto result =
      std::to_chars(small, small + sizeof small, value, std::chars_format::fixed, decimals);
  std::string text;
  if (result.ec == std::errc()) {
    text.assign(small, result.ptr);
  } else {
    // The largest long double has 4933 integer digits.
    std::string buffer(4933 + 2 + size_t(decimals) + 8, '\0');
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                           std::chars_format::fixed, decimals);
    text.assign(buffer.data(), result.ptr);
  }
  // "-0.00" after rounding reads as plain zero.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  QString s = QString::fromLatin1(text.data(), qsizetype(text.size()));
  const qsizetype dot = s.indexOf(QLatin1Char('.'));
  if (dot >= 0) s.replace(dot, 1, locale.decimalPoint());
  return s;
}
