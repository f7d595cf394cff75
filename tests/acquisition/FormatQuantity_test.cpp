#include "acquisition/FormatQuantity.h"

#include <gtest/gtest.h>

namespace {

QuantityUnits Units() {
  QuantityUnits u;
  u.names1000 = {
      QStringLiteral("Byte"),     QStringLiteral("Kilobyte"),  QStringLiteral("Megabyte"),
      QStringLiteral("Gigabyte"), QStringLiteral("Terabyte"),  QStringLiteral("Petabyte"),
      QStringLiteral("Exabyte"),  QStringLiteral("Zettabyte"), QStringLiteral("Yottabyte")};
  u.names1024 = {QStringLiteral("Bytes"), QStringLiteral("KiB"), QStringLiteral("MiB"),
                 QStringLiteral("GiB"),   QStringLiteral("TiB"), QStringLiteral("PiB"),
                 QStringLiteral("EiB"),   QStringLiteral("ZiB"), QStringLiteral("YiB")};
  return u;
}

struct QuantityCase {
  long double value;
  int base;
  bool shortForm;
  const char* us;
  const char* de;
};

TEST(FormatQuantity, ScalesIntoLargestFittingUnit) {
  const QuantityCase cases[] = {
      {1536, 1024, false, "1.50 KiB", "1,50 KiB"},
      {1024, 1024, false, "1024.00 Bytes", "1024,00 Bytes"},  // equal to the base: smaller unit
      {1000, 1000, false, "1000.00 Byte", "1000,00 Byte"},
      {1001, 1000, false, "1.00 Kilobyte", "1,00 Kilobyte"},
      {0, 1024, false, "0.00 Bytes", "0,00 Bytes"},
      {0, 1024, true, "0.00B", "0,00B"},
      {1536, 1024, true, "1.50KiB", "1,50KiB"},
      {12.5L * 1000 * 1000, 1000, true, "12.50Meg", "12,50Meg"},
      {1234567, 1000, false, "1.23 Megabyte", "1,23 Megabyte"},
      {5e30L, 1000, false, "5000000.00 Yottabyte", "5000000,00 Yottabyte"},  // stays in unit 8
      {2048, 1000, false, "2.05 Kilobyte", "2,05 Kilobyte"},
      {2048, 0, false, "2048.00 Bytes", "2048,00 Bytes"},  // a bad base never loops
  };
  const QuantityUnits units = Units();
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QLocale de(QLocale::German, QLocale::Germany);
  for (const auto& c : cases) {
    EXPECT_EQ(FormatQuantity(c.value, c.base, units, c.shortForm, us).toStdString(), c.us);
    EXPECT_EQ(FormatQuantity(c.value, c.base, units, c.shortForm, de).toStdString(), c.de);
  }
}

TEST(FormatQuantity, MissingUnitNamesGiveEmptyName) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(FormatQuantity(1536, 1024, QuantityUnits{}, false, us), QStringLiteral("1.50 "));
  EXPECT_EQ(FormatQuantity(1536, 1024, QuantityUnits{}, true, us), QStringLiteral("1.50"));
}

TEST(Percentage, RoundingAndZeroMaximum) {
  struct {
    long double maximum, value;
    signed char digits;
    bool round;
    double expected;
  } cases[] = {
      {1000, 333, -1, true, 33.3}, {1000, 333, 0, true, 33},   {1000, 333, 0, false, 33.3},
      {0, 500, 0, true, 0},        {1000, 0, 0, true, 0},      {1000, -10, 0, true, 0},
      {200, 1, 0, true, 0},                                     // 0.5 -> even neighbour 0
      {200, 3, 0, true, 2},                                     // 1.5 -> 2
      {1000, 2500, 0, true, 250},  {1000, 1234, 1, true, 120},  // a positive digits rounds to tens
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Percentage(c.maximum, c.value, c.digits, c.round), c.expected)
        << static_cast<double>(c.value) << "/" << static_cast<double>(c.maximum);
  }
}

}  // namespace
