#include "database/Connection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <ostream>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

// Readable failure output for Qt strings (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// Sets the program's locale for one test and puts the previous one back.
class LocaleScope {
 public:
  explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

QString ConnectionString(const QString& path) {
  return u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path +
         u";Persist Security Info=False"_s;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// Text written the way the user's locale writes it: {2024-03-03} is the short
// date, <12.5> a number with the locale's decimal separator.
QString Local(QString text) {
  static const QRegularExpression date(uR"(\{(\d{4})-(\d\d)-(\d\d)\})"_s);
  static const QRegularExpression number(uR"(<(-?[\d.]+)>)"_s);
  for (auto m = date.match(text); m.hasMatch(); m = date.match(text)) {
    const TDateTime d =
        EncodeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    text.replace(m.capturedStart(), m.capturedLength(), FormatDateTime(u"ddddd"_s, d));
  }
  for (auto m = number.match(text); m.hasMatch(); m = number.match(text)) {
    text.replace(m.capturedStart(), m.capturedLength(),
                 m.captured(1).replace(u'.', QLocale().decimalPoint()));
  }
  return text;
}

// All rows of a query, each as its fields' texts joined by '|'.
QStringList Rows(Connection& c, const QString& sql) {
  Query q(c);
  q.SetSQL(sql);
  q.Open();
  QStringList rows;
  for (; !q.Eof(); q.Next()) {
    QStringList fields;
    for (int i = 0; i < q.FieldCount(); ++i) fields.append(q.AsString(i));
    rows.append(fields.join(u'|'));
  }
  return rows;
}

// Values stored against their column's declared type: a DATE that is not ISO
// text, or a number kept as text, read back the same in one locale and wrongly
// in the next. Returns one line per offending column.
QStringList BadlyStoredValues(Connection& c) {
  QStringList bad;
  for (const QString& table : c.ListTables()) {
    Query columns(c);
    columns.SetSQL(u"SELECT name, type FROM pragma_table_info('%1')"_s.arg(table));
    columns.Open();
    for (; !columns.Eof(); columns.Next()) {
      const QString column = columns.AsString(u"name"_s);
      const auto kind = jet::KindOfDeclaredType(columns.AsString(u"type"_s));
      QString wrong;
      if (kind == jet::ColumnKind::Date) {
        wrong = u"\"%1\" NOT GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'"_s;
      } else if (kind != jet::ColumnKind::Text) {
        wrong = u"typeof(\"%1\") NOT IN ('integer', 'real', 'null')"_s;
      } else {
        continue;
      }
      const QStringList n =
          Rows(c, u"SELECT count(*) FROM \"%1\" WHERE "_s.arg(table) + wrong.arg(column));
      if (n != QStringList{u"0"_s}) bad.append(table + u'.' + column);
    }
  }
  return bad;
}

class Db : public ::testing::Test {
 protected:
  QString Path(const QString& name = u"traffic.db"_s) const { return dir.filePath(name); }

  QTemporaryDir dir;
  Connection db{ConnectionString(Path())};
};

// ---------------------------------------------------------------------------
// Every statement the program writes, run under both locales.

class Statements : public Db, public ::testing::WithParamInterface<QLocale> {
 protected:
  void Run(const char* sql) { db.Execute(Local(QString::fromUtf8(sql))); }
  QStringList Read(const char* sql) { return Rows(db, Local(QString::fromUtf8(sql))); }
  QStringList Expected(const std::vector<const char*>& rows) {
    QStringList out;
    for (const char* r : rows) out.append(Local(QString::fromUtf8(r)));
    return out;
  }

  LocaleScope locale{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Locales, Statements, ::testing::Values(kGerman, kUs),
                         [](const auto& info) {
                           return info.param.language() == QLocale::German ? std::string("German")
                                                                           : std::string("US");
                         });

constexpr const char* kTraffic = "CREATE TABLE 0003 (Datum DATE, received DOUBLE, send DOUBLE)";
constexpr const char* kPrefs =
    "CREATE TABLE 0003_prefs (showoptions CHAR(6), window_left SMALLINT, window_top SMALLINT, "
    "window_height SMALLINT, window_width SMALLINT, ontop SMALLINT, trans SMALLINT, transvalue "
    "SMALLINT, report SMALLINT, gridcolor LONG, backcolor LONG, sendgraph LONG, recvgraph LONG, "
    "clickthrough SMALLINT, maxspeeddown DOUBLE, maxspeedup DOUBLE, shortnamelength SMALLINT)";

struct StatementCase {
  const char* name;
  std::vector<const char*> setup;
  const char* statement;  // executed, or opened when `check` is empty
  const char* check;
  std::vector<const char*> rows;
};

TEST_P(Statements, RunAsWrittenAndReadBack) {
  const std::vector<StatementCase> cases = {
      {"save inserts a day",
       {kTraffic},
       "INSERT INTO 0003 VALUES ('{2024-03-03}', 1200, 300)",
       "SELECT * FROM 0003",
       {"{2024-03-03}|1200|300"}},
      {"save looks the day up by a literal with leading zeros",
       {kTraffic, "INSERT INTO 0003 VALUES ('{2024-03-02}', 1, 1)",
        "INSERT INTO 0003 VALUES ('{2024-03-03}', 1200, 300)"},
       "SELECT * FROM 0003 WHERE datum=#03/03/2024#",
       nullptr,
       {"{2024-03-03}|1200|300"}},
      {"save updates a day with quoted sums",
       {kTraffic, "INSERT INTO 0003 VALUES ('{2024-03-03}', 1200, 300)",
        "INSERT INTO 0003 VALUES ('{2024-03-04}', 5, 5)"},
       "UPDATE 0003 SET received='<2400.5>', send='600' WHERE datum=#03/03/2024#",
       "SELECT * FROM 0003 ORDER BY datum",
       {"{2024-03-03}|<2400.5>|600", "{2024-03-04}|5|5"}},
      {"month sum reads the month's rows in day order",
       {kTraffic, "INSERT INTO 0003 VALUES ('{2024-03-31}', 31, 0)",
        "INSERT INTO 0003 VALUES ('{2024-02-29}', 29, 0)",
        "INSERT INTO 0003 VALUES ('{2024-03-01}', 1, 0)",
        "INSERT INTO 0003 VALUES ('{2024-04-01}', 41, 0)",
        "INSERT INTO 0003 VALUES ('{2024-03-15}', 15, 0)"},
       "SELECT datum, received FROM 0003 WHERE datum >= #03/01/2024# AND datum <= #03/31/2024# "
       "ORDER BY datum",
       nullptr,
       {"{2024-03-01}|1", "{2024-03-15}|15", "{2024-03-31}|31"}},
      {"own range uses literals without leading zeros",
       {kTraffic, "INSERT INTO 0003 VALUES ('{2024-01-31}', 1, 2)",
        "INSERT INTO 0003 VALUES ('{2024-02-01}', 3, 4)",
        "INSERT INTO 0003 VALUES ('{2024-03-05}', 5, 6)",
        "INSERT INTO 0003 VALUES ('{2024-03-06}', 7, 8)"},
       "SELECT * FROM 0003 WHERE datum>=#2/1/2024# AND datum<=#3/5/2024#",
       nullptr,
       {"{2024-02-01}|3|4", "{2024-03-05}|5|6"}},
      {"first stored day comes first without ORDER BY",
       {kTraffic, "INSERT INTO 0003 VALUES ('{2024-05-02}', 1, 1)",
        "INSERT INTO 0003 VALUES ('{2024-05-01}', 1, 1)"},
       "SELECT datum FROM 0003",
       nullptr,
       {"{2024-05-02}", "{2024-05-01}"}},
      {"merge inserts quoted values into a new traffic table",
       {"CREATE TABLE 0004 (Datum DATE, received DOUBLE, send DOUBLE)"},
       "INSERT INTO 0004 VALUES ('{2006-03-27}', '1200', '<300.25>')",
       "SELECT * FROM 0004 ORDER BY Datum",
       {"{2006-03-27}|1200|<300.25>"}},
      {"merge and import update by the file's date line",
       {"CREATE TABLE 0004 (Datum DATE, received DOUBLE, send DOUBLE)",
        "INSERT INTO 0004 VALUES ('{2006-03-27}', '1200', '300')"},
       "UPDATE 0004 SET received='<2400.75>', send='600' WHERE datum=#03/27/2006#",
       "SELECT * FROM 0004",
       {"{2006-03-27}|<2400.75>|600"}},
      {"drop table",
       {kTraffic, "CREATE TABLE 0004 (Datum DATE, received DOUBLE, send DOUBLE)"},
       "DROP TABLE 0003",
       "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name",
       {"0004", "db"}},
      {"new preferences row",
       {kPrefs},
       "INSERT INTO 0003_prefs VALUES('111000', '0', '0', '100', '100', '0', '0', '0', '1', "
       "'16150899', '16744825', '255', '16711680', '0', '12500000', '12500000', '3')",
       "Select * From 0003_prefs",
       {"111000|0|0|100|100|0|0|0|1|16150899|16744825|255|16711680|0|12500000|12500000|3"}},
      {"dial-up preferences row with zero speed",
       {"CREATE TABLE dfu_prefs (showoptions CHAR(6), maxspeeddown DOUBLE, maxspeedup DOUBLE)"},
       "INSERT INTO dfu_prefs VALUES('111000', '0', '0')",
       "SELECT * FROM dfu_prefs",
       {"111000|0|0"}},
      {"version row stays text",
       {},
       "UPDATE db SET DBVersion='2.36'",
       "SELECT * FROM db",
       {"2.36"}},
      {"rename column keeps the first row's value in every row",
       {"CREATE TABLE 0003_einstellungen (maxspeed DOUBLE, links SMALLINT)",
        "INSERT INTO 0003_einstellungen VALUES ('<12.5>', '1')",
        "INSERT INTO 0003_einstellungen VALUES ('7', '2')",
        "ALTER TABLE 0003_einstellungen DROP maxspeed",
        "ALTER TABLE 0003_einstellungen ADD COLUMN maxspeeddown DOUBLE"},
       "UPDATE 0003_einstellungen SET maxspeeddown='<12.5>'",
       "SELECT * FROM 0003_einstellungen",
       {"1|<12.5>", "2|<12.5>"}},
      {"colour defaults of an upgrade step",
       {"CREATE TABLE 0003_einstellungen (anzeigen CHAR(2))",
        "INSERT INTO 0003_einstellungen VALUES ('11')",
        "ALTER TABLE 0003_einstellungen ADD COLUMN forecolor LONG",
        "ALTER TABLE 0003_einstellungen ADD COLUMN backcolor LONG",
        "ALTER TABLE 0003_einstellungen ADD COLUMN sendgraph LONG",
        "ALTER TABLE 0003_einstellungen ADD COLUMN recvgraph LONG"},
       "UPDATE 0003_einstellungen SET backcolor='16744825', forecolor='16150899', "
       "recvgraph='16711680', sendgraph='255'",
       "SELECT * FROM 0003_einstellungen",
       {"11|16150899|16744825|255|16711680"}},
      {"select into copies rows of a preferences table",
       {"CREATE TABLE 0003_einstellungen (showoptions CHAR(4), maxspeeddown DOUBLE)",
        "INSERT INTO 0003_einstellungen VALUES ('1100', '<0.5>')"},
       "SELECT * INTO 0003_prefs FROM 0003_einstellungen",
       "SELECT * FROM 0003_prefs",
       {"1100|<0.5>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* t : {"0003", "0004", "0003_prefs", "0003_einstellungen", "dfu_prefs"}) {
      db.Execute(u"DROP TABLE IF EXISTS "_s + QString::fromUtf8(t));
    }
    db.Execute(u"UPDATE db SET DBVersion='2.37'"_s);
    for (const char* s : c.setup) Run(s);
    QStringList rows;
    if (c.check) {
      Run(c.statement);
      rows = Read(c.check);
    } else {
      rows = Read(c.statement);
    }
    EXPECT_EQ(rows, Expected(c.rows));
    EXPECT_EQ(BadlyStoredValues(db), QStringList());
  }
}

// The preferences are written through named parameters.
TEST_P(Statements, SavePrefsWithParameters) {
  Run(kPrefs);
  Run("INSERT INTO 0003_prefs VALUES('111000', '0', '0', '100', '100', '0', '0', '0', '1', "
      "'16150899', '16744825', '255', '16711680', '0', '12500000', '12500000', '3')");
  Query q(db);
  q.SetSQL(Local(
      u"UPDATE 0003_prefs SET showoptions = :showoptions ,window_left = :window_left ,window_top "
      u"= :window_top ,window_height = :window_height ,window_width = :window_width ,ontop = "
      u":ontop ,trans = :trans ,transvalue = :transvalue ,report = :report ,gridcolor = "
      u":gridcolor ,backcolor = :backcolor ,sendgraph = :sendgraph ,recvgraph = :recvgraph "
      u",clickthrough = :clickthrough ,maxspeeddown = :maxspeeddown ,maxspeedup = :maxspeedup "
      u",shortnamelength = :shortnamelength"_s));
  q.BindText(u"showoptions"_s, u"010101"_s);
  const std::vector<std::pair<const char*, qint64>> integers = {
      {"window_left", -20},     {"window_top", 30},    {"window_height", 200},
      {"window_width", 300},    {"transvalue", 128},   {"gridcolor", 1},
      {"backcolor", 2},         {"sendgraph", 3},      {"recvgraph", 4},
      {"maxspeeddown", 125000}, {"MaxSpeedUp", 62500}, {"shortnamelength", 5}};
  for (const auto& [name, value] : integers) q.BindInteger(QString::fromUtf8(name), value);
  for (const char* flag : {"ontop", "trans", "report", "clickthrough"}) {
    q.BindText(QString::fromUtf8(flag), u"1"_s);
  }
  q.ExecSQL();
  EXPECT_EQ(Read("SELECT * FROM 0003_prefs"),
            QStringList{u"010101|-20|30|200|300|1|1|128|1|1|2|3|4|1|125000|62500|5"_s});

  q.SetSQL(u"SELECT * FROM 0003_prefs"_s);
  q.Open();
  EXPECT_EQ(q.AsInteger(u"MAXSPEEDDOWN"_s), 125000);
  EXPECT_EQ(q.AsString(u"ShowOptions"_s), u"010101"_s);
  EXPECT_TRUE(q.AsInteger(u"ontop"_s) != 0);
}

// The day lookup binds the day as a date.
TEST_P(Statements, DayQueryWithDateParameter) {
  Run(kTraffic);
  Run("INSERT INTO 0003 VALUES ('{2024-03-03}', 1200, 300)");
  Run("INSERT INTO 0003 VALUES ('{2024-03-04}', 5, 6)");
  Query q(db);
  q.SetSQL(u"SELECT datum, received FROM 0003 WHERE datum = :datum"_s);
  q.BindDate(u"datum"_s, EncodeDate(2024, 3, 3));
  q.Open();
  ASSERT_EQ(q.RecordCount(), 1);
  EXPECT_DOUBLE_EQ(q.AsFloat(u"received"_s), 1200);
  EXPECT_DOUBLE_EQ(q.AsDateTime(u"Datum"_s), EncodeDate(2024, 3, 3));
  EXPECT_EQ(q.AsInteger(u"datum"_s), qint64(EncodeDate(2024, 3, 3)));

  q.SetSQL(u"SELECT datum, received FROM 0003 WHERE datum = :datum"_s);
  q.BindDate(u"datum"_s, EncodeDate(2024, 3, 5));
  q.Open();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.RecordCount(), 0);

  q.SetSQL(u"SELECT datum, received FROM 0003 WHERE datum = :datum"_s);
  EXPECT_THROW(q.Open(), DbError);  // no value for :datum
}

TEST_P(Statements, TextThatDoesNotConvertWritesNothing) {
  Run(kTraffic);
  Run("INSERT INTO 0003 VALUES ('{2024-03-03}', 1200, 300)");
  const bool german = QLocale().decimalPoint() == u',';
  const std::vector<const char*> bad = {
      "INSERT INTO 0003 VALUES ('{2024-03-04}', 'abc', '1')",
      german ? "INSERT INTO 0003 VALUES ('{2024-03-04}', '1.5', '1')"
             : "INSERT INTO 0003 VALUES ('{2024-03-04}', '1,5', '1')",
      "INSERT INTO 0003 VALUES ('30.02.2024x', '1', '1')",
      "UPDATE 0003 SET received='12 MB', send='1' WHERE datum=#3/3/2024#",
      "UPDATE 0003 SET received='1', send='1' WHERE datum=#3/32/2024#",
      // All statements of one text or none.
      "UPDATE 0003 SET send='1'; UPDATE 0003 SET received='x'",
      "UPDATE 0003 SET send='1'; INSERT INTO 0009 VALUES (1)",
  };
  for (const char* sql : bad) {
    EXPECT_THROW(Run(sql), DbError) << sql;
    EXPECT_EQ(Read("SELECT * FROM 0003"), Expected({"{2024-03-03}|1200|300"})) << sql;
  }
}

TEST_P(Statements, AlterColumnKeepsAndConvertsData) {
  Run("CREATE TABLE 0003_einstellungen (anzeigen CHAR(1), maxspeed CHAR(20), links SMALLINT)");
  Run("INSERT INTO 0003_einstellungen VALUES ('1', '<12.5>', '5')");
  Run("INSERT INTO 0003_einstellungen VALUES ('0', '', '6')");
  Run("INSERT INTO 0003_einstellungen VALUES ('1', '1000000', '7')");
  Run("ALTER TABLE 0003_einstellungen ALTER COLUMN anzeigen CHAR(2)");
  Run("ALTER TABLE 0003_einstellungen ALTER COLUMN maxspeed DOUBLE");
  EXPECT_EQ(Read("SELECT * FROM 0003_einstellungen"),
            Expected({"1|<12.5>|5", "0||6", "1|1000000|7"}));
  Query q(db);
  q.SetSQL(u"SELECT maxspeed FROM 0003_einstellungen"_s);
  q.Open();
  EXPECT_DOUBLE_EQ(q.AsFloat(u"maxspeed"_s), 12.5);
  q.Next();
  EXPECT_TRUE(q.IsNull(u"maxspeed"_s));
  EXPECT_EQ(Read("SELECT name || ' ' || type FROM pragma_table_info('0003_einstellungen')"),
            QStringList({u"anzeigen CHAR(2)"_s, u"maxspeed DOUBLE"_s, u"links SMALLINT"_s}));
  EXPECT_EQ(BadlyStoredValues(db), QStringList());

  // A value that is no number stops the change and leaves the table as it was.
  Run("INSERT INTO 0003_einstellungen (anzeigen) VALUES ('ab')");
  EXPECT_THROW(Run("ALTER TABLE 0003_einstellungen ALTER COLUMN anzeigen DOUBLE"), DbError);
  EXPECT_EQ(Read("SELECT anzeigen FROM 0003_einstellungen"),
            QStringList({u"1"_s, u"0"_s, u"1"_s, u"ab"_s}));
  EXPECT_EQ(db.ListTables(), QStringList({u"0003_einstellungen"_s, u"db"_s}));
  EXPECT_THROW(Run("ALTER TABLE 0003_einstellungen ALTER COLUMN nothere DOUBLE"), DbError);
  EXPECT_THROW(Run("ALTER TABLE 0009 ALTER COLUMN anzeigen DOUBLE"), DbError);
}

// The whole upgrade chain from "2 RC2" on one old preferences table.
TEST_P(Statements, UpgradeChainStatements) {
  const QString t = u"0003_einstellungen"_s;
  db.Execute(
      u"CREATE TABLE 0003_einstellungen (anzeigen CHAR(1), links SMALLINT, oben SMALLINT, "
      u"höhe SMALLINT, breite SMALLINT, tranz SMALLINT, tranz_wert SMALLINT, bericht "
      u"SMALLINT, maxspeed CHAR(20))"_s);
  Run("INSERT INTO 0003_einstellungen VALUES ('1', '10', '20', '300', '400', '1', '128', '1', "
      "'<12500000.5>')");
  auto alter = [&](const QString& rest) { db.Execute(u"ALTER TABLE "_s + t + u' ' + rest); };
  auto rename = [&](const QString& from, const QString& to, const QString& type) {
    Query q(db);
    q.SetSQL(u"SELECT "_s + from + u" FROM "_s + t);
    q.Open();
    const QString value = q.AsString(from);
    alter(u"DROP "_s + from);
    alter(u"ADD COLUMN "_s + to + u' ' + type);
    db.Execute(u"UPDATE "_s + t + u" SET "_s + to + u"='"_s + value + u'\'');
  };
  alter(u"ALTER COLUMN anzeigen CHAR(2)"_s);
  alter(u"ALTER COLUMN maxspeed DOUBLE"_s);
  for (const char* c : {"forecolor", "backcolor", "sendgraph", "recvgraph"}) {
    alter(u"ADD COLUMN "_s + QString::fromUtf8(c) + u" LONG"_s);
  }
  db.Execute(u"UPDATE "_s + t +
             u" SET backcolor='16744825', forecolor='16150899', recvgraph='16711680', "
             u"sendgraph='255'"_s);
  alter(u"ALTER COLUMN anzeigen CHAR(3)"_s);
  alter(u"ADD COLUMN clickthrough SMALLINT"_s);
  rename(u"maxspeed"_s, u"maxspeeddown"_s, u"DOUBLE"_s);
  alter(u"ADD COLUMN maxspeedup DOUBLE"_s);
  alter(u"ALTER COLUMN anzeigen CHAR(4)"_s);
  rename(u"anzeigen"_s, u"showoptions"_s, u"CHAR(4)"_s);
  rename(u"links"_s, u"window_left"_s, u"SMALLINT"_s);
  rename(u"oben"_s, u"window_top"_s, u"SMALLINT"_s);
  rename(u"höhe"_s, u"window_height"_s, u"SMALLINT"_s);
  rename(u"breite"_s, u"window_width"_s, u"SMALLINT"_s);
  rename(u"tranz"_s, u"trans"_s, u"SMALLINT"_s);
  rename(u"tranz_wert"_s, u"transvalue"_s, u"SMALLINT"_s);
  rename(u"bericht"_s, u"report"_s, u"SMALLINT"_s);
  rename(u"forecolor"_s, u"gridcolor"_s, u"LONG"_s);
  db.Execute(u"SELECT * INTO 0003_prefs FROM "_s + t);
  db.Execute(u"DROP TABLE "_s + t);
  db.Execute(u"ALTER TABLE 0003_prefs ALTER COLUMN showoptions CHAR(5)"_s);
  db.Execute(u"ALTER TABLE 0003_prefs ALTER COLUMN showoptions CHAR(6)"_s);
  db.Execute(u"ALTER TABLE 0003_prefs ADD COLUMN shortnamelength SMALLINT"_s);
  db.Execute(u"UPDATE db SET DBVersion='2.37'"_s);

  EXPECT_EQ(db.ListTables(), QStringList({u"0003_prefs"_s, u"db"_s}));
  EXPECT_EQ(Read("SELECT showoptions, window_left, window_top, window_height, window_width, "
                 "trans, transvalue, report, gridcolor, backcolor, sendgraph, recvgraph, "
                 "clickthrough, maxspeeddown, maxspeedup, shortnamelength FROM 0003_prefs"),
            Expected({"1|10|20|300|400|1|128|1|16150899|16744825|255|16711680||<12500000.5>||"}));
  EXPECT_EQ(Read("SELECT type FROM pragma_table_info('0003_prefs') WHERE name='showoptions'"),
            QStringList{u"CHAR(6)"_s});
  EXPECT_EQ(BadlyStoredValues(db), QStringList());
}

// ---------------------------------------------------------------------------
// Connection and query behaviour

TEST_F(Db, NewFileHoldsTheVersionTable) {
  EXPECT_FALSE(db.Connected());
  db.Open();
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(db.ListTables(), QStringList{u"db"_s});
  EXPECT_EQ(Rows(db, u"SELECT * FROM db"_s), QStringList{u"2.37"_s});
  EXPECT_TRUE(ReadAll(Path()).startsWith(QByteArray("SQLite format 3\0", 16)));
  EXPECT_EQ(Rows(db, u"PRAGMA journal_mode"_s), QStringList{u"wal"_s});
  EXPECT_EQ(Rows(db, u"PRAGMA synchronous"_s), QStringList{u"2"_s});
  // Nothing but the database and its journal files beside it.
  for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
    EXPECT_TRUE(name.startsWith(u"traffic.db"_s) && !name.endsWith(u".new"_s))
        << name.toStdString();
  }
}

TEST_F(Db, ConnectionStringForms) {
  const std::vector<std::pair<QString, QString>> cases = {
      {ConnectionString(Path()), Path()},
      {u"Data Source="_s + Path() + u";Jet OLEDB:Engine Type=5"_s, Path()},
      {u"Provider=Microsoft.Jet.OLEDB.4.0; data source = \"/tmp/a;b.db\" ;Mode=Share"_s,
       u"/tmp/a;b.db"_s},
      {u"Provider=Microsoft.Jet.OLEDB.4.0"_s, QString()},
  };
  for (const auto& [text, path] : cases) {
    Connection c(text);
    EXPECT_EQ(c.DatabasePath(), path) << text.toStdString();
    EXPECT_EQ(c.ConnectionString(), text);
  }
  Connection none(u"Provider=Microsoft.Jet.OLEDB.4.0"_s);
  EXPECT_THROW(none.Open(), DbError);
}

TEST_F(Db, ClosedConnectionReopensOnTheNextStatement) {
  db.Execute(u"CREATE TABLE 0003 (Datum DATE, received DOUBLE, send DOUBLE)"_s);
  db.Close();
  EXPECT_FALSE(db.Connected());
  Query q(db);
  q.SetSQL(u"SELECT * FROM db"_s);
  q.Open();
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(q.AsString(u"dbversion"_s), u"2.37"_s);
  db.Close();
  // Rows already read stay readable.
  EXPECT_EQ(q.AsString(u"DBVersion"_s), u"2.37"_s);
  db.Execute(u"INSERT INTO 0003 VALUES (#1/2/2024#, 1, 2)"_s);
  EXPECT_TRUE(db.Connected());
  db.Close();
  EXPECT_EQ(db.ListTables(), QStringList({u"0003"_s, u"db"_s}));
}

TEST_F(Db, ListTablesLeavesOutSqliteTables) {
  db.Execute(u"CREATE TABLE zeta (id INTEGER PRIMARY KEY AUTOINCREMENT, v CHAR(5))"_s);
  db.Execute(u"INSERT INTO zeta (v) VALUES ('a')"_s);
  db.Execute(u"CREATE TABLE 0003_prefs (showoptions CHAR(6))"_s);
  db.Execute(u"CREATE TABLE dfu (Datum DATE, received DOUBLE, send DOUBLE)"_s);
  EXPECT_EQ(Rows(db, u"SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'"_s),
            QStringList{u"1"_s});
  EXPECT_EQ(db.ListTables(), QStringList({u"0003_prefs"_s, u"db"_s, u"dfu"_s, u"zeta"_s}));
}

TEST_F(Db, NavigationAndFields) {
  db.Execute(u"CREATE TABLE t (Datum DATE, received DOUBLE, name CHAR(10), n LONG)"_s);
  Query q(db);
  q.SetSQL(u"SELECT * FROM t"_s);
  q.Open();
  EXPECT_TRUE(q.Active());
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(q.Bof());
  EXPECT_EQ(q.RecordCount(), 0);
  EXPECT_THROW(q.AsString(u"name"_s), DbError);  // no current record

  db.Execute(
      u"INSERT INTO t VALUES (#1/1/2024#, 1.5, 'a', 10); "
      u"INSERT INTO t VALUES (#1/2/2024#, NULL, 'b', 20); "
      u"INSERT INTO t VALUES (#1/3/2024#, 3, '12', 30)"_s);
  q.Open();
  ASSERT_EQ(q.RecordCount(), 3);
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.AsString(u"NAME"_s), u"a"_s);
  q.Next();
  EXPECT_TRUE(q.IsNull(u"received"_s));
  EXPECT_EQ(q.AsString(u"received"_s), QString());
  EXPECT_EQ(q.AsFloat(u"received"_s), 0);
  q.Last();
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.AsInteger(u"n"_s), 30);
  EXPECT_EQ(q.AsInteger(u"name"_s), 12);
  q.Next();
  EXPECT_TRUE(q.Eof());
  q.First();
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.RecNo(), 0);
  EXPECT_EQ(q.AsString(3), u"10"_s);
  EXPECT_THROW(q.AsString(u"missing"_s), DbError);
  EXPECT_THROW(q.AsInteger(u"Name"_s), DbError);  // 'a' is no number
  EXPECT_EQ(q.FieldIndex(u"RECEIVED"_s), 1);
  EXPECT_EQ(q.FieldName(0), u"Datum"_s);

  // Computed columns take their kind from the value.
  q.SetSQL(u"SELECT sum(received) AS total, count(*) AS n FROM t"_s);
  {
    LocaleScope german(kGerman);
    q.Open();
    EXPECT_EQ(q.AsString(u"total"_s), u"4,5"_s);
    EXPECT_EQ(q.AsString(u"n"_s), u"3"_s);
  }
  q.Close();
  EXPECT_FALSE(q.Active());
  EXPECT_THROW(q.AsString(0), DbError);
}

