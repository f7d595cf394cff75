// Counts real traffic over a veth pair between two throw-away network namespaces
// and checks that the records' totals follow the kernel's counters to the byte;
// changes links between reads and checks that the table follows them.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/Engine.h"
#include "acquisition/NetlinkInterfaceTable.h"
#include "support/Netns.h"

namespace {

using qvtest::RunCommand;
using qvtest::RunInNetns;
using qvtest::RunIpBatch;
using qvtest::ScopedNetns;
using qvtest::UniqueName;

// Passes reads through and keeps the rows of the last successful one, so the
// test knows exactly which kernel counters each tick fed.
class RecordingTable : public InterfaceTable {
 public:
  explicit RecordingTable(InterfaceTable& inner) : inner_(inner) {}
  bool Read(std::vector<IfRow>& rows) override {
    const bool ok = inner_.Read(rows);
    if (ok) last_ = rows;
    return ok;
  }
  const IfRow* Find(const std::string& name) const {
    const auto it = std::find_if(last_.begin(), last_.end(),
                                 [&](const IfRow& r) { return r.description == name; });
    return it == last_.end() ? nullptr : &*it;
  }

 private:
  InterfaceTable& inner_;
  std::vector<IfRow> last_;
};

// A file descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

void SetTimeouts(int fd) {
  timeval tv{};
  tv.tv_sec = 10;  // a broken link must fail the test, not hang it
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

sockaddr_in Address(const char* ip, std::uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  ::inet_pton(AF_INET, ip, &addr.sin_addr);
  return addr;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A kernel counter of `ifname` in namespace `ns`, read through sysfs rather than
// netlink; -1 when unreadable.
long long SysfsValue(const std::string& ns, const std::string& ifname, const std::string& file) {
  std::string out;
  if (RunCommand({"ip", "netns", "exec", ns, "cat", "/sys/class/net/" + ifname + "/" + file},
                 &out) != 0) {
    return -1;
  }
  return std::stoll(out);
}

std::string SysfsText(const std::string& ns, const std::string& ifname, const std::string& file) {
  std::string out;
  RunCommand({"ip", "netns", "exec", ns, "cat", "/sys/class/net/" + ifname + "/" + file}, &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

TEST(NetnsTraffic, VethTotalsFollowKernelCountersToTheByte) {
  ScopedNetns nsA(UniqueName("a"));
  ScopedNetns nsB(UniqueName("b"));
  if (!nsA.ok() || !nsB.ok()) {
    GTEST_SKIP() << "cannot create network namespaces: " << (nsA.ok() ? nsB.error() : nsA.error());
  }
  const std::string vethA = UniqueName("va");
  const std::string vethB = UniqueName("vb");
  ASSERT_EQ(RunCommand({"ip", "link", "add", vethA, "netns", nsA.name(), "type", "veth", "peer",
                        "name", vethB, "netns", nsB.name()}),
            0);
  // Without IPv6 the link stays silent apart from this test's own packets, which
  // makes the sysfs cross-check below stable.
  for (const auto* ns : {&nsA, &nsB}) {
    RunCommand(
        {"ip", "netns", "exec", ns->name(), "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"});
  }
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "addr", "add", "10.200.7.1/30", "dev", vethA}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsB.name(), "addr", "add", "10.200.7.2/30", "dev", vethB}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "set", vethA, "up"}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsB.name(), "link", "set", vethB, "up"}), 0);

  // The netlink socket belongs to the namespace of the thread that opens it.
  std::unique_ptr<NetlinkInterfaceTable> netlink;
  ASSERT_TRUE(RunInNetns(nsA.name(), [&] { netlink = std::make_unique<NetlinkInterfaceTable>(); }));
  ASSERT_TRUE(netlink->IsOpen()) << netlink->ErrorText().toStdString();
  RecordingTable table(*netlink);
  TNicEngine engine(table);

  // Start-up: one record per row, as the main window creates them.
  const int interval = 1000;
  const bool doubleTraffic = true;
  const QString prefsSuffix = QStringLiteral("_prefs");
  std::vector<IfRow> rows;
  ASSERT_TRUE(engine.ReadTable(rows)) << netlink->ErrorText().toStdString();
  std::vector<std::unique_ptr<TNic>> v;
  TNic* veth = nullptr;
  for (const IfRow& row : rows) {
    auto nic = std::make_unique<TNic>(interval, doubleTraffic, prefsSuffix);
    InitNicFromRow(*nic, row);
    nic->ShowLivedata = true;
    nic->maxspeeddown = nic->maxspeedup = 125000000;
    if (row.description == vethA) veth = nic.get();
    v.push_back(std::move(nic));
  }
  ASSERT_EQ(rows.size(), 2u) << "namespace A holds lo and the veth end only";
  ASSERT_NE(veth, nullptr);
  EXPECT_EQ(veth->GetType(), 6);
  EXPECT_EQ(veth->GetMac(), QString::fromStdString(SysfsText(nsA.name(), vethA, "address")));
  EXPECT_EQ(static_cast<long long>(veth->GetIfIndex()), SysfsValue(nsA.name(), vethA, "ifindex"));

  // Traffic: a TCP echo from A to B over the veth pair.
  Fd listener;
  ASSERT_TRUE(RunInNetns(
      nsB.name(), [&] { listener.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }));
  ASSERT_GE(listener.get(), 0);
  const sockaddr_in serverAddr = Address("10.200.7.2", 40007);
  ASSERT_EQ(
      ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&serverAddr), sizeof(serverAddr)),
      0);
  ASSERT_EQ(::listen(listener.get(), 1), 0);
  SetTimeouts(listener.get());
  Fd client;
  ASSERT_TRUE(RunInNetns(nsA.name(),
                         [&] { client.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }));
  ASSERT_GE(client.get(), 0);
  SetTimeouts(client.get());

  // Joined on every way out; ends when the client closes or after the timeouts.
  std::jthread echo([fd = listener.get()] {
    Fd conn(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
    if (conn.get() < 0) return;
    SetTimeouts(conn.get());
    char chunk[16384];
    ssize_t n;
    while ((n = ::recv(conn.get(), chunk, sizeof(chunk), 0)) > 0) {
      if (!SendAll(conn.get(), chunk, static_cast<std::size_t>(n))) return;
    }
  });
  ASSERT_EQ(
      ::connect(client.get(), reinterpret_cast<const sockaddr*>(&serverAddr), sizeof(serverAddr)),
      0);

  constexpr std::size_t kRoundBytes = 64 * 1024;
  constexpr int kRounds = 5;
  std::vector<char> out(kRoundBytes, 'q'), back(kRoundBytes);
  const auto echoRound = [&] {
    return SendAll(client.get(), out.data(), out.size()) &&
           ReceiveAll(client.get(), back.data(), back.size());
  };

  // First tick after some traffic, so that the guard's first reading is not 0.
  ASSERT_TRUE(echoRound());
  engine.DoNicEngine(v);
  const IfRow* row = table.Find(vethA);
  ASSERT_NE(row, nullptr);
  const IfRow first = *row;
  ASSERT_GT(first.inOctets, kRoundBytes);
  ASSERT_GT(first.outOctets, kRoundBytes);
  const auto receivedAtFirst = static_cast<std::uint64_t>(veth->GetTotal_Received());
  const auto sentAtFirst = static_cast<std::uint64_t>(veth->GetTotal_Sent());

  for (int round = 0; round < kRounds; ++round) {
    ASSERT_TRUE(echoRound());
    engine.DoNicEngine(v);
  }
  client.reset(-1);  // ends the echo
  echo.join();

  // Final tick, bracketed by sysfs readings: when the link stayed quiet across
  // it, netlink must report exactly what sysfs does.
  const long long rxBefore = SysfsValue(nsA.name(), vethA, "statistics/rx_bytes");
  const long long txBefore = SysfsValue(nsA.name(), vethA, "statistics/tx_bytes");
  engine.DoNicEngine(v);
  const long long rxAfter = SysfsValue(nsA.name(), vethA, "statistics/rx_bytes");
  const long long txAfter = SysfsValue(nsA.name(), vethA, "statistics/tx_bytes");
  row = table.Find(vethA);
  ASSERT_NE(row, nullptr);
  const IfRow last = *row;
  if (rxBefore == rxAfter && txBefore == txAfter) {
    EXPECT_EQ(static_cast<long long>(last.inOctets), rxAfter);
    EXPECT_EQ(static_cast<long long>(last.outOctets), txAfter);
  }

  // Both directions carried at least the payload (plus headers).
  EXPECT_GE(last.inOctets - first.inOctets, kRounds * kRoundBytes);
  EXPECT_GE(last.outOctets - first.outOctets, kRounds * kRoundBytes);

  // From the first reading on, the totals grow by exactly the counters' differences.
  EXPECT_EQ(static_cast<std::uint64_t>(veth->GetTotal_Received()) - receivedAtFirst,
            last.inOctets - first.inOctets);
  EXPECT_EQ(static_cast<std::uint64_t>(veth->GetTotal_Sent()) - sentAtFirst,
            last.outOctets - first.outOctets);
  // The first reading is counted in full (it is far below the guard's cap), every
  // later one by its difference: the totals equal the last counters exactly.
  EXPECT_EQ(static_cast<std::uint64_t>(veth->GetTotal_Received()), last.inOctets);
  EXPECT_EQ(static_cast<std::uint64_t>(veth->GetTotal_Sent()), last.outOctets);
  EXPECT_EQ(veth->GetStatus(), 0) << "veth with both ends up is operational";
}

