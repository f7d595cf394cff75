#include "acquisition/Engine.h"

#include <gtest/gtest.h>

#include "acquisition/ScriptedInterfaceTable.h"

namespace {

IfRow Row(std::uint32_t index, std::uint64_t in, std::uint64_t out,
          std::uint32_t oper = kOperOperational) {
  IfRow r;
  r.index = index;
  r.type = 6;
  r.description = "eth" + std::to_string(index);
  r.mac = {0x00, 0x0c, 0x29, 0x3a, 0x5b, static_cast<std::uint8_t>(index)};
  r.operStatus = oper;
  r.inOctets = in;
  r.outOctets = out;
  return r;
}

// Records created from a start-up table as the program does, plus an optional
// dial-up record at the end.
class EngineTest : public ::testing::Test {
 protected:
  void Start(const std::vector<IfRow>& rows, bool dialup = false) {
    table.Set(rows);
    std::vector<IfRow> read;
    ASSERT_TRUE(engine.ReadTable(read));
    for (const IfRow& row : read) {
      auto nic = std::make_unique<TNic>(interval, guard, suffix);
      InitNicFromRow(*nic, row);
      nic->ShowLivedata = true;
      v.push_back(std::move(nic));
    }
    if (dialup) {
      auto nic = std::make_unique<TNic>(interval, guard, suffix);
      nic->SetIsDialup(true);
      nic->SetIndex(QStringLiteral("dfu"));
      nic->SetStatus(3);
      nic->SetTotal_Received(777);
      v.push_back(std::move(nic));
    }
  }
  void Tick(std::vector<IfRow> rows) {
    table.Set(std::move(rows));
    engine.DoNicEngine(v);
  }