TEST_F(Db, DateFieldsPrintInTheShortDateForm) {
  db.Execute(u"CREATE TABLE t (Datum DATE, received DOUBLE)"_s);
  db.Execute(u"INSERT INTO t VALUES (#3/27/2006#, 1234567.25)"_s);
  const std::vector<std::tuple<QLocale, const char*, const char*>> cases = {
      {kGerman, "27.03.2006", "1234567,25"},
      {kUs, "3/27/2006", "1234567.25"},
  };
  for (const auto& [locale, date, number] : cases) {
    LocaleScope scope(locale);
    EXPECT_EQ(Rows(db, u"SELECT * FROM t"_s),
              QStringList{QString::fromUtf8(date) + u'|' + QString::fromUtf8(number)});
  }
}

TEST_F(Db, OpenRunsOnlyStatementsThatReturnRows) {
  db.Execute(u"CREATE TABLE 0003 (Datum DATE)"_s);
  Query q(db);
  for (const char* sql : {"DROP TABLE 0003", "SELECT * INTO 0004 FROM 0003",
                          "ALTER TABLE 0003 ALTER COLUMN Datum CHAR(10)", ""}) {
    q.SetSQL(QString::fromUtf8(sql));
    EXPECT_THROW(q.Open(), DbError) << sql;
  }
  EXPECT_EQ(db.ListTables(), QStringList({u"0003"_s, u"db"_s}));
  EXPECT_EQ(Rows(db, u"SELECT type FROM pragma_table_info('0003')"_s), QStringList{u"DATE"_s});
}

