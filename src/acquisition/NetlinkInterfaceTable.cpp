#include "acquisition/NetlinkInterfaceTable.h"

#include <fcntl.h>
#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace {

// The kernel fills each dump datagram up to about 32 KiB; a larger buffer leaves
// room for a single oversized link message instead of truncating it.
constexpr std::size_t kReceiveBufferSize = 256 * 1024;

// A dump that stops answering must not hang the poller's thread.
constexpr time_t kReceiveTimeoutSeconds = 2;

// Counter blocks must reach at least up to tx_bytes; their full size grows with
// kernel versions, so longer blocks are fine.
constexpr std::size_t kStats64MinLength =
    offsetof(rtnl_link_stats64, tx_bytes) + sizeof(rtnl_link_stats64::tx_bytes);
constexpr std::size_t kStats32MinLength =
    offsetof(rtnl_link_stats, tx_bytes) + sizeof(rtnl_link_stats::tx_bytes);

struct ParseState {
  IfRow* row = nullptr;
  const char* end = nullptr;  // where the last visited attribute ended
  std::uint8_t operstate = IF_OPER_UNKNOWN;
  bool haveOperstate = false;
  bool haveStats64 = false;
  bool haveStats32 = false;
  std::uint64_t in64 = 0, out64 = 0;
  std::uint32_t in32 = 0, out32 = 0;
};

template <typename T>
T ReadField(const void* payload, std::size_t offset) {
  // Attribute payloads are only 4-byte aligned; copy instead of dereferencing.
  T value;
  std::memcpy(&value, static_cast<const char*>(payload) + offset, sizeof(T));
  return value;
}

int OnLinkAttribute(const nlattr* attr, void* data) {
  auto& st = *static_cast<ParseState*>(data);
  // Called for some fifty attributes per link and tick, almost all ignored: the
  // type, payload and length are taken inline rather than through library calls.
  // mnl_attr_parse has already checked that nla_len covers the header and fits.
  const auto* raw = reinterpret_cast<const char*>(attr);
  st.end = raw + MNL_ALIGN(attr->nla_len);
  const void* payload = raw + MNL_ATTR_HDRLEN;
  const std::size_t len = attr->nla_len - MNL_ATTR_HDRLEN;
  switch (attr->nla_type & NLA_TYPE_MASK) {
    case IFLA_IFNAME: {
      const auto* name = static_cast<const char*>(payload);
      st.row->description.assign(name, strnlen(name, len));
      break;
    }
    case IFLA_ADDRESS:
      std::memcpy(st.row->mac.data(), payload, std::min(len, st.row->mac.size()));
      break;
    case IFLA_OPERSTATE:
      if (mnl_attr_validate(attr, MNL_TYPE_U8) < 0) return MNL_CB_ERROR;
      st.operstate = mnl_attr_get_u8(attr);
      st.haveOperstate = true;
      break;
    case IFLA_STATS64:
      if (len < kStats64MinLength) return MNL_CB_ERROR;
      st.haveStats64 = true;
      st.in64 = ReadField<std::uint64_t>(payload, offsetof(rtnl_link_stats64, rx_bytes));
      st.out64 = ReadField<std::uint64_t>(payload, offsetof(rtnl_link_stats64, tx_bytes));
      break;
    case IFLA_STATS:
      if (len < kStats32MinLength) return MNL_CB_ERROR;
      st.haveStats32 = true;
      st.in32 = ReadField<std::uint32_t>(payload, offsetof(rtnl_link_stats, rx_bytes));
      st.out32 = ReadField<std::uint32_t>(payload, offsetof(rtnl_link_stats, tx_bytes));
      break;
    default:
      break;  // everything else the kernel reports is of no use here
  }
  return MNL_CB_OK;
}

struct StatsParseState {
  LinkCounters* counters = nullptr;
  const char* end = nullptr;  // where the last visited attribute ended
  bool haveStats64 = false;
};

