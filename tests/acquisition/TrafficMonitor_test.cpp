#include "acquisition/TrafficMonitor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TOptions/TOptions_Class.h"
#include "acquisition/ScriptedInterfaceTable.h"
#include "database/StoreTestSupport.h"
#include "support/ProgramFiles.h"

using namespace Qt::Literals::StringLiterals;
using store_test::At;
using store_test::FixedClock;

namespace {

IfRow Row(std::uint32_t index, std::uint64_t in, std::uint64_t out) {
  IfRow r;
  r.index = index;
  r.type = 6;
  r.description = "eth" + std::to_string(index);
  r.mac = {2, 0, 0, 0, 0, static_cast<std::uint8_t>(index)};
  r.operStatus = kOperOperational;
  r.inOctets = in;
  r.outOctets = out;
  r.speed = 100000000;  // 100 Mbit/s: the guard allows 12.5 MB per second
  return r;
}

// One program directory with options, database and cache file, shared by the
// runs of one test. Each run is a new monitor, as a new start of the program.
class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qvtest::WriteVariablesAndOptions(QDir(dir.path()),
                                                 "[General]\nCacheInterval=1\ndfu_engine=0\n"));
  }

  struct Run {
    explicit Run(MonitorTest& t)
        : options(ProgramLocation{t.dir.path(), u"quorvel"_s, [] { return QString(); }}),
          errors(t.dir.path(), u"error.txt"_s, t.clock),
          db(store_test::ConnectionString(t.dir.filePath(u"traffic.db"_s))) {
      options.Load();
      errors.SetVersion({u"2.37.0.0"_s, u"2.37.0.0"_s, QString(), QString()});
      MonitorContext c;
      c.options = &options;
      c.messages = &messages;
      c.errorFile = &errors;
      c.clock = &t.clock;
      c.nicTable = &t.table;
      c.dunTable = &t.table;
      c.db = &db;
      c.programDir = t.dir.path();
      c.bootId = t.boot;
      monitor = std::make_unique<TrafficMonitor>(c);
      monitor->Start();
    }
    TOptions options;
    RecordingMessageService messages;
    ErrorFile errors;
    Connection db;
    std::unique_ptr<TrafficMonitor> monitor;
  };

  void Poll(Run& run, std::vector<IfRow> rows) {
    table.Set(std::move(rows));
    run.monitor->PollInterfaces();
  }
  QStringList Rows(Run& run, const QString& table) {
    return store_test::RawRows(run.db, u"SELECT * FROM "_s + table + u" ORDER BY datum"_s);
  }
  QString Cache() const { return dir.filePath(u"traffic.cache"_s); }

  QTemporaryDir dir;
  FixedClock clock{At(2026, 12, 11, 10)};
  ScriptedInterfaceTable table;
  QString boot = u"boot-a"_s;
};

TEST_F(MonitorTest, StartCreatesRecordsTablesAndFirstReading) {
  table.Set({Row(1, 1000, 100), Row(2, 0, 0)});
  Run run(*this);
  ASSERT_EQ(run.monitor->Records().size(), 2u);
  EXPECT_EQ(run.monitor->DbUpdateResult(), 1);
  EXPECT_EQ(run.monitor->DbVersion(), u"2.37"_s);
  const TNic& nic = *run.monitor->Records()[0];
  EXPECT_EQ(nic.GetIndex(), u"0001"_s);
  EXPECT_TRUE(nic.ShowLivedata);
  EXPECT_EQ(nic.maxspeeddown, 12500000u);
  EXPECT_EQ(nic.GetTotal_Received(), 1000);  // first reading, under the guard's cap
  EXPECT_TRUE(run.monitor->NicEngine().isActive());
  EXPECT_TRUE(run.monitor->CacheToHDDTimer().isActive());
  EXPECT_EQ(run.monitor->CacheToHDDTimer().interval(), 60000);
  EXPECT_TRUE(QFile::exists(Cache()));
  EXPECT_TRUE(run.messages.messages.empty());
}

// A clean end stores the day and leaves the readings behind, so that the next
// start on the same day and boot counts exactly what flowed in between.
TEST_F(MonitorTest, CloseAndRestartCountExactly) {
  table.Set({Row(1, 1000, 100)});
  {
    Run run(*this);
    Poll(run, {Row(1, 5000, 900)});
    run.monitor->SaveAtClose();
    EXPECT_FALSE(QFile::exists(Cache()));
    EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|5000|900"_s});
  }
  table.Set({Row(1, 8000, 1000)});  // traffic while the program was not running
  Run run(*this);
  Poll(run, {Row(1, 9000, 1500)});
  run.monitor->SaveAtClose();
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|9000|1500"_s});
}

