// The interface record's database work: its day rows, its preferences row and
// the day and month sums read from them.
#include <QDate>
#include <algorithm>
#include <cmath>
#include <limits>

#include "acquisition/Nic.h"
#include "database/Connection.h"
#include "platform/ErrorReporter.h"
#include "platform/FloatFormat.h"

using namespace Qt::StringLiterals;

namespace {

const SystemClock kSystemClock;

// Jet date literal, month first whatever the locale: "03/07/2024".
QString DateLiteral(TDateTime day) {
  return FormatDateTime(u"mm"_s, day) + u'/' + FormatDateTime(u"dd"_s, day) + u'/' +
         FormatDateTime(u"yyyy"_s, day);
}

// A stored byte count as the database prints it. An empty (NULL) value counts
// as 0: refusing it would make every later save of that day fail.
long double ParseStored(const QString& text, const QString& column) {
  if (text.trimmed().isEmpty()) return 0;
  long double value = 0;
  if (!TryStrToFloat(text, value, QLocale())) {
    throw DbError(u"Stored value '%1' in column %2 is not a number"_s.arg(text, column));
  }
  return value;
}

QString Number(long double value) { return FloatToStrShortest(value, QLocale()); }

std::uint32_t ClampU32(qint64 value) {
  return static_cast<std::uint32_t>(
      std::clamp<qint64>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

int ClampInt(qint64 value) {
  return static_cast<int>(
      std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

TNic::TNic(Connection& db, const int& interval, const bool& doubleTraffic,
           const QString& prefsSuffix)
    : TNic(interval, doubleTraffic, prefsSuffix) {
  db_ = &db;
}

Connection& TNic::Db() const {
  if (!db_) throw DbError(u"Interface table %1 has no database connection"_s.arg(Index));
  return *db_;
}

TDateTime TNic::Today() const {
  const Clock& clock = clock_ ? *clock_ : kSystemClock;
  return DateFromQDate(clock.Now().date());
}

void TNic::ResetDbCache() {
  std::lock_guard lock(dbMutex_);
  ResetDbCacheLocked();
}

void TNic::ResetDbCacheLocked() {
  MonthSentDb = MonthReceivedDb = DaySentDb = DayReceivedDb = -1;
  dayCacheFor_ = -1;
  monthCacheFor_ = -1;
}

void TNic::ReportSaveError(const QString& message, const QString& className) const {
  if (reporter_) reporter_->WriteExceptionToErrorFile(message, className);
}

// Adds the amounts to the day's row; runs inside the caller's transaction.
void TNic::WriteDayRowLocked(Connection& db, TDateTime day, const Saved& saved) {
  const QString literal = u'#' + DateLiteral(day) + u'#';
  Query query(db);
  query.SetSQL(u"SELECT * FROM "_s + Index + u" WHERE datum="_s + literal);
  query.Open();
  if (query.RecordCount() == 1) {
    const long double received = ParseStored(query.AsString(u"received"_s), u"received"_s) +
                                 static_cast<long double>(saved.received);
    const long double sent =
        ParseStored(query.AsString(u"send"_s), u"send"_s) + static_cast<long double>(saved.sent);
    query.SetSQL(u"UPDATE "_s + Index + u" SET received='"_s + Number(received) + u"', send='"_s +
                 Number(sent) + u"' WHERE datum="_s + literal);
    query.ExecSQL();
    return;
  }
  long double received = static_cast<long double>(saved.received);
  long double sent = static_cast<long double>(saved.sent);
  if (query.RecordCount() > 1) {
    // Several rows for one day (written by hand or by an older program): merge
    // them into one, so the day keeps all its bytes and is counted once.
    for (; !query.Eof(); query.Next()) {
      received += ParseStored(query.AsString(u"received"_s), u"received"_s);
      sent += ParseStored(query.AsString(u"send"_s), u"send"_s);
    }
    query.SetSQL(u"DELETE FROM "_s + Index + u" WHERE datum="_s + literal);
    query.ExecSQL();
  }
  // The totals are quoted so that the engine reads them in the user's locale,
  // like the date text; bare numbers would break where the decimal mark is ','.
  query.SetSQL(u"INSERT INTO "_s + Index + u" VALUES ('"_s + FormatDateTime(u"ddddd"_s, day) +
               u"', '"_s + Number(received) + u"', '"_s + Number(sent) + u"')"_s);
  query.ExecSQL();
}

TNic::Saved TNic::CurrentTotals() const {
  return Saved{received_.total.load(), sent_.total.load()};
}

// Adds `amounts` to the day's row in one transaction; on failure reports the
// error and leaves the database as it was. Expects dbMutex_ held.
bool TNic::SaveDayLocked(TDateTime day, const Saved& amounts) {
  try {
    Connection& db = Db();
    Connection::Transaction transaction(db);
    WriteDayRowLocked(db, day, amounts);
    transaction.Commit();
    ResetDbCacheLocked();
    return true;
  } catch (const DbError& e) {
    ReportSaveError(e.Message() + u" Function:Nic->TNic::SaveToDb(75)"_s, u"DbError"_s);
  } catch (const std::exception& e) {
    ReportSaveError(QString::fromLocal8Bit(e.what()) + u" Function:Nic->TNic::SaveToDb(75)"_s,
                    u"Exception"_s);
  }
  return false;
}

bool TNic::SaveToDb(TDateTime date) {
  std::lock_guard lock(dbMutex_);
  return SaveDayLocked(date == 0 ? Today() : std::floor(date), CurrentTotals());
}

bool TNic::SaveToDbAndClear(TDateTime date) {
  std::lock_guard lock(dbMutex_);
  const Saved saved = CurrentTotals();
  if (!SaveDayLocked(date == 0 ? Today() : std::floor(date), saved)) return false;
  // Only what was written is taken off: bytes counted meanwhile stay unsaved.
  received_.total.fetch_sub(saved.received);
  sent_.total.fetch_sub(saved.sent);
  return true;
}

bool TNic::SaveAmountsToDb(TDateTime day, std::uint64_t received, std::uint64_t sent) {
  std::lock_guard lock(dbMutex_);
  return SaveDayLocked(std::floor(day), Saved{received, sent});
}

bool TNic::SaveAllToDb(Connection& db, const std::vector<std::unique_ptr<TNic>>& records,
                       TDateTime date, ErrorReporter* reporter) {
  std::vector<TNic*> nics;
  for (const auto& nic : records) {
    if (nic) nics.push_back(nic.get());
  }
  if (nics.empty()) return true;
  // Every record's lock before the connection's, the order all readers use.
  std::vector<std::unique_lock<std::mutex>> locks;
  for (TNic* nic : nics) locks.emplace_back(nic->dbMutex_);

  std::vector<Saved> saved;
  QString table;
  try {
    const TDateTime day = date == 0 ? nics.front()->Today() : std::floor(date);
    Connection::Transaction transaction(db);
    for (TNic* nic : nics) {
      table = nic->Index;
      saved.push_back(nic->CurrentTotals());
      nic->WriteDayRowLocked(db, day, saved.back());
    }
    table.clear();
    transaction.Commit();
  } catch (const std::exception& e) {
    const auto* dbError = dynamic_cast<const DbError*>(&e);
    QString message = dbError ? dbError->Message() : QString::fromLocal8Bit(e.what());
    message += u" Function:Nic->TNic::SaveAllToDb(120)"_s;
    if (!table.isEmpty()) message += u" table "_s + table;
    if (reporter) {
      reporter->WriteExceptionToErrorFile(message, dbError ? u"DbError"_s : u"Exception"_s);
    }
    return false;
  }
  for (std::size_t i = 0; i < nics.size(); ++i) {
    nics[i]->received_.total.fetch_sub(saved[i].received);
    nics[i]->sent_.total.fetch_sub(saved[i].sent);
    nics[i]->ResetDbCacheLocked();
  }
  return true;
}

bool TNic::LoadPrefs() {
  try {
    Query query(Db());
    query.SetSQL(u"SELECT * FROM "_s + Index + PrefsSuffix());
    query.Open();
    if (query.Eof()) return false;

    const QString options = query.AsString(u"showoptions"_s);
    // -1: the character is missing or no digit.
    auto flag = [&options](int i) {
      if (i >= options.size() || options[i] < u'0' || options[i] > u'9') return -1;
      return options[i] != u'0' ? 1 : 0;
    };
    if (flag(0) < 0) return false;
    ShowLivedata = flag(0) == 1;
    if (flag(1) < 0) return false;
    ShowGraphform = flag(1) == 1;
    ShowIn_Statistics = flag(2) < 0 ? (ShowLivedata || ShowGraphform) : flag(2) == 1;
    UtilizationInsteadBytes = flag(3) == 1;
    Show_BalloonInfo = flag(4) == 1;
    BorderlessMode = flag(5) == 1;

    // The fields are 32 bits wide; a stored speed beyond that (links over
    // 34 Gbit/s) is capped rather than wrapped to a small number.
    maxspeeddown = ClampU32(query.AsInteger(u"maxspeeddown"_s));
    maxspeedup = ClampU32(query.AsInteger(u"maxspeedup"_s));
    window_left = ClampInt(query.AsInteger(u"window_left"_s));
    window_top = ClampInt(query.AsInteger(u"window_top"_s));
    window_height = ClampInt(query.AsInteger(u"window_height"_s));
    window_width = ClampInt(query.AsInteger(u"window_width"_s));
    transvalue = ClampU32(query.AsInteger(u"transvalue"_s));
    gridcolor = ClampU32(query.AsInteger(u"gridcolor"_s));
    backcolor = ClampU32(query.AsInteger(u"backcolor"_s));
    sendgraph = ClampU32(query.AsInteger(u"sendgraph"_s));
    recvgraph = ClampU32(query.AsInteger(u"recvgraph"_s));
    shortnamelength = ClampU32(query.AsInteger(u"shortnamelength"_s));

    ontop = query.AsInteger(u"ontop"_s) != 0;
    trans = query.AsInteger(u"trans"_s) != 0;
    report = query.AsInteger(u"report"_s) != 0;
    clickthrough = query.AsInteger(u"clickthrough"_s) != 0;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TNic::SavePrefs() {
  try {
    Connection& db = Db();
    const QString table = Index + PrefsSuffix();
    auto bit = [](bool b) { return b ? u"1"_s : u"0"_s; };
    auto bind = [&](Query& q) {
      q.BindText(u"showoptions"_s, bit(ShowLivedata) + bit(ShowGraphform) + bit(ShowIn_Statistics) +
                                       bit(UtilizationInsteadBytes) + bit(Show_BalloonInfo) +
                                       bit(BorderlessMode));
      q.BindInteger(u"window_left"_s, window_left);
      q.BindInteger(u"window_top"_s, window_top);
      q.BindInteger(u"window_height"_s, window_height);
      q.BindInteger(u"window_width"_s, window_width);
      q.BindText(u"ontop"_s, bit(ontop));
      q.BindText(u"trans"_s, bit(trans));
      q.BindInteger(u"transvalue"_s, transvalue);
      q.BindText(u"report"_s, bit(report));
      q.BindInteger(u"gridcolor"_s, gridcolor);
      q.BindInteger(u"backcolor"_s, backcolor);
      q.BindInteger(u"sendgraph"_s, sendgraph);
      q.BindInteger(u"recvgraph"_s, recvgraph);
      q.BindText(u"clickthrough"_s, bit(clickthrough));
      q.BindInteger(u"maxspeeddown"_s, maxspeeddown);
      q.BindInteger(u"maxspeedup"_s, maxspeedup);
      q.BindInteger(u"shortnamelength"_s, shortnamelength);
    };

    Connection::Transaction transaction(db);
    Query query(db);
    query.SetSQL(u"SELECT * FROM "_s + table);
    query.Open();
    if (query.Eof()) {
      // An update without a row would change nothing and still succeed; the
      // row is written instead, so the preferences are kept and load next time.
      query.SetSQL(u"INSERT INTO "_s + table +
                   u" (showoptions, window_left, window_top, window_height, window_width, "
                   u"ontop, trans, transvalue, report, gridcolor, backcolor, sendgraph, "
                   u"recvgraph, clickthrough, maxspeeddown, maxspeedup, shortnamelength) VALUES "
                   u"(:showoptions, :window_left, :window_top, :window_height, :window_width, "
                   u":ontop, :trans, :transvalue, :report, :gridcolor, :backcolor, :sendgraph, "
                   u":recvgraph, :clickthrough, :maxspeeddown, :maxspeedup, :shortnamelength)"_s);
    } else {
      query.SetSQL(
          u"UPDATE "_s + table +
          u" SET showoptions = :showoptions ,window_left = :window_left ,window_top = "
          u":window_top ,window_height = :window_height ,window_width = :window_width ,ontop = "
          u":ontop ,trans = :trans ,transvalue = :transvalue ,report = :report ,gridcolor = "
          u":gridcolor ,backcolor = :backcolor ,sendgraph = :sendgraph ,recvgraph = :recvgraph "
          u",clickthrough = :clickthrough ,maxspeeddown = :maxspeeddown ,maxspeedup = "
          u":maxspeedup ,shortnamelength = :shortnamelength"_s);
    }
    bind(query);
    query.ExecSQL();
    transaction.Commit();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

long double TNic::GetDay(TDateTime date, bool received) {
  std::lock_guard lock(dbMutex_);
  const TDateTime today = Today();
  const TDateTime day = date == 0 ? today : std::floor(date);
  const bool isToday = day == today;
  // A cache loaded on an earlier day says nothing about today.
  if (isToday && dayCacheFor_ != today) {
    DayReceivedDb = DaySentDb = -1;
    dayCacheFor_ = today;
  }
  long double& cache = received ? DayReceivedDb : DaySentDb;
  const long double unsaved =
      isToday ? static_cast<long double>((received ? received_ : sent_).total.load()) : 0;
  if (isToday && cache != -1) return cache + unsaved;

  const QString column = received ? u"received"_s : u"send"_s;
  Query query(Db());
  query.SetSQL(u"SELECT datum, "_s + column + u" FROM "_s + Index + u" WHERE datum = :datum"_s);
  query.BindDate(u"datum"_s, day);
  query.Open();
  // All rows of the day, should an old file hold more than one.
  long double stored = 0;
  for (; !query.Eof(); query.Next()) stored += query.AsFloat(column);
  // Cached only after the read succeeded, so a failed read is retried.
  if (isToday) cache = stored;
  return stored + unsaved;
}

long double TNic::GetMonth(bool received) {
  std::lock_guard lock(dbMutex_);
  const QDate today = QDateFromDateTime(Today());
  const int key = today.year() * 12 + today.month() - 1;
  if (monthCacheFor_ != key) {
    MonthReceivedDb = MonthSentDb = -1;
    monthCacheFor_ = key;
  }
  long double& cache = received ? MonthReceivedDb : MonthSentDb;
  const long double unsaved = static_cast<long double>((received ? received_ : sent_).total.load());
  if (cache != -1) return cache + unsaved;

  const QString column = received ? u"received"_s : u"send"_s;
  const TDateTime first = EncodeDate(today.year(), today.month(), 1);
  const TDateTime last = EncodeDate(today.year(), today.month(), today.daysInMonth());
  Query query(Db());
  query.SetSQL(u"SELECT datum, "_s + column + u" FROM "_s + Index + u" WHERE datum >= #"_s +
               DateLiteral(first) + u"# AND datum <= #"_s + DateLiteral(last) +
               u"# ORDER BY datum"_s);
  query.Open();
  long double stored = 0;
  for (; !query.Eof(); query.Next()) stored += query.AsFloat(column);
  cache = stored;
  return stored + unsaved;
}

long double TNic::GetDay_Received(TDateTime date) { return GetDay(date, true); }
long double TNic::GetDay_Sent(TDateTime date) { return GetDay(date, false); }
long double TNic::GetDay_Total(TDateTime date) { return GetDay_Sent(date) + GetDay_Received(date); }
long double TNic::GetMonth_Received() { return GetMonth(true); }
long double TNic::GetMonth_Sent() { return GetMonth(false); }
long double TNic::GetMonth_Total() { return GetMonth_Received() + GetMonth_Sent(); }