int OnStatsAttribute(const nlattr* attr, void* data) {
  auto& st = *static_cast<StatsParseState*>(data);
  const auto* raw = reinterpret_cast<const char*>(attr);
  st.end = raw + MNL_ALIGN(attr->nla_len);
  // Besides the counter block there may be alignment padding (type 0) and, on
  // other requests, nested groups; only the counter block is of use.
  if ((attr->nla_type & NLA_TYPE_MASK) != IFLA_STATS_LINK_64) return MNL_CB_OK;
  const void* payload = raw + MNL_ATTR_HDRLEN;
  if (attr->nla_len - MNL_ATTR_HDRLEN < kStats64MinLength) return MNL_CB_ERROR;
  st.haveStats64 = true;
  st.counters->inOctets = ReadField<std::uint64_t>(payload, offsetof(rtnl_link_stats64, rx_bytes));
  st.counters->outOctets = ReadField<std::uint64_t>(payload, offsetof(rtnl_link_stats64, tx_bytes));
  return MNL_CB_OK;
}

// Like ParseLinkMessage; `haveOperstate` tells whether the message carried the
// operational state, which every full link message does.
bool ParseLink(const nlmsghdr* nlh, IfRow& row, unsigned short* arphrd, bool* haveOperstate) {
  if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWLINK ||
      nlh->nlmsg_len < MNL_NLMSG_HDRLEN + sizeof(ifinfomsg)) {
    return false;
  }
  ifinfomsg ifi;
  std::memcpy(&ifi, mnl_nlmsg_get_payload(nlh), sizeof(ifi));

  row.index = static_cast<std::uint32_t>(ifi.ifi_index);
  row.type = MapArphrdType(ifi.ifi_type, false);
  row.mac.fill(0);
  row.description.clear();
  row.inOctets = row.outOctets = row.speed = 0;

  ParseState st;
  st.row = &row;
  st.end = static_cast<const char*>(mnl_nlmsg_get_payload_offset(nlh, sizeof(ifinfomsg)));
  if (mnl_attr_parse(nlh, sizeof(ifinfomsg), OnLinkAttribute, &st) < MNL_CB_OK) return false;
  // The attribute walk stops quietly at an attribute that overruns the message;
  // anything left unvisited means the message was cut short.
  if (st.end != static_cast<const char*>(mnl_nlmsg_get_payload_tail(nlh))) return false;

  if (st.haveStats64) {
    row.inOctets = st.in64;
    row.outOctets = st.out64;
  } else if (st.haveStats32) {
    row.inOctets = st.in32;
    row.outOctets = st.out32;
  }
  row.operStatus = MapOperState(st.operstate, ifi.ifi_flags);
  if (arphrd != nullptr) *arphrd = ifi.ifi_type;
  if (haveOperstate != nullptr) *haveOperstate = st.haveOperstate;
  return true;
}

// Receives one datagram sent by the kernel into `buf`. Any local process may
// send to a netlink socket; such datagrams are dropped unread. Returns -1 with
// errno on failure, ENOSPC for a datagram larger than the buffer.
ssize_t ReceiveFromKernel(mnl_socket* nl, char* buf, std::size_t size, int flags) {
  for (;;) {
    sockaddr_nl sender{};
    iovec iov{buf, size};
    msghdr msg{};
    msg.msg_name = &sender;
    msg.msg_namelen = sizeof(sender);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    const ssize_t n = ::recvmsg(mnl_socket_get_fd(nl), &msg, flags);
    if (n < 0) return n;
    if (sender.nl_pid != 0) continue;
    if ((msg.msg_flags & MSG_TRUNC) != 0) {
      errno = ENOSPC;
      return -1;
    }
    return n;
  }
}

bool ByIndex(const IfRow& row, std::uint32_t index) { return row.index < index; }

