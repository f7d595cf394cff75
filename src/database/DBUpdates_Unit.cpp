#include "database/DBUpdates_Unit.h"

#include <functional>
#include <vector>

#include "database/SQLFunctions_Unit.h"
#include "platform/ErrorReporter.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCurrentVersion = u"2.37"_s;
const QString kOldPrefs = u"_einstellungen"_s;
const QString kPrefs = u"_prefs"_s;

struct Step {
  QString from;
  QString to;
  QString tables;  // the steps work on every table whose name contains this
  std::function<void(Connection&, const QString&)> apply;
};

void Alter(Connection& c, const QString& t, const QString& rest) {
  DoSQL(c, u"ALTER TABLE "_s + t + u' ' + rest);
}

// In chain order; "2 RC2" comes before "2", both lead to "2.1".
const std::vector<Step>& Chain() {
  static const std::vector<Step> chain = {
      {u"2 RC2"_s, u"2.1"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         Alter(c, t, u"ALTER COLUMN anzeigen CHAR(2)"_s);
         Alter(c, t, u"ALTER COLUMN maxspeed DOUBLE"_s);
       }},
      {u"2"_s, u"2.1"_s, kOldPrefs,
       [](Connection& c, const QString& t) { Alter(c, t, u"ALTER COLUMN anzeigen CHAR(2)"_s); }},
      {u"2.1"_s, u"2.2"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         Alter(c, t, u"ADD COLUMN forecolor LONG"_s);
         Alter(c, t, u"ADD COLUMN backcolor LONG"_s);
         Alter(c, t, u"ADD COLUMN sendgraph LONG"_s);
         Alter(c, t, u"ADD COLUMN recvgraph LONG"_s);
         DoSQL(c, u"UPDATE "_s + t +
                      u" SET backcolor='16744825', forecolor='16150899', recvgraph='16711680', "
                      u"sendgraph='255'"_s);
       }},
      {u"2.2"_s, u"2.3"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         Alter(c, t, u"ALTER COLUMN anzeigen CHAR(3)"_s);
         Alter(c, t, u"ADD COLUMN clickthrough SMALLINT"_s);
       }},
      {u"2.3"_s, u"2.31"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         RenameColumn(c, t, u"maxspeed"_s, u"maxspeeddown"_s, u"DOUBLE"_s);
         Alter(c, t, u"ADD COLUMN maxspeedup DOUBLE"_s);
       }},
      {u"2.31"_s, u"2.32"_s, kOldPrefs,
       [](Connection& c, const QString& t) { Alter(c, t, u"ALTER COLUMN anzeigen CHAR(4)"_s); }},
      {u"2.32"_s, u"2.33"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         // The old files wrote "höhe" in the ANSI code page; SQLite keeps
         // names as UTF-8, so here it is the UTF-8 text.
         static const QString kRenames[][3] = {
             {u"anzeigen"_s, u"showoptions"_s, u"CHAR(4)"_s},
             {u"links"_s, u"window_left"_s, u"SMALLINT"_s},
             {u"oben"_s, u"window_top"_s, u"SMALLINT"_s},
             {u"höhe"_s, u"window_height"_s, u"SMALLINT"_s},
             {u"breite"_s, u"window_width"_s, u"SMALLINT"_s},
             {u"tranz"_s, u"trans"_s, u"SMALLINT"_s},
             {u"tranz_wert"_s, u"transvalue"_s, u"SMALLINT"_s},
             {u"bericht"_s, u"report"_s, u"SMALLINT"_s},
             {u"forecolor"_s, u"gridcolor"_s, u"LONG"_s},
         };
         for (const auto& r : kRenames) RenameColumn(c, t, r[0], r[1], r[2]);
       }},
      {u"2.33"_s, u"2.34"_s, kOldPrefs,
       [](Connection& c, const QString& t) {
         const QString n = QString(t).remove(kOldPrefs);
         DoSQL(c, u"SELECT * INTO "_s + n + u"_prefs FROM "_s + t);
         DoSQL(c, u"DROP TABLE "_s + t);
       }},
      {u"2.34"_s, u"2.35"_s, kPrefs,
       [](Connection& c, const QString& t) { Alter(c, t, u"ALTER COLUMN showoptions CHAR(5)"_s); }},
      {u"2.35"_s, u"2.36"_s, kPrefs,
       [](Connection& c, const QString& t) { Alter(c, t, u"ALTER COLUMN showoptions CHAR(6)"_s); }},
      {u"2.36"_s, u"2.37"_s, kPrefs,
       [](Connection& c, const QString& t) {
         Alter(c, t, u"ADD COLUMN shortnamelength SMALLINT"_s);
       }},
  };
  return chain;
}

}  // namespace

bool RenameColumn(Connection& conn, const QString& table, const QString& oldName,
                  const QString& newName, const QString& type) {
  try {
    // Dropping the old column before the new one holds its value: only all
    // three statements together may stay.
    Connection::Transaction transaction(conn);
    Query query(conn);
    query.SetSQL(u"SELECT "_s + oldName + u" FROM "_s + table);
    query.Open();
    const QString value = query.Eof() ? QString() : query.AsString(0);
    DoSQL(conn, u"ALTER TABLE "_s + table + u" DROP "_s + oldName);
    DoSQL(conn, u"ALTER TABLE "_s + table + u" ADD COLUMN "_s + newName + u' ' + type);
    DoSQL(conn, u"UPDATE "_s + table + u" SET "_s + newName + u"='"_s +
                    QString(value).replace(u"'"_s, u"''"_s) + u"'"_s);
    transaction.Commit();
    return true;
  } catch (const DbError&) {
    return false;
  }
}

int Check_and_Do_DBUpdate(Connection& conn, ErrorReporter* reporter, QString* dbVersion) {
  try {
    Query query(conn);
    query.SetSQL(u"SELECT * FROM db"_s);
    query.Open();
    QString version = query.AsString(u"DBVersion"_s);
    if (dbVersion) *dbVersion = version;
    if (version == kCurrentVersion) return 1;

    bool done = false;
    for (const Step& step : Chain()) {
      if (version != step.from) continue;
      Connection::Transaction transaction(conn);
      for (const QString& table : ListTables(conn)) {
        if (table.contains(step.tables)) step.apply(conn, table);
      }
      DoSQL(conn, u"UPDATE db SET DBVersion='"_s + step.to + u"'"_s);
      transaction.Commit();
      version = step.to;
      if (dbVersion) *dbVersion = version;
      done = true;
    }
    return done ? 2 : 3;
  } catch (const DbError& e) {
    if (reporter) {
      reporter->WriteExceptionToErrorFile(
          u"Exception in function 'DBUpdates_Unit->Check_and_Do_DBUpdate(332) | Message:"_s +
              e.Message(),
          u"DbError"_s);
    }
    return 0;
  }
}
