#include "acquisition/NetlinkInterfaceTable.h"

#include <fcntl.h>
#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
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
  return true;
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
}

NetlinkInterfaceTable::~NetlinkInterfaceTable() {
  if (nl_ != nullptr) mnl_socket_close(nl_);
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

bool NetlinkInterfaceTable::Read(std::vector<IfRow>& rows) {
  if (nl_ == nullptr) return false;

  alignas(nlmsghdr) char request[MNL_NLMSG_HDRLEN + MNL_ALIGN(sizeof(ifinfomsg)) +
                                 MNL_ALIGN(MNL_ATTR_HDRLEN + sizeof(std::uint32_t))];
  nlmsghdr* nlh = mnl_nlmsg_put_header(request);
  nlh->nlmsg_type = RTM_GETLINK;
  nlh->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  nlh->nlmsg_seq = ++seq_;
  auto* ifi = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(ifinfomsg)));
  ifi->ifi_family = AF_UNSPEC;
  // No optional blocks (VF lists, bridge VLANs): they only enlarge the dump.
  mnl_attr_put_u32(nlh, IFLA_EXT_MASK, 0);

  if (mnl_socket_sendto(nl_, nlh, nlh->nlmsg_len) < 0) {
    error_ = QStringLiteral("Cannot send the link dump request: ") + ErrnoText(errno);
    return false;
  }

  std::size_t count = 0;
  const bool ok = Receive(rows, count);
  rows.resize(count);
  if (!ok) return false;

  if (!std::is_sorted(rows.begin(), rows.end(),
                      [](const IfRow& a, const IfRow& b) { return a.index < b.index; })) {
    std::sort(rows.begin(), rows.end(),
              [](const IfRow& a, const IfRow& b) { return a.index < b.index; });
  }
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].index == rows[i - 1].index) {
      error_ = QStringLiteral("The link dump listed an interface twice");
      return false;
    }
  }

  // Indices are not reused soon, so facts of removed links only pile up when
  // links come and go; drop them once they clearly outnumber the live ones.
  if (facts_.size() > 2 * rows.size() + 64) {
    std::erase_if(facts_, [&rows](const auto& entry) {
      const auto it =
          std::lower_bound(rows.begin(), rows.end(), entry.first,
                           [](const IfRow& row, std::uint32_t index) { return row.index < index; });
      return it == rows.end() || it->index != entry.first;
    });
  }
  if (!error_.isEmpty()) error_.clear();
  return true;
}

// Reads the dump answer to the request with sequence number seq_ into rows[0..count).
// Always reads on to the end of the dump, even after a fault, so that the next
// request does not find this one's remains (or a dump still in progress).
bool NetlinkInterfaceTable::Receive(std::vector<IfRow>& rows, std::size_t& count) {
  bool ok = true;
  const auto fail = [&](QString text) {
    if (ok) error_ = std::move(text);
    ok = false;
  };

  for (;;) {
    const ssize_t received = mnl_socket_recvfrom(nl_, buffer_.data(), buffer_.size());
    if (received < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err == ENOSPC) {  // datagram larger than the buffer: its tail is lost
        fail(QStringLiteral("The link dump was truncated"));
        continue;
      }
      fail(QStringLiteral("Cannot receive the link dump: ") + ErrnoText(err));
      return false;
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
          if (code < 0) fail(QStringLiteral("The link dump failed: ") + ErrnoText(-code));
          return ok;
        }
        case NLMSG_ERROR: {
          int code = 0;
          if (msg->nlmsg_len >= MNL_NLMSG_HDRLEN + sizeof(nlmsgerr)) {
            std::memcpy(&code, mnl_nlmsg_get_payload(msg), sizeof(code));
          }
          fail(QStringLiteral("The kernel refused the link dump: ") +
               ErrnoText(code < 0 ? -code : EPROTO));
          return false;
        }
        case RTM_NEWLINK: {
          // A dump interrupted by a link change may list a link twice or miss one;
          // a missing row would look like a vanished adapter, so skip the tick.
          if ((msg->nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
            fail(QStringLiteral("The link dump was interrupted by a change"));
          }
          if (!ok) break;
          if (count == rows.size()) rows.emplace_back();
          IfRow& row = rows[count];
          unsigned short arphrd = 0;
          if (!ParseLinkMessage(msg, row, &arphrd)) {
            fail(QStringLiteral("Malformed link message in the dump"));
            break;
          }
          const LinkFacts& facts = FactsFor(row.index, row.description);
          row.speed = facts.speed;
          if (facts.wireless) row.type = MapArphrdType(arphrd, true);
          ++count;
          break;
        }
        default:
          break;  // NLMSG_NOOP and anything unexpected carry no rows
      }
    }
    if (remaining > 0) fail(QStringLiteral("The link dump ended in a partial message"));
  }
}
