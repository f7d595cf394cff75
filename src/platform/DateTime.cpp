#include "platform/DateTime.h"

#include <QTime>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kMsecsPerDay = 86400000;
// The representable range: 1 Jan 0001 to 31 Dec 9999.
constexpr double kMinDateTime = -693593.0;
constexpr double kMaxDateTime = 2958466.0;

qint64 BaseJulianDay() { return QDate(1899, 12, 30).toJulianDay(); }

struct Decoded {
  QDate date;
  QTime time;
};

// Integral part = day (truncated toward zero), |fraction| = time of day, rounded to
// the millisecond; a time rounding up to 24:00 moves to the next day's midnight.
bool Decode(TDateTime dt, Decoded& out) {
  if (!std::isfinite(dt) || dt <= kMinDateTime - 1 || dt >= kMaxDateTime) return false;
  const double days = std::trunc(dt);
  auto ms = static_cast<qint64>(std::llround(std::fabs(dt - days) * double(kMsecsPerDay)));
  QDate date = QDate::fromJulianDay(BaseJulianDay() + static_cast<qint64>(days));
  if (ms >= kMsecsPerDay) {
    ms -= kMsecsPerDay;
    date = date.addDays(1);
  }
  if (!date.isValid() || date.year() < 1 || date.year() > 9999) return false;
  out.date = date;
  out.time = QTime::fromMSecsSinceStartOfDay(int(ms));
  return true;
}

// Qt renders digits in the locale's script; the stored files and these patterns
// use ASCII digits throughout.
QString AsciiDigits(QString text) {
  for (QChar& c : text) {
    if (c.unicode() > 127 && c.isDigit()) c = QChar(u'0' + c.digitValue());
  }
  return text;
}

// Qt time formats carry a time-zone token ('t') a TDateTime has no use for.
QString WithoutTimeZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') continue;
    out += c;
  }
  return out.trimmed();
}

QChar FirstSeparator(const QString& format, QChar fallback) {
  for (const QChar c : format) {
    if (c.isLetter() || c == u'\'' || c.category() == QChar::Other_Format || c.isSpace()) continue;
    return c;
  }
  return fallback;
}

