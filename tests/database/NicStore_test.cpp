#include <gtest/gtest.h>

#include "acquisition/Nic.h"
#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"
#include "platform/ErrorReporter.h"

using namespace Qt::StringLiterals;
using namespace store_test;

namespace {

// Interface index 65539: tables 0003 and 0003_prefs. Today is 3 March 2024.
class Store : public ::testing::TestWithParam<QLocale> {
 protected:
  Store() {
    nic = MakeNic();
    EXPECT_EQ(EnsurePrefsTable(db.conn, *nic, 12500000, 6), 0);
    EXPECT_EQ(EnsureTrafficTable(db.conn, *nic), 0);
  }

  std::unique_ptr<TNic> MakeNic() {
    auto n = std::make_unique<TNic>(db.conn, interval, doubleTraffic, suffix);
    n->SetIfIndex(65539);
    n->SetIndex(u"00010003"_s);
    n->SetClock(&clock);
    n->SetErrorReporter(&reporter);
    return n;
  }

  void Feed(long double received, long double sent) {
    nic->SetTotal_Received(received);
    nic->SetTotal_Sent(sent);
  }

  // Writes a day row behind the record's back.
  void PutRow(int y, int m, int d, const char* received, const char* sent) {
    db.conn.Execute(u"INSERT INTO 0003 VALUES ('%1-%2-%3', %4, %5)"_s.arg(y)
                        .arg(m, 2, 10, QChar(u'0'))
                        .arg(d, 2, 10, QChar(u'0'))
                        .arg(QString::fromUtf8(received), QString::fromUtf8(sent)));
  }

  QStringList Rows() { return RawRows(db.conn, u"SELECT * FROM 0003 ORDER BY Datum, rowid"_s); }

  LocaleScope locale{GetParam()};
  TempDatabase db;
  int interval = 1000;
  bool doubleTraffic = false;
  QString suffix = u"_prefs"_s;
  FixedClock clock{At(2024, 3, 3)};
  RecordingErrorReporter reporter;
  std::unique_ptr<TNic> nic;
};

INSTANTIATE_TEST_SUITE_P(Locales, Store, ::testing::Values(kGerman, kUs), LocaleName);

TEST_P(Store, FirstSaveInsertsSecondAddsTheNewTotals) {
  Feed(1200, 300);
  ASSERT_TRUE(nic->SaveToDb(0));
  EXPECT_EQ(Rows(), QStringList{u"2024-03-03|1200|300"_s});
  // SaveToDb leaves the totals to its caller.
  EXPECT_EQ(nic->GetTotal_Received(), 1200);
  EXPECT_EQ(nic->GetTotal_Sent(), 300);

  Feed(100, 50);
  ASSERT_TRUE(nic->SaveToDb(0));
  EXPECT_EQ(Rows(), QStringList{u"2024-03-03|1300|350"_s});
  EXPECT_TRUE(reporter.Entries().isEmpty());
}

// Month and day differ (7 March, not 3 July): a lookup that mixed them up would
// miss the row and add a second one.
TEST_P(Store, DayIsLookedUpMonthFirstWhateverTheLocale) {
  const TDateTime march7 = EncodeDate(2024, 3, 7);
  Feed(10, 1);
  ASSERT_TRUE(nic->SaveToDb(march7));
  ASSERT_TRUE(nic->SaveToDb(march7 + 0.75));  // time of day is ignored
  EXPECT_EQ(Rows(), QStringList{u"2024-03-07|20|2"_s});
}

TEST_P(Store, TotalsOfEveryMagnitudeAreStoredExactly) {
  // Large whole numbers and a stored fraction, read back in the user's locale.
  PutRow(2024, 3, 1, "0.5", "1e3");
  Feed(1234567890123.0L, 9007199254740992.0L);
  ASSERT_TRUE(nic->SaveToDb(EncodeDate(2024, 3, 1)));
  ASSERT_TRUE(nic->SaveToDb(EncodeDate(2024, 3, 2)));
  EXPECT_EQ(Rows(), (QStringList{u"2024-03-01|1234567890123.5|9007199254741992"_s,
                                 u"2024-03-02|1234567890123|9007199254740992"_s}));
}

TEST_P(Store, EmptyStoredValueCountsAsZero) {
  PutRow(2024, 3, 3, "NULL", "7");
  Feed(5, 5);
  ASSERT_TRUE(nic->SaveToDb(0));
  EXPECT_EQ(Rows(), QStringList{u"2024-03-03|5|12"_s});
}

TEST_P(Store, SeveralRowsOfOneDayAreMergedNotOverwritten) {
  PutRow(2024, 3, 3, "100", "10");
  PutRow(2024, 3, 3, "200", "20");
  EXPECT_EQ(nic->GetDay_Received(0), 300);
  Feed(50, 5);
  ASSERT_TRUE(nic->SaveToDb(0));
  EXPECT_EQ(Rows(), QStringList{u"2024-03-03|350|35"_s});
}

TEST_P(Store, FailedSaveReportsAndChangesNothing) {
  PutRow(2024, 3, 3, "100", "10");
  PutRow(2024, 3, 4, "200", "20");
  PutRow(2024, 3, 4, "300", "30");
  Feed(5, 5);
  // Update and insert refused: the single-row path and the merge path (whose
  // delete has already run when the insert fails) must both roll back.
  RawExec(
      db.Path(),
      "CREATE TRIGGER no_update BEFORE UPDATE ON \"0003\" BEGIN SELECT RAISE(ABORT, 'refused'); "
      "END; CREATE TRIGGER no_insert BEFORE INSERT ON \"0003\" BEGIN SELECT RAISE(ABORT, "
      "'refused'); END;");
  const QStringList guarded = Dump(db.conn);
  EXPECT_FALSE(nic->SaveToDb(0));
  EXPECT_FALSE(nic->SaveToDbAndClear(EncodeDate(2024, 3, 4)));
  EXPECT_EQ(Dump(db.conn), guarded);
  EXPECT_EQ(nic->GetTotal_Received(), 5);  // nothing taken off after a failure
  EXPECT_EQ(nic->GetTotal_Sent(), 5);

  db.conn.Execute(u"DROP TABLE 0003"_s);
  EXPECT_FALSE(nic->SaveToDb(0));
  EXPECT_FALSE(db.conn.ListTables().contains(u"0003"_s));

  const auto entries = reporter.Entries();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0].message, u"refused Function:Nic->TNic::SaveToDb(75)"_s);
  EXPECT_EQ(entries[1].message, u"refused Function:Nic->TNic::SaveToDb(75)"_s);
  EXPECT_EQ(entries[2].message, u"no such table: 0003 Function:Nic->TNic::SaveToDb(75)"_s);
  EXPECT_EQ(entries[0].className, u"DbError"_s);
}

