#include <gtest/gtest.h>

#include <QMap>
#include <QStringList>

#include "acquisition/Nic.h"
#include "database/DBUpdates_Unit.h"
#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"
#include "platform/ErrorReporter.h"

using namespace Qt::StringLiterals;
using namespace store_test;

namespace {

const QStringList kChain = {u"2 RC2"_s, u"2"_s,    u"2.1"_s,  u"2.2"_s,  u"2.3"_s, u"2.31"_s,
                            u"2.32"_s,  u"2.33"_s, u"2.34"_s, u"2.35"_s, u"2.36"_s};

// Position in the chain; "2 RC2" and "2" both sit before "2.1".
int Rank(const QString& version) {
  return version == u"2 RC2"_s ? 0 : int(kChain.indexOf(version));
}

struct Column {
  QString name;
  QString type;
  QString value;  // SQL literal of the fixture row
};

// The preferences table as a file of that version holds it, with one row of
// values a user might have set. Written out by hand from the old layouts.
QList<Column> OldLayout(const QString& version) {
  const int r = Rank(version);
  const int atLeast21 = Rank(u"2.1"_s);
  QString optionsType = u"CHAR(1)"_s;
  QString options = u"'1'"_s;
  if (r >= atLeast21) optionsType = u"CHAR(2)"_s, options = u"'11'"_s;
  if (r >= Rank(u"2.3"_s)) optionsType = u"CHAR(3)"_s, options = u"'110'"_s;
  if (r >= Rank(u"2.32"_s)) optionsType = u"CHAR(4)"_s, options = u"'1101'"_s;
  if (r >= Rank(u"2.35"_s)) optionsType = u"CHAR(5)"_s, options = u"'11011'"_s;
  if (r >= Rank(u"2.36"_s)) optionsType = u"CHAR(6)"_s, options = u"'110110'"_s;

  const bool renamed = r >= Rank(u"2.33"_s);
  auto name = [renamed](const char* oldName, const char* newName) {
    return QString::fromUtf8(renamed ? newName : oldName);
  };
  QList<Column> columns = {
      {name("anzeigen", "showoptions"), optionsType, options},
      {name("links", "window_left"), u"SMALLINT"_s, u"-10"_s},
      {name("oben", "window_top"), u"SMALLINT"_s, u"20"_s},
      {name("höhe", "window_height"), u"SMALLINT"_s, u"300"_s},
      {name("breite", "window_width"), u"SMALLINT"_s, u"400"_s},
      {u"ontop"_s, u"SMALLINT"_s, u"1"_s},
      {name("tranz", "trans"), u"SMALLINT"_s, u"1"_s},
      {name("tranz_wert", "transvalue"), u"SMALLINT"_s, u"128"_s},
      {name("bericht", "report"), u"SMALLINT"_s, u"1"_s},
  };
  const bool maxspeedRenamed = r >= Rank(u"2.31"_s);
  if (!maxspeedRenamed) {
    columns.append({u"maxspeed"_s, r == 0 ? u"LONG"_s : u"DOUBLE"_s, u"12500000"_s});
  }
  if (r >= Rank(u"2.2"_s)) {
    columns.append({name("forecolor", "gridcolor"), u"LONG"_s, u"111"_s});
    columns.append({u"backcolor"_s, u"LONG"_s, u"222"_s});
    columns.append({u"sendgraph"_s, u"LONG"_s, u"333"_s});
    columns.append({u"recvgraph"_s, u"LONG"_s, u"444"_s});
  }
  if (r >= Rank(u"2.3"_s)) columns.append({u"clickthrough"_s, u"SMALLINT"_s, u"1"_s});
  if (maxspeedRenamed) {
    columns.append({u"maxspeeddown"_s, u"DOUBLE"_s, u"12500000"_s});
    columns.append({u"maxspeedup"_s, u"DOUBLE"_s, u"6250000"_s});
  }
  return columns;
}

QString OldTableName(const QString& version, const QString& index) {
  return index + (Rank(version) >= Rank(u"2.34"_s) ? u"_prefs"_s : u"_einstellungen"_s);
}

// name -> "TYPE|value" of the preferences table after the upgrade.
QMap<QString, QString> UpgradedRow(const QString& fromVersion) {
  const int r = Rank(fromVersion);
  const QString options = OldLayout(fromVersion).front().value.mid(1).chopped(1);
  QMap<QString, QString> row = {
      {u"showoptions"_s, u"CHAR(6)|"_s + options},
      {u"window_left"_s, u"SMALLINT|-10"_s},
      {u"window_top"_s, u"SMALLINT|20"_s},
      {u"window_height"_s, u"SMALLINT|300"_s},
      {u"window_width"_s, u"SMALLINT|400"_s},
      {u"ontop"_s, u"SMALLINT|1"_s},
      {u"trans"_s, u"SMALLINT|1"_s},
      {u"transvalue"_s, u"SMALLINT|128"_s},
      {u"report"_s, u"SMALLINT|1"_s},
      {u"maxspeeddown"_s, u"DOUBLE|12500000"_s},
      {u"shortnamelength"_s, u"SMALLINT|NULL"_s},
  };
  const bool colours = r >= Rank(u"2.2"_s);
  row[u"gridcolor"_s] = colours ? u"LONG|111"_s : u"LONG|16150899"_s;
  row[u"backcolor"_s] = colours ? u"LONG|222"_s : u"LONG|16744825"_s;
  row[u"sendgraph"_s] = colours ? u"LONG|333"_s : u"LONG|255"_s;
  row[u"recvgraph"_s] = colours ? u"LONG|444"_s : u"LONG|16711680"_s;
  row[u"clickthrough"_s] = r >= Rank(u"2.3"_s) ? u"SMALLINT|1"_s : u"SMALLINT|NULL"_s;
  row[u"maxspeedup"_s] = r >= Rank(u"2.31"_s) ? u"DOUBLE|6250000"_s : u"DOUBLE|NULL"_s;
  return row;
}

class Upgrade : public ::testing::Test {
 protected:
  void SetVersion(const QString& version) {
    db.conn.Execute(u"UPDATE db SET DBVersion='"_s + version + u"'"_s);
  }