  int interval = 1000;
  bool guard = false;
  QString suffix = QStringLiteral("_prefs");
  ScriptedInterfaceTable table;
  TNicEngine engine{table};
  std::vector<std::unique_ptr<TNic>> v;
};

TEST_F(EngineTest, StartupIdentityFromRow) {
  IfRow r = Row(65539, 0, 0);
  r.description = "Intel(R) Ethernet";
  r.mac = {0x00, 0x0c, 0x29, 0x3a, 0x5b, 0x7f};
  r.type = 71;
  Start({r});
  const TNic& nic = *v[0];
  EXPECT_EQ(nic.GetIndex(), QStringLiteral("0003"));
  EXPECT_EQ(nic.GetIfIndex(), 65539u);
  EXPECT_EQ(nic.GetMac(), QStringLiteral("00:0c:29:3a:5b:7f"));
  EXPECT_EQ(nic.GetName(), QStringLiteral("Intel(R) Ethernet"));
  EXPECT_EQ(nic.GetType(), 71);
  EXPECT_EQ(FormatMac({}), QStringLiteral("00:00:00:00:00:00"));
}

TEST(EngineStatus, OperStatusMapping) {
  const std::pair<std::uint32_t, int> cases[] = {{0, 2}, {1, 3}, {2, 1},  {3, 4},
                                                 {4, 5}, {5, 0}, {6, -2}, {99, -2}};
  for (const auto& [oper, status] : cases) EXPECT_EQ(StatusFromOperStatus(oper), status) << oper;
}

TEST_F(EngineTest, UnknownOperStatusLeavesStatus) {
  Start({Row(1, 0, 0, kOperDisconnected)});
  Tick({Row(1, 0, 0, kOperDisconnected)});
  EXPECT_EQ(v[0]->GetStatus(), 1);
  Tick({Row(1, 0, 0, 42)});
  EXPECT_EQ(v[0]->GetStatus(), 1);
  Tick({Row(1, 0, 0, kOperOperational)});
  EXPECT_EQ(v[0]->GetStatus(), 0);
}

TEST_F(EngineTest, FeedsEveryRecordItsOwnCounters) {
  Start({Row(1, 0, 0), Row(2, 0, 0), Row(3, 0, 0)});
  Tick({Row(1, 100, 10), Row(2, 200, 20), Row(3, 300, 30)});
  Tick({Row(1, 1100, 110), Row(2, 2200, 220), Row(3, 3300, 330)});
  for (std::size_t i = 0; i < 3; ++i) {
    const long double k = static_cast<long double>(i + 1);
    EXPECT_EQ(v[i]->GetTotal_Received(), 1100 * k) << i;
    EXPECT_EQ(v[i]->GetTotal_Sent(), 110 * k) << i;
    EXPECT_EQ(v[i]->GetRate_Received(), static_cast<double>(1000 * k)) << i;
    EXPECT_EQ(v[i]->GetStatus(), 0);
  }
}

// A vanished middle adapter: the records after it keep counting from their own rows,
// only the vanished one is marked, and the dial-up record is left alone.
TEST_F(EngineTest, VanishedRowMarksOnlyItsRecord) {
  Start({Row(1, 0, 0), Row(2, 0, 0), Row(3, 0, 0)}, /*dialup=*/true);
  Tick({Row(1, 100, 100), Row(2, 100, 100), Row(3, 100, 100)});
  Tick({Row(1, 200, 200), Row(3, 250, 250)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 200);
  EXPECT_EQ(v[0]->GetStatus(), 0);
  EXPECT_EQ(v[1]->GetStatus(), 1);
  EXPECT_EQ(v[1]->GetRate_Received(), 0);
  EXPECT_EQ(v[1]->GetTotal_Received(), 100);
  long double s = -1, r = -1;
  v[1]->GetOldValues(s, r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(v[2]->GetTotal_Received(), 250);
  EXPECT_EQ(v[2]->GetStatus(), 0);
  EXPECT_EQ(v[3]->GetStatus(), 3);  // dial-up untouched
  EXPECT_EQ(v[3]->GetTotal_Received(), 777);
}

// The trailing rows vanish: the classic case of fewer rows than records.
TEST_F(EngineTest, FewerRowsThanRecords) {
  Start({Row(1, 0, 0), Row(2, 0, 0), Row(3, 0, 0)}, /*dialup=*/true);
  Tick({Row(1, 10, 10), Row(2, 20, 20)});
  EXPECT_EQ(v[0]->GetStatus(), 0);
  EXPECT_EQ(v[1]->GetStatus(), 0);
  EXPECT_EQ(v[2]->GetStatus(), 1);
  EXPECT_EQ(v[3]->GetStatus(), 3);
}

// A returning adapter starts from reading 0, so the guard caps its first reading.
TEST_F(EngineTest, ReturningAdapterIsGuarded) {
  guard = true;
  Start({Row(1, 0, 0)});
  v[0]->maxspeeddown = 1000;
  v[0]->maxspeedup = 1000;
  Tick({Row(1, 500, 500)});
  Tick({});
  EXPECT_EQ(v[0]->GetStatus(), 1);
  Tick({Row(1, 900000, 900000)});  // counter restarted elsewhere: capped
  EXPECT_EQ(v[0]->GetTotal_Received(), 1500);
  Tick({Row(1, 901000, 901000)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 2500);
}

// An adapter inserted before the others moves every row; records follow their index.
TEST_F(EngineTest, MovedRowsAreFollowedByIndex) {
  Start({Row(5, 0, 0), Row(9, 0, 0)});
  Tick({Row(2, 1, 1), Row(5, 500, 50), Row(9, 900, 90)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 500);
  EXPECT_EQ(v[1]->GetTotal_Received(), 900);
  // Rows in an order the kernel might not sort are found too.
  Tick({Row(9, 1900, 190), Row(2, 1, 1), Row(5, 1500, 150)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 1500);
  EXPECT_EQ(v[1]->GetTotal_Sent(), 190);
}

// Indices that agree in their last four hex digits still reach their own rows.
TEST_F(EngineTest, SameTableNameDifferentIndex) {
  Start({Row(0x00010003, 0, 0), Row(0x00020003, 0, 0)});
  EXPECT_EQ(v[0]->GetIndex(), v[1]->GetIndex());
  Tick({Row(0x00010003, 100, 0), Row(0x00020003, 7, 0)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 100);
  EXPECT_EQ(v[1]->GetTotal_Received(), 7);
}

TEST_F(EngineTest, HiddenRecordIsNotFedUntilShown) {
  Start({Row(1, 0, 0)});
  Tick({Row(1, 100, 0)});
  v[0]->ShowLivedata = false;
  v[0]->ShowGraphform = false;
  Tick({Row(1, 5000, 0, kOperDisconnected)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 100);
  EXPECT_EQ(v[0]->GetStatus(), 0);
  v[0]->ShowGraphform = true;
  Tick({Row(1, 6000, 0)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 6000);  // everything since the last fed reading
  EXPECT_EQ(v[0]->GetRate_Received(), 5900);
}

TEST_F(EngineTest, FailingReadSkipsTheTick) {
  Start({Row(1, 0, 0)});
  Tick({Row(1, 100, 0)});
  table.SetFailing(true);
  engine.DoNicEngine(v);
  EXPECT_EQ(v[0]->GetStatus(), 0);
  EXPECT_EQ(v[0]->GetTotal_Received(), 100);
  table.SetFailing(false);
  Tick({Row(1, 300, 0)});
  EXPECT_EQ(v[0]->GetTotal_Received(), 300);
}

TEST_F(EngineTest, WrapCountsNothingForOneTick) {
  Start({Row(1, 0, 0)});
  Tick({Row(1, 4294967295ULL, 0)});
  Tick({Row(1, 10, 0)});
  EXPECT_EQ(v[0]->GetRate_Received(), 0);
  Tick({Row(1, 20, 0)});
  EXPECT_EQ(v[0]->GetRate_Received(), 10);
  EXPECT_EQ(v[0]->GetTotal_Received(), 4294967305.0L);
}

// An error inside a tick becomes the poller's error naming the place, the position
// reached and the row count.
class ThrowingTable final : public InterfaceTable {
 public:
  bool Read(std::vector<IfRow>&) override { throw std::bad_alloc(); }
};

TEST(EngineFailure, ErrorTextNamesPlaceAndRowCount) {
  ThrowingTable table;
  TNicEngine engine(table);
  int interval = 1000;
  bool guard = false;
  QString suffix;
  std::vector<std::unique_ptr<TNic>> v;
  v.push_back(std::make_unique<TNic>(interval, guard, suffix));
  try {
    engine.DoNicEngine(v);
    FAIL() << "no error raised";
  } catch (const EngineError& e) {
    EXPECT_STREQ(e.what(),
                 "General/undefined error in Engine->DoNicEngine (104)!|int i=0|"
                 "(int)IfTable->dwNumEntries=0|");
  }
}

}  // namespace
