#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "acquisition/CacheFile.h"

// The counter state lets a restart continue exactly where the last run stopped
// counting: it records, per interface, the last counter readings and the unsaved
// totals taken at the same moment, together with the boot and the day they
// belong to. Counters only keep their meaning within one boot, and the totals
// only continue the day they were counted on.
//
// Writers keep the pair consistent: a snapshot writes the state before the cache
// file (the state is never older than the cache), and the close procedure
// removes the state before it stores the totals and writes it again, with what
// is still unsaved, afterwards.
struct CounterStateEntry {
  std::uint32_t ifIndex = 0;
  QString mac;
  std::uint64_t lastReceived = 0;
  std::uint64_t lastSent = 0;
  std::uint64_t totalReceived = 0;
  std::uint64_t totalSent = 0;
};

// Old-day amounts that could not be stored yet; kept until a save succeeds.
struct PendingDay {
  QString table;  // the record's table name
  TDateTime day = 0;
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
};

struct CounterState {
  QString bootId;
  TDateTime day = 0;
  std::vector<CounterStateEntry> entries;
  std::vector<PendingDay> pending;
};

// The kernel's identity of the running boot ("" when unknown).
QString ReadBootId(const QString& path = QStringLiteral("/proc/sys/kernel/random/boot_id"));

// File name of the state beside the cache file.
QString CounterStatePath(const QString& cachePath);

// Captures the network records' last readings and totals (the dial-up record is
// left out: its link may have been re-dialled in between).
CounterState CaptureCounterState(const NicVector& v, const QString& bootId, TDateTime today,
                                 std::vector<PendingDay> pending = {});

bool WriteCounterState(const QString& path, const CounterState& state);
// False when the file is missing or malformed; `state` is then unspecified.
bool ReadCounterState(const QString& path, CounterState& state);

// Gives every network record whose interface index and hardware address match
// an entry of a state taken in the same boot on the same day that entry's totals
// and readings (they replace what the cache file gave), so its next reading
// counts exactly the traffic since. Returns the number of records continued.
int ApplyCounterState(const CounterState& state, const NicVector& v, const QString& bootId,
                      TDateTime today);