  void MakeOldPrefs(const QString& version, const QString& index) {
    const QList<Column> columns = OldLayout(version);
    QStringList defs, values;
    for (const Column& c : columns) {
      defs.append(c.name + u' ' + c.type);
      values.append(c.value);
    }
    const QString table = jet::QuoteIdentifier(OldTableName(version, index));
    db.conn.Execute(u"CREATE TABLE "_s + table + u" ("_s + defs.join(u", "_s) + u')');
    db.conn.Execute(u"INSERT INTO "_s + table + u" VALUES ("_s + values.join(u", "_s) + u')');
  }

  // Each column as "TYPE|value" of the table's first row.
  QMap<QString, QString> Row(const QString& table) {
    QMap<QString, QString> row;
    const ResultSet info =
        db.conn.Select(u"SELECT name, type FROM pragma_table_info('"_s + table + u"')"_s);
    for (const auto& column : info.rows) {
      const QStringList value =
          RawRows(db.conn, u"SELECT "_s + jet::QuoteIdentifier(column[0].text) + u" FROM "_s +
                               jet::QuoteIdentifier(table) + u" LIMIT 1"_s);
      row[column[0].text] = column[1].text + u'|' + value.value(0);
    }
    return row;
  }

  QString StoredVersion() { return RawRows(db.conn, u"SELECT DBVersion FROM db"_s).value(0); }

