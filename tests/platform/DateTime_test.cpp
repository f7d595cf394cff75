#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int msec = 0) {
  return EncodeDate(year, month, day) +
         (((hour * 60 + minute) * 60 + second) * 1000 + msec) / 86400000.0;
}

QString S(const char* text) { return QString::fromUtf8(text); }

TEST(DateTime, EncodeDateKnownValues) {
  struct Case {
    int y, m, d;
    double expected;
  };
  const std::vector<Case> cases = {
      {1899, 12, 30, 0},    {1899, 12, 31, 1},   {1900, 1, 1, 2},
      {1899, 12, 29, -1},   {2000, 1, 1, 36526}, {2026, 12, 11, 46367},
      {2024, 2, 29, 45351}, {1, 1, 1, -693593},  {9999, 12, 31, 2958465},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.expected);
    TDateTime out = -1e9;
    EXPECT_TRUE(TryEncodeDate(c.y, c.m, c.d, out));
    EXPECT_EQ(out, c.expected);
  }
}

TEST(DateTime, EncodeDateRejectsImpossibleDates) {
  struct Case {
    int y, m, d;
  };
  for (const auto& c : std::vector<Case>{
           {2026, 2, 29}, {2026, 13, 1}, {2026, 0, 1}, {2026, 4, 31}, {0, 1, 1}, {10000, 1, 1}}) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    EXPECT_TRUE(std::isnan(EncodeDate(c.y, c.m, c.d)));
    TDateTime out = 7;
    EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, out));
    EXPECT_EQ(out, 7);
  }
  EXPECT_TRUE(std::isnan(DateFromQDate(QDate())));
  EXPECT_TRUE(std::isnan(DateTimeFromQDateTime(QDateTime())));
}

TEST(DateTime, FractionIsTimeOfDay) {
  EXPECT_EQ(QDateTimeFromDateTime(0.5), QDateTime(QDate(1899, 12, 30), QTime(12, 0)));
  EXPECT_EQ(QDateTimeFromDateTime(0.25), QDateTime(QDate(1899, 12, 30), QTime(6, 0)));
  EXPECT_EQ(QDateTimeFromDateTime(46367.75), QDateTime(QDate(2026, 12, 11), QTime(18, 0)));
  // Before 1899 the fraction still counts the time of day forward.
  EXPECT_EQ(QDateTimeFromDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
  EXPECT_EQ(QDateTimeFromDateTime(-2.75), QDateTime(QDate(1899, 12, 28), QTime(18, 0)));
  EXPECT_EQ(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
  EXPECT_EQ(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 30), QTime(12, 0))), 0.5);
  EXPECT_EQ(DateTimeFromQDateTime(QDateTime(QDate(2026, 12, 11), QTime(18, 0))), 46367.75);
  EXPECT_EQ(QDateFromDateTime(46367.9), QDate(2026, 12, 11));
  EXPECT_EQ(QDateFromDateTime(-1.9), QDate(1899, 12, 29));
  EXPECT_EQ(DateFromQDate(QDate(2026, 12, 11)), 46367);
}

TEST(DateTime, TimeRoundsToMillisecondsAndCarries) {
  EXPECT_EQ(QDateTimeFromDateTime(46367.99999999999), QDateTime(QDate(2026, 12, 12), QTime(0, 0)));
  EXPECT_EQ(QDateTimeFromDateTime(At(2026, 12, 11, 13, 4, 5, 7)),
            QDateTime(QDate(2026, 12, 11), QTime(13, 4, 5, 7)));
}

TEST(DateTime, QDateTimeRoundTrip) {
  for (const QDateTime& dt : {QDateTime(QDate(2026, 12, 11), QTime(13, 4, 5, 7)),
                              QDateTime(QDate(1850, 6, 1), QTime(23, 59, 59, 999)),
                              QDateTime(QDate(1, 1, 1), QTime(0, 0, 0, 1)),
                              QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999))}) {
    SCOPED_TRACE(dt.toString(Qt::ISODateWithMs).toStdString());
    EXPECT_EQ(QDateTimeFromDateTime(DateTimeFromQDateTime(dt)), dt);
  }
}

TEST(DateTime, InvalidValuesGiveInvalidResults) {
  for (const double v :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 1e300, -1e300, 2958466.0, -693594.0}) {
    SCOPED_TRACE(v);
    EXPECT_FALSE(QDateTimeFromDateTime(v).isValid());
    EXPECT_FALSE(QDateFromDateTime(v).isValid());
    EXPECT_TRUE(FormatDateTime(S("dd.mm.yyyy"), v, kUs).isEmpty());
  }
}