// Interface names come from the kernel, but a name is about to become a path:
// refuse anything that could leave /sys/class/net.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool PathExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Link speed of a sysfs "speed" file; 0 when the file is missing or unreadable.
std::uint64_t ReadSpeed(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32];
  const ssize_t n = ::read(fd, text, sizeof(text));
  ::close(fd);
  if (n <= 0) return 0;  // a link without carrier refuses the read
  return LinkSpeedFromSysfs(std::string_view(text, static_cast<std::size_t>(n)));
}

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

}  // namespace

std::uint64_t LinkSpeedFromSysfs(std::string_view text) {
  long long mbit = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), mbit);
  (void)ptr;
  constexpr long long kMega = 1000000;
  if (ec != std::errc() || mbit <= 0 ||
      mbit > static_cast<long long>(std::numeric_limits<std::uint64_t>::max() / kMega)) {
    return 0;
  }
  return static_cast<std::uint64_t>(mbit) * kMega;
}

std::uint32_t MapOperState(std::uint8_t operstate, unsigned ifiFlags) {
  // An administratively disabled link is non-operational whatever else it says.
  if ((ifiFlags & IFF_UP) == 0) return kOperNonOperational;
  switch (operstate) {
    case IF_OPER_UP:
      return kOperOperational;
    case IF_OPER_UNKNOWN:
      // Drivers without carrier reporting (loopback, ppp, tun, dummy) stay UNKNOWN;
      // for them "running" is the best sign of life.
      return (ifiFlags & IFF_RUNNING) != 0 ? kOperOperational : kOperNonOperational;
    case IF_OPER_TESTING:
      return kOperConnected;
    case IF_OPER_DORMANT:
      return kOperConnecting;
    case IF_OPER_DOWN:
    case IF_OPER_LOWERLAYERDOWN:
      return kOperDisconnected;
    case IF_OPER_NOTPRESENT:
    default:
      return kOperNonOperational;
  }
}

std::int32_t MapArphrdType(unsigned short arphrd, bool wireless) {
  switch (arphrd) {
    case ARPHRD_ETHER:
      return wireless ? 71 : 6;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
      return 71;
    case ARPHRD_LOOPBACK:
      return 24;
    case ARPHRD_PPP:
      return 23;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_IP6GRE:
    case ARPHRD_NONE:  // tun and other layer-3 devices without a hardware header
      return 131;
    default:
      return 1;
  }
}

bool ParseLinkMessage(const nlmsghdr* nlh, IfRow& row, unsigned short* arphrd) {
  return ParseLink(nlh, row, arphrd, nullptr);
}

LinkNotice ParseLinkNotice(const nlmsghdr* nlh, IfRow& row, unsigned short* arphrd) {
  if (nlh == nullptr) return LinkNotice::kMalformed;
  if (nlh->nlmsg_type != RTM_NEWLINK && nlh->nlmsg_type != RTM_DELLINK) return LinkNotice::kIgnore;
  if (nlh->nlmsg_len < MNL_NLMSG_HDRLEN + sizeof(ifinfomsg)) return LinkNotice::kMalformed;
  ifinfomsg ifi;
  std::memcpy(&ifi, mnl_nlmsg_get_payload(nlh), sizeof(ifi));
  // Bridges announce their ports' membership with the same message types in
  // their own family; a port leaving its bridge is not a link going away.
  if (ifi.ifi_family != AF_UNSPEC) return LinkNotice::kIgnore;
  if (nlh->nlmsg_type == RTM_DELLINK) {
    row.index = static_cast<std::uint32_t>(ifi.ifi_index);
    return LinkNotice::kRemove;
  }
  bool haveOperstate = false;
  if (!ParseLink(nlh, row, arphrd, &haveOperstate)) return LinkNotice::kMalformed;
  // Wireless events arrive as link messages holding little more than the name;
  // taken as an update they would blank the address and guess the status.
  return haveOperstate ? LinkNotice::kUpdate : LinkNotice::kIgnore;
}