  TempDatabase db;
  RecordingErrorReporter reporter;
};

class UpgradeFrom : public Upgrade, public ::testing::WithParamInterface<QString> {};

TEST_P(UpgradeFrom, EndsWithTheCurrentLayoutAndTheOldValues) {
  const QString version = GetParam();
  SetVersion(version);
  MakeOldPrefs(version, u"0003"_s);
  MakeOldPrefs(version, u"0007"_s);
  ASSERT_TRUE(CreateTrafficTable(db.conn, u"0003"_s));
  db.conn.Execute(u"INSERT INTO 0003 VALUES ('2006-03-27', 1500, 250)"_s);
  const QStringList traffic = RawRows(db.conn, u"SELECT * FROM 0003"_s);

  QString reported;
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter, &reported), 2);
  EXPECT_EQ(reported, u"2.37"_s);
  EXPECT_EQ(StoredVersion(), u"2.37"_s);
  EXPECT_TRUE(reporter.Entries().isEmpty());

  EXPECT_EQ(ListTables(db.conn),
            (QStringList{u"0003"_s, u"0003_prefs"_s, u"0007_prefs"_s, u"db"_s}));
  EXPECT_EQ(RawRows(db.conn, u"SELECT * FROM 0003"_s), traffic);  // traffic untouched

  // The same columns and types a new preferences table has.
  ASSERT_TRUE(CreatePrefsTable(db.conn, u"fresh"_s));
  const QMap<QString, QString> fresh = Row(u"fresh"_s);
  for (const QString& table : {u"0003_prefs"_s, u"0007_prefs"_s}) {
    SCOPED_TRACE(table.toStdString());
    const QMap<QString, QString> row = Row(table);
    EXPECT_EQ(row.keys(), fresh.keys());
    EXPECT_EQ(row, UpgradedRow(version));
  }

  // The record reads the upgraded table (showoptions of one character cannot load).
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  TNic nic(db.conn, interval, guard, suffix);
  nic.SetIndex(u"0003"_s);
  ASSERT_EQ(nic.LoadPrefs(), version != u"2 RC2"_s && version != u"2"_s);
  if (version != u"2 RC2"_s && version != u"2"_s) {
    EXPECT_EQ(nic.window_height, 300);
    EXPECT_EQ(nic.maxspeeddown, 12500000u);
    EXPECT_TRUE(nic.ShowGraphform);
  }
}

INSTANTIATE_TEST_SUITE_P(Chain, UpgradeFrom, ::testing::ValuesIn(kChain), [](const auto& info) {
  return QString(info.param).replace(u'.', u'_').remove(u' ').toStdString();
});

TEST_F(Upgrade, CurrentVersionExecutesNothing) {
  MakeOldPrefs(u"2.32"_s, u"0003"_s);  // would be upgraded if anything ran
  const QStringList before = Dump(db.conn);
  QString reported;
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter, &reported), 1);
  EXPECT_EQ(reported, u"2.37"_s);
  EXPECT_EQ(Dump(db.conn), before);
}

TEST_F(Upgrade, UnknownVersionChangesNothing) {
  SetVersion(u"3.0"_s);
  MakeOldPrefs(u"2.32"_s, u"0003"_s);
  const QStringList before = Dump(db.conn);
  QString reported;
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter, &reported), 3);
  EXPECT_EQ(reported, u"3.0"_s);
  EXPECT_EQ(Dump(db.conn), before);
  EXPECT_TRUE(reporter.Entries().isEmpty());
}

TEST_F(Upgrade, MissingVersionTableIsAnError) {
  db.conn.Execute(u"DROP TABLE db"_s);
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter), 0);
  ASSERT_EQ(reporter.Entries().size(), 1);
  EXPECT_EQ(reporter.Entries()[0].message,
            u"Exception in function 'DBUpdates_Unit->Check_and_Do_DBUpdate(332) | Message:"
            u"no such table: db"_s);

  db.conn.Execute(u"CREATE TABLE db (DBVersion CHAR(50))"_s);  // no row
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter), 0);
  EXPECT_EQ(reporter.Entries().size(), 2);
}

