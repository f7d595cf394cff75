#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "acquisition/CacheFile.h"
#include "acquisition/CounterState.h"
#include "platform/DateTime.h"
#include "platform/MessageService.h"

// Interval of the cache snapshot timer for the text of the cache interval edit:
// minutes x 60000 ms, or nothing (timer off) for "", "0" and anything that is
// not a positive number of minutes.
std::optional<int> CacheTimerInterval(const QString& text);

// Whether a key may go into the cache interval edit: the digits 0 to 9 and backspace.
bool CacheIntervalKeyAllowed(QChar key);

// The day check of the main window, once a minute: when the calendar day has
// changed, every record's unsaved totals go into the row of the day that ended,
// and counting starts again at 0.
//
// A record whose save fails keeps its old-day amounts as pending (not lost, not
// counted into the new day); pending amounts are retried at every later check
// and by the close procedure, and travel with the counter state.
class TDayRollover {
 public:
  using LanguageLookup = std::function<QString(const QString& section, const QString& key)>;

  TDayRollover(const Clock& clock, MessageService& messages, LanguageLookup language);

  TDateTime CurrentDay() const { return currentDay_; }
  void SetCurrentDay(TDateTime day);

  // Runs after a rollover and before its messages are shown; the program takes a
  // cache snapshot there, so no snapshot of the ended day survives a crash.
  void SetAfterRollover(std::function<void()> hook) { afterRollover_ = std::move(hook); }

  // `CheckDateTimerTimer`. Returns true when it rolled the day over. A day change
  // is handled once, also when the timer fires again while one of its message
  // boxes is open.
  bool CheckDate(const NicVector& v);

  // Stores pending amounts whose record exists; returns how many are still pending.
  std::size_t RetryPending(const NicVector& v);
  const std::vector<PendingDay>& Pending() const { return pending_; }
  void SetPending(std::vector<PendingDay> pending) { pending_ = std::move(pending); }

  // The text of a failed save: Error10 + table + "(" + name + ") " + Error10a.
  QString SaveFailedText(const TNic& nic) const;

 private:
  const Clock& clock_;
  MessageService& messages_;
  LanguageLookup language_;
  std::function<void()> afterRollover_;
  TDateTime currentDay_ = 0;
  bool running_ = false;
  std::vector<PendingDay> pending_;
};