bool ParseStatsMessage(const nlmsghdr* nlh, LinkCounters& counters) {
  if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWSTATS ||
      nlh->nlmsg_len < MNL_NLMSG_HDRLEN + sizeof(if_stats_msg)) {
    return false;
  }
  if_stats_msg ism;
  std::memcpy(&ism, mnl_nlmsg_get_payload(nlh), sizeof(ism));
  counters.index = ism.ifindex;
  counters.inOctets = counters.outOctets = 0;

  StatsParseState st;
  st.counters = &counters;
  st.end = static_cast<const char*>(mnl_nlmsg_get_payload_offset(nlh, sizeof(if_stats_msg)));
  if (mnl_attr_parse(nlh, sizeof(if_stats_msg), OnStatsAttribute, &st) < MNL_CB_OK) return false;
  if (st.end != static_cast<const char*>(mnl_nlmsg_get_payload_tail(nlh))) return false;
  return st.haveStats64;
}

NetlinkInterfaceTable::NetlinkInterfaceTable() {
  nl_ = mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC);
  if (nl_ == nullptr) {
    error_ = QStringLiteral("Cannot open the netlink socket: ") + ErrnoText(errno);
    return;
  }
  if (mnl_socket_bind(nl_, 0, MNL_SOCKET_AUTOPID) < 0) {
    error_ = QStringLiteral("Cannot bind the netlink socket: ") + ErrnoText(errno);
    mnl_socket_close(nl_);
    nl_ = nullptr;
    return;
  }
  portId_ = mnl_socket_get_portid(nl_);
  timeval timeout{};
  timeout.tv_sec = kReceiveTimeoutSeconds;
  // Without the timeout a lost dump would block forever; failure to set it is
  // not worth refusing the table over.
  (void)::setsockopt(mnl_socket_get_fd(nl_), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  buffer_.resize(kReceiveBufferSize);

  // Subscribed before the first dump, so that no change after it goes unseen.
  // Without notices every read takes the full link dump, which is slower but
  // just as exact, so a failure here is no reason to refuse the table.
  notices_ = mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (notices_ != nullptr && mnl_socket_bind(notices_, RTMGRP_LINK, MNL_SOCKET_AUTOPID) < 0) {
    StopNotices();
  }
}

NetlinkInterfaceTable::~NetlinkInterfaceTable() {
  StopNotices();
  if (nl_ != nullptr) mnl_socket_close(nl_);
}

void NetlinkInterfaceTable::StopNotices() {
  if (notices_ != nullptr) mnl_socket_close(notices_);
  notices_ = nullptr;
}

const NetlinkInterfaceTable::LinkFacts& NetlinkInterfaceTable::FactsFor(std::uint32_t index,
                                                                        const std::string& name) {
  if (const auto it = facts_.find(index); it != facts_.end()) return it->second;
  LinkFacts facts;
  if (IsPlainName(name)) {
    const std::string base = "/sys/class/net/" + name;
    facts.wireless = PathExists(base + "/wireless") || PathExists(base + "/phy80211");
    facts.speed = ReadSpeed(base + "/speed");
  }
  return facts_.emplace(index, facts).first->second;
}