// Waits until the kernel reports `ifname` as operationally up; the carrier of a
// freshly raised link comes on in the background. False when it never does.
bool WaitForOperstateUp(const std::string& ns, const std::string& ifname) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (SysfsText(ns, ifname, "operstate") == "up") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// "aa:bb:cc:dd:ee:ff", as sysfs shows an Ethernet address.
std::string MacText(const std::array<std::uint8_t, 6>& mac) {
  char text[18];
  std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return text;
}

const IfRow* FindIndex(const std::vector<IfRow>& rows, std::uint32_t index) {
  const auto it =
      std::find_if(rows.begin(), rows.end(), [&](const IfRow& r) { return r.index == index; });
  return it == rows.end() ? nullptr : &*it;
}

TEST(NetnsTraffic, LinkChangesBetweenReadsShowOnTheNextRead) {
  ScopedNetns nsA(UniqueName("c"));
  ScopedNetns nsB(UniqueName("d"));
  if (!nsA.ok() || !nsB.ok()) {
    GTEST_SKIP() << "cannot create network namespaces: " << (nsA.ok() ? nsB.error() : nsA.error());
  }
  for (const auto* ns : {&nsA, &nsB}) {
    RunCommand(
        {"ip", "netns", "exec", ns->name(), "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"});
  }
  std::unique_ptr<NetlinkInterfaceTable> table;
  ASSERT_TRUE(RunInNetns(nsA.name(), [&] { table = std::make_unique<NetlinkInterfaceTable>(); }));
  ASSERT_TRUE(table->IsOpen()) << table->ErrorText().toStdString();
  std::vector<IfRow> rows;
  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  ASSERT_EQ(rows.size(), 1u) << "a new namespace holds only lo";

  const std::string vethA = UniqueName("ca");
  const std::string vethB = UniqueName("cb");
  const std::string renamed = UniqueName("cr");
  std::string name = vethA;  // the name the link has at the moment
  std::uint32_t index = 0;

  // Reads the table and checks the link's row against sysfs: status, and the
  // counters to the byte whenever they stayed still across the read.
  const auto readAndCheck = [&](std::uint32_t status, const char* step) {
    SCOPED_TRACE(step);
    const long long rxBefore = SysfsValue(nsA.name(), name, "statistics/rx_bytes");
    const long long txBefore = SysfsValue(nsA.name(), name, "statistics/tx_bytes");
    ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
    const long long rxAfter = SysfsValue(nsA.name(), name, "statistics/rx_bytes");
    const long long txAfter = SysfsValue(nsA.name(), name, "statistics/tx_bytes");
    ASSERT_EQ(rows.size(), 2u);
    const IfRow* row = FindIndex(rows, index);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->description, name);
    EXPECT_EQ(row->operStatus, status);
    if (rxBefore == rxAfter && txBefore == txAfter) {
      EXPECT_EQ(static_cast<long long>(row->inOctets), rxAfter);
      EXPECT_EQ(static_cast<long long>(row->outOctets), txAfter);
    }
  };

  // Added: the new link shows with its identity, still down.
  ASSERT_EQ(RunCommand({"ip", "link", "add", vethA, "netns", nsA.name(), "type", "veth", "peer",
                        "name", vethB, "netns", nsB.name()}),
            0);
  index = static_cast<std::uint32_t>(SysfsValue(nsA.name(), vethA, "ifindex"));
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperNonOperational, "added"));
  const IfRow* row = FindIndex(rows, index);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->type, 6);
  EXPECT_EQ(MacText(row->mac), SysfsText(nsA.name(), vethA, "address"));

  // Up, with traffic: UDP datagrams to a port nobody listens on, answered with
  // port-unreachable errors, so both counters move.
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "addr", "add", "10.200.8.1/30", "dev", vethA}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsB.name(), "addr", "add", "10.200.8.2/30", "dev", vethB}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsB.name(), "link", "set", vethB, "up"}), 0);
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "set", vethA, "up"}), 0);
  ASSERT_TRUE(WaitForOperstateUp(nsA.name(), vethA));
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperOperational, "raised"));
  const std::uint64_t inAtUp = FindIndex(rows, index)->inOctets;
  const std::uint64_t outAtUp = FindIndex(rows, index)->outOctets;

  Fd sender;
  ASSERT_TRUE(RunInNetns(nsA.name(),
                         [&] { sender.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)); }));
  ASSERT_GE(sender.get(), 0);
  const sockaddr_in peer = Address("10.200.8.2", 40009);
  const std::vector<char> payload(1000, 'u');
  constexpr int kDatagrams = 20;
  for (int i = 0; i < kDatagrams; ++i) {
    // Errors reported back by earlier datagrams may fail a send; the bytes
    // checked below are whatever the kernel counted.
    (void)::sendto(sender.get(), payload.data(), payload.size(), 0,
                   reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
  }
  sender.reset(-1);
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperOperational, "after traffic"));
  EXPECT_GT(FindIndex(rows, index)->outOctets, outAtUp + payload.size());
  EXPECT_GT(FindIndex(rows, index)->inOctets, inAtUp);

  // Down, renamed while down (the kernel refuses to rename a running link), up again.
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "set", vethA, "down"}), 0);
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperNonOperational, "lowered"));
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "set", vethA, "name", renamed}), 0);
  name = renamed;
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperNonOperational, "renamed"));
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "set", renamed, "up"}), 0);
  ASSERT_TRUE(WaitForOperstateUp(nsA.name(), renamed));
  ASSERT_NO_FATAL_FAILURE(readAndCheck(kOperOperational, "raised again"));

  // Removed: the row is gone on the next read.
  ASSERT_EQ(RunCommand({"ip", "-n", nsA.name(), "link", "del", renamed}), 0);
  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].description, "lo");
  EXPECT_TRUE(table->ErrorText().isEmpty());
}

