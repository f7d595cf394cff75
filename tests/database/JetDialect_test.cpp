#include "database/JetDialect.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QLocale>
#include <ostream>

using namespace Qt::StringLiterals;

// Readable failure output for Qt strings (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// The traffic and preferences tables as the program creates them.
QList<jet::ColumnDef> Lookup(const QString& table) {
  static const QHash<QString, QList<jet::ColumnDef>> tables = {
      {u"0003"_s,
       {{u"Datum"_s, u"DATE"_s}, {u"received"_s, u"DOUBLE"_s}, {u"send"_s, u"DOUBLE"_s}}},
      {u"0003_prefs"_s,
       {{u"showoptions"_s, u"CHAR(6)"_s},
        {u"window_left"_s, u"SMALLINT"_s},
        {u"gridcolor"_s, u"LONG"_s},
        {u"maxspeeddown"_s, u"DOUBLE"_s}}},
  };
  return tables.value(table);
}

QString One(const QString& sql, const QLocale& locale = kUs) {
  const QList<jet::Statement> out = jet::Translate(sql, Lookup, locale);
  EXPECT_EQ(out.size(), 1) << sql.toStdString();
  EXPECT_EQ(out.value(0).kind, jet::Statement::Kind::Sql);
  return out.value(0).sql;
}

struct TextCase {
  const char* jet;
  const char* sqlite;
};