// Reads the answer to the dump request with sequence number seq_, passing each
// data message to `handle`. Always reads on to the end of the dump, even after
// a fault, so that the next request does not find this one's remains (or a
// dump still in progress). `refusal` receives the error code of a refused request.
template <typename Handler>
NetlinkInterfaceTable::DumpResult NetlinkInterfaceTable::ReceiveDump(const char* what, int& refusal,
                                                                     Handler&& handle) {
  DumpResult result = DumpResult::kOk;
  const auto fail = [&](DumpResult kind, const QString& text) {
    if (result != DumpResult::kOk) return;
    error_ = QStringLiteral("The ") + QLatin1StringView(what) + text;
    result = kind;
  };

  for (;;) {
    const ssize_t received = ReceiveFromKernel(nl_, buffer_.data(), buffer_.size(), 0);
    if (received < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err == ENOSPC) {  // datagram larger than the buffer: its tail is lost
        fail(DumpResult::kFailed, QStringLiteral(" was truncated"));
        continue;
      }
      fail(DumpResult::kFailed, QStringLiteral(" could not be received: ") + ErrnoText(err));
      return result;
    }

    int remaining = static_cast<int>(received);
    const auto* msg = reinterpret_cast<const nlmsghdr*>(buffer_.data());
    for (; mnl_nlmsg_ok(msg, remaining); msg = mnl_nlmsg_next(msg, &remaining)) {
      // Leftovers of an earlier, abandoned dump carry an older sequence number.
      if (msg->nlmsg_seq != seq_ || msg->nlmsg_pid != portId_) continue;
      switch (msg->nlmsg_type) {
        case NLMSG_DONE: {
          // The kernel reports a dump that failed midway as a negative code here.
          int code = 0;
          if (msg->nlmsg_len >= MNL_NLMSG_HDRLEN + sizeof(code)) {
            std::memcpy(&code, mnl_nlmsg_get_payload(msg), sizeof(code));
          }
          if (code < 0) fail(DumpResult::kFailed, QStringLiteral(" failed: ") + ErrnoText(-code));
          return result;
        }
        case NLMSG_ERROR: {
          int code = 0;
          if (msg->nlmsg_len >= MNL_NLMSG_HDRLEN + sizeof(nlmsgerr)) {
            std::memcpy(&code, mnl_nlmsg_get_payload(msg), sizeof(code));
          }
          refusal = code < 0 ? -code : EPROTO;
          fail(DumpResult::kRefused, QStringLiteral(" was refused: ") + ErrnoText(refusal));
          return result;
        }
        default:
          if (msg->nlmsg_type < NLMSG_MIN_TYPE) break;  // NLMSG_NOOP and the like
          // A dump interrupted by a link change may list a link twice or miss
          // one; a missing row would look like a vanished adapter.
          if ((msg->nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
            fail(DumpResult::kInterrupted, QStringLiteral(" was interrupted by a change"));
          }
          if (result != DumpResult::kOk) break;
          if (!handle(msg)) fail(DumpResult::kFailed, QStringLiteral(" held a malformed message"));
          break;
      }
    }
    if (remaining > 0) fail(DumpResult::kFailed, QStringLiteral(" ended in a partial message"));
  }
}

void NetlinkInterfaceTable::AddFacts(IfRow& row, unsigned short arphrd) {
  const LinkFacts& facts = FactsFor(row.index, row.description);
  row.speed = facts.speed;
  if (facts.wireless) row.type = MapArphrdType(arphrd, true);
}

bool NetlinkInterfaceTable::Read(std::vector<IfRow>& rows) {
  if (nl_ == nullptr) return false;

  bool ok = false;
  if (!synced_ || !ApplyNotices()) {
    ok = FullDump();
  } else {
    switch (ReadCounters()) {
      case CounterResult::kOk:
        ok = true;
        break;
      case CounterResult::kResync:
        ok = FullDump();
        break;
      case CounterResult::kFailed:
        break;
    }
  }
  if (!ok) return false;

  rows = rows_;  // element-wise assignment: reuses the caller's rows and strings
  if (!error_.isEmpty()) error_.clear();
  return true;
}

