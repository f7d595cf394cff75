#include "acquisition/TrafficMonitor.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <stdexcept>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "acquisition/CounterState.h"
#include "database/Connection.h"
#include "database/DBUpdates_Unit.h"
#include "database/SQLFunctions_Unit.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// An error that ends start-up; the fatal error handler records it.
class StartupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

TrafficMonitor::TrafficMonitor(MonitorContext context, QObject* parent)
    : QObject(parent), c_(std::move(context)) {
  rollover_ = std::make_unique<TDayRollover>(
      *c_.clock, *c_.messages,
      [this](const QString& section, const QString& key) -> QString { return Text(section, key); });
  rollover_->SetAfterRollover([this] { TakeSnapshot(); });
  if (c_.nicTable != nullptr) nicEngineImpl_ = std::make_unique<TNicEngine>(*c_.nicTable);
  if (c_.dunTable != nullptr) {
    dunEngineImpl_ = std::make_unique<TDunEngine>(
        *c_.dunTable,
        [this](const QString& section, const QString& key) -> QString {
          return Text(section, key);
        },
        *c_.messages);
  }
  connect(&nicEngine_, &QTimer::timeout, this, &TrafficMonitor::PollInterfaces);
  connect(&dfuEngine_, &QTimer::timeout, this, &TrafficMonitor::PollDialup);
  connect(&checkDateTimer_, &QTimer::timeout, this, &TrafficMonitor::CheckDate);
  connect(&cacheTimer_, &QTimer::timeout, this, [this] { TakeSnapshot(); });
  checkDateTimer_.setInterval(60000);
  dfuEngine_.setInterval(dunInterval_);
}

TrafficMonitor::~TrafficMonitor() = default;

QString TrafficMonitor::Text(const QString& section, const QString& key) const {
  return c_.language != nullptr ? c_.language->GetString(section, key) : key;
}

QString TrafficMonitor::CachePath() const {
  return QDir(c_.programDir).filePath(c_.options->GetCacheFileName());
}

