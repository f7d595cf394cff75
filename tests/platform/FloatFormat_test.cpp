#include "platform/FloatFormat.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// Expectations are written with '.'; this puts in the locale's separator.
QString L(const char* text, const QLocale& locale) {
  QString s = QString::fromLatin1(text);
  s.replace(QLatin1Char('.'), locale.decimalPoint());
  return s;
}

class FloatFormatTest : public ::testing::TestWithParam<QLocale> {};

INSTANTIATE_TEST_SUITE_P(Locales, FloatFormatTest, ::testing::Values(kGerman, kUs),
                         [](const auto& info) {
                           return info.param.language() == QLocale::German ? std::string("German")
                                                                           : std::string("US");
                         });

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double kInf = std::numeric_limits<long double>::infinity();

struct FormatCase {
  long double value;
  const char* expected;
};

TEST_P(FloatFormatTest, GeneralForm) {
  const std::vector<FormatCase> cases = {
      {0.0L, "0"},
      {-0.0L, "0"},
      {1.0L, "1"},
      {-1.5L, "-1.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {12345.678, "12345.678"},
      {100.0L, "100"},
      {1e14L, "100000000000000"},
      {999999999999999.0L, "999999999999999"},
      {999999999999999.9L, "1E15"},
      {1e15L, "1E15"},
      {-1e15L, "-1E15"},
      {1.5e20L, "1.5E20"},
      {123456789012345678.0L, "1.23456789012346E17"},
      {1e100L, "1E100"},
      {1e-5L, "0.00001"},
      {-1e-5L, "-0.00001"},
      {1.25e-5L, "0.0000125"},
      {1e-6L, "1E-6"},
      {-2.5e-7L, "-2.5E-7"},
      {1e-300L, "1E-300"},
      {kNaN, "NAN"},
      {kInf, "INF"},
      {-kInf, "-INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrGeneral(c.value, GetParam()), L(c.expected, GetParam()));
  }
}

TEST_P(FloatFormatTest, ShortestForm) {
  const std::vector<FormatCase> cases = {
      {0.0L, "0"},
      {-0.0L, "0"},
      {1.0L, "1"},
      {-7.0L, "-7"},
      {3000000000.0L, "3000000000"},
      {9007199254740993.0L, "9007199254740993"},          // 2^53 + 1: not a double, exact anyway
      {18446744073709551615.0L, "18446744073709551615"},  // 2^64 - 1
      {-18446744073709551615.0L, "-18446744073709551615"},
      {18446744073709551616.0L, "18446744073709552000"},  // 2^64: shortest double digits
      {1e20L, "100000000000000000000"},
      {1e21L, "1E21"},
      {1.5e300L, "1.5E300"},
      {0.1, "0.1"},
      {0.1L, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123.456, "123.456"},
      {-0.000123, "-0.000123"},
      {1e-5, "0.00001"},
      {1.5e-7, "1.5E-7"},
      {5e-324, "5E-324"},
      {kNaN, "NAN"},
      {kInf, "INF"},
      {-kInf, "-INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrShortest(c.value, GetParam()), L(c.expected, GetParam()));
  }
}

TEST_P(FloatFormatTest, ShortestRoundTripsThroughParse) {
  const std::vector<double> doubles = {
      0.0,          1.0,
      -1.0,         0.1,
      1.0 / 3.0,    2.0 / 3.0,
      0.1 + 0.2,    1e-5,
      1e-6,         1.5e-7,
      5e-324,       1e20,
      1e21,         1.7976931348623157e308,
      123456.789,   -98765.4321,
      3000000000.0, 9007199254740992.0,
      4.35,         2.5e-310,
  };
  for (const double v : doubles) {
    const QString text = FloatToStrShortest(v, GetParam());
    SCOPED_TRACE(text.toStdString());
    double back = -42;
    ASSERT_TRUE(TryStrToFloat(text, back, GetParam()));
    EXPECT_EQ(std::memcmp(&back, &v, sizeof v) == 0 || (v == 0 && back == 0), true);
  }
  const std::vector<long double> integers = {9007199254740993.0L, 18446744073709551615.0L,
                                             -18446744073709551615.0L, 1234567890123.0L};
  for (const long double v : integers) {
    const QString text = FloatToStrShortest(v, GetParam());
    SCOPED_TRACE(text.toStdString());
    long double back = -42;
    ASSERT_TRUE(TryStrToFloat(text, back, GetParam()));
    EXPECT_EQ(back, v);
  }
}

struct ParseCase {
  const char* text;  // '.' stands for the locale's decimal separator
  double expected;
};

TEST_P(FloatFormatTest, ParsesLocaleNumbers) {
  const std::vector<ParseCase> cases = {
      {"0", 0.0},
      {"1.5", 1.5},
      {" 1.5 ", 1.5},
      {"\t-2.25\t", -2.25},
      {"+2", 2.0},
      {"-3e2", -300.0},
      {"1.5E-3", 1.5e-3},
      {"1e+10", 1e10},
      {".5", 0.5},
      {"5.", 5.0},
      {"007", 7.0},
      {"1e-400", 0.0},
      {"123456789012345678", 123456789012345678.0},
  };
  for (const auto& c : cases) {
    const QString text = L(c.text, GetParam());
    SCOPED_TRACE(text.toStdString());
    double d = -42;
    ASSERT_TRUE(TryStrToFloat(text, d, GetParam()));
    EXPECT_EQ(d, c.expected);
    long double ld = -42;
    ASSERT_TRUE(TryStrToFloat(text, ld, GetParam()));
    EXPECT_EQ(static_cast<double>(ld), c.expected);
  }
}

TEST_P(FloatFormatTest, RejectsGarbage) {
  const std::vector<const char*> rejected = {
      "",     " ",    "NaN", "NAN",  "nan",  "INF", "-INF", "inf",  "Infinity", "1x",
      "x1",   "1e",   "1e+", "e5",   "--1",  "+-1", "1 2",  "+",    ".",        "1..5",
      "1.5.", "0x10", "1_0", "1e5e", "1 e5", "- 1", "1-",   "1.5%",
  };
  for (const char* r : rejected) {
    const QString text = L(r, GetParam());
    SCOPED_TRACE(text.toStdString());
    double d = -42;
    EXPECT_FALSE(TryStrToFloat(text, d, GetParam()));
    EXPECT_EQ(d, -42);
    long double ld = -42;
    EXPECT_FALSE(TryStrToFloat(text, ld, GetParam()));
    EXPECT_EQ(ld, -42);
  }
}

TEST_P(FloatFormatTest, RejectsOverflow) {
  double d = -42;
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1e309"), d, GetParam()));
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("-1e309"), d, GetParam()));
  EXPECT_EQ(d, -42);
  long double ld = -42;
  EXPECT_TRUE(TryStrToFloat(QStringLiteral("1e309"), ld, GetParam()));  // fits a long double
  ld = -42;
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1e5000"), ld, GetParam()));
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("-1e99999999999999999999"), ld, GetParam()));
  EXPECT_EQ(ld, -42);
}

