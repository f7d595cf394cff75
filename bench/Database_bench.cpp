// Figures for the record store: the close procedure's save of every record, and
// the month sum read without its cache.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "acquisition/Nic.h"
#include "database/Connection.h"
#include "database/SQLFunctions_Unit.h"

using namespace Qt::StringLiterals;

namespace {

QString ConnectionString(const QString& path) {
  return u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path +
         u";Persist Security Info=False"_s;
}

struct Records {
  Records(int count, bool withRowToday) : conn(ConnectionString(dir.filePath(u"db"_s))) {
    for (int i = 0; i < count; ++i) {
      auto nic = std::make_unique<TNic>(conn, interval, guard, suffix);
      nic->SetIndex(QString::number(i + 1, 16).rightJustified(8, u'0'));
      CreateTrafficTable(conn, nic->GetIndex());
      if (withRowToday) nic->SaveToDb(0);
      v.push_back(std::move(nic));
    }
  }
  void Feed() {
    for (auto& nic : v) {
      nic->SetTotal_Received(123456789);
      nic->SetTotal_Sent(98765);
    }
  }

  QTemporaryDir dir;
  Connection conn;
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  std::vector<std::unique_ptr<TNic>> v;
};

// 100 records in one transaction: one durable commit (synchronous=FULL).
void BM_SaveAllToDb_100Records(benchmark::State& state) {
  Records r(100, true);
  for (auto _ : state) {
    r.Feed();
    if (!TNic::SaveAllToDb(r.conn, r.v, 0, nullptr)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveAllToDb_100Records)->Unit(benchmark::kMillisecond);

// For comparison: each record saved on its own, one durable commit each.
void BM_SaveToDbEach_100Records(benchmark::State& state) {
  Records r(100, true);
  for (auto _ : state) {
    r.Feed();
    for (auto& nic : r.v) {
      if (!nic->SaveToDb(0)) state.SkipWithError("save failed");
    }
  }
}
BENCHMARK(BM_SaveToDbEach_100Records)->Unit(benchmark::kMillisecond);

// Ten years of daily rows; the month's rows are found by scanning them all.
void BM_GetMonth_Received_Uncached(benchmark::State& state) {
  Records r(1, false);
  TNic& nic = *r.v.front();
  {
    Connection::Transaction transaction(r.conn);
    const QDate today = QDate::currentDate();
    for (QDate d = today.addYears(-10); d <= today; d = d.addDays(1)) {
      r.conn.Execute(u"INSERT INTO "_s + nic.GetIndex() + u" VALUES ('"_s +
                     d.toString(Qt::ISODate) + u"', 1000, 10)"_s);
    }
    transaction.Commit();
  }
  long double sum = 0;
  for (auto _ : state) {
    nic.ResetDbCache();
    sum += nic.GetMonth_Received();
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_GetMonth_Received_Uncached)->Unit(benchmark::kMicrosecond);

}  // namespace