void TrafficMonitor::Start() {
  const Settings::General& general = c_.options->Model().general;
  const QString errorTitle = Text(u"Strings"_s, u"Error"_s);
  const QString warningTitle = Text(u"Strings"_s, u"Warning"_s);

  // The database and its schema. A file that cannot be opened stays as it is.
  dbUpdateResult_ = 0;
  try {
    c_.db->Open();
    dbUpdateResult_ = Check_and_Do_DBUpdate(*c_.db, c_.errorFile, &dbVersion_);
  } catch (const std::exception& e) {
    c_.errorFile->WriteExceptionToErrorFile(QString::fromLocal8Bit(e.what()), u"DbError"_s);
  }
  c_.errorFile->SetDbVersion(dbVersion_);
  switch (dbUpdateResult_) {
    case 0:
      c_.messages->Show(Text(u"Errors"_s, u"Error32"_s), errorTitle, MessageIcon::Error);
      break;
    case 2: {
      QStringList lines = c_.errorFile->EntryHeader();
      lines << u"Check_and_Do_DBUpdate() returned 2 - update well done ("_s +
                   Text(u"Errors"_s, u"Error33"_s) + u')';
      c_.errorFile->AppendLines(lines);
      break;
    }
    case 3:
      c_.errorFile->WriteExceptionToErrorFile(
          u"Function \"MainUnit->Check_and_Do_DBUpdate()\" ( 113) returned 3 | The db-version is "
          u"unknown and cannot be updated!"_s,
          u"Exception"_s);
      break;
    default:
      break;
  }

  SetNicInterval(general.nicEngineIntervall);
  CreateRecords();

  // Preferences and tables of every record.
  for (std::size_t i = 0; i < v_.size(); ++i) {
    TNic& nic = *v_[i];
    if (nic.LoadPrefs()) {
      // Preferences alone do not prove the traffic table exists; without it no
      // day could ever be stored.
      EnsureTrafficTable(*c_.db, nic);
      continue;
    }
    const int prefs =
        EnsurePrefsTable(*c_.db, nic, static_cast<long double>(linkSpeed_[i] / 8), nic.GetType());
    if (prefs == 2) {
      c_.messages->Show(Text(u"Errors"_s, u"Error3"_s), warningTitle, MessageIcon::Warning);
    } else if (EnsureTrafficTable(*c_.db, nic) == 2) {
      c_.messages->Show(Text(u"Errors"_s, u"Error4"_s), warningTitle, MessageIcon::Warning);
    }
    if (!nic.LoadPrefs()) {
      throw StartupError(
          "v[" + std::to_string(i) +
          "]->LoadPrefs() (MainUnit, 203) returned false, so I cannot load the preferences. "
          "This is critical, shutting down application.");
    }
  }

  // Timers, the current day, and what an earlier run left behind.
  checkDateTimer_.start();
  nicPolling_ = general.nicEngine && nicEngineImpl_ != nullptr;
  dfuPolling_ = general.dfuEngine && !v_.empty() && v_.back()->GetIsDialup();
  if (nicPolling_) nicEngine_.start();
  if (dfuPolling_) dfuEngine_.start();
  rollover_->SetCurrentDay(DateTimeFromQDateTime(c_.clock->Now()));
  const TDateTime today = rollover_->CurrentDay();

  const int cacheResult = ReadCacheFromHDD(CachePath(), v_, today);
  CacheStartupContext reaction{
      c_.programDir,
      c_.options->GetCacheFileName(),
      c_.clock,
      c_.errorFile,
      c_.messages,
      [this](const QString& section, const QString& key) -> QString { return Text(section, key); }};
  ReactToCacheResult(cacheResult, reaction);
  CounterState state;
  if (ReadCounterState(CounterStatePath(CachePath()), state)) {
    ApplyCounterState(state, v_, c_.bootId, today);
    rollover_->SetPending(state.pending);
  }
  SetCacheIntervalText(general.cacheIntervalText);
  // What was applied must not be applied again after a crash before the first
  // timed snapshot: replace it with the current state at once.
  if (cacheTimer_.isActive()) {
    TakeSnapshot();
  } else {
    QFile::remove(CachePath());
    WriteCounterState(CounterStatePath(CachePath()),
                      CaptureCounterState(v_, c_.bootId, today, rollover_->Pending()));
  }

  // The first reading right away, so rates show from the first tick on.
  if (nicPolling_) PollInterfaces();
}

void TrafficMonitor::CreateRecords() {
  const Settings::General& general = c_.options->Model().general;
  const bool& guard = *c_.options->BewareOfTrafficDoublePtr();
  const QString& suffix = c_.options->GetPreferencesTableName();
  v_.clear();
  linkSpeed_.clear();
  if (general.nicEngine && nicEngineImpl_) {
    std::vector<IfRow> rows;
    if (!nicEngineImpl_->ReadTable(rows)) rows.clear();
    for (const IfRow& row : rows) {
      auto nic = std::make_unique<TNic>(*c_.db, nicInterval_, guard, suffix);
      InitNicFromRow(*nic, row);
      v_.push_back(std::move(nic));
      linkSpeed_.push_back(row.speed);
    }
  }
  if (general.dfuEngine) {
    auto nic = std::make_unique<TNic>(*c_.db, dunInterval_, guard, suffix);
    nic->SetName(Text(u"Strings"_s, u"dfu"_s));
    nic->SetIndex(u"dfu"_s);
    nic->SetIsDialup(true);
    v_.push_back(std::move(nic));
    linkSpeed_.push_back(0);
  }
  AssignTableNames(v_);
  for (const auto& nic : v_) {
    nic->SetClock(c_.clock);
    nic->SetErrorReporter(c_.errorFile);
  }
}

void TrafficMonitor::SetNicInterval(int seconds) {
  nicInterval_ = std::clamp(seconds, 1, 30) * 1000;
  nicEngine_.setInterval(nicInterval_);
}

void TrafficMonitor::SetCacheIntervalText(const QString& text) {
  const std::optional<int> interval = CacheTimerInterval(text);
  if (interval) {
    cacheTimer_.setInterval(*interval);
    cacheTimer_.start();
  } else {
    cacheTimer_.stop();
  }
}