TEST_F(Db, EngineErrorsCarryTheEngineMessage) {
  try {
    db.Execute(u"SELECT * FROM 0009"_s);
    FAIL() << "no error";
  } catch (const DbError& e) {
    EXPECT_EQ(e.Message(), u"no such table: 0009"_s);
    EXPECT_NE(e.Code(), 0);
  }
  Query q(db);
  q.SetSQL(u"Select * From 0003_prefs"_s);
  EXPECT_THROW(q.Open(), DbError);
  EXPECT_FALSE(q.Active());
  db.Execute(u"CREATE TABLE 0003 (Datum DATE)"_s);
  EXPECT_THROW(db.Execute(u"CREATE TABLE 0003 (Datum DATE)"_s), DbError);
  EXPECT_THROW(db.Execute(u"INSERT INTO 0003 VALUES ('1/1/2024', 5)"_s), DbError);
}

TEST_F(Db, SelectIntoCopiesDeclaredColumns) {
  db.Execute(
      u"CREATE TABLE 0003_einstellungen (Datum DATE, maxspeed DOUBLE, anzeigen CHAR(4), "
      u"links SMALLINT)"_s);
  db.Execute(u"INSERT INTO 0003_einstellungen VALUES (#3/3/2024#, 1.5, '1100', 7)"_s);
  db.Execute(u"SELECT * INTO 0003_prefs FROM 0003_einstellungen"_s);
  EXPECT_EQ(Rows(db, u"SELECT name || ' ' || type FROM pragma_table_info('0003_prefs')"_s),
            QStringList({u"Datum DATE"_s, u"maxspeed DOUBLE"_s, u"anzeigen CHAR(4)"_s,
                         u"links SMALLINT"_s}));
  EXPECT_EQ(Rows(db, u"SELECT * FROM 0003_prefs"_s),
            Rows(db, u"SELECT * FROM 0003_einstellungen"_s));
  // The target exists now: an error, and its rows are not doubled.
  EXPECT_THROW(db.Execute(u"SELECT * INTO 0003_prefs FROM 0003_einstellungen"_s), DbError);
  EXPECT_EQ(Rows(db, u"SELECT count(*) FROM 0003_prefs"_s), QStringList{u"1"_s});
  EXPECT_THROW(db.Execute(u"SELECT * INTO x FROM 0009"_s), DbError);
  EXPECT_EQ(db.ListTables(), QStringList({u"0003_einstellungen"_s, u"0003_prefs"_s, u"db"_s}));
}