TEST(DateTime, ShortDateFormatHasFourDigitYear) {
  EXPECT_EQ(ShortDateFormat(kGerman), S("dd.MM.yyyy"));
  EXPECT_EQ(ShortDateFormat(kUs), S("M/d/yyyy"));
  for (const auto& locale : {kGerman, kUs, QLocale(QLocale::Hungarian), QLocale(QLocale::Japanese),
                             QLocale(QLocale::English, QLocale::UnitedKingdom),
                             QLocale(QLocale::French, QLocale::France)}) {
    SCOPED_TRACE(locale.name().toStdString());
    const QString f = ShortDateFormat(locale);
    EXPECT_TRUE(f.contains(S("yyyy")));
    EXPECT_FALSE(f.contains(S("yyyyy")));
  }
}

struct FormatCase {
  const char* pattern;
  TDateTime value;
  const char* german;
  const char* us;
};

TEST(DateTime, FormatDateTimePatterns) {
  const TDateTime v = At(2026, 12, 11, 13, 4, 5, 7);
  const TDateTime early = At(2026, 3, 5, 0, 9, 0);
  const std::vector<FormatCase> cases = {
      {"dd.mm.yyyy hh:mm:ss", v, "11.12.2026 13:04:05", "11.12.2026 13:04:05"},
      {"dd.mm.yyyy hh:mm:ss", early, "05.03.2026 00:09:00", "05.03.2026 00:09:00"},
      {"yyyy", v, "2026", "2026"},
      {"yy", v, "26", "26"},
      {"y", v, "26", "26"},
      {"mm", v, "12", "12"},
      {"m", early, "3", "3"},
      {"dd", v, "11", "11"},
      {"d", early, "5", "5"},
      {"hh:nn", v, "13:04", "13:04"},
      {"h:n", early, "0:9", "0:9"},
      {"nn", v, "04", "04"},
      {"ss", v, "05", "05"},
      {"zzz", v, "007", "007"},
      {"z", v, "7", "7"},
      // Minutes or month: "m" directly after an hour token (separators and literals
      // in between do not count) means minutes.
      {"hh:mm", v, "13:04", "13:04"},
      {"h:m", early, "0:9", "0:9"},
      {"hh mm", v, "13 04", "13 04"},
      {"hh'h'mm", v, "13h04", "13h04"},
      {"hh:mm:mm", v, "13:04:12", "13:04:12"},
      {"hh dd mm", v, "13 11 12", "13 11 12"},
      {"mm hh", v, "12 13", "12 13"},
      {"mm/dd hh:mm", v, "12.11 13:04", "12/11 13:04"},
      {"hh:mmmm", v, "13:04", "13:04"},
      // Quoted literals are copied as they stand.
      {"'dd' dd", v, "dd 11", "dd 11"},
      {"\"mm\"mm", v, "mm12", "mm12"},
      {"yyyy 'hh:nn'", v, "2026 hh:nn", "2026 hh:nn"},
      {"'it''s'", v, "its", "its"},
      {"'open", v, "open", "open"},
      {"[yyyy]", v, "[2026]", "[2026]"},
      // Separators from the locale.
      {"dd/mm/yyyy", v, "11.12.2026", "11/12/2026"},
      {"hh:nn:ss", v, "13:04:05", "13:04:05"},
      // 12-hour clock.
      {"h am/pm", v, "1 pm", "1 pm"},
      {"hh AM/PM", v, "01 PM", "01 PM"},
      {"h a/p", v, "1 p", "1 p"},
      {"h:nn am/pm", early, "12:09 am", "12:09 am"},
      {"h ampm", v, "1 PM", "1 PM"},
      {"hh", v, "13", "13"},
      // Names and locale formats.
      {"dddd", v, "Freitag", "Friday"},
      {"mmmm", v, "Dezember", "December"},
      {"ddddd", v, "11.12.2026", "12/11/2026"},
      {"ddddd", early, "05.03.2026", "3/5/2026"},
      {"ddddd", EncodeDate(99, 1, 2), "02.01.0099", "1/2/0099"},
      {"dddddd", v, "Freitag, 11. Dezember 2026", "Friday, December 11, 2026"},
      {"t", v, "13:04", "1:04 PM"},
      {"tt", v, "13:04:05", "1:04:05 PM"},
      {"c", v, "11.12.2026 13:04:05", "12/11/2026 1:04:05 PM"},
      {"c", EncodeDate(2026, 12, 11), "11.12.2026", "12/11/2026"},
      // Negative values: the fraction is still the time of day.
      {"dd.mm.yyyy hh:nn", -1.25, "29.12.1899 06:00", "29.12.1899 06:00"},
      {"dd.mm.yyyy hh:nn", 0.5, "30.12.1899 12:00", "30.12.1899 12:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(FormatDateTime(S(c.pattern), c.value, kGerman), S(c.german));
    EXPECT_EQ(FormatDateTime(S(c.pattern), c.value, kUs), S(c.us));
  }
  EXPECT_EQ(FormatDateTime(S("ddd mmm"), v, kGerman),
            kGerman.dayName(5, QLocale::ShortFormat) + S(" ") +
                kGerman.monthName(12, QLocale::ShortFormat));
  EXPECT_EQ(FormatDateTime(S("ddd mmm"), v, kUs), S("Fri Dec"));
}

TEST(DateTime, ShortDateAlwaysHasFourDigitYear) {
  const QRegularExpression german(S("^\\d\\d\\.\\d\\d\\.\\d{4}$"));
  const QRegularExpression us(S("^\\d{1,2}/\\d{1,2}/\\d{4}$"));
  for (const TDateTime v : {EncodeDate(2026, 12, 11), EncodeDate(1999, 1, 1), EncodeDate(5, 6, 7),
                            EncodeDate(2001, 10, 9) + 0.75}) {
    EXPECT_TRUE(german.match(FormatDateTime(S("ddddd"), v, kGerman)).hasMatch());
    EXPECT_TRUE(us.match(FormatDateTime(S("ddddd"), v, kUs)).hasMatch());
  }
}

struct ParseCase {
  const char* text;
  int y, m, d;
};

TEST(DateTime, TryStrToDateAccepts) {
  const std::vector<ParseCase> german = {
      {"11.12.2026", 2026, 12, 11}, {"1.2.2026", 2026, 2, 1},     {"01.2.2026", 2026, 2, 1},
      {" 05.03.2026 ", 2026, 3, 5}, {"1. 2. 2026", 2026, 2, 1},   {"29.02.2024", 2024, 2, 29},
      {"02.01.0099", 99, 1, 2},     {"31.12.9999", 9999, 12, 31}, {"01.01.0001", 1, 1, 1},
  };
  const std::vector<ParseCase> us = {
      {"12/11/2026", 2026, 12, 11}, {"1/2/2026", 2026, 1, 2},   {"01/02/2026", 2026, 1, 2},
      {" 3/5/2026 ", 2026, 3, 5},   {"2/29/2024", 2024, 2, 29},
  };
  for (const auto& [locale, cases] : {std::pair{kGerman, german}, std::pair{kUs, us}}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.text);
      TDateTime out = -1;
      ASSERT_TRUE(TryStrToDate(S(c.text), out, locale));
      EXPECT_EQ(out, EncodeDate(c.y, c.m, c.d));
    }
  }
}