QString Number(int value, int width) {
  return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

bool StartsWithNoCase(QStringView text, qsizetype at, QLatin1StringView what) {
  return text.mid(at).startsWith(what, Qt::CaseInsensitive);
}

class Formatter {
 public:
  Formatter(const Decoded& value, const QLocale& locale) : v_(value), locale_(locale) {}

  QString Run(QStringView pattern) {
    QString out;
    QChar lastToken;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
      const QChar starter = pattern[i];
      QChar token = starter.toUpper();
      if (token.unicode() < 128 && token.isLetter()) {
        // "m" right after an hour token means minutes.
        if (token == u'M' && lastToken == u'H') token = u'N';
        lastToken = token;
      }
      qsizetype count = 1;
      while (i + count < n && pattern[i + count] == starter) ++count;
      switch (token.unicode()) {
        case u'Y':
          out += count <= 2 ? Number(v_.date.year() % 100, 2) : Number(v_.date.year(), 4);
          i += count;
          break;
        case u'M':
          if (count <= 2) {
            out += Number(v_.date.month(), int(count));
          } else {
            out += locale_.monthName(v_.date.month(),
                                     count == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
          }
          i += count;
          break;
        case u'D':
          if (count <= 2) {
            out += Number(v_.date.day(), int(count));
          } else if (count <= 4) {
            out += locale_.dayName(v_.date.dayOfWeek(),
                                   count == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
          } else if (count == 5) {
            out += ShortDate();
          } else {
            out += AsciiDigits(locale_.toString(v_.date, locale_.dateFormat(QLocale::LongFormat)));
          }
          i += count;
          break;
        case u'H': {
          int hour = v_.time.hour();
          if (TwelveHourClock(pattern, i + count))
            hour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
          out += Number(hour, count >= 2 ? 2 : 1);
          i += count;
          break;
        }
        case u'N':
          out += Number(v_.time.minute(), count >= 2 ? 2 : 1);
          i += count;
          break;
        case u'S':
          out += Number(v_.time.second(), count >= 2 ? 2 : 1);
          i += count;
          break;
        case u'Z':
          out += Number(v_.time.msec(), count >= 3 ? 3 : 1);
          i += count;
          break;
        case u'T':
          out += Time(count == 1 ? QLocale::ShortFormat : QLocale::LongFormat);
          i += count;
          break;
        case u'C':
          out += ShortDate();
          if (v_.time.msecsSinceStartOfDay() != 0)
            out += QLatin1Char(' ') + Time(QLocale::LongFormat);
          i += count;
          break;
        case u'A':
          i = AmPm(pattern, i, out);
          break;
        case u'/':
          out += FirstSeparator(ShortDateFormat(locale_), QLatin1Char('/'));
          ++i;
          break;
        case u':':
          out += FirstSeparator(locale_.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
          ++i;
          break;
        case u'\'':
        case u'"': {
          const qsizetype close = pattern.indexOf(starter, i + 1);
          const qsizetype end = close < 0 ? n : close;
          out += pattern.mid(i + 1, end - i - 1);
          i = close < 0 ? n : close + 1;
          break;
        }
        default:
          out += starter;
          ++i;
          break;
      }
    }
    return out;
  }

 private:
  QString ShortDate() const {
    return AsciiDigits(locale_.toString(v_.date, ShortDateFormat(locale_)));
  }

  QString Time(QLocale::FormatType type) const {
    return AsciiDigits(locale_.toString(v_.time, WithoutTimeZone(locale_.timeFormat(type))));
  }

  // An hour token prints on the 12-hour clock when an am/pm token follows it
  // before the next hour token.
  static bool TwelveHourClock(QStringView pattern, qsizetype from) {
    bool quoted = false;
    for (qsizetype k = from; k < pattern.size(); ++k) {
      const QChar c = pattern[k];
      if (c == u'\'' || c == u'"') {
        quoted = !quoted;
      } else if (!quoted && (c == u'h' || c == u'H')) {
        return false;
      } else if (!quoted && (c == u'a' || c == u'A')) {
        return StartsWithNoCase(pattern, k, QLatin1StringView("am/pm")) ||
               StartsWithNoCase(pattern, k, QLatin1StringView("a/p")) ||
               StartsWithNoCase(pattern, k, QLatin1StringView("ampm"));
      }
    }
    return false;
  }

  qsizetype AmPm(QStringView pattern, qsizetype i, QString& out) const {
    const bool pm = v_.time.hour() >= 12;
    if (StartsWithNoCase(pattern, i, QLatin1StringView("am/pm"))) {
      out += pattern.mid(pm ? i + 3 : i, 2);  // as written: "am"/"pm" or "AM"/"PM"
      return i + 5;
    }
    if (StartsWithNoCase(pattern, i, QLatin1StringView("a/p"))) {
      out += pattern[pm ? i + 2 : i];
      return i + 3;
    }
    if (StartsWithNoCase(pattern, i, QLatin1StringView("ampm"))) {
      out += pm ? locale_.pmText() : locale_.amText();
      return i + 4;
    }
    out += pattern[i];
    return i + 1;
  }

  const Decoded& v_;
  const QLocale& locale_;
};

}  // namespace

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999) return std::numeric_limits<double>::quiet_NaN();
  return DateFromQDate(QDate(year, month, day));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  const TDateTime value = EncodeDate(year, month, day);
  if (std::isnan(value)) return false;
  out = value;
  return true;
}

TDateTime DateFromQDate(const QDate& date) {
  if (!date.isValid()) return std::numeric_limits<double>::quiet_NaN();
  return double(date.toJulianDay() - BaseJulianDay());
}

TDateTime DateTimeFromQDateTime(const QDateTime& dt) {
  if (!dt.isValid()) return std::numeric_limits<double>::quiet_NaN();
  const TDateTime days = DateFromQDate(dt.date());
  const double fraction = double(dt.time().msecsSinceStartOfDay()) / double(kMsecsPerDay);
  // Before 30 Dec 1899 the fraction still counts forward within the day.
  return days < 0 ? days - fraction : days + fraction;
}

