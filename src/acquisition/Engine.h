#pragma once

#include <memory>
#include <stdexcept>
#include <vector>

#include "acquisition/InterfaceTable.h"
#include "acquisition/Nic.h"

// An error raised out of a poll tick; the application's error handler records it.
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Record status for an operational status of the interface table; -2 for a value
// outside 0..5 (the caller then leaves the status unchanged).
int StatusFromOperStatus(std::uint32_t operStatus);

// "%2.2x:%2.2x:..." form of a hardware address.
QString FormatMac(const std::array<std::uint8_t, 6>& mac);

// Gives a new record the identity of its table row (start-up).
void InitNicFromRow(TNic& nic, const IfRow& row);

// The interface poller: reads the table once per tick and feeds every network
// record its counters and status.
class TNicEngine {
 public:
  explicit TNicEngine(InterfaceTable& table) : table_(table) {}

  // Reads the table; false when it cannot be read (start-up treats that as empty).
  bool ReadTable(std::vector<IfRow>& rows) { return table_.Read(rows); }

  // One tick. Records are matched to rows by their full interface index wherever
  // the row now stands; a record whose index has left the table is marked
  // vanished (status 1) and fed the reading 0. The dial-up record is not touched.
  // Throws EngineError when anything inside the tick fails.
  void DoNicEngine(const std::vector<std::unique_ptr<TNic>>& v);

 private:
  InterfaceTable& table_;
  std::vector<IfRow> rows_;
  std::vector<std::pair<std::uint32_t, std::size_t>> byIndex_;
};