void TrafficMonitor::PollInterfaces() {
  if (!nicEngineImpl_) return;
  try {
    nicEngineImpl_->DoNicEngine(v_);
  } catch (const EngineError& e) {
    Q_EMIT FatalError(QString::fromLocal8Bit(e.what()), u"EngineError"_s);
    return;
  }
  Q_EMIT Polled(RefreshMode::AllRecords);
}

void TrafficMonitor::PollDialup() {
  if (!dunEngineImpl_ || v_.empty() || !v_.back()->GetIsDialup()) return;
  const QString label = dunEngineImpl_->DoDUNEngine(*v_.back());
  if (!label.isEmpty()) Q_EMIT DialupLabelChanged(label);
  Q_EMIT Polled(RefreshMode::LastRecord);
}

void TrafficMonitor::CheckDate() { rollover_->CheckDate(v_); }

bool TrafficMonitor::TakeSnapshot() {
  const TDateTime day = rollover_->CurrentDay();
  // The state first: it is never older than the cache file it goes with.
  const bool stateOk = WriteCounterState(
      CounterStatePath(CachePath()), CaptureCounterState(v_, c_.bootId, day, rollover_->Pending()));
  const bool cacheOk = WriteCacheToHDD(CachePath(), v_, day);
  if (!cacheOk) {
    QStringList lines = c_.errorFile->EntryHeader();
    lines << u"WriteCacheToHDD failed (return: false)"_s;
    c_.errorFile->AppendLines(lines);
  }
  return stateOk && cacheOk;
}

void TrafficMonitor::StopTimers() {
  nicEngine_.stop();
  checkDateTimer_.stop();
  dfuEngine_.stop();
  cacheTimer_.stop();
}

void TrafficMonitor::SaveAtClose(const std::function<bool(TNic&)>& savePrefs) {
  // A last reading, so the traffic up to this moment is stored, not only what
  // the last tick saw.
  // (The caller may have stopped the timers already.)
  if (nicPolling_) PollInterfaces();
  if (dfuPolling_) PollDialup();
  StopTimers();
  // A day change not yet seen by the day check goes to the day that ended.
  rollover_->CheckDate(v_);
  const QString statePath = CounterStatePath(CachePath());
  QFile::remove(CachePath());
  QFile::remove(statePath);

  const QString errorTitle = Text(u"Strings"_s, u"Error"_s);
  // One durable commit for all records; when that fails, record by record so
  // that one broken table does not keep the others from being stored.
  if (!TNic::SaveAllToDb(*c_.db, v_, 0, c_.errorFile)) {
    for (const auto& nic : v_) {
      if (!nic->SaveToDbAndClear(0))
        c_.messages->Show(rollover_->SaveFailedText(*nic), errorTitle, MessageIcon::Error);
    }
  }
  rollover_->RetryPending(v_);
  for (const auto& nic : v_) {
    if (savePrefs && !savePrefs(*nic)) {
      c_.messages->Show(Text(u"Errors"_s, u"Error11"_s) + nic->GetIndex() + u'(' + nic->GetName() +
                            u") "_s + Text(u"Errors"_s, u"Error10a"_s),
                        errorTitle, MessageIcon::Error);
    }
  }
  // What is still unsaved (failed saves) and the last readings, for the next start.
  WriteCounterState(
      statePath, CaptureCounterState(v_, c_.bootId, rollover_->CurrentDay(), rollover_->Pending()));
}

bool TrafficMonitor::SaveAfterFatalError() {
  StopTimers();
  bool allSaved = true;
  for (const auto& nic : v_) allSaved = nic->SaveToDbAndClear(0) && allSaved;
  if (allSaved) {
    QFile::remove(CachePath());
    WriteCounterState(
        CounterStatePath(CachePath()),
        CaptureCounterState(v_, c_.bootId, rollover_->CurrentDay(), rollover_->Pending()));
  } else {
    TakeSnapshot();  // keep what could not be stored for the next start
  }
  return allSaved;
}
