#include "acquisition/Engine.h"

#include <algorithm>
#include <exception>

int StatusFromOperStatus(std::uint32_t operStatus) {
  switch (operStatus) {
    case kOperNonOperational:
      return 2;
    case kOperUnreachable:
      return 3;
    case kOperDisconnected:
      return 1;
    case kOperConnecting:
      return 4;
    case kOperConnected:
      return 5;
    case kOperOperational:
      return 0;
    default:
      return -2;
  }
}

QString FormatMac(const std::array<std::uint8_t, 6>& mac) {
  return QString::asprintf("%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", mac[0], mac[1], mac[2], mac[3],
                           mac[4], mac[5]);
}

void InitNicFromRow(TNic& nic, const IfRow& row) {
  nic.SetName(QString::fromStdString(row.description));
  nic.SetType(row.type);
  nic.SetMac(FormatMac(row.mac));
  nic.SetIndex(QString::asprintf("%8.8x", row.index));
  nic.SetIfIndex(row.index);
}

namespace {

void Feed(TNic& nic, const IfRow& row) {
  nic.SetNewValue_Received(row.inOctets);
  nic.SetNewValue_Sent(row.outOctets);
  const int status = StatusFromOperStatus(row.operStatus);
  if (status != -2) nic.SetStatus(status);
}

}  // namespace

void TNicEngine::DoNicEngine(const std::vector<std::unique_ptr<TNic>>& v) {
  std::size_t q = 0;
  try {
    if (!table_.Read(rows_)) return;  // a failing read skips the tick

    bool indexBuilt = false;
    for (q = 0; q < v.size(); ++q) {
      TNic& nic = *v[q];
      if (nic.GetIsDialup()) continue;

      // Fast path: the row at the record's own position (the usual, unchanged table).
      const IfRow* row = nullptr;
      if (q < rows_.size() && rows_[q].index == nic.GetIfIndex()) {
        row = &rows_[q];
      } else {
        if (!indexBuilt) {
          byIndex_.clear();
          for (std::size_t i = 0; i < rows_.size(); ++i) byIndex_.emplace_back(rows_[i].index, i);
          std::sort(byIndex_.begin(), byIndex_.end());
          indexBuilt = true;
        }
        const auto it = std::lower_bound(byIndex_.begin(), byIndex_.end(),
                                         std::make_pair(nic.GetIfIndex(), std::size_t{0}));
        if (it != byIndex_.end() && it->first == nic.GetIfIndex()) row = &rows_[it->second];
      }

      if (row == nullptr) {
        // The adapter has left the table: rates 0, nothing added, and 0 as the last
        // reading so that the guard applies when it returns.
        nic.SetStatus(1);
        nic.SetNewValue_Received(0);
        nic.SetNewValue_Sent(0);
        continue;
      }
      // A record that shows neither a live row nor a graph window is not fed.
      if (!nic.ShowLivedata && !nic.ShowGraphform) continue;
      Feed(nic, *row);
    }
  } catch (const std::exception&) {
    throw EngineError(
        "General/undefined error in Engine->DoNicEngine (104)!|int i=" + std::to_string(q) +
        "|(int)IfTable->dwNumEntries=" + std::to_string(rows_.size()) + "|");
  }
}
