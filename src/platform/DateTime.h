#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The date-time type the stored files and the database use: days since
// 30 December 1899 as the integral part, the time of day as the fraction.
using TDateTime = double;

// Dates outside 1..9999 or impossible dates (31 Feb) give NaN; so does an
// invalid QDate/QDateTime. The reverse conversions give an invalid QDate/QDateTime
// for NaN, infinities and values outside the years 1..9999. Times are rounded to
// the millisecond.
TDateTime EncodeDate(int year, int month, int day);
// EncodeDate without the NaN: false (and `out` untouched) for an impossible date.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime DateTimeFromQDateTime(const QDateTime& dt);
TDateTime DateFromQDate(const QDate& date);
QDateTime QDateTimeFromDateTime(TDateTime dt);
QDate QDateFromDateTime(TDateTime dt);

// FormatDateTime-style patterns, rendered with the locale's names and separators.
// Supported tokens: d dd ddd dddd ddddd (short date) dddddd (long date), m mm mmm
// mmmm (minutes when following h/hh), yy yyyy, h hh, n nn, s ss, z zzz, t (short
// time) tt (long time), am/pm, ampm, "/" (date separator), ":" (time separator),
// and text in single or double quotes copied as it stands. Also "c" (short date,
// plus long time when the time is not midnight) and "a/p". Numbers always use
// ASCII digits. Time formats from the locale lose their time-zone token. An
// invalid `dt` (see above) gives an empty string.
QString FormatDateTime(const QString& pattern, TDateTime dt, const QLocale& locale = QLocale());

// The locale's short date format, always with a four-digit year, as a Qt date
// format string (QLocale::toString(QDate, format) syntax), e.g. "M/d/yyyy" for
// US English and "dd.MM.yyyy" for German.
QString ShortDateFormat(const QLocale& locale = QLocale());

// Reads a date written in the short date form of the locale (as "ddddd" prints it).
// Day and month may lack the leading zero; the year must have four digits; blanks
// around the separators are ignored. Garbage and impossible dates give false and
// leave `out` untouched.
bool TryStrToDate(const QString& text, TDateTime& out, const QLocale& locale = QLocale());

// Source of the current time; injected wherever the date or time of day matters.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};