TEST_F(Db, DropColumnKeepsTheOthers) {
  db.Execute(u"CREATE TABLE 0003_einstellungen (maxspeed DOUBLE, links SMALLINT)"_s);
  db.Execute(u"INSERT INTO 0003_einstellungen VALUES (1, 2)"_s);
  db.Execute(u"ALTER TABLE 0003_einstellungen DROP maxspeed"_s);
  EXPECT_EQ(Rows(db, u"SELECT * FROM 0003_einstellungen"_s), QStringList{u"2"_s});
  EXPECT_THROW(db.Execute(u"ALTER TABLE 0003_einstellungen DROP maxspeed"_s), DbError);
}

TEST_F(Db, AttachedQueryCount) {
  EXPECT_EQ(db.AttachedQueryCount(), 0);
  {
    Query a(db);
    Query b(db);
    EXPECT_EQ(db.AttachedQueryCount(), 2);
  }
  EXPECT_EQ(db.AttachedQueryCount(), 0);
}

TEST_F(Db, TransactionsCommitOrRollBack) {
  db.Execute(u"CREATE TABLE t (n LONG)"_s);
  {
    Connection::Transaction tx(db);
    db.Execute(u"INSERT INTO t VALUES (1)"_s);
  }  // no commit
  EXPECT_EQ(Rows(db, u"SELECT count(*) FROM t"_s), QStringList{u"0"_s});
  {
    Connection::Transaction tx(db);
    db.Execute(u"INSERT INTO t VALUES (1)"_s);
    {
      Connection::Transaction inner(db);
      db.Execute(u"INSERT INTO t VALUES (2)"_s);
    }  // inner rolled back
    {
      Connection::Transaction inner(db);
      db.Execute(u"INSERT INTO t VALUES (3)"_s);
      inner.Commit();
    }
    tx.Commit();
  }
  EXPECT_EQ(Rows(db, u"SELECT n FROM t"_s), QStringList({u"1"_s, u"3"_s}));
  {
    Connection::Transaction tx(db);
    db.Execute(u"INSERT INTO t VALUES (4)"_s);
    db.Close();
    EXPECT_THROW(tx.Commit(), DbError);
  }
  EXPECT_EQ(Rows(db, u"SELECT n FROM t"_s), QStringList({u"1"_s, u"3"_s}));
}

