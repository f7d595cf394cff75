#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One row of the operating system's interface table, in the form the pollers use.
struct IfRow {
  std::uint32_t index = 0;  // interface index (ifi_index)
  std::int32_t type = 1;    // IANA ifType: 6 ethernet, 23 ppp, 24 loopback, 71 wireless, 131 tunnel
  std::array<std::uint8_t, 6> mac{};  // first six bytes of the hardware address, zeros when absent
  std::string description;            // interface name (UTF-8)
  std::uint32_t operStatus = 0;       // 0 non-operational .. 5 operational (see OperStatus)
  std::uint64_t inOctets = 0;         // received-octet counter
  std::uint64_t outOctets = 0;        // sent-octet counter
  std::uint64_t speed = 0;            // link speed in bit/s, 0 when unknown
};

// Operational status codes as the interface table reports them.
enum OperStatus : std::uint32_t {
  kOperNonOperational = 0,
  kOperUnreachable = 1,
  kOperDisconnected = 2,
  kOperConnecting = 3,
  kOperConnected = 4,
  kOperOperational = 5,
};

// Source of the interface table: rtnetlink on Linux, a scripted table in tests.
class InterfaceTable {
 public:
  virtual ~InterfaceTable() = default;
  // Reads the whole table into `rows` (replacing its content), in ascending order
  // of interface index. Returns false when the table cannot be read; `rows` is
  // then unspecified.
  virtual bool Read(std::vector<IfRow>& rows) = 0;
};