TEST_P(Store, DaySumIsCachedUntilTheNextSave) {
  PutRow(2024, 3, 3, "1000", "100");
  Feed(5, 1);
  EXPECT_EQ(nic->GetDay_Received(0), 1005);
  EXPECT_EQ(nic->DayReceivedDb, 1000);
  // A change behind the record's back shows that the second read is cached.
  db.conn.Execute(u"UPDATE 0003 SET received = 2000"_s);
  EXPECT_EQ(nic->GetDay_Received(0), 1005);
  EXPECT_EQ(nic->GetDay_Received(EncodeDate(2024, 3, 3)), 1005);  // today by date
  EXPECT_EQ(nic->GetDay_Sent(0), 101);
  EXPECT_EQ(nic->GetDay_Total(0), 1106);

  ASSERT_TRUE(nic->SaveToDb(0));  // 2005 stored, still 5 unsaved
  EXPECT_EQ(nic->DayReceivedDb, -1);
  EXPECT_EQ(nic->GetDay_Received(0), 2010);
}

TEST_P(Store, DaySumOfPastAndMissingDays) {
  PutRow(2024, 3, 1, "700", "70");
  Feed(5, 1);
  EXPECT_EQ(nic->GetDay_Received(EncodeDate(2024, 3, 1)), 700);  // no unsaved part
  EXPECT_EQ(nic->GetDay_Sent(EncodeDate(2024, 3, 1)), 70);
  EXPECT_EQ(nic->GetDay_Received(EncodeDate(2024, 3, 2)), 0);
  EXPECT_EQ(nic->GetDay_Received(0), 5);  // no row today: the unsaved total
  EXPECT_EQ(nic->GetDay_Sent(0), 1);
  // Past days are never cached.
  db.conn.Execute(u"UPDATE 0003 SET received = 800"_s);
  EXPECT_EQ(nic->GetDay_Received(EncodeDate(2024, 3, 1)), 800);
}

TEST_P(Store, DayCacheDoesNotOutliveItsDay) {
  PutRow(2024, 3, 3, "1000", "100");
  PutRow(2024, 3, 4, "40", "4");
  EXPECT_EQ(nic->GetDay_Received(0), 1000);
  clock.Set(At(2024, 3, 4, 0));  // midnight passed, no save yet
  EXPECT_EQ(nic->GetDay_Received(0), 40);
  EXPECT_EQ(nic->GetDay_Sent(0), 4);
}

