#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/Nic.h"
#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"

using namespace Qt::StringLiterals;
using namespace store_test;

namespace {

// Query-server threads read a record's day and month sums (stored + unsaved)
// while the main thread counts traffic and moves it into the day row. A sum
// that drops means traffic was lost for a moment; one above what was fed means
// it was counted twice.
TEST(Concurrency, ReadersNeverSeeTrafficTwiceOrMissing) {
  TempDatabase db;
  ASSERT_TRUE(CreateTrafficTable(db.conn, u"0003"_s));
  FixedClock clock(At(2024, 3, 3));
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  std::vector<std::unique_ptr<TNic>> v;
  v.push_back(std::make_unique<TNic>(db.conn, interval, guard, suffix));
  TNic& nic = *v.front();
  nic.SetIndex(u"0003"_s);
  nic.SetClock(&clock);

  // Raised before the record is fed, so any sum a reader sees is at most this.
  std::atomic<std::uint64_t> fedReceived{0}, fedSent{0};
  std::atomic<bool> stop{false};
  std::mutex problemsMutex;
  std::vector<std::string> problems;
  auto problem = [&](std::string text) {
    std::lock_guard lock(problemsMutex);
    if (problems.size() < 10) problems.push_back(std::move(text));
  };

  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&, t] {
      long double lastDay = 0, lastSent = 0, lastMonth = 0;
      int reads = 0;
      while (!stop.load() || reads < 10) {
        ++reads;
        try {
          const long double day = nic.GetDay_Received(0);
          const long double sent = nic.GetDay_Sent(0);
          const long double month = t % 2 ? nic.GetMonth_Received() : day;
          const auto maxReceived = static_cast<long double>(fedReceived.load());
          const auto maxSent = static_cast<long double>(fedSent.load());
          if (day < lastDay || sent < lastSent || month < lastMonth) {
            problem("sum dropped: received " + std::to_string(double(lastDay)) + " -> " +
                    std::to_string(double(day)) + ", sent " + std::to_string(double(lastSent)) +
                    " -> " + std::to_string(double(sent)));
          }
          if (day > maxReceived || sent > maxSent || month > maxReceived) {
            problem("counted twice: received " + std::to_string(double(day)) + ", month " +
                    std::to_string(double(month)) + " of " + std::to_string(double(maxReceived)) +
                    ", sent " + std::to_string(double(sent)) + " of " +
                    std::to_string(double(maxSent)));
          }
          lastDay = day;
          lastSent = sent;
          lastMonth = month;
        } catch (const DbError& e) {
          problem("read failed: " + e.Message().toStdString());
        }
      }
    });
  }

  std::mt19937 random(7);
  std::uint64_t counterReceived = 0, counterSent = 0;
  for (int tick = 0; tick < 3000; ++tick) {
    const std::uint64_t r = 1 + random() % 100000, s = 1 + random() % 1000;
    fedReceived += r;
    fedSent += s;
    nic.SetNewValue_Received(counterReceived += r);
    nic.SetNewValue_Sent(counterSent += s);
    if (tick % 25 == 0) {
      ASSERT_TRUE(nic.SaveToDbAndClear(0));
    } else if (tick % 25 == 12) {
      ASSERT_TRUE(TNic::SaveAllToDb(db.conn, v, 0, nullptr));
    }
  }
  stop = true;
  for (std::thread& t : readers) t.join();

  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_EQ(nic.GetDay_Received(0), fedReceived.load());
  EXPECT_EQ(nic.GetDay_Sent(0), fedSent.load());
  EXPECT_EQ(nic.GetMonth_Received(), fedReceived.load());
  ASSERT_TRUE(nic.SaveToDbAndClear(0));
  EXPECT_EQ(
      RawRows(db.conn, u"SELECT received, send FROM 0003"_s),
      QStringList{QString::number(fedReceived.load()) + u'|' + QString::number(fedSent.load())});
}

}  // namespace
