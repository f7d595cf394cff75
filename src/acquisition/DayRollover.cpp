#include "acquisition/DayRollover.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

std::optional<int> CacheTimerInterval(const QString& text) {
  bool ok = false;
  const int minutes = text.trimmed().toInt(&ok);
  // Up to 35791 minutes keeps minutes x 60000 inside an int.
  if (!ok || minutes <= 0 || minutes > 35791) return std::nullopt;
  return minutes * 60000;
}

bool CacheIntervalKeyAllowed(QChar key) { return (key >= u'0' && key <= u'9') || key == QChar(8); }

TDayRollover::TDayRollover(const Clock& clock, MessageService& messages, LanguageLookup language)
    : clock_(clock), messages_(messages), language_(std::move(language)) {}

void TDayRollover::SetCurrentDay(TDateTime day) { currentDay_ = std::floor(day); }

QString TDayRollover::SaveFailedText(const TNic& nic) const {
  return language_(u"Errors"_s, u"Error10"_s) + nic.GetIndex() + u'(' + nic.GetName() + u") "_s +
         language_(u"Errors"_s, u"Error10a"_s);
}

bool TDayRollover::CheckDate(const NicVector& v) {
  if (running_) return false;
  const TDateTime today = std::floor(DateTimeFromQDateTime(clock_.Now()));
  if (!pending_.empty()) RetryPending(v);
  if (today == currentDay_) return false;

  running_ = true;
  const TDateTime endedDay = currentDay_;
  // The new day is in force before any message box opens, so a timer event
  // delivered while one is open finds nothing to roll over.
  currentDay_ = today;
  std::vector<const TNic*> failed;
  for (const auto& nic : v) {
    if (nic->SaveToDbAndClear(endedDay)) continue;
    // Keep the ended day's amounts apart instead of dropping them.
    const auto received = static_cast<std::uint64_t>(nic->GetTotal_Received());
    const auto sent = static_cast<std::uint64_t>(nic->GetTotal_Sent());
    nic->SetTotal_Received(0);
    nic->SetTotal_Sent(0);
    if (received != 0 || sent != 0) pending_.push_back({nic->GetIndex(), endedDay, received, sent});
    failed.push_back(nic.get());
  }
  if (afterRollover_) afterRollover_();
  const QString title = language_(u"Strings"_s, u"Error"_s);
  for (const TNic* nic : failed) messages_.Show(SaveFailedText(*nic), title, MessageIcon::Error);
  running_ = false;
  return true;
}

std::size_t TDayRollover::RetryPending(const NicVector& v) {
  std::vector<PendingDay> still;
  for (const PendingDay& p : pending_) {
    TNic* owner = nullptr;
    for (const auto& nic : v) {
      if (nic->GetIndex() == p.table) {
        owner = nic.get();
        break;
      }
    }
    if (owner == nullptr || !owner->SaveAmountsToDb(p.day, p.received, p.sent)) still.push_back(p);
  }
  pending_ = std::move(still);
  return pending_.size();
}