// Far more changes between two reads than the notification queue holds: the
// table must notice what it missed and still list exactly what exists.
TEST(NetnsTraffic, BurstOfLinkChangesBetweenReads) {
  ScopedNetns ns(UniqueName("e"));
  if (!ns.ok()) GTEST_SKIP() << "cannot create network namespaces: " << ns.error();
  std::unique_ptr<NetlinkInterfaceTable> table;
  ASSERT_TRUE(RunInNetns(ns.name(), [&] { table = std::make_unique<NetlinkInterfaceTable>(); }));
  ASSERT_TRUE(table->IsOpen()) << table->ErrorText().toStdString();
  std::vector<IfRow> rows;
  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  ASSERT_EQ(rows.size(), 1u);

  constexpr int kLinks = 256;
  const auto batch = [&](const char* kind) {
    std::string add, del;
    for (int i = 0; i < kLinks; ++i) {
      const std::string link = "b" + std::to_string(i);
      add.append("link add ").append(link).append(" type ").append(kind).append("\n");
      add.append("link set ").append(link).append(" up\n");
      del.append("link del ").append(link).append("\n");
    }
    return std::pair{add, del};
  };
  // Dummy devices where the kernel has them, otherwise ifb devices; a batch
  // stops at its first failing line, so a refused kind leaves nothing behind.
  std::string removeAll;
  for (const char* kind : {"dummy", "ifb"}) {
    auto [add, del] = batch(kind);
    if (RunIpBatch(ns.name(), add) == 0) {
      removeAll = del;
      break;
    }
  }
  if (removeAll.empty()) GTEST_SKIP() << "cannot create dummy or ifb interfaces";

  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kLinks) + 1);
  for (int i = 0; i < kLinks; ++i) {
    const std::string link = "b" + std::to_string(i);
    EXPECT_NE(std::find_if(rows.begin(), rows.end(),
                           [&](const IfRow& r) { return r.description == link; }),
              rows.end())
        << link;
  }
  // A quiet read in between: the table keeps listing the same links.
  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  EXPECT_EQ(rows.size(), static_cast<std::size_t>(kLinks) + 1);

  ASSERT_EQ(RunIpBatch(ns.name(), removeAll), 0);
  ASSERT_TRUE(table->Read(rows)) << table->ErrorText().toStdString();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].description, "lo");
}

}  // namespace