// ---------------------------------------------------------------------------
// Files that must not be touched

struct BadFileCase {
  const char* name;
  std::function<void(const QString& path)> make;
  bool needsNonRoot;
};

TEST_F(Db, FilesThatAreNoUsableDatabaseStayUnchanged) {
  const std::vector<BadFileCase> cases = {
      {"garbage", [](const QString& p) { WriteAll(p, QByteArray(5000, 'x')); }, false},
      {"text", [](const QString& p) { WriteAll(p, "Datum;received;send\r\n"); }, false},
      {"empty", [](const QString& p) { WriteAll(p, {}); }, false},
      {"almost header", [](const QString& p) { WriteAll(p, "SQLite format 2\0 and more"); }, false},
      {"directory", [](const QString& p) { QDir().mkpath(p); }, false},
      {"read-only database",
       [](const QString& p) {
         {
           Connection maker(ConnectionString(p));
           maker.Open();
         }
         ::chmod(QFile::encodeName(p).constData(), 0444);
       },
       true},
      {"unreadable database",
       [](const QString& p) {
         {
           Connection maker(ConnectionString(p));
           maker.Open();
         }
         ::chmod(QFile::encodeName(p).constData(), 0);
       },
       true},
  };
  const bool root = ::geteuid() == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsNonRoot && root) continue;  // root reads and writes regardless of mode
    QTemporaryDir sub;
    const QString path = sub.filePath(u"traffic.db"_s);
    c.make(path);
    const QByteArray before = ReadAll(path);
    const QStringList filesBefore = QDir(sub.path()).entryList(QDir::AllEntries | QDir::NoDot);
    Connection bad(ConnectionString(path));
    try {
      bad.Open();
      ADD_FAILURE() << "opened";
    } catch (const DbError& e) {
      EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
    }
    EXPECT_FALSE(bad.Connected());
    EXPECT_THROW(bad.Execute(u"CREATE TABLE x (a DATE)"_s), DbError);
    EXPECT_THROW(bad.ListTables(), DbError);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(sub.path()).entryList(QDir::AllEntries | QDir::NoDot), filesBefore);
    ::chmod(QFile::encodeName(path).constData(), 0644);
  }
  if (root) GTEST_LOG_(INFO) << "read-only and unreadable cases need a non-root user";
}

