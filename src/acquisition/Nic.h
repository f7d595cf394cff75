#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DateTime.h"

class Connection;
class ErrorReporter;

// The in-memory record of one monitored interface: turns successive counter
// readings into a per-second rate and the running, not yet stored total of the
// current day, and carries the interface's identity and display preferences.
//
// Written on the main thread only. Totals, rates, last readings and the status
// are atomics so that the statistics and query-server threads read whole values
// (from before or after the current tick) without a lock.
//
// Database work (NicStore.cpp): every operation runs its own Query on the shared
// connection. The cached day and month sums, and the move of the totals into
// the stored rows, are guarded by the record's own mutex, so that a reader of
// "stored + unsaved" never counts a saved total twice or misses it. Lock order:
// record mutex before the connection's lock; never call these operations while
// holding a Connection::Transaction.
class TNic {
 public:
  // `interval`: the polling timer's interval in ms, read at every reading.
  // `doubleTraffic`: the guard against counting a whole counter as traffic.
  // `prefsSuffix`: suffix of the preferences table name.
  // All three are owned by the caller and must outlive the record.
  TNic(const int& interval, const bool& doubleTraffic, const QString& prefsSuffix);
  // The same, with the shared connection the record stores its rows and
  // preferences in (owned by the caller, outlives the record). Without one,
  // database operations fail: false, or DbError for the day and month queries.
  TNic(Connection& db, const int& interval, const bool& doubleTraffic, const QString& prefsSuffix);
  TNic(const TNic&) = delete;
  TNic& operator=(const TNic&) = delete;

  bool SetNewValue_Sent(std::uint64_t counter);
  bool SetNewValue_Received(std::uint64_t counter);
  void GetOldValues(long double& sent, long double& received) const;
  // Sets the last readings, so the next reading counts from them (continuing the
  // counting of an earlier run). Invalid values count as 0.
  void SetOldValues(long double sent, long double received);

  long double GetTotal_Sent() const;
  long double GetTotal_Received() const;
  // Overwrites an unsaved total. NaN, negative and infinite values are stored as 0;
  // fractions are rounded to whole bytes.
  bool SetTotal_Sent(long double value);
  bool SetTotal_Received(long double value);

  double GetRate_Send() const { return rateSent_.load(std::memory_order_relaxed); }
  double GetRate_Received() const { return rateReceived_.load(std::memory_order_relaxed); }

  int GetStatus() const { return status_.load(std::memory_order_relaxed); }
  int SetStatus(int code);

  void ResetDbCache();

  // Source of "today" for the database work; null means the system clock. The
  // clock must outlive the record.
  void SetClock(const Clock* clock) { clock_ = clock; }
  // Where a failed save is reported; null reports nothing.
  void SetErrorReporter(ErrorReporter* reporter) { reporter_ = reporter; }
  ErrorReporter* GetErrorReporter() const { return reporter_; }

  // Database work. A date of 0 means today.
  //
  // SaveToDb adds the unsaved totals to the day's row and leaves the totals as
  // they are: for the close procedure and the error handler, after which the
  // program ends. Everything that goes on counting afterwards (day rollover,
  // cache file) must call SaveToDbAndClear, which takes the saved amounts off
  // the totals under the record's lock, so no reader sees them both stored and
  // unsaved. On failure both leave database and totals unchanged, report the
  // error and return false.
  bool SaveToDb(TDateTime date);
  bool SaveToDbAndClear(TDateTime date);
  // Adds the given amounts (kept apart after a failed save) to a day's row.
  bool SaveAmountsToDb(TDateTime day, std::uint64_t received, std::uint64_t sent);
  bool LoadPrefs();
  bool SavePrefs();
  // Stored bytes of the day plus, for today, the unsaved total. DbError when
  // the database cannot be read.
  long double GetDay_Received(TDateTime date);
  long double GetDay_Sent(TDateTime date);
  long double GetDay_Total(TDateTime date);
  // Stored bytes of the current month plus the unsaved total.
  long double GetMonth_Received();
  long double GetMonth_Sent();
  long double GetMonth_Total();