TEST(JetDialect, DateLiteralsBecomeIsoText) {
  const std::vector<TextCase> cases = {
      {"SELECT * FROM t WHERE datum=#03/03/2024#", "SELECT * FROM t WHERE datum='2024-03-03'"},
      {"SELECT * FROM t WHERE datum=#3/3/2024#", "SELECT * FROM t WHERE datum='2024-03-03'"},
      {"WHERE datum>=#2/1/2024# AND datum<=#3/28/2024#",
       "WHERE datum>='2024-02-01' AND datum<='2024-03-28'"},
      {"WHERE datum = #12/31/1999#", "WHERE datum = '1999-12-31'"},
      {"WHERE datum = #02/29/2024#", "WHERE datum = '2024-02-29'"},
      // Inside quoted text a # is just a character.
      {"UPDATE t SET c='#3/3/2024#'", "UPDATE t SET c='#3/3/2024#'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(One(QString::fromUtf8(c.jet)), QString::fromUtf8(c.sqlite)) << c.jet;
  }
}

TEST(JetDialect, BadDateLiteralsAreErrors) {
  for (const char* sql : {"WHERE datum=#13/1/2024#", "WHERE datum=#2/30/2024#",
                          "WHERE datum=#3/3/24#", "WHERE datum=#27.03.2006#", "WHERE datum=##",
                          "WHERE datum=#3/3/2024", "WHERE datum=#3/3/2024 10:00#"}) {
    EXPECT_THROW(jet::Translate(QString::fromUtf8(sql), Lookup, kUs), DbError) << sql;
  }
}

TEST(JetDialect, TableNamesBeginningWithDigitsAreQuoted) {
  const std::vector<TextCase> cases = {
      {"SELECT * FROM 0003 ORDER BY datum", R"(SELECT * FROM "0003" ORDER BY datum)"},
      {"Select * From 0003_prefs", R"(Select * From "0003_prefs")"},
      {"SELECT datum FROM 000a", R"(SELECT datum FROM "000a")"},
      {"SELECT * FROM 1e10", R"(SELECT * FROM "1e10")"},
      {"DROP TABLE 0007", R"(DROP TABLE "0007")"},
      {"CREATE TABLE 0007 (Datum DATE, received DOUBLE, send DOUBLE)",
       R"(CREATE TABLE "0007" (Datum DATE, received DOUBLE, send DOUBLE))"},
      {"UPDATE 0003 SET received=5", R"(UPDATE "0003" SET received=5)"},
      {"SELECT * FROM dfu WHERE received >= 1200", "SELECT * FROM dfu WHERE received >= 1200"},
      {"SELECT * FROM t WHERE x = 1.5e3", "SELECT * FROM t WHERE x = 1.5e3"},
      {"SELECT * FROM [0003]", "SELECT * FROM [0003]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(One(QString::fromUtf8(c.jet)), QString::fromUtf8(c.sqlite)) << c.jet;
  }
}

TEST(JetDialect, AlterTableShapes) {
  EXPECT_EQ(One(u"ALTER TABLE 0003_einstellungen DROP maxspeed"_s),
            uR"(ALTER TABLE "0003_einstellungen" DROP COLUMN maxspeed)"_s);
  EXPECT_EQ(One(u"ALTER TABLE t DROP COLUMN c"_s), u"ALTER TABLE t DROP COLUMN c"_s);
  EXPECT_EQ(One(u"ALTER TABLE 0003_prefs ADD COLUMN shortnamelength SMALLINT"_s),
            uR"(ALTER TABLE "0003_prefs" ADD COLUMN shortnamelength SMALLINT)"_s);

  const auto alter = jet::Translate(
      u"ALTER TABLE 0003_einstellungen ALTER COLUMN anzeigen CHAR(2)"_s, Lookup, kUs);
  ASSERT_EQ(alter.size(), 1);
  EXPECT_EQ(alter[0].kind, jet::Statement::Kind::AlterColumn);
  EXPECT_EQ(alter[0].table, u"0003_einstellungen"_s);
  EXPECT_EQ(alter[0].column, u"anzeigen"_s);
  EXPECT_EQ(alter[0].type, u"CHAR(2)"_s);

  EXPECT_THROW(jet::Translate(u"ALTER TABLE t ALTER COLUMN c"_s, Lookup, kUs), DbError);
}

TEST(JetDialect, SelectIntoBecomesCreateAndCopy) {
  const auto out =
      jet::Translate(u"SELECT * INTO 0003_prefs FROM 0003_einstellungen"_s, Lookup, kUs);
  ASSERT_EQ(out.size(), 1);
  EXPECT_EQ(out[0].kind, jet::Statement::Kind::SelectInto);
  EXPECT_EQ(out[0].target, u"0003_prefs"_s);
  EXPECT_EQ(out[0].table, u"0003_einstellungen"_s);
  EXPECT_EQ(out[0].sql, uR"(INSERT INTO "0003_prefs" SELECT * FROM "0003_einstellungen")"_s);
}

struct LocaleCase {
  const char* jet;
  const char* german;  // translation under German/Germany
  const char* us;      // and under English/US
};

TEST(JetDialect, QuotedValuesFollowTheColumnTypeAndLocale) {
  const std::vector<LocaleCase> cases = {
      {"INSERT INTO 0003 VALUES ('03.03.2024', 1200, 300)",
       R"(INSERT INTO "0003" VALUES ('2024-03-03', 1200, 300))", nullptr},
      {"INSERT INTO 0003 VALUES ('3/3/2024', 1200, 300)", nullptr,
       R"(INSERT INTO "0003" VALUES ('2024-03-03', 1200, 300))"},
      {"INSERT INTO 0003 VALUES ('2024-03-03', '12,5', '7')",
       R"(INSERT INTO "0003" VALUES ('2024-03-03', 12.5, 7))", nullptr},
      {"INSERT INTO 0003 VALUES ('2024-03-03', '12.5', '')", nullptr,
       R"(INSERT INTO "0003" VALUES ('2024-03-03', 12.5, NULL))"},
      {"INSERT INTO 0003 (send, Datum) VALUES ('1', '2024-03-03')",
       R"(INSERT INTO "0003" (send, Datum) VALUES (1, '2024-03-03'))",
       R"(INSERT INTO "0003" (send, Datum) VALUES (1, '2024-03-03'))"},
      {"UPDATE 0003 SET received='2400,25', send='600' WHERE datum=#03/03/2024#",
       R"(UPDATE "0003" SET received=2400.25, send=600 WHERE datum='2024-03-03')", nullptr},
      {"UPDATE 0003 SET received='2400.25', send='600' WHERE datum=#03/03/2024#", nullptr,
       R"(UPDATE "0003" SET received=2400.25, send=600 WHERE datum='2024-03-03')"},
      // Text columns keep their text; integer columns take whole numbers.
      {"INSERT INTO 0003_prefs VALUES('111000', '0', '16150899', '12500000')",
       R"(INSERT INTO "0003_prefs" VALUES('111000', 0, 16150899, 12500000))",
       R"(INSERT INTO "0003_prefs" VALUES('111000', 0, 16150899, 12500000))"},
      {"UPDATE 0003_prefs SET showoptions = :showoptions ,maxspeeddown = :maxspeeddown",
       R"(UPDATE "0003_prefs" SET showoptions = :showoptions ,maxspeeddown = :maxspeeddown)",
       R"(UPDATE "0003_prefs" SET showoptions = :showoptions ,maxspeeddown = :maxspeeddown)"},
      // Unknown tables and columns are left to the engine to report.
      {"INSERT INTO 0009 VALUES ('x')", R"(INSERT INTO "0009" VALUES ('x'))",
       R"(INSERT INTO "0009" VALUES ('x'))"},
  };
  for (const auto& c : cases) {
    const QString sql = QString::fromUtf8(c.jet);
    if (c.german) {
      EXPECT_EQ(One(sql, kGerman), QString::fromUtf8(c.german)) << c.jet;
    }
    if (c.us) {
      EXPECT_EQ(One(sql, kUs), QString::fromUtf8(c.us)) << c.jet;
    }
  }
}

TEST(JetDialect, TextThatDoesNotConvertIsAnError) {
  const std::vector<std::pair<const char*, QLocale>> cases = {
      {"INSERT INTO 0003 VALUES ('2024-03-03', 'abc', '1')", kUs},
      {"INSERT INTO 0003 VALUES ('2024-03-03', '12.5', '1')", kGerman},
      {"INSERT INTO 0003 VALUES ('2024-03-03', '12,5', '1')", kUs},
      {"INSERT INTO 0003 VALUES ('31.02.2024', '1', '1')", kGerman},
      {"INSERT INTO 0003 VALUES ('3/3/24', '1', '1')", kUs},
      {"UPDATE 0003 SET send='1e999'", kUs},
      {"UPDATE 0003_prefs SET gridcolor='blue'", kUs},
  };
  for (const auto& [sql, locale] : cases) {
    try {
      jet::Translate(QString::fromUtf8(sql), Lookup, locale);
      ADD_FAILURE() << "no error for " << sql;
    } catch (const DbError& e) {
      EXPECT_TRUE(e.Message().contains(u"column"_s)) << e.Message().toStdString();
    }
  }
}

TEST(JetDialect, SeveralStatementsAndMalformedText) {
  const auto out = jet::Translate(u"DROP TABLE 0003; DROP TABLE 0004 ;"_s, Lookup, kUs);
  ASSERT_EQ(out.size(), 2);
  EXPECT_EQ(out[0].sql, uR"(DROP TABLE "0003")"_s);
  EXPECT_EQ(out[1].sql, uR"(DROP TABLE "0004")"_s);
  EXPECT_TRUE(jet::Translate(u"  ;  "_s, Lookup, kUs).isEmpty());
  EXPECT_EQ(One(u"UPDATE t SET c='it''s; fine'"_s), u"UPDATE t SET c='it''s; fine'"_s);
  EXPECT_THROW(jet::Translate(u"UPDATE t SET c='open"_s, Lookup, kUs), DbError);
}

TEST(JetDialect, DeclaredTypes) {
  const std::vector<std::pair<const char*, jet::ColumnKind>> cases = {
      {"DATE", jet::ColumnKind::Date},     {"DOUBLE", jet::ColumnKind::Double},
      {"CHAR(6)", jet::ColumnKind::Text},  {"SMALLINT", jet::ColumnKind::Integer},
      {"LONG", jet::ColumnKind::Integer},  {"long", jet::ColumnKind::Integer},
      {"LONGTEXT", jet::ColumnKind::Text}, {"", jet::ColumnKind::Text},
      {"DATETIME", jet::ColumnKind::Date}, {"REAL", jet::ColumnKind::Double},
      {"TEXT(50)", jet::ColumnKind::Text}, {"INTEGER", jet::ColumnKind::Integer},
  };
  for (const auto& [type, kind] : cases) {
    EXPECT_EQ(jet::KindOfDeclaredType(QString::fromUtf8(type)), kind) << type;
  }
}

TEST(JetDialect, IsoDatesRoundTrip) {
  const std::vector<std::pair<TDateTime, const char*>> cases = {
      {EncodeDate(2024, 3, 3), "2024-03-03"},
      {EncodeDate(1899, 12, 30), "1899-12-30"},
      {EncodeDate(2006, 3, 27) + 0.5, "2006-03-27 12:00:00"},
      {EncodeDate(1, 1, 1), "0001-01-01"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(jet::IsoDateText(value), QString::fromUtf8(text));
    TDateTime back = -1;
    ASSERT_TRUE(jet::ParseIsoDate(QString::fromUtf8(text), back)) << text;
    EXPECT_DOUBLE_EQ(back, value);
  }
  TDateTime untouched = 7;
  for (const char* bad : {"2024-02-30", "2024-3-3", "03/03/2024", "", "2024-03-03 25:00:00"}) {
    EXPECT_FALSE(jet::ParseIsoDate(QString::fromUtf8(bad), untouched)) << bad;
  }
  EXPECT_EQ(untouched, 7);
}

}  // namespace