// Brings the cached rows up to date with the pending link notices. False when
// the cache can no longer be trusted (notices lost or unreadable, or no
// notification socket at all); the caller then takes a full dump.
bool NetlinkInterfaceTable::ApplyNotices() {
  if (notices_ == nullptr) return false;
  bool consistent = true;
  for (;;) {
    const ssize_t received =
        ReceiveFromKernel(notices_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
    if (received < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err == EAGAIN || err == EWOULDBLOCK) return consistent;
      // ENOBUFS: the queue overflowed and notices were dropped; ENOSPC: one was
      // cut short. Either way read on to empty the queue.
      if (err == ENOBUFS || err == ENOSPC) {
        consistent = false;
        continue;
      }
      return false;
    }
    if (!consistent) continue;

    int remaining = static_cast<int>(received);
    const auto* msg = reinterpret_cast<const nlmsghdr*>(buffer_.data());
    for (; consistent && mnl_nlmsg_ok(msg, remaining); msg = mnl_nlmsg_next(msg, &remaining)) {
      unsigned short arphrd = 0;
      switch (ParseLinkNotice(msg, notice_, &arphrd)) {
        case LinkNotice::kIgnore:
          break;
        case LinkNotice::kMalformed:
          consistent = false;
          break;
        case LinkNotice::kRemove: {
          const auto it = std::lower_bound(rows_.begin(), rows_.end(), notice_.index, ByIndex);
          // A link created and removed between two reads may never have been cached.
          if (it != rows_.end() && it->index == notice_.index) {
            rows_.erase(it);
            PruneFacts();
          }
          break;
        }
        case LinkNotice::kUpdate: {
          AddFacts(notice_, arphrd);
          const auto it = std::lower_bound(rows_.begin(), rows_.end(), notice_.index, ByIndex);
          if (it == rows_.end() || it->index != notice_.index) {
            rows_.insert(it, notice_);
            break;
          }
          // Counters stay as the last statistics dump left them: the notice may
          // be older than that, and this read's dump replaces them anyway.
          it->type = notice_.type;
          it->mac = notice_.mac;
          it->description = notice_.description;
          it->operStatus = notice_.operStatus;
          it->speed = notice_.speed;
          break;
        }
      }
    }
    if (consistent && remaining > 0) consistent = false;  // a partial message
  }
}

// Empties the notification queue: what it holds happened before the full dump
// about to be taken, which reflects all of it.
void NetlinkInterfaceTable::DiscardNotices() {
  if (notices_ == nullptr) return;
  for (;;) {
    const ssize_t received =
        ReceiveFromKernel(notices_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
    if (received < 0 && errno != EINTR && errno != ENOBUFS && errno != ENOSPC) return;
  }
}

bool NetlinkInterfaceTable::SendDumpRequest(nlmsghdr* nlh, const char* what) {
  nlh->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  nlh->nlmsg_seq = ++seq_;
  if (mnl_socket_sendto(nl_, nlh, nlh->nlmsg_len) < 0) {
    error_ = QStringLiteral("Cannot send the ") + QLatin1StringView(what) +
             QStringLiteral(" request: ") + ErrnoText(errno);
    return false;
  }
  return true;
}

// Replaces the cache with a full link dump. On failure the cache is left as it
// was but no longer trusted, so the next read dumps again.
bool NetlinkInterfaceTable::FullDump() {
  synced_ = false;
  DiscardNotices();

  alignas(nlmsghdr) char request[MNL_NLMSG_HDRLEN + MNL_ALIGN(sizeof(ifinfomsg)) +
                                 MNL_ALIGN(MNL_ATTR_HDRLEN + sizeof(std::uint32_t))];
  nlmsghdr* nlh = mnl_nlmsg_put_header(request);
  nlh->nlmsg_type = RTM_GETLINK;
  auto* ifi = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(ifinfomsg)));
  ifi->ifi_family = AF_UNSPEC;
  // No optional blocks (VF lists, bridge VLANs): they only enlarge the dump.
  mnl_attr_put_u32(nlh, IFLA_EXT_MASK, 0);
  if (!SendDumpRequest(nlh, "link dump")) return false;

  std::size_t count = 0;
  int refusal = 0;
  const DumpResult result = ReceiveDump("link dump", refusal, [&](const nlmsghdr* msg) {
    if (msg->nlmsg_type != RTM_NEWLINK) return true;
    if (count == scratch_.size()) scratch_.emplace_back();
    IfRow& row = scratch_[count];
    unsigned short arphrd = 0;
    if (!ParseLinkMessage(msg, row, &arphrd)) return false;
    AddFacts(row, arphrd);
    ++count;
    return true;
  });
  scratch_.resize(count);
  if (result != DumpResult::kOk) return false;

  const auto byIndex = [](const IfRow& a, const IfRow& b) { return a.index < b.index; };
  if (!std::is_sorted(scratch_.begin(), scratch_.end(), byIndex)) {
    std::sort(scratch_.begin(), scratch_.end(), byIndex);
  }
  for (std::size_t i = 1; i < scratch_.size(); ++i) {
    if (scratch_[i].index == scratch_[i - 1].index) {
      error_ = QStringLiteral("The link dump listed an interface twice");
      return false;
    }
  }
  rows_.swap(scratch_);  // the old rows become the next dump's target
  synced_ = true;
  PruneFacts();
  return true;
}