  // Saves every record's totals under `date` in one transaction (one durable
  // commit for all) and, once committed, takes the saved amounts off the
  // totals. All or nothing: on failure nothing is stored or cleared, the error
  // is reported and the result is false.
  static bool SaveAllToDb(Connection& db, const std::vector<std::unique_ptr<TNic>>& records,
                          TDateTime date, ErrorReporter* reporter);

  // Identity.
  const QString& GetName() const { return Name; }
  bool SetName(const QString& value) {
    Name = value;
    return true;
  }
  const QString& GetMac() const { return Mac; }
  bool SetMac(const QString& value) {
    Mac = value;
    return true;
  }
  const QString& GetIndex() const { return Index; }
  // Removes the first four characters of a text longer than four ("00010003" -> "0003").
  bool SetIndex(const QString& value);
  // Sets the table name as given (see AssignTableNames).
  bool SetTableName(const QString& value) {
    Index = value;
    return true;
  }
  int GetType() const { return Type; }
  bool SetType(int value) {
    Type = value;
    return true;
  }
  bool GetIsDialup() const { return IsDialup; }
  bool SetIsDialup(bool value) {
    IsDialup = value;
    return true;
  }
  // The full operating-system interface index; the poller matches table rows by it.
  std::uint32_t GetIfIndex() const { return ifIndex_; }
  bool SetIfIndex(std::uint32_t value) {
    ifIndex_ = value;
    return true;
  }

  // Cached database sums, -1 when not loaded.
  long double MonthSentDb = -1, MonthReceivedDb = -1, DaySentDb = -1, DayReceivedDb = -1;

  // Display preferences (filled by the preferences load before first use).
  bool ShowLivedata = false;
  bool ShowGraphform = false;
  bool report = false;
  bool ShowIn_Statistics = false;
  bool UtilizationInsteadBytes = false;
  bool Show_BalloonInfo = false;
  std::uint32_t maxspeeddown = 0;
  std::uint32_t maxspeedup = 0;
  int window_left = 0, window_top = 0, window_height = 100, window_width = 100;
  bool ontop = false;
  bool trans = false;
  std::uint32_t transvalue = 255;
  std::uint32_t gridcolor = 16150899, backcolor = 16744825, sendgraph = 255, recvgraph = 16711680;
  bool clickthrough = false;
  bool BorderlessMode = false;
  std::uint32_t shortnamelength = 3;

  const QString& PrefsSuffix() const { return prefsSuffix_; }

 private:
  struct Channel {
    std::atomic<std::uint64_t> last{0};
    std::atomic<std::uint64_t> latest{0};
    std::atomic<std::uint64_t> total{0};
  };
  bool Feed(Channel& ch, std::atomic<double>& rate, std::uint64_t counter, std::uint32_t maxSpeed);

  // Database helpers (NicStore.cpp); "Locked" ones expect dbMutex_ held.
  struct Saved {
    std::uint64_t received = 0, sent = 0;
  };
  Connection& Db() const;
  TDateTime Today() const;
  void ResetDbCacheLocked();
  Saved CurrentTotals() const;
  bool SaveDayLocked(TDateTime day, const Saved& amounts);
  void WriteDayRowLocked(Connection& db, TDateTime day, const Saved& amounts);
  void ReportSaveError(const QString& message, const QString& className) const;
  long double GetDay(TDateTime date, bool received);
  long double GetMonth(bool received);

  const int& interval_;
  const bool& doubleTraffic_;
  const QString& prefsSuffix_;

  Channel sent_, received_;
  std::atomic<double> rateSent_{0}, rateReceived_{0};
  std::atomic<int> status_{-1};

  int Type = -1;
  bool IsDialup = false;
  QString Name, Mac, Index;
  std::uint32_t ifIndex_ = 0;

  Connection* db_ = nullptr;
  const Clock* clock_ = nullptr;
  ErrorReporter* reporter_ = nullptr;
  // Guards the cached sums, the keys below and every move of totals into rows.
  mutable std::mutex dbMutex_;
  TDateTime dayCacheFor_ = -1;  // the day the day sums were loaded for
  int monthCacheFor_ = -1;      // year * 12 + month the month sums were loaded for
};