TEST_P(Store, MonthSumCoversTheCalendarMonth) {
  PutRow(2024, 2, 29, "1", "1");
  PutRow(2024, 3, 1, "10", "1000");
  PutRow(2024, 3, 3, "20", "2000");
  PutRow(2024, 3, 31, "40", "4000");
  PutRow(2024, 4, 1, "80", "8000");
  Feed(5, 6);
  EXPECT_EQ(nic->GetMonth_Received(), 75);
  EXPECT_EQ(nic->GetMonth_Sent(), 7006);
  EXPECT_EQ(nic->GetMonth_Total(), 7081);
  EXPECT_EQ(nic->MonthReceivedDb, 70);

  // Cached until the next save.
  db.conn.Execute(u"UPDATE 0003 SET received = received + 1"_s);
  EXPECT_EQ(nic->GetMonth_Received(), 75);
  ASSERT_TRUE(nic->SaveToDbAndClear(0));
  EXPECT_EQ(nic->GetMonth_Received(), 3 + 75);

  // A new month reads its own rows even before any save.
  clock.Set(At(2024, 4, 1, 0));
  EXPECT_EQ(nic->GetMonth_Received(), 81);
  EXPECT_EQ(nic->GetMonth_Sent(), 8000);
}

TEST_P(Store, FailedReadIsAnErrorAndNotCachedAsZero) {
  PutRow(2024, 3, 3, "1000", "100");
  db.conn.Execute(u"ALTER TABLE 0003 RENAME TO hidden"_s);
  EXPECT_THROW(nic->GetDay_Received(0), DbError);
  EXPECT_THROW(nic->GetMonth_Received(), DbError);
  db.conn.Execute(u"ALTER TABLE hidden RENAME TO \"0003\""_s);
  EXPECT_EQ(nic->GetDay_Received(0), 1000);
  EXPECT_EQ(nic->GetMonth_Received(), 1000);
}

TEST_P(Store, SaveAndClearMovesTheTotalsIntoTheRow) {
  Feed(1200, 300);
  const long double before = nic->GetDay_Received(0);
  ASSERT_TRUE(nic->SaveToDbAndClear(0));
  EXPECT_EQ(nic->GetTotal_Received(), 0);
  EXPECT_EQ(nic->GetTotal_Sent(), 0);
  EXPECT_EQ(nic->GetDay_Received(0), before);
  EXPECT_EQ(Rows(), QStringList{u"2024-03-03|1200|300"_s});
}

TEST_P(Store, SaveAllIsAllOrNothing) {
  std::vector<std::unique_ptr<TNic>> v;
  v.push_back(std::move(nic));
  for (std::uint32_t index : {7u, 8u}) {
    auto n = MakeNic();
    n->SetIfIndex(index);
    n->SetIndex(QString::number(index, 16).rightJustified(8, u'0'));
    ASSERT_EQ(EnsureTrafficTable(db.conn, *n), 0);
    v.push_back(std::move(n));
  }
  for (std::size_t i = 0; i < v.size(); ++i) {
    v[i]->SetTotal_Received(100 * (i + 1));
    v[i]->SetTotal_Sent(i + 1);
  }
  ASSERT_TRUE(TNic::SaveAllToDb(db.conn, v, 0, &reporter));
  EXPECT_EQ(RawRows(db.conn, u"SELECT * FROM 0007"_s), QStringList{u"2024-03-03|200|2"_s});
  EXPECT_EQ(RawRows(db.conn, u"SELECT * FROM 0008"_s), QStringList{u"2024-03-03|300|3"_s});
  for (const auto& n : v) EXPECT_EQ(n->GetTotal_Received(), 0);

  // One table missing: nothing is stored for anyone, nothing is cleared.
  for (const auto& n : v) n->SetTotal_Received(1);
  db.conn.Execute(u"DROP TABLE 0008"_s);
  const QStringList before = Dump(db.conn);
  EXPECT_FALSE(TNic::SaveAllToDb(db.conn, v, 0, &reporter));
  EXPECT_EQ(Dump(db.conn), before);
  for (const auto& n : v) EXPECT_EQ(n->GetTotal_Received(), 1);
  ASSERT_EQ(reporter.Entries().size(), 1);
  EXPECT_EQ(reporter.Entries()[0].message,
            u"no such table: 0008 Function:Nic->TNic::SaveAllToDb(120) table 0008"_s);
}

struct ShowOptionsCase {
  const char* stored;
  bool loads;
  // ShowLivedata, ShowGraphform, ShowIn_Statistics, UtilizationInsteadBytes,
  // Show_BalloonInfo, BorderlessMode
  const char* flags;
};

