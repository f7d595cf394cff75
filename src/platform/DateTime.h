#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The date-time type the stored files and the database use: days since
// 30 December 1899 as the integral part, the time of day as the fraction.
using TDateTime = double;

TDateTime EncodeDate(int year, int month, int day);
TDateTime DateTimeFromQDateTime(const QDateTime& dt);
TDateTime DateFromQDate(const QDate& date);
QDateTime QDateTimeFromDateTime(TDateTime dt);
QDate QDateFromDateTime(TDateTime dt);

// FormatDateTime-style patterns, rendered with the locale's names and separators.
// Supported tokens: d dd ddd dddd ddddd (short date) dddddd (long date), m mm mmm
// mmmm (minutes when following h/hh), yy yyyy, h hh, n nn, s ss, z zzz, t (short
// time) tt (long time), am/pm, ampm, "/" (date separator), ":" (time separator),
// and text in single or double quotes copied as it stands.
QString FormatDateTime(const QString& pattern, TDateTime dt, const QLocale& locale = QLocale());

// The locale's short date format, always with a four-digit year.
QString ShortDateFormat(const QLocale& locale = QLocale());

// Reads a date written in the short date form of the locale (as "ddddd" prints it).
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