// A crash after a snapshot: the snapshot and the counter state restore the totals,
// and the first reading after the restart counts exactly what flowed since.
TEST_F(MonitorTest, CrashAfterSnapshotLosesNothingAndCountsNothingTwice) {
  table.Set({Row(1, 1000, 100), Row(2, 50, 50)});
  {
    Run run(*this);
    Poll(run, {Row(1, 4000, 400), Row(2, 60, 60)});
    run.monitor->TakeSnapshot();  // the timed snapshot
    Poll(run, {Row(1, 7000, 700), Row(2, 70, 70)});
    // killed here: no close procedure
  }
  table.Set({Row(1, 10000, 1000), Row(2, 80, 80)});
  Run run(*this);
  Poll(run, {Row(1, 12000, 1200), Row(2, 90, 90)});
  run.monitor->SaveAtClose();
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|12000|1200"_s});
  EXPECT_EQ(Rows(run, u"0002"_s), QStringList{u"2026-12-11|90|90"_s});
}

// After a reboot the counters start again: the state is not used, the snapshot is.
TEST_F(MonitorTest, OtherBootUsesTheSnapshotAndTheGuard) {
  table.Set({Row(1, 1000, 100)});
  {
    Run run(*this);
    run.monitor->TakeSnapshot();
  }
  boot = u"boot-b"_s;
  table.Set({Row(1, 300, 30)});
  Run run(*this);
  EXPECT_EQ(run.monitor->Records()[0]->GetTotal_Received(), 1300);  // snapshot + new counter
  run.monitor->SaveAtClose();
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|1300|130"_s});
}

// A snapshot of an ended day goes into that day once, even if the program dies
// again before its first timed snapshot.
TEST_F(MonitorTest, OldSnapshotIsStoredOnce) {
  table.Set({Row(1, 1000, 100)});
  {
    Run run(*this);
    run.monitor->TakeSnapshot();
  }
  clock.Set(At(2026, 12, 12, 9));
  { Run crashedAgain(*this); }
  Run run(*this);
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|1000|100"_s});
}

TEST_F(MonitorTest, DayRolloverAtMidnight) {
  table.Set({Row(1, 1000, 100)});
  Run run(*this);
  clock.Set(At(2026, 12, 12, 0));
  Poll(run, {Row(1, 1500, 150)});
  run.monitor->CheckDate();
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|1500|150"_s});
  EXPECT_EQ(run.monitor->Records()[0]->GetTotal_Received(), 0);
  // The snapshot was renewed at once: it holds the new day.
  QFile cache(Cache());
  ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
  EXPECT_TRUE(cache.readLine().startsWith(QByteArray::number(EncodeDate(2026, 12, 12))));
}

TEST_F(MonitorTest, FatalErrorSavingRemovesCacheOnlyWhenAllSaved) {
  table.Set({Row(1, 1000, 100), Row(2, 10, 10)});
  {
    Run run(*this);
    EXPECT_TRUE(run.monitor->SaveAfterFatalError());
    EXPECT_FALSE(QFile::exists(Cache()));
    EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|1000|100"_s});
  }
  Run run(*this);
  Poll(run, {Row(1, 2000, 200), Row(2, 20, 20)});
  run.db.Execute(u"DROP TABLE 0002"_s);
  EXPECT_FALSE(run.monitor->SaveAfterFatalError());
  EXPECT_TRUE(QFile::exists(Cache()));
  EXPECT_EQ(Rows(run, u"0001"_s), QStringList{u"2026-12-11|2000|200"_s});
}

TEST_F(MonitorTest, UnreadableDatabaseIsReportedAndLeftAlone) {
  QFile garbage(dir.filePath(u"traffic.db"_s));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write("this is not a database");
  garbage.close();
  table.Set({Row(1, 0, 0)});
  EXPECT_ANY_THROW(Run run(*this));  // no preferences can be loaded: start-up ends
  QFile check(dir.filePath(u"traffic.db"_s));
  ASSERT_TRUE(check.open(QIODevice::ReadOnly));
  EXPECT_EQ(check.readAll(), QByteArray("this is not a database"));
}

}  // namespace