TEST_P(Store, ShowOptionsOfEveryLength) {
  const ShowOptionsCase cases[] = {
      {"11", true, "111000"},     {"01", true, "011000"},     {"00", true, "000000"},
      {"111000", true, "111000"}, {"001111", true, "001111"}, {"10x1", true, "101100"},
      {"000111", true, "000111"}, {"190", true, "110000"},    {"1", false, nullptr},
      {"x1", false, nullptr},     {"", false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    db.conn.Execute(u"UPDATE 0003_prefs SET showoptions = '%1'"_s.arg(QString::fromUtf8(c.stored)));
    const auto n = MakeNic();
    ASSERT_EQ(n->LoadPrefs(), c.loads);
    if (!c.loads) continue;
    const QString flags = QString::number(n->ShowLivedata) + QString::number(n->ShowGraphform) +
                          QString::number(n->ShowIn_Statistics) +
                          QString::number(n->UtilizationInsteadBytes) +
                          QString::number(n->Show_BalloonInfo) + QString::number(n->BorderlessMode);
    EXPECT_EQ(flags, QString::fromUtf8(c.flags));
  }
}

TEST_P(Store, PrefsRoundTrip) {
  ASSERT_TRUE(nic->LoadPrefs());
  EXPECT_EQ(nic->maxspeeddown, 12500000u);
  EXPECT_EQ(nic->window_height, 100);
  EXPECT_TRUE(nic->report);
  EXPECT_EQ(nic->shortnamelength, 3u);

  nic->ShowLivedata = false;
  nic->Show_BalloonInfo = true;
  nic->BorderlessMode = true;
  nic->window_left = -1200;  // a second screen left of the first
  nic->window_top = 30;
  nic->window_height = 240;
  nic->window_width = 320;
  nic->ontop = true;
  nic->trans = true;
  nic->transvalue = 200;
  nic->report = false;
  nic->gridcolor = 1;
  nic->backcolor = 2;
  nic->sendgraph = 3;
  nic->recvgraph = 0xFFFFFF;
  nic->clickthrough = true;
  nic->maxspeeddown = 4000000000u;
  nic->maxspeedup = 7;
  nic->shortnamelength = 9;
  ASSERT_TRUE(nic->SavePrefs());
  EXPECT_EQ(RawRows(db.conn, u"SELECT * FROM 0003_prefs"_s),
            QStringList{u"011011|-1200|30|240|320|1|1|200|0|1|2|3|16777215|1|4000000000|7|9"_s});

  const auto n = MakeNic();
  ASSERT_TRUE(n->LoadPrefs());
  EXPECT_EQ(n->window_left, -1200);
  EXPECT_EQ(n->maxspeeddown, 4000000000u);
  EXPECT_EQ(n->recvgraph, 0xFFFFFFu);
  EXPECT_TRUE(n->clickthrough && n->ontop && n->trans && !n->report);
}

TEST_P(Store, PrefsWithoutRowOrTable) {
  db.conn.Execute(u"DELETE FROM 0003_prefs"_s);
  EXPECT_FALSE(nic->LoadPrefs());
  // Saving writes the missing row instead of updating nothing.
  nic->ShowLivedata = nic->ShowGraphform = true;
  nic->maxspeeddown = nic->maxspeedup = 5;
  ASSERT_TRUE(nic->SavePrefs());
  EXPECT_EQ(RawRows(db.conn, u"SELECT count(*) FROM 0003_prefs"_s), QStringList{u"1"_s});
  EXPECT_TRUE(MakeNic()->LoadPrefs());

  db.conn.Execute(u"DROP TABLE 0003_prefs"_s);
  EXPECT_FALSE(nic->LoadPrefs());
  EXPECT_FALSE(nic->SavePrefs());
}

TEST_P(Store, StoredSpeedBeyond32BitsIsCapped) {
  db.conn.Execute(u"UPDATE 0003_prefs SET maxspeeddown = 12500000000, maxspeedup = -5"_s);
  ASSERT_TRUE(nic->LoadPrefs());
  EXPECT_EQ(nic->maxspeeddown, 4294967295u);
  EXPECT_EQ(nic->maxspeedup, 0u);
}

TEST(StoreWithoutConnection, FailsCleanly) {
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  RecordingErrorReporter reporter;
  TNic nic(interval, guard, suffix);
  nic.SetIndex(u"0003"_s);
  nic.SetErrorReporter(&reporter);
  nic.SetTotal_Received(10);
  EXPECT_FALSE(nic.SaveToDb(0));
  EXPECT_FALSE(nic.SaveToDbAndClear(0));
  EXPECT_EQ(nic.GetTotal_Received(), 10);
  EXPECT_FALSE(nic.LoadPrefs());
  EXPECT_FALSE(nic.SavePrefs());
  EXPECT_THROW(nic.GetDay_Received(0), DbError);
  EXPECT_THROW(nic.GetMonth_Sent(), DbError);
  ASSERT_EQ(reporter.Entries().size(), 2);
  EXPECT_TRUE(reporter.Entries()[0].message.endsWith(u" Function:Nic->TNic::SaveToDb(75)"_s));
}

}  // namespace