TEST_F(Db, MissingFolderIsAnError) {
  Connection c(ConnectionString(dir.filePath(u"no/such/folder/traffic.db"_s)));
  EXPECT_THROW(c.Open(), DbError);
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"no"_s)));
}

// Another program holding the file: a clear error once the wait is over, and the
// file is what it was.
TEST_F(Db, FileLockedByAnotherConnection) {
  db.Execute(u"CREATE TABLE t (n LONG)"_s);
  db.Close();
  const QByteArray before = ReadAll(Path());

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(Path()).constData(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  Connection locked(ConnectionString(Path()));
  locked.SetBusyTimeout(100);
  try {
    locked.Open();
    locked.Execute(u"INSERT INTO t VALUES (1)"_s);
    ADD_FAILURE() << "no error while locked";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.Message().contains(u"locked"_s)) << e.Message().toStdString();
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(ReadAll(Path()), before);

  // Once the other side lets go, the same connection works.
  locked.Execute(u"INSERT INTO t VALUES (1)"_s);
  EXPECT_EQ(Rows(locked, u"SELECT n FROM t"_s), QStringList{u"1"_s});
}

TEST_F(Db, WriterOfAnotherProcessMakesStatementsWaitThenFail) {
  db.Execute(u"CREATE TABLE t (n LONG)"_s);
  db.SetBusyTimeout(100);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(Path()).constData(), &other), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO t VALUES (9);", nullptr, nullptr, nullptr),
      SQLITE_OK);
  EXPECT_THROW(db.Execute(u"INSERT INTO t VALUES (1)"_s), DbError);
  EXPECT_THROW(Connection::Transaction tx(db), DbError);
  EXPECT_EQ(Rows(db, u"SELECT count(*) FROM t"_s), QStringList{u"0"_s});  // readers go on
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  db.Execute(u"INSERT INTO t VALUES (1)"_s);
  EXPECT_EQ(Rows(db, u"SELECT n FROM t ORDER BY n"_s), QStringList({u"1"_s, u"9"_s}));
}

