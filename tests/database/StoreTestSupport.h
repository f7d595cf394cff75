#pragma once

// Helpers shared by the tests of the record store, the schema functions and
// the upgrades: a database in a temporary folder, the program's locale for one
// test, a clock the test sets.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>
#include <string>

#include "database/Connection.h"
#include "platform/DateTime.h"

// Readable failure output for Qt strings (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QLocale& locale, std::ostream* os) { *os << locale.name().toStdString(); }

namespace store_test {

inline const QLocale kGerman(QLocale::German, QLocale::Germany);
inline const QLocale kUs(QLocale::English, QLocale::UnitedStates);

// Sets the program's locale for one test and puts the previous one back.
class LocaleScope {
 public:
  explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(saved_); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  QLocale saved_;
};

inline std::string LocaleName(const ::testing::TestParamInfo<QLocale>& info) {
  return info.param.name().remove(u'_').toStdString();
}

class FixedClock final : public Clock {
 public:
  explicit FixedClock(QDateTime now) : now_(std::move(now)) {}
  QDateTime Now() const override { return now_; }
  void Set(QDateTime now) { now_ = std::move(now); }

 private:
  QDateTime now_;
};

inline QDateTime At(int year, int month, int day, int hour = 12) {
  return QDateTime(QDate(year, month, day), QTime(hour, 0));
}

inline QString ConnectionString(const QString& path) {
  return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
         QStringLiteral(";Persist Security Info=False");
}

// The rows as SQLite keeps them, each as its values' texts joined by '|'
// (DATE columns as ISO text, numbers in C notation, NULL as "NULL").
inline QStringList RawRows(Connection& c, const QString& sql) {
  const ResultSet result = c.Select(sql);
  QStringList rows;
  for (const auto& row : result.rows) {
    QStringList fields;
    for (const jet::SqlValue& v : row) {
      switch (v.type) {
        case jet::SqlValue::Type::Null:
          fields.append(QStringLiteral("NULL"));
          break;
        case jet::SqlValue::Type::Integer:
          fields.append(QString::number(v.integer));
          break;
        case jet::SqlValue::Type::Real:
          fields.append(QString::number(v.real, 'g', 17));
          break;
        case jet::SqlValue::Type::Text:
          fields.append(v.text);
          break;
      }
    }
    rows.append(fields.join(u'|'));
  }
  return rows;
}

// Runs SQL on the file through a connection of its own, past the Jet
// translation (for triggers and other things the program never writes).
inline void RawExec(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
}

// Schema and contents of every table, to show that nothing changed.
inline QStringList Dump(Connection& c) {
  QStringList out =
      RawRows(c, QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name"));
  for (const QString& table : c.ListTables()) {
    out.append(table + QStringLiteral(":"));
    out.append(RawRows(c, QStringLiteral("SELECT * FROM ") + jet::QuoteIdentifier(table) +
                              QStringLiteral(" ORDER BY rowid")));
  }
  return out;
}

// A fresh database file (with table db at the current version) in a temporary
// folder.
class TempDatabase {
 public:
  TempDatabase() : conn(ConnectionString(Path())) { conn.Open(); }
  QString Path() const { return dir.filePath(QStringLiteral("Datenbank.db")); }

  QTemporaryDir dir;
  Connection conn;
};

}  // namespace store_test
