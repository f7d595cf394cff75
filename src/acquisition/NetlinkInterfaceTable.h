#pragma once

#include <QString>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "acquisition/InterfaceTable.h"

struct mnl_socket;
struct nlmsghdr;

// Operational status of the table (0..5, see OperStatus) for a link's
// IFLA_OPERSTATE and its ifi_flags.
std::uint32_t MapOperState(std::uint8_t operstate, unsigned ifiFlags);

// IANA interface type for an ARPHRD_* hardware type; `wireless` only matters for
// Ethernet-framed devices, which is how Linux presents Wi-Fi adapters.
std::int32_t MapArphrdType(unsigned short arphrd, bool wireless);

// Link speed in bit/s from the text of /sys/class/net/<name>/speed (Mbit/s);
// 0 for unknown (-1), malformed or absurdly large values.
std::uint64_t LinkSpeedFromSysfs(std::string_view text);

// Turns one RTM_NEWLINK message into a row: index, type (as if not wireless),
// address, name, status and counters. Speed is left 0; the caller adds what only
// sysfs knows. `arphrd` receives the hardware type when not null. False when the
// message is not a well-formed RTM_NEWLINK (too short, an attribute overrunning
// the message, a counter block too small); `row` is then unspecified.
bool ParseLinkMessage(const nlmsghdr* nlh, IfRow& row, unsigned short* arphrd = nullptr);

// What a message of the link notification group means for a cached table.
enum class LinkNotice {
  kIgnore,     // not about a link's state: other families (bridge ports), wireless events
  kUpdate,     // `row` holds the link's full identity and status (counters as of the notice)
  kRemove,     // the link `row.index` is gone
  kMalformed,  // claims to be a link notice but cannot be parsed
};

// Classifies one notification message and parses what it carries into `row`
// (only `row.index` for kRemove) and `arphrd` as ParseLinkMessage does. Only
// messages with a link's whole state count as updates: partial notices, such as
// wireless events, lack the operational state and the address.
LinkNotice ParseLinkNotice(const nlmsghdr* nlh, IfRow& row, unsigned short* arphrd = nullptr);

// A link's byte counters from the statistics dump.
struct LinkCounters {
  std::uint32_t index = 0;
  std::uint64_t inOctets = 0;
  std::uint64_t outOctets = 0;
};

// Turns one RTM_NEWSTATS message into the link's 64-bit byte counters. False
// when the message is not a well-formed RTM_NEWSTATS (too short, an attribute
// overrunning the message, a counter block too small) or carries no 64-bit
// counter block; `counters` is then unspecified.
bool ParseStatsMessage(const nlmsghdr* nlh, LinkCounters& counters);

// The interface table of the network namespace the constructing thread lives in.
//
// The first Read() takes a full RTM_GETLINK dump (identity, type, address, name,
// status, counters) into a cached table. A second socket listens to the link
// notification group; every later Read() first applies the pending notices to
// the cache (new, changed and removed links), then takes one RTM_GETSTATS dump
// of the 64-bit counters alone, which is far smaller than the link dump, and
// copies the cache out. Whenever the cache may have missed something (the
// notification queue overflowed, a notice was malformed, a dump was interrupted,
// or the statistics dump lists a link the cache does not know or misses one it
// does) that Read() takes the full link dump again instead. Without the
// notification socket, or on kernels without RTM_GETSTATS, every Read() takes
// the full link dump. Sockets and buffers are made once and reused.
class NetlinkInterfaceTable : public InterfaceTable {
 public:
  NetlinkInterfaceTable();
  ~NetlinkInterfaceTable() override;
  NetlinkInterfaceTable(const NetlinkInterfaceTable&) = delete;
  NetlinkInterfaceTable& operator=(const NetlinkInterfaceTable&) = delete;

  bool IsOpen() const { return nl_ != nullptr; }
  // Why the socket could not be opened, or why the last Read() failed; empty otherwise.
  const QString& ErrorText() const { return error_; }

  bool Read(std::vector<IfRow>& rows) override;

 private:
  // What sysfs says about a link; read once per interface index.
  struct LinkFacts {
    std::uint64_t speed = 0;
    bool wireless = false;
  };
  enum class DumpResult { kOk, kFailed, kInterrupted, kRefused };
  enum class CounterResult { kOk, kFailed, kResync };

  const LinkFacts& FactsFor(std::uint32_t index, const std::string& name);
  // Completes a row parsed from a link message with the sysfs facts.
  void AddFacts(IfRow& row, unsigned short arphrd);
  bool FullDump();
  CounterResult ReadCounters();
  bool ApplyNotices();
  void DiscardNotices();
  void StopNotices();
  void PruneFacts();
  bool SendDumpRequest(nlmsghdr* nlh, const char* what);
  // Reads the answer to the dump request seq_; `handle` gets each of its data
  // messages and returns false for one it cannot use.
  template <typename Handler>
  DumpResult ReceiveDump(const char* what, int& refusal, Handler&& handle);

  struct StagedCounters {
    std::uint64_t in = 0, out = 0;
    bool seen = false;
  };

  mnl_socket* nl_ = nullptr;
  mnl_socket* notices_ = nullptr;  // link notification group, non-blocking
  unsigned portId_ = 0;
  unsigned seq_ = 0;
  bool synced_ = false;      // rows_ reflects a full dump plus every notice since
  bool statsTried_ = false;  // a statistics dump has been answered once
  std::vector<char> buffer_;
  std::vector<IfRow> rows_;             // the cached table, ascending by index
  std::vector<IfRow> scratch_;          // target of a full dump, swapped with rows_ on success
  std::vector<StagedCounters> staged_;  // one per row of rows_, applied when complete
  IfRow notice_;                        // parse target for notices, reused
  std::unordered_map<std::uint32_t, LinkFacts> facts_;
  QString error_;
};