// ---------------------------------------------------------------------------
// Compacting, the way the maintenance page does it

TEST_F(Db, CompactIntoTempThenReplace) {
  db.Execute(u"CREATE TABLE 0003 (Datum DATE, received DOUBLE, send DOUBLE)"_s);
  for (int day = 1; day <= 28; ++day) {
    db.Execute(u"INSERT INTO 0003 VALUES (#2/%1/2024#, %1, 1)"_s.arg(day));
  }
  db.Execute(u"DELETE FROM 0003 WHERE received > 3"_s);
  const QStringList rows = Rows(db, u"SELECT * FROM 0003"_s);
  db.Close();

  const QString temp = Path() + u".temp"_s;
  EXPECT_EQ(Connection::Compact(u"Data Source="_s + Path(),
                                u"Data Source="_s + temp + u";Jet OLEDB:Engine Type=5"_s),
            0);
  ASSERT_TRUE(QFile::remove(Path()));
  ASSERT_TRUE(QFile::rename(temp, Path()));
  EXPECT_EQ(Rows(db, u"SELECT * FROM 0003"_s), rows);
  EXPECT_EQ(Rows(db, u"SELECT * FROM db"_s), QStringList{u"2.37"_s});
}

TEST_F(Db, CompactRefusals) {
  db.Execute(u"CREATE TABLE t (n LONG)"_s);
  db.Close();
  const QString temp = Path() + u".temp"_s;
  const QString src = u"Data Source="_s + Path();
  const QString dst = u"Data Source="_s + temp + u";Jet OLEDB:Engine Type=5"_s;

  // An existing destination is never overwritten.
  WriteAll(temp, "keep me");
  EXPECT_NE(Connection::Compact(src, dst), 0);
  EXPECT_EQ(ReadAll(temp), QByteArray("keep me"));
  QFile::remove(temp);

  // A source that is no database, or missing.
  const QString junk = dir.filePath(u"junk.db"_s);
  WriteAll(junk, "not a database at all");
  EXPECT_NE(Connection::Compact(u"Data Source="_s + junk, dst), 0);
  EXPECT_EQ(ReadAll(junk), QByteArray("not a database at all"));
  EXPECT_NE(Connection::Compact(u"Data Source="_s + dir.filePath(u"none.db"_s), dst), 0);
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"none.db"_s)));
  EXPECT_FALSE(QFileInfo::exists(temp));

  // Still open elsewhere: replacing it would lose that connection's work.
  db.Execute(u"INSERT INTO t VALUES (1)"_s);
  EXPECT_NE(Connection::Compact(src, dst), 0);
  EXPECT_FALSE(QFileInfo::exists(temp));
  db.Close();
  EXPECT_EQ(Connection::Compact(src, dst), 0);
}

