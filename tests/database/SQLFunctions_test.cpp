#include <gtest/gtest.h>

#include "acquisition/Nic.h"
#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"

using namespace Qt::StringLiterals;
using namespace store_test;

namespace {

class SchemaDb : public ::testing::Test {
 protected:
  std::unique_ptr<TNic> MakeNic(std::uint32_t ifIndex, bool dialup = false) {
    auto nic = std::make_unique<TNic>(db.conn, interval, doubleTraffic, suffix);
    nic->SetIfIndex(ifIndex);
    nic->SetIsDialup(dialup);
    nic->SetIndex(dialup ? u"dfu"_s : QString::number(ifIndex, 16).rightJustified(8, u'0'));
    return nic;
  }

  TempDatabase db;
  int interval = 1000;
  bool doubleTraffic = false;
  QString suffix = u"_prefs"_s;
};

TEST_F(SchemaDb, TablesAreNamedAfterTheLastFourHexDigits) {
  const auto seven = MakeNic(7);
  const auto big = MakeNic(65539);
  EXPECT_EQ(seven->GetIndex(), u"0007"_s);
  EXPECT_EQ(big->GetIndex(), u"0003"_s);

  EXPECT_EQ(EnsurePrefsTable(db.conn, *seven, 12500000, 6), 0);
  EXPECT_EQ(EnsureTrafficTable(db.conn, *seven), 0);
  EXPECT_EQ(ListTables(db.conn), (QStringList{u"0007"_s, u"0007_prefs"_s, u"db"_s}));

  // A second look finds them and changes nothing.
  const QStringList before = Dump(db.conn);
  EXPECT_EQ(EnsurePrefsTable(db.conn, *seven, 999, 24), 1);
  EXPECT_EQ(EnsureTrafficTable(db.conn, *seven), 1);
  EXPECT_EQ(Dump(db.conn), before);
}

struct PrefsCase {
  const char* name;
  int type;
  bool dialup;
  long double maxSpeed;
  const char* row;  // showoptions|...|shortnamelength as stored
};

class NewPrefsTable : public SchemaDb, public ::testing::WithParamInterface<PrefsCase> {};

TEST_P(NewPrefsTable, GetsTheDefaultRow) {
  const PrefsCase& c = GetParam();
  const auto nic = MakeNic(3, c.dialup);
  ASSERT_EQ(EnsurePrefsTable(db.conn, *nic, c.maxSpeed, c.type), 0);
  const QString table = nic->GetIndex() + suffix;
  EXPECT_EQ(RawRows(db.conn, u"SELECT * FROM \""_s + table + u'"'),
            QStringList{QString::fromUtf8(c.row)});
  // The stored column types are those a new table declares.
  EXPECT_EQ(
      RawRows(db.conn, u"SELECT typeof(maxspeeddown), typeof(report) FROM \""_s + table + u'"'),
      QStringList{u"real|integer"_s});
}

// The row: showoptions, window left/top/height/width, ontop, trans, transvalue,
// report, grid/back/send/recv colours, clickthrough, max speeds, short name length.
INSTANTIATE_TEST_SUITE_P(
    Types, NewPrefsTable,
    ::testing::Values(
        PrefsCase{
            "Ethernet100Mbit", 6, false, 100000000.0L / 8,
            "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|12500000|12500000|3"},
        PrefsCase{"Wireless", 71, false, 6750000,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|6750000|6750000|3"},
        PrefsCase{"Other1", 1, false, 10,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|10|10|3"},
        PrefsCase{"TokenRing9", 9, false, 10,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|10|10|3"},
        PrefsCase{"L2Vlan144", 144, false, 10,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|10|10|3"},
        PrefsCase{
            "Loopback", 24, false, 12500000,
            "000000|0|0|100|100|0|0|0|0|16150899|16744825|255|16711680|0|12500000|12500000|3"},
        PrefsCase{"Tunnel", 131, false, 0,
                  "000000|0|0|100|100|0|0|0|0|16150899|16744825|255|16711680|0|0|0|3"},
        PrefsCase{"Dialup", -1, true, 12500000,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|0|0|3"},
        // Linux reports -1 Mbit/s for a link without carrier.
        PrefsCase{"UnknownSpeed", 6, false, -1.0L / 8,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|0|0|3"},
        PrefsCase{"HundredGigabit", 6, false, 100000000000.0L / 8,
                  "111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|12500000000|"
                  "12500000000|3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SchemaDb, DefaultRowIsWrittenTheSameUnderEveryLocale) {
  for (const QLocale& locale : {kGerman, kUs}) {
    SCOPED_TRACE(locale.name().toStdString());
    LocaleScope scope(locale);
    const auto nic = MakeNic(locale == kGerman ? 1 : 2);
    ASSERT_EQ(EnsurePrefsTable(db.conn, *nic, 12500000, 6), 0);
    EXPECT_EQ(RawRows(db.conn, u"SELECT maxspeeddown, maxspeedup FROM \""_s + nic->GetIndex() +
                                   suffix + u'"'),
              QStringList{u"12500000|12500000"_s});
  }
}

TEST_F(SchemaDb, ExistingPrefsTableIsLeftAloneEvenWithoutRow) {
  const auto nic = MakeNic(3);
  ASSERT_TRUE(CreatePrefsTable(db.conn, u"0003_prefs"_s));
  EXPECT_EQ(EnsurePrefsTable(db.conn, *nic, 12500000, 6), 1);
  EXPECT_EQ(RawRows(db.conn, u"SELECT count(*) FROM \"0003_prefs\""_s), QStringList{u"0"_s});
}

TEST_F(SchemaDb, FailuresAreResultsNotErrors) {
  const auto nic = MakeNic(3);
  nic->SetTableName(u"bad name"_s);  // no statement can use it
  EXPECT_EQ(EnsureTrafficTable(db.conn, *nic), 2);
  EXPECT_EQ(EnsurePrefsTable(db.conn, *nic, 100, 6), 2);
  EXPECT_EQ(ListTables(db.conn), QStringList{u"db"_s});

  ASSERT_TRUE(CreateTrafficTable(db.conn, u"0003"_s));
  EXPECT_FALSE(CreateTrafficTable(db.conn, u"0003"_s));
  EXPECT_FALSE(CreatePrefsTable(db.conn, u"0003"_s));
}

TEST_F(SchemaDb, DoSqlNamesItsPlaceAndKeepsTheEngineMessage) {
  try {
    DoSQL(db.conn, u"DROP TABLE nosuch"_s);
    FAIL() << "no error";
  } catch (const DbError& e) {
    EXPECT_EQ(e.Message(),
              u"Error in SQLFunctions_Unit->DoSQL (420) - Errormessage: no such table: nosuch"_s);
  }
  DoSQL(db.conn, u"CREATE TABLE 0001 (Datum DATE, received DOUBLE, send DOUBLE)"_s);
  EXPECT_TRUE(ListTables(db.conn).contains(u"0001"_s));
}

// Interfaces 3, 65539 and 131075 would all write into table 0003.
TEST_F(SchemaDb, CollidingIndicesGetTablesOfTheirOwn) {
  std::vector<std::unique_ptr<TNic>> v;
  v.push_back(MakeNic(65539));
  v.push_back(MakeNic(3));
  v.push_back(MakeNic(7));
  v.push_back(MakeNic(131075));
  v.push_back(MakeNic(0, true));
  AssignTableNames(v);
  EXPECT_EQ(v[0]->GetIndex(), u"00010003"_s);
  EXPECT_EQ(v[1]->GetIndex(), u"0003"_s);  // lowest index keeps the short name
  EXPECT_EQ(v[2]->GetIndex(), u"0007"_s);
  EXPECT_EQ(v[3]->GetIndex(), u"00020003"_s);
  EXPECT_EQ(v[4]->GetIndex(), u"dfu"_s);

  // Their traffic stays apart.
  FixedClock clock(At(2024, 3, 3));
  for (std::size_t i = 0; i < v.size(); ++i) {
    ASSERT_EQ(EnsurePrefsTable(db.conn, *v[i], 100, 6), 0);
    ASSERT_EQ(EnsureTrafficTable(db.conn, *v[i]), 0);
    v[i]->SetClock(&clock);
    v[i]->SetTotal_Received(100 * (i + 1));
    ASSERT_TRUE(v[i]->SaveToDb(0));
  }
  for (std::size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i]->GetDay_Received(0), 2 * 100 * (i + 1)) << i;  // stored + unsaved
  }
}

}  // namespace