TEST_F(Upgrade, EveryTableNamedPrefsCountsAfter234) {
  SetVersion(u"2.34"_s);
  MakeOldPrefs(u"2.34"_s, u"0003"_s);
  db.conn.Execute(u"ALTER TABLE 0003_prefs RENAME TO 0003_prefs_old"_s);
  MakeOldPrefs(u"2.34"_s, u"0003"_s);
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter), 2);
  EXPECT_EQ(Row(u"0003_prefs_old"_s), UpgradedRow(u"2.34"_s));
  EXPECT_EQ(Row(u"0003_prefs"_s), UpgradedRow(u"2.34"_s));
}

// A table 0003_prefs already present when the old 0003_einstellungen is copied
// to that name makes the step 2.33 -> 2.34 fail after it has already moved
// 0001_einstellungen.
TEST_F(Upgrade, FailingStepIsUndoneAndTheNextStartGoesOn) {
  SetVersion(u"2.1"_s);
  MakeOldPrefs(u"2.1"_s, u"0001"_s);
  MakeOldPrefs(u"2.1"_s, u"0003"_s);
  ASSERT_TRUE(CreatePrefsTable(db.conn, u"0003_prefs"_s));

  QString reported;
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter, &reported), 0);
  EXPECT_EQ(reported, u"2.33"_s);
  EXPECT_EQ(StoredVersion(), u"2.33"_s);
  ASSERT_EQ(reporter.Entries().size(), 1);
  EXPECT_TRUE(reporter.Entries()[0].message.startsWith(
      u"Exception in function 'DBUpdates_Unit->Check_and_Do_DBUpdate(332) | Message:Error in "
      u"SQLFunctions_Unit->DoSQL (420) - Errormessage: "_s));
  // Steps up to 2.33 stayed done, the failed one left nothing behind.
  EXPECT_EQ(ListTables(db.conn), (QStringList{u"0001_einstellungen"_s, u"0003_einstellungen"_s,
                                              u"0003_prefs"_s, u"db"_s}));
  EXPECT_EQ(Row(u"0001_einstellungen"_s).value(u"showoptions"_s), u"CHAR(4)|11"_s);

  db.conn.Execute(u"DROP TABLE 0003_prefs"_s);
  EXPECT_EQ(Check_and_Do_DBUpdate(db.conn, &reporter, &reported), 2);
  EXPECT_EQ(reported, u"2.37"_s);
  EXPECT_EQ(Row(u"0001_prefs"_s), UpgradedRow(u"2.1"_s));
  EXPECT_EQ(Row(u"0003_prefs"_s), UpgradedRow(u"2.1"_s));
}

TEST_F(Upgrade, RenameColumnKeepsTheValueOrNothingChanges) {
  MakeOldPrefs(u"2.3"_s, u"0003"_s);
  EXPECT_TRUE(
      RenameColumn(db.conn, u"0003_einstellungen"_s, u"höhe"_s, u"window_height"_s, u"SMALLINT"_s));
  EXPECT_EQ(Row(u"0003_einstellungen"_s).value(u"window_height"_s), u"SMALLINT|300"_s);
  EXPECT_FALSE(Row(u"0003_einstellungen"_s).contains(u"höhe"_s));

  const QStringList before = Dump(db.conn);
  EXPECT_FALSE(RenameColumn(db.conn, u"0003_einstellungen"_s, u"nosuch"_s, u"x"_s, u"LONG"_s));
  // The drop succeeds, the add fails: the old column must come back.
  EXPECT_FALSE(
      RenameColumn(db.conn, u"0003_einstellungen"_s, u"links"_s, u"oben"_s, u"SMALLINT"_s));
  EXPECT_EQ(Dump(db.conn), before);

  // A table without rows renames too.
  db.conn.Execute(u"DELETE FROM 0003_einstellungen"_s);
  EXPECT_TRUE(
      RenameColumn(db.conn, u"0003_einstellungen"_s, u"links"_s, u"window_left"_s, u"SMALLINT"_s));
}

}  // namespace