// Indices are not reused soon, so facts of removed links only pile up when
// links come and go; drop them once they clearly outnumber the live ones.
void NetlinkInterfaceTable::PruneFacts() {
  if (facts_.size() <= 2 * rows_.size() + 64) return;
  std::erase_if(facts_, [this](const auto& entry) {
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), entry.first, ByIndex);
    return it == rows_.end() || it->index != entry.first;
  });
}

// Takes the statistics dump and writes its counters into the cached rows, all
// of them or none. Asks for a full dump when the dump and the cache disagree
// about which links exist, or when the kernel does not know the request.
NetlinkInterfaceTable::CounterResult NetlinkInterfaceTable::ReadCounters() {
  alignas(nlmsghdr) char request[MNL_NLMSG_HDRLEN + MNL_ALIGN(sizeof(if_stats_msg))];
  nlmsghdr* nlh = mnl_nlmsg_put_header(request);
  nlh->nlmsg_type = RTM_GETSTATS;
  auto* ism = static_cast<if_stats_msg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(if_stats_msg)));
  ism->family = AF_UNSPEC;
  // The 64-bit counter block only: a few hundred bytes per link.
  ism->filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
  if (!SendDumpRequest(nlh, "statistics dump")) return CounterResult::kFailed;

  staged_.resize(rows_.size());
  for (auto& s : staged_) s.seen = false;
  std::size_t next = 0;  // the dump comes in index order on current kernels
  std::size_t seen = 0;
  bool disagree = false;
  int refusal = 0;
  const DumpResult result = ReceiveDump("statistics dump", refusal, [&](const nlmsghdr* msg) {
    if (msg->nlmsg_type != RTM_NEWSTATS) return true;
    LinkCounters counters;
    if (!ParseStatsMessage(msg, counters)) return false;
    std::size_t pos = next;
    if (pos >= rows_.size() || rows_[pos].index != counters.index) {
      const auto it = std::lower_bound(rows_.begin(), rows_.end(), counters.index, ByIndex);
      if (it == rows_.end() || it->index != counters.index) {
        disagree = true;  // a link whose notice has not arrived yet
        return true;
      }
      pos = static_cast<std::size_t>(it - rows_.begin());
    }
    next = pos + 1;
    StagedCounters& staged = staged_[pos];
    if (staged.seen) {
      disagree = true;
      return true;
    }
    staged = {counters.inOctets, counters.outOctets, true};
    ++seen;
    return true;
  });

  switch (result) {
    case DumpResult::kOk:
      break;
    case DumpResult::kInterrupted:
      return CounterResult::kResync;
    case DumpResult::kRefused:
      // Kernels before RTM_GETSTATS refuse it outright; they never learn it later.
      if (!statsTried_ && (refusal == EOPNOTSUPP || refusal == EINVAL)) {
        StopNotices();
        return CounterResult::kResync;
      }
      return CounterResult::kFailed;
    case DumpResult::kFailed:
      return CounterResult::kFailed;
  }
  statsTried_ = true;
  // A cached link missing from the dump has vanished without its notice (yet).
  if (disagree || seen != rows_.size()) return CounterResult::kResync;

  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i].inOctets = staged_[i].in;
    rows_[i].outOctets = staged_[i].out;
  }
  return CounterResult::kOk;
}