QDateTime QDateTimeFromDateTime(TDateTime dt) {
  Decoded d;
  if (!Decode(dt, d)) return {};
  return QDateTime(d.date, d.time);
}

QDate QDateFromDateTime(TDateTime dt) {
  Decoded d;
  if (!Decode(dt, d)) return {};
  return d.date;
}

QString FormatDateTime(const QString& pattern, TDateTime dt, const QLocale& locale) {
  Decoded d;
  if (!Decode(dt, d)) return {};
  return Formatter(d, locale).Run(pattern);
}

QString ShortDateFormat(const QLocale& locale) {
  const QString format = locale.dateFormat(QLocale::ShortFormat);
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size();) {
    const QChar c = format[i];
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u'y') {
      while (i < format.size() && format[i] == u'y') ++i;
      out += QLatin1StringView("yyyy");
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

namespace {

// Literal text of a date format or an input, compared without blanks and
// bidirectional marks.
QString Significant(QStringView text) {
  QString out;
  for (const QChar c : text) {
    if (c.isSpace() || c.category() == QChar::Other_Format) continue;
    out += c;
  }
  return out;
}

// Splits a numeric Qt date format into its fields (d, M, y) and the literals
// around them. False when the format has names or anything else non-numeric.
bool SplitFormat(const QString& format, QString& fields, QStringList& literals) {
  QString literal;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size();) {
    const QChar c = format[i];
    if (c == u'\'') {
      if (i + 1 < format.size() && format[i + 1] == u'\'') {
        literal += c;
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    if (quoted || !c.isLetter()) {
      literal += c;
      ++i;
      continue;
    }
    qsizetype count = 1;
    while (i + count < format.size() && format[i + count] == c) ++count;
    if (!(c == u'd' || c == u'M' || c == u'y') || (c != u'y' && count > 2)) return false;
    fields += c;
    literals += literal;
    literal.clear();
    i += count;
  }
  literals += literal;
  return fields.size() == 3 && fields.contains(u'd') && fields.contains(u'M') &&
         fields.contains(u'y');
}

}  // namespace

bool TryStrToDate(const QString& text, TDateTime& out, const QLocale& locale) {
  const QString format = ShortDateFormat(locale);
  QString fields;
  QStringList literals;
  if (!SplitFormat(format, fields, literals)) {
    // Formats with month or day names: Qt's own parser.
    const QDate date = locale.toDate(text.trimmed(), format);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999) return false;
    out = DateFromQDate(date);
    return true;
  }
  // Input: digit runs and the literal text between them.
  QList<int> values;
  QList<int> widths;
  QStringList textLiterals;
  QString literal;
  for (qsizetype i = 0; i < text.size();) {
    if (!text[i].isDigit()) {
      literal += text[i++];
      continue;
    }
    int value = 0;
    int width = 0;
    while (i < text.size() && text[i].isDigit()) {
      if (++width > 4) return false;
      value = value * 10 + text[i++].digitValue();
    }
    values += value;
    widths += width;
    textLiterals += literal;
    literal.clear();
  }
  textLiterals += literal;
  if (values.size() != 3) return false;
  for (qsizetype k = 0; k < literals.size(); ++k) {
    if (Significant(literals[k]) != Significant(textLiterals[k])) return false;
  }
  int year = 0;
  int month = 0;
  int day = 0;
  for (qsizetype k = 0; k < 3; ++k) {
    const int width = widths[k];
    switch (fields[k].unicode()) {
      case u'y':
        // Only four-digit years: a shorter one would land in the wrong century.
        if (width != 4) return false;
        year = values[k];
        break;
      case u'M':
        if (width > 2) return false;
        month = values[k];
        break;
      default:
        if (width > 2) return false;
        day = values[k];
        break;
    }
  }
  TDateTime value = 0;
  if (!TryEncodeDate(year, month, day, value)) return false;
  out = value;
  return true;
}