TEST(DateTime, TryStrToDateRejects) {
  const std::vector<const char*> german = {
      "",
      " ",
      "abc",
      "11.12.26",
      "11.12.202",
      "31.02.2026",
      "29.02.2026",
      "32.01.2026",
      "11.13.2026",
      "00.01.2026",
      "01.01.0000",
      "11.12.2026x",
      "x11.12.2026",
      "11/12/2026",
      "11.12.2026 10:00",
      "11..12.2026",
      "-1.2.2026",
      "111.2.2026",
      "11.12.02026",
      "11.12",
      "11.12.2026.1",
  };
  const std::vector<const char*> us = {
      "",      "12.11.2026", "13/1/2026",    "2/29/2026", "12/11/26", "12/11/2026/",
      "12/11", "1/2/3/4",    "Dec 11, 2026",
  };
  for (const auto& [locale, cases] : {std::pair{kGerman, german}, std::pair{kUs, us}}) {
    for (const char* text : cases) {
      SCOPED_TRACE(text);
      TDateTime out = -1;
      EXPECT_FALSE(TryStrToDate(S(text), out, locale));
      EXPECT_EQ(out, -1);
    }
  }
}

TEST(DateTime, ShortDateRoundTrip) {
  std::vector<TDateTime> values = {EncodeDate(1, 1, 1),      EncodeDate(99, 1, 2),
                                   EncodeDate(1899, 12, 30), EncodeDate(1899, 12, 29),
                                   EncodeDate(2026, 12, 11), EncodeDate(9999, 12, 31)};
  for (TDateTime d = EncodeDate(2024, 1, 1); d < EncodeDate(2025, 1, 1); d += 1)
    values.push_back(d);
  for (const auto& locale :
       {kGerman, kUs, QLocale(QLocale::Hungarian), QLocale(QLocale::Japanese),
        QLocale(QLocale::English, QLocale::UnitedKingdom),
        QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
    for (const TDateTime v : values) {
      const QString text = FormatDateTime(S("ddddd"), v, locale);
      SCOPED_TRACE(locale.name().toStdString() + " " + text.toStdString());
      TDateTime back = -1;
      ASSERT_TRUE(TryStrToDate(text, back, locale));
      EXPECT_EQ(back, v);
    }
    // The time of day is not part of the short date.
    TDateTime back = -1;
    ASSERT_TRUE(TryStrToDate(FormatDateTime(S("ddddd"), 46367.75, locale), back, locale));
    EXPECT_EQ(back, 46367);
  }
}

}  // namespace