TEST(FloatFormat, OnlyTheLocaleSeparatorCounts) {
  double d = -42;
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1.5"), d, kGerman));
  EXPECT_TRUE(TryStrToFloat(QStringLiteral("1,5"), d, kGerman));
  EXPECT_EQ(d, 1.5);
  d = -42;
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1,5"), d, kUs));
  EXPECT_TRUE(TryStrToFloat(QStringLiteral("1.5"), d, kUs));
  EXPECT_EQ(d, 1.5);
  // Group separators are never accepted.
  d = -42;
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1.000,5"), d, kGerman));
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1.000"), d, kGerman));
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1,000.5"), d, kUs));
  EXPECT_FALSE(TryStrToFloat(QStringLiteral("1,000"), d, kUs));
  EXPECT_EQ(d, -42);
}

TEST(FloatFormat, NoGroupSeparatorsInOutput) {
  EXPECT_EQ(FloatToStrGeneral(1234567.5L, kGerman), QStringLiteral("1234567,5"));
  EXPECT_EQ(FloatToStrGeneral(1234567.5L, kUs), QStringLiteral("1234567.5"));
  EXPECT_EQ(FloatToStrShortest(1234567.25L, kGerman), QStringLiteral("1234567,25"));
  EXPECT_EQ(FloatToStrFixed(1234567.25L, 1, kGerman), QStringLiteral("1234567,2"));
  EXPECT_EQ(FloatToStrGeneral(1.5e20L, kGerman), QStringLiteral("1,5E20"));
}

TEST(FloatFormat, FixedFormOfHugeValues) {
  const QString max = FloatToStrFixed(std::numeric_limits<long double>::max(), 2, kUs);
  EXPECT_EQ(max.size(), 4933 + 3);
  EXPECT_TRUE(max.startsWith(QStringLiteral("11897314953572317650")));
  EXPECT_TRUE(max.endsWith(QStringLiteral(".00")));
  EXPECT_EQ(FloatToStrFixed(-1e300L, 0, kGerman).size(), 302);
}

struct FixedCase {
  long double value;
  int decimals;
  const char* expected;
};

TEST_P(FloatFormatTest, FixedForm) {
  const std::vector<FixedCase> cases = {
      {1.0L, 0, "1"},
      {1.0L, 2, "1.00"},
      {-1.5L, 1, "-1.5"},
      {2.5L, 0, "2"},  // exact halves as printf: to even
      {3.5L, 0, "4"},
      {0.125L, 2, "0.12"},
      {0.375L, 2, "0.38"},
      {1.005, 2, "1.00"},  // the double is just below 1.005
      {1234567.891, 2, "1234567.89"},
      {-0.001L, 2, "0.00"},
      {-0.0L, 1, "0.0"},
      {1e20L, 1, "100000000000000000000.0"},
      {0.1L, 20, "0.100000000000000000"},  // clamped to 18 decimals
      {7.0L, -3, "7"},
      {kNaN, 2, "NAN"},
      {kInf, 2, "INF"},
      {-kInf, 2, "-INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrFixed(c.value, c.decimals, GetParam()), L(c.expected, GetParam()));
  }
}

}  // namespace
