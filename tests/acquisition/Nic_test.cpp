#include "acquisition/Nic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

struct NicFixture {
  int interval = 1000;
  bool guard = false;
  QString suffix = QStringLiteral("_prefs");
  TNic nic{interval, guard, suffix};
};

struct Step {
  std::uint64_t counter;
  double rate;        // expected rate after the reading
  long double total;  // expected total after the reading
};

struct CounterCase {
  const char* name;
  int interval;
  bool guard;
  std::uint32_t maxSpeed;
  std::vector<Step> steps;
};

class CounterAlgorithm : public ::testing::TestWithParam<CounterCase> {};

// Each case feeds both channels the same readings and checks rate and total per step.
TEST_P(CounterAlgorithm, RatesAndTotals) {
  const CounterCase& c = GetParam();
  NicFixture f;
  f.interval = c.interval;
  f.guard = c.guard;
  f.nic.maxspeedup = c.maxSpeed;
  f.nic.maxspeeddown = c.maxSpeed;
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    ASSERT_TRUE(f.nic.SetNewValue_Sent(s.counter));
    ASSERT_TRUE(f.nic.SetNewValue_Received(s.counter));
    EXPECT_EQ(f.nic.GetRate_Send(), s.rate) << "step " << i;
    EXPECT_EQ(f.nic.GetRate_Received(), s.rate) << "step " << i;
    EXPECT_EQ(f.nic.GetTotal_Sent(), s.total) << "step " << i;
    EXPECT_EQ(f.nic.GetTotal_Received(), s.total) << "step " << i;
    long double lastSent = -1, lastReceived = -1;
    f.nic.GetOldValues(lastSent, lastReceived);
    EXPECT_EQ(lastSent, static_cast<long double>(s.counter));
    EXPECT_EQ(lastReceived, static_cast<long double>(s.counter));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Nic, CounterAlgorithm,
    ::testing::Values(
        CounterCase{"GuardOffCountsWholeFirstReading",
                    1000,
                    false,
                    12500000,
                    {{3000000000, 3000000000, 3000000000}, {3000001000, 1000, 3000001000}}},
        CounterCase{"GuardOnCapsFirstReadingThenCountsNormally",
                    1000,
                    true,
                    12500000,
                    {{3000000000, 12500000, 12500000}, {3000004000, 4000, 12504000}}},
        CounterCase{
            "GuardOnWithZeroMaximumAddsNothing", 1000, true, 0, {{5000, 0, 0}, {6000, 1000, 1000}}},
        CounterCase{"GuardOnBelowMaximumCountsInFull",
                    1000,
                    true,
                    12500000,
                    {{1000, 1000, 1000}, {4000, 3000, 4000}}},
        CounterCase{"DropToZeroAddsNothingAndGuardAppliesAgain",
                    1000,
                    true,
                    100,
                    {{50, 50, 50},
                     {5000000, 4999950, 5000000},
                     {0, 0, 5000000},
                     {900, 100, 5000100},
                     {1000, 100, 5000200}}},
        CounterCase{
            "ThirtyTwoBitWrapCountsNothingForOneTick",
            1000,
            false,
            0,
            {{4294967295, 4294967295, 4294967295}, {10, 0, 4294967295}, {110, 100, 4294967395}}},
        CounterCase{"SixtyFourBitCountersAreFedWhole",
                    1000,
                    false,
                    0,
                    {{1ULL << 40, 1099511627776.0, 1099511627776.0L},
                     {(1ULL << 40) + 7, 7, 1099511627783.0L}}},
        CounterCase{"IntervalOfOneAndAHalfSecondsCountsAsOne",
                    1500,
                    false,
                    0,
                    {{1000, 1000, 1000}, {4000, 3000, 4000}}},
        // Over two seconds the rate is the mean, rounded half to even, while the
        // total keeps the exact difference.
        CounterCase{"TwoSecondIntervalRoundsRateHalfToEven",
                    2000,
                    false,
                    0,
                    {{0, 0, 0}, {5, 2, 5}, {12, 4, 12}, {13, 0, 13}}},
        CounterCase{"GuardCapTimesSecondsOnLongInterval",
                    3000,
                    true,
                    10,
                    {{1000, 10, 30}, {1300, 100, 330}}},
        CounterCase{"IntervalBelowOneSecondCountsAsOne",
                    500,
                    false,
                    0,
                    {{100, 100, 100}, {300, 200, 300}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Nic, InitialState) {
  NicFixture f;
  EXPECT_EQ(f.nic.GetStatus(), -1);
  EXPECT_EQ(f.nic.GetType(), -1);
  EXPECT_FALSE(f.nic.GetIsDialup());
  EXPECT_EQ(f.nic.GetTotal_Sent(), 0);
  EXPECT_EQ(f.nic.GetRate_Received(), 0);
  EXPECT_EQ(f.nic.DaySentDb, -1);
  EXPECT_EQ(f.nic.MonthReceivedDb, -1);
}

TEST(Nic, IntervalAndGuardAreReadAtEveryReading) {
  NicFixture f;
  f.nic.maxspeeddown = 10;
  f.nic.SetNewValue_Received(0);
  f.guard = true;  // the record follows the option without being told
  f.nic.SetNewValue_Received(0);
  f.nic.SetNewValue_Received(100);  // last reading 0: guard caps at 10
  EXPECT_EQ(f.nic.GetRate_Received(), 10);
  f.interval = 2000;
  f.nic.SetNewValue_Received(300);
  EXPECT_EQ(f.nic.GetRate_Received(), 100);
  EXPECT_EQ(f.nic.GetTotal_Received(), 210);
}

TEST(Nic, SetTotalReplacesAndSanitises) {
  NicFixture f;
  struct {
    long double in;
    long double out;
  } cases[] = {{12345, 12345},
               {0, 0},
               {-5, 0},
               {std::numeric_limits<long double>::quiet_NaN(), 0},
               {std::numeric_limits<long double>::infinity(), 18446744073709551615.0L},
               {-std::numeric_limits<long double>::infinity(), 0},
               {10.5, 10},  // half to even
               {11.5, 12}};
  for (const auto& c : cases) {
    f.nic.SetTotal_Sent(c.in);
    f.nic.SetTotal_Received(c.in);
    EXPECT_EQ(f.nic.GetTotal_Sent(), c.out) << static_cast<double>(c.in);
    EXPECT_EQ(f.nic.GetTotal_Received(), c.out) << static_cast<double>(c.in);
  }
  f.nic.SetTotal_Sent(100);
  f.nic.SetNewValue_Sent(50);
  EXPECT_EQ(f.nic.GetTotal_Sent(), 150);  // readings add to a restored total
}

TEST(Nic, IndexSetterKeepsTableName) {
  NicFixture f;
  const std::pair<QString, QString> cases[] = {{QStringLiteral("00010003"), QStringLiteral("0003")},
                                               {QStringLiteral("dfu"), QStringLiteral("dfu")},
                                               {QStringLiteral("abcd"), QStringLiteral("abcd")},
                                               {QStringLiteral("0000abcd"), QStringLiteral("abcd")},
                                               {QString(), QString()}};
  for (const auto& [in, out] : cases) {
    f.nic.SetIndex(in);
    EXPECT_EQ(f.nic.GetIndex(), out) << in.toStdString();
  }
}

TEST(Nic, StatusAndDbCache) {
  NicFixture f;
  EXPECT_EQ(f.nic.SetStatus(5), 5);
  EXPECT_EQ(f.nic.GetStatus(), 5);
  f.nic.DaySentDb = 10;
  f.nic.MonthSentDb = 20;
  f.nic.ResetDbCache();
  EXPECT_EQ(f.nic.DaySentDb, -1);
  EXPECT_EQ(f.nic.MonthSentDb, -1);
}

// Readers on other threads see whole totals that only ever grow while one writer feeds.
TEST(Nic, ConcurrentReadersSeeMonotonicWholeTotals) {
  NicFixture f;
  std::atomic<bool> done{false};
  std::atomic<bool> bad{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      long double previous = 0;
      while (!done.load()) {
        const long double total = f.nic.GetTotal_Received();
        if (total < previous || total != std::floor(total)) bad = true;
        previous = total;
      }
    });
  }
  std::uint64_t counter = 0;
  for (int i = 0; i < 20000; ++i) {
    counter += 1500;
    f.nic.SetNewValue_Received(counter);
  }
  done = true;
  for (auto& r : readers) r.join();
  EXPECT_FALSE(bad.load());
  EXPECT_EQ(f.nic.GetTotal_Received(), static_cast<long double>(counter));
}

}  // namespace