// ---------------------------------------------------------------------------
// One connection shared by several threads

TEST_F(Db, ReadersAndAWriterOnSeveralThreads) {
  db.Execute(u"CREATE TABLE 0003 (Datum DATE, received DOUBLE, send DOUBLE)"_s);
  constexpr int kWrites = 200;
  std::atomic<bool> writing{true};
  std::atomic<int> errors{0};
  std::vector<std::thread> threads;
  // The record store's save: look the day up and insert or update, as one unit.
  threads.emplace_back([&] {
    try {
      for (int i = 0; i < kWrites; ++i) {
        const int day = 1 + i % 5;
        Connection::Transaction tx(db);
        Query q(db);
        q.SetSQL(u"SELECT * FROM 0003 WHERE datum=#03/%1/2024#"_s.arg(day, 2, 10, QChar(u'0')));
        q.Open();
        if (q.Eof()) {
          db.Execute(u"INSERT INTO 0003 VALUES (#3/%1/2024#, 1, 1)"_s.arg(day));
        } else {
          db.Execute(u"UPDATE 0003 SET received='%1', send='1' WHERE datum=#3/%2/2024#"_s
                         .arg(q.AsFloat(u"received"_s) + 1)
                         .arg(day));
        }
        tx.Commit();
      }
    } catch (const DbError& e) {
      ADD_FAILURE() << e.Message().toStdString();
      ++errors;
    }
    writing = false;
  });
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&, r] {
      try {
        Query q(db);
        do {
          if (r == 0) {
            q.SetSQL(u"SELECT datum, received FROM 0003 WHERE datum = :datum"_s);
            q.BindDate(u"datum"_s, EncodeDate(2024, 3, 2));
          } else {
            q.SetSQL(
                u"SELECT datum, received FROM 0003 WHERE datum >= #03/01/2024# AND datum <= "
                u"#03/31/2024# ORDER BY datum"_s);
          }
          q.Open();
          for (; !q.Eof(); q.Next()) (void)q.AsFloat(u"received"_s);
          if (r == 2) (void)db.ListTables();
        } while (writing);
      } catch (const DbError& e) {
        ADD_FAILURE() << e.Message().toStdString();
        ++errors;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(Rows(db, u"SELECT sum(received), count(*) FROM 0003"_s),
            QStringList{QString::number(kWrites) + u"|5"_s});
}

}  // namespace
