#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

// The in-memory record of one monitored interface: turns successive counter
// readings into a per-second rate and the running, not yet stored total of the
// current day, and carries the interface's identity and display preferences.
//
// Written on the main thread only. Totals, rates, last readings and the status
// are atomics so that the statistics and query-server threads read whole values
// (from before or after the current tick) without a lock.
class TNic {
 public:
  // `interval`: the polling timer's interval in ms, read at every reading.
  // `doubleTraffic`: the guard against counting a whole counter as traffic.
  // `prefsSuffix`: suffix of the preferences table name.
  // All three are owned by the caller and must outlive the record.
  TNic(const int& interval, const bool& doubleTraffic, const QString& prefsSuffix);
  TNic(const TNic&) = delete;
  TNic& operator=(const TNic&) = delete;

  bool SetNewValue_Sent(std::uint64_t counter);
  bool SetNewValue_Received(std::uint64_t counter);
  void GetOldValues(long double& sent, long double& received) const;

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
};
