#include "database/SQLFunctions_Unit.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "acquisition/Nic.h"
#include "platform/FloatFormat.h"

using namespace Qt::StringLiterals;

void DoSQL(Connection& conn, const QString& sql) {
  try {
    Query query(conn);
    query.SetSQL(sql);
    query.ExecSQL();
  } catch (const DbError& e) {
    throw DbError(u"Error in SQLFunctions_Unit->DoSQL (420) - Errormessage: "_s + e.Message(),
                  e.Code());
  }
}

bool CreateTrafficTable(Connection& conn, const QString& name) {
  try {
    DoSQL(conn, u"CREATE TABLE "_s + name + u" (Datum DATE, received DOUBLE, send DOUBLE)"_s);
    return true;
  } catch (const DbError&) {
    return false;
  }
}

bool CreatePrefsTable(Connection& conn, const QString& name) {
  try {
    DoSQL(conn, u"CREATE TABLE "_s + name +
                    u" (showoptions CHAR(6), window_left SMALLINT, window_top SMALLINT, "
                    u"window_height SMALLINT, window_width SMALLINT, ontop SMALLINT, trans "
                    u"SMALLINT, transvalue SMALLINT, report SMALLINT, gridcolor LONG, backcolor "
                    u"LONG, sendgraph LONG, recvgraph LONG, clickthrough SMALLINT, maxspeeddown "
                    u"DOUBLE, maxspeedup DOUBLE, shortnamelength SMALLINT)"_s);
    return true;
  } catch (const DbError&) {
    return false;
  }
}

namespace {

bool TableOpens(Connection& conn, const QString& name) {
  try {
    Query query(conn);
    query.SetSQL(u"Select * From "_s + name);
    query.Open();
    return true;
  } catch (const DbError&) {
    return false;
  }
}

}  // namespace

int EnsurePrefsTable(Connection& conn, const TNic& nic, long double maxSpeed, int interfaceType) {
  const QString name = nic.GetIndex() + nic.PrefsSuffix();
  if (TableOpens(conn, name)) return 1;
  try {
    // Table and default row together: a table left without its row would never
    // load and never be repaired, as an existing table is not touched again.
    Connection::Transaction transaction(conn);
    if (!CreatePrefsTable(conn, name)) return 2;
    // An unknown link speed (negative, NaN) is stored as 0, "no limit known".
    const long double speed = std::isfinite(maxSpeed) && maxSpeed > 0 ? std::floor(maxSpeed) : 0;
    const QString maxSpeedText = nic.GetIsDialup() ? u"0"_s : FloatToStrShortest(speed);
    static const int kShownTypes[] = {1, 6, 9, 71, 144};
    const bool shown = nic.GetIsDialup() ||
                       std::find(std::begin(kShownTypes), std::end(kShownTypes), interfaceType) !=
                           std::end(kShownTypes);
    const QString showoptions = shown ? u"111000"_s : u"000000"_s;
    const QString report = shown ? u"1"_s : u"0"_s;
    DoSQL(conn, u"INSERT INTO "_s + name + u" VALUES('"_s + showoptions +
                    u"', '0', '0', '100', '100', '0', '0', '0', '"_s + report +
                    u"', '16150899', '16744825', '255', '16711680', '0', '"_s + maxSpeedText +
                    u"', '"_s + maxSpeedText + u"', '3')"_s);
    transaction.Commit();
    return 0;
  } catch (const DbError&) {
    return 2;
  }
}

int EnsureTrafficTable(Connection& conn, const TNic& nic) {
  if (TableOpens(conn, nic.GetIndex())) return 1;
  return CreateTrafficTable(conn, nic.GetIndex()) ? 0 : 2;
}

QStringList ListTables(Connection& conn) { return conn.ListTables(); }

void AssignTableNames(const std::vector<std::unique_ptr<TNic>>& records) {
  std::map<QString, std::vector<TNic*>> byName;
  for (const auto& nic : records) {
    if (nic && !nic->GetIsDialup()) byName[nic->GetIndex()].push_back(nic.get());
  }
  for (auto& [name, group] : byName) {
    if (group.size() < 2) continue;
    std::stable_sort(group.begin(), group.end(), [](const TNic* a, const TNic* b) {
      return a->GetIfIndex() < b->GetIfIndex();
    });
    for (std::size_t i = 1; i < group.size(); ++i) {
      group[i]->SetTableName(QString::number(group[i]->GetIfIndex(), 16).rightJustified(8, u'0'));
    }
  }
}
