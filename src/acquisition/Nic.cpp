#include "acquisition/Nic.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace {

// Whole bytes for a stored total: NaN, negative and infinite values become 0.
std::uint64_t WholeBytes(long double value) {
  if (!(value > 0)) return 0;  // also catches NaN
  constexpr long double kMax = 18446744073709551615.0L;
  if (value >= kMax) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(std::nearbyintl(value));
}

}  // namespace

TNic::TNic(const int& interval, const bool& doubleTraffic, const QString& prefsSuffix)
    : interval_(interval), doubleTraffic_(doubleTraffic), prefsSuffix_(prefsSuffix) {}

bool TNic::Feed(Channel& ch, std::atomic<double>& rate, std::uint64_t counter,
                std::uint32_t maxSpeed) {
  const std::uint64_t last = ch.last.load(std::memory_order_relaxed);
  ch.latest.store(counter, std::memory_order_relaxed);

  // Whole seconds of the polling interval; an interval below one second would
  // divide by zero, so it counts as one second.
  const unsigned interval = interval_ > 0 ? static_cast<unsigned>(interval_) : 0U;
  const unsigned seconds = interval / 1000U > 0 ? interval / 1000U : 1U;

  const long double diff = static_cast<long double>(counter) - static_cast<long double>(last);
  double r = static_cast<double>(diff / seconds);
  r = std::nearbyint(r);  // default rounding mode: halves go to the even neighbour

  // The first reading after start or after a vanished adapter would count the
  // whole counter: cap it at the link's maximum speed.
  bool capped = false;
  if (last == 0 && doubleTraffic_ && static_cast<double>(maxSpeed) < r) {
    r = maxSpeed;
    capped = true;
  }

  // The tick's traffic is the exact counter difference, or the capped rate for
  // every second of the interval. A counter that went backwards (wrap, adapter
  // reset, new connection) adds nothing. Counting the difference rather than the
  // rounded rate keeps the day total exact for intervals longer than a second.
  if (capped) {
    if (r > 0)
      ch.total.fetch_add(static_cast<std::uint64_t>(r) * seconds, std::memory_order_relaxed);
  } else if (counter > last) {
    ch.total.fetch_add(counter - last, std::memory_order_relaxed);
  }
  if (!(r > 0)) r = 0;
  rate.store(r, std::memory_order_relaxed);
  ch.last.store(counter, std::memory_order_relaxed);
  return true;
}

bool TNic::SetNewValue_Sent(std::uint64_t counter) {
  return Feed(sent_, rateSent_, counter, maxspeedup);
}

bool TNic::SetNewValue_Received(std::uint64_t counter) {
  return Feed(received_, rateReceived_, counter, maxspeeddown);
}

void TNic::GetOldValues(long double& sent, long double& received) const {
  sent = static_cast<long double>(sent_.last.load(std::memory_order_relaxed));
  received = static_cast<long double>(received_.last.load(std::memory_order_relaxed));
}

void TNic::SetOldValues(long double sent, long double received) {
  sent_.last.store(WholeBytes(sent), std::memory_order_relaxed);
  received_.last.store(WholeBytes(received), std::memory_order_relaxed);
}

long double TNic::GetTotal_Sent() const {
  return static_cast<long double>(sent_.total.load(std::memory_order_relaxed));
}

long double TNic::GetTotal_Received() const {
  return static_cast<long double>(received_.total.load(std::memory_order_relaxed));
}

bool TNic::SetTotal_Sent(long double value) {
  sent_.total.store(WholeBytes(value), std::memory_order_relaxed);
  return true;
}

bool TNic::SetTotal_Received(long double value) {
  received_.total.store(WholeBytes(value), std::memory_order_relaxed);
  return true;
}

int TNic::SetStatus(int code) {
  if (status_.load(std::memory_order_relaxed) != code)
    status_.store(code, std::memory_order_relaxed);
  return code;
}

bool TNic::SetIndex(const QString& value) {
  Index = value.size() > 4 ? value.mid(4) : value;
  return true;
}
