#include "acquisition/DayRollover.h"

#include <gtest/gtest.h>

#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"

using namespace Qt::Literals::StringLiterals;
using store_test::At;
using store_test::FixedClock;

namespace {

QString Lang(const QString& section, const QString& key) { return section + u'/' + key + u':'; }

// A message service that runs the day check again while "its box is open".
class ReenteringMessages final : public MessageService {
 public:
  void Show(const QString& text, const QString& caption, MessageIcon icon) override {
    shown.push_back({text, caption, icon});
    if (reenter) reenter();
  }
  bool Ask(const QString&, const QString&) override { return false; }
  std::vector<RecordingMessageService::Message> shown;
  std::function<void()> reenter;
};

class DayRolloverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      auto nic = std::make_unique<TNic>(db.conn, interval, guard, suffix);
      nic->SetIndex(QString::asprintf("%8.8x", i + 1));
      nic->SetName(u"eth"_s + QString::number(i));
      nic->SetClock(&clock);
      ASSERT_TRUE(CreateTrafficTable(db.conn, nic->GetIndex()));
      v.push_back(std::move(nic));
    }
    rollover.SetCurrentDay(DateTimeFromQDateTime(clock.Now()));
  }
  QStringList Rows(int k) {
    return store_test::RawRows(db.conn,
                               u"SELECT * FROM "_s + v[k]->GetIndex() + u" ORDER BY datum"_s);
  }
  void Count(int received, int sent) {
    for (auto& nic : v) {
      nic->SetTotal_Received(nic->GetTotal_Received() + received);
      nic->SetTotal_Sent(nic->GetTotal_Sent() + sent);
    }
  }

  store_test::TempDatabase db;
  FixedClock clock{At(2026, 3, 2, 23)};
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  NicVector v;
  ReenteringMessages messages;
  TDayRollover rollover{clock, messages, Lang};
};

TEST_F(DayRolloverTest, MidnightMovesTotalsIntoTheEndedDay) {
  Count(1000, 100);
  EXPECT_FALSE(rollover.CheckDate(v));  // same day: nothing
  EXPECT_TRUE(Rows(0).isEmpty());
  int snapshots = 0;
  rollover.SetAfterRollover([&] { ++snapshots; });
  clock.Set(At(2026, 3, 3, 0));
  EXPECT_TRUE(rollover.CheckDate(v));
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Rows(k), QStringList{u"2026-03-02|1000|100"_s});
    EXPECT_EQ(v[k]->GetTotal_Received(), 0);
  }
  EXPECT_EQ(snapshots, 1);
  EXPECT_EQ(rollover.CurrentDay(), EncodeDate(2026, 3, 3));
  EXPECT_FALSE(rollover.CheckDate(v));  // once per day change
  Count(5, 5);
  EXPECT_TRUE(Rows(0).size() == 1);  // the new day's row comes with its first save
}

TEST_F(DayRolloverTest, TwoDaysWithoutCheckGoToTheOldDay) {
  Count(700, 70);
  clock.Set(At(2026, 3, 5, 9));
  EXPECT_TRUE(rollover.CheckDate(v));
  EXPECT_EQ(Rows(1), QStringList{u"2026-03-02|700|70"_s});
}

// A failing save shows one message per record and continues with the next; the
// failed record's counts are kept apart and stored once the table is back.
TEST_F(DayRolloverTest, FailingSaveKeepsCountsPending) {
  Count(300, 30);
  db.conn.Execute(u"DROP TABLE "_s + v[1]->GetIndex());
  clock.Set(At(2026, 3, 3, 0));
  EXPECT_TRUE(rollover.CheckDate(v));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, u"Errors/Error10:0002(eth1) Errors/Error10a:"_s);
  EXPECT_EQ(messages.shown[0].caption, u"Strings/Error:"_s);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(Rows(0), QStringList{u"2026-03-02|300|30"_s});
  EXPECT_EQ(Rows(2), QStringList{u"2026-03-02|300|30"_s});
  EXPECT_EQ(v[1]->GetTotal_Received(), 0);  // not counted into the new day
  ASSERT_EQ(rollover.Pending().size(), 1u);

  ASSERT_TRUE(CreateTrafficTable(db.conn, v[1]->GetIndex()));
  clock.Set(At(2026, 3, 3, 0).addSecs(60));
  EXPECT_FALSE(rollover.CheckDate(v));
  EXPECT_TRUE(rollover.Pending().empty());
  EXPECT_EQ(Rows(1), QStringList{u"2026-03-02|300|30"_s});
}

TEST_F(DayRolloverTest, ReentryDuringOpenMessageRollsOverOnce) {
  Count(10, 1);
  db.conn.Execute(u"DROP TABLE "_s + v[0]->GetIndex());
  int inner = 0;
  messages.reenter = [&] {
    ++inner;
    EXPECT_FALSE(rollover.CheckDate(v));
  };
  clock.Set(At(2026, 3, 3, 0));
  EXPECT_TRUE(rollover.CheckDate(v));
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(Rows(1), QStringList{u"2026-03-02|10|1"_s});  // saved once, not twice
}

TEST(CacheTimer, IntervalFromEditText) {
  const std::pair<QString, std::optional<int>> cases[] = {
      {u"5"_s, 300000},        {u"1"_s, 60000},
      {u"0"_s, std::nullopt},  {QString(), std::nullopt},
      {u"00"_s, std::nullopt}, {u"abc"_s, std::nullopt},
      {u"-3"_s, std::nullopt}, {u"99999999"_s, std::nullopt}};
  for (const auto& [text, interval] : cases)
    EXPECT_EQ(CacheTimerInterval(text), interval) << text.toStdString();
  EXPECT_TRUE(CacheIntervalKeyAllowed(u'7'));
  EXPECT_TRUE(CacheIntervalKeyAllowed(QChar(8)));
  EXPECT_FALSE(CacheIntervalKeyAllowed(u'a'));
  EXPECT_FALSE(CacheIntervalKeyAllowed(u'-'));
}

}  // namespace
