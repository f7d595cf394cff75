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

// The interface table of the network namespace the constructing thread lives in,
// read with one RTM_GETLINK dump per Read(). The socket is opened once and kept;
// the receive buffer is allocated once and reused on every read.
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
  const LinkFacts& FactsFor(std::uint32_t index, const std::string& name);
  bool Receive(std::vector<IfRow>& rows, std::size_t& count);

  mnl_socket* nl_ = nullptr;
  unsigned portId_ = 0;
  unsigned seq_ = 0;
  std::vector<char> buffer_;
  std::unordered_map<std::uint32_t, LinkFacts> facts_;
  QString error_;
};
