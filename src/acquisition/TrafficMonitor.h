#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/CacheFile.h"
#include "acquisition/DayRollover.h"
#include "acquisition/DialupEngine.h"
#include "acquisition/Engine.h"
#include "platform/DateTime.h"
#include "platform/ErrorFile.h"
#include "platform/MessageService.h"

class Connection;
class TOptions;
class TLanguage;

// What the traffic monitor works with; everything is owned by the caller and
// outlives the monitor.
struct MonitorContext {
  TOptions* options = nullptr;
  TLanguage* language = nullptr;
  MessageService* messages = nullptr;
  ErrorFile* errorFile = nullptr;
  const Clock* clock = nullptr;
  InterfaceTable* nicTable = nullptr;  // read by the interface poller
  InterfaceTable* dunTable = nullptr;  // read by the dial-up poller
  Connection* db = nullptr;
  QString programDir;
  QString bootId;  // identity of the running boot, "" when unknown
};

// The counting side of the program: the interface records, both pollers and
// their timers, the day check, the cache snapshot and its timer, the counter
// state, and the saving at the end. It runs without any window; the main window
// listens to its signals to refresh the live display.
class TrafficMonitor : public QObject {
  Q_OBJECT

 public:
  explicit TrafficMonitor(MonitorContext context, QObject* parent = nullptr);
  ~TrafficMonitor() override;

  // Start-up, in this order: schema upgrade of the opened database and its
  // reactions; the records (one per interface row when interface polling is on,
  // then the dial-up record when dial-up polling is on) with their table names,
  // preferences and tables; timers; current day; cache file and counter state.
  // A failure that makes counting impossible throws (the caller's fatal error
  // handler records it); other problems are reported and start-up goes on.
  void Start();

  const NicVector& Records() const { return v_; }
  TDateTime CurrentDay() const { return rollover_->CurrentDay(); }
  QString DbVersion() const { return dbVersion_; }
  // The database upgrade's result at start-up (0..3).
  int DbUpdateResult() const { return dbUpdateResult_; }

  QTimer& NicEngine() { return nicEngine_; }
  QTimer& DfuEngine() { return dfuEngine_; }
  QTimer& CheckDateTimer() { return checkDateTimer_; }
  QTimer& CacheToHDDTimer() { return cacheTimer_; }

  // Polling interval in seconds (the track bar); takes effect at once.
  void SetNicInterval(int seconds);
  // The cache interval edit's text changed.
  void SetCacheIntervalText(const QString& text);

  // One cache snapshot: counter state, then cache file. False when a file could
  // not be written (logged in the error file).
  bool TakeSnapshot();

  // Stops the poll, day and cache timers (first step of closing and of the
  // fatal error handler).
  void StopTimers();
  // The saving steps of the close procedure: remove cache file and counter
  // state, store every record's totals under today (one message per failing
  // record), then write the counter state with what is still unsaved.
  // `savePrefs` runs per record after its save (the window copies its graph
  // window's state into it first); a false result shows Error11.
  void SaveAtClose(const std::function<bool(TNic&)>& savePrefs = {});
  // The fatal error handler's saving: every record's totals under today, the
  // cache file removed only when all were stored. True when all were stored.
  bool SaveAfterFatalError();

  // What the timers run; public so the program's start-up and tests can run a
  // tick at once.
  void PollInterfaces();
  void PollDialup();
  void CheckDate();

  // Live refresh modes.
  enum class RefreshMode { AllRecords, LastRecord };

 Q_SIGNALS:
  // After every interface poll (mode AllRecords) and dial-up poll (LastRecord).
  void Polled(TrafficMonitor::RefreshMode mode);
  // The dial-up poller's new label text.
  void DialupLabelChanged(const QString& text);
  // An error escaped a poll tick; the program's fatal error handler takes over.
  void FatalError(const QString& message, const QString& className);

 private:
  void CreateRecords();
  QString Text(const QString& section, const QString& key) const;
  QString CachePath() const;

  MonitorContext c_;
  NicVector v_;
  std::vector<std::uint64_t> linkSpeed_;  // bit/s per record, from start-up
  int nicInterval_ = 1000;
  int dunInterval_ = 1000;
  std::unique_ptr<TNicEngine> nicEngineImpl_;
  std::unique_ptr<TDunEngine> dunEngineImpl_;
  std::unique_ptr<TDayRollover> rollover_;
  QTimer nicEngine_, dfuEngine_, checkDateTimer_, cacheTimer_;
  QString dbVersion_;
  int dbUpdateResult_ = 0;
  bool nicPolling_ = false;
  bool dfuPolling_ = false;
};
