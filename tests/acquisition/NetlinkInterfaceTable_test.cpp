#include "acquisition/NetlinkInterfaceTable.h"

#include <gtest/gtest.h>
#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Status and type mapping

struct OperCase {
  const char* what;
  std::uint8_t operstate;
  unsigned flags;
  std::uint32_t expected;
};

TEST(NetlinkMapOperState, MapsKernelStateAndFlagsToTableStatus) {
  constexpr unsigned kUp = IFF_UP;
  constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING;
  const OperCase cases[] = {
      {"up", IF_OPER_UP, kUpRunning, kOperOperational},
      {"unknown but running (loopback, ppp, tun)", IF_OPER_UNKNOWN, kUpRunning, kOperOperational},
      {"unknown and not running", IF_OPER_UNKNOWN, kUp, kOperNonOperational},
      {"testing", IF_OPER_TESTING, kUpRunning, kOperConnected},
      {"dormant (waiting for authentication)", IF_OPER_DORMANT, kUp, kOperConnecting},
      {"down with admin up: no carrier", IF_OPER_DOWN, kUp, kOperDisconnected},
      {"lower layer down", IF_OPER_LOWERLAYERDOWN, kUp, kOperDisconnected},
      {"administratively down", IF_OPER_DOWN, 0, kOperNonOperational},
      {"administratively down overrides a stale up", IF_OPER_UP, IFF_RUNNING, kOperNonOperational},
      {"not present", IF_OPER_NOTPRESENT, kUp, kOperNonOperational},
      {"state unknown to this build", 200, kUpRunning, kOperNonOperational},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapOperState(c.operstate, c.flags), c.expected) << c.what;
  }
}

struct TypeCase {
  unsigned short arphrd;
  bool wireless;
  std::int32_t expected;
};

TEST(NetlinkMapArphrdType, MapsHardwareTypesToIanaNumbers) {
  const TypeCase cases[] = {
      {ARPHRD_ETHER, false, 6},
      {ARPHRD_ETHER, true, 71},
      {ARPHRD_IEEE80211_RADIOTAP, false, 71},
      {ARPHRD_LOOPBACK, false, 24},
      {ARPHRD_LOOPBACK, true, 24},
      {ARPHRD_PPP, false, 23},
      {ARPHRD_TUNNEL, false, 131},
      {ARPHRD_TUNNEL6, false, 131},
      {ARPHRD_SIT, false, 131},
      {ARPHRD_IPGRE, false, 131},
      {ARPHRD_IP6GRE, false, 131},
      {ARPHRD_NONE, false, 131},
      {ARPHRD_INFINIBAND, false, 1},
      {ARPHRD_CAN, false, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapArphrdType(c.arphrd, c.wireless), c.expected)
        << "arphrd " << c.arphrd << " wireless " << c.wireless;
  }
}

TEST(NetlinkLinkSpeed, ConvertsSysfsMegabitsToBitsPerSecond) {
  const struct {
    const char* text;
    std::uint64_t expected;
  } cases[] = {
      {"1000\n", 1'000'000'000ULL},
      {"25000\n", 25'000'000'000ULL},
      {"10", 10'000'000ULL},
      {"-1\n", 0},  // unknown, must not wrap to a huge unsigned number
      {"0\n", 0},
      {"", 0},
      {"fast\n", 0},
      {"99999999999999999999\n", 0},  // beyond 64 bits
      {"18446744073710\n", 0},        // fits as Mbit/s, overflows as bit/s
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LinkSpeedFromSysfs(c.text), c.expected) << '"' << c.text << '"';
  }
}

// ---------------------------------------------------------------------------
// Parsing of hand-built RTM_NEWLINK messages

// Builds one link message the way the kernel lays it out.
class LinkMessage {
 public:
  explicit LinkMessage(int index = 7, unsigned short arphrd = ARPHRD_ETHER,
                       unsigned flags = IFF_UP | IFF_RUNNING) {
    buf_.fill(0);
    nlh_ = mnl_nlmsg_put_header(buf_.data());
    nlh_->nlmsg_type = RTM_NEWLINK;
    auto* ifi = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(nlh_, sizeof(ifinfomsg)));
    ifi->ifi_index = index;
    ifi->ifi_type = arphrd;
    ifi->ifi_flags = flags;
  }
  LinkMessage& Family(unsigned char family) {
    static_cast<ifinfomsg*>(mnl_nlmsg_get_payload(nlh_))->ifi_family = family;
    return *this;
  }
  LinkMessage& Type(std::uint16_t type) {
    nlh_->nlmsg_type = type;
    return *this;
  }
  LinkMessage& Name(const char* name) {
    mnl_attr_put_strz(nlh_, IFLA_IFNAME, name);
    return *this;
  }
  LinkMessage& Raw(unsigned short type, const void* data, std::size_t len) {
    mnl_attr_put(nlh_, type, len, data);
    return *this;
  }
  LinkMessage& Address(std::vector<std::uint8_t> bytes) {
    return Raw(IFLA_ADDRESS, bytes.data(), bytes.size());
  }
  LinkMessage& OperState(std::uint8_t state) {
    mnl_attr_put_u8(nlh_, IFLA_OPERSTATE, state);
    return *this;
  }
  LinkMessage& Stats64(std::uint64_t rx, std::uint64_t tx) {
    rtnl_link_stats64 s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    s.rx_packets = 1111;  // neighbours of the byte counters must not leak into them
    s.tx_packets = 2222;
    return Raw(IFLA_STATS64, &s, sizeof(s));
  }
  LinkMessage& Stats32(std::uint32_t rx, std::uint32_t tx) {
    rtnl_link_stats s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    s.rx_packets = 3333;
    return Raw(IFLA_STATS, &s, sizeof(s));
  }
  nlmsghdr* get() { return nlh_; }

 private:
  alignas(8) std::array<char, 4096> buf_;
  nlmsghdr* nlh_;
};

TEST(NetlinkParseLinkMessage, FullMessagePrefersSixtyFourBitCounters) {
  LinkMessage msg(42);
  msg.Name("eth0")
      .Address({0x00, 0x0c, 0x29, 0x3a, 0x5b, 0x7f})
      .OperState(IF_OPER_UP)
      .Stats32(100, 200)  // the kernel sends the 32-bit block first
      .Stats64(5'000'000'000ULL, 7'000'000'123ULL);
  IfRow row;
  unsigned short arphrd = 0;
  ASSERT_TRUE(ParseLinkMessage(msg.get(), row, &arphrd));
  EXPECT_EQ(row.index, 42u);
  EXPECT_EQ(row.type, 6);
  EXPECT_EQ(arphrd, ARPHRD_ETHER);
  EXPECT_EQ(row.description, "eth0");
  EXPECT_EQ(row.mac, (std::array<std::uint8_t, 6>{0x00, 0x0c, 0x29, 0x3a, 0x5b, 0x7f}));
  EXPECT_EQ(row.operStatus, kOperOperational);
  EXPECT_EQ(row.inOctets, 5'000'000'000ULL);
  EXPECT_EQ(row.outOctets, 7'000'000'123ULL);
  EXPECT_EQ(row.speed, 0u);
}

TEST(NetlinkParseLinkMessage, FallsBackToThirtyTwoBitCounters) {
  LinkMessage msg;
  msg.Name("old0").OperState(IF_OPER_UP).Stats32(4'294'967'295u, 12345);
  IfRow row;
  ASSERT_TRUE(ParseLinkMessage(msg.get(), row));
  EXPECT_EQ(row.inOctets, 4'294'967'295u);
  EXPECT_EQ(row.outOctets, 12345u);
}

TEST(NetlinkParseLinkMessage, AddressAbsentShortOrLong) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> address;  // empty: no IFLA_ADDRESS at all
    std::array<std::uint8_t, 6> expected;
  };
  const std::vector<std::uint8_t> infiniband(20, 0xab);
  const Case cases[] = {
      {"absent", {}, {0, 0, 0, 0, 0, 0}},
      {"three bytes", {0x11, 0x22, 0x33}, {0x11, 0x22, 0x33, 0, 0, 0}},
      {"twenty bytes", infiniband, {0xab, 0xab, 0xab, 0xab, 0xab, 0xab}},
  };
  for (const auto& c : cases) {
    LinkMessage msg;
    msg.Name("x");
    if (!c.address.empty()) msg.Address(c.address);
    // A row reused from an earlier tick must not keep that tick's address.
    IfRow row;
    row.mac = {9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(ParseLinkMessage(msg.get(), row)) << c.what;
    EXPECT_EQ(row.mac, c.expected) << c.what;
  }
}

TEST(NetlinkParseLinkMessage, ReusedRowCarriesNothingOver) {
  LinkMessage first(3);
  first.Name("first-long-name").Stats64(10, 20).OperState(IF_OPER_UP);
  LinkMessage second(4, ARPHRD_LOOPBACK, IFF_UP);
  second.Name("lo");  // no counters, no operstate
  IfRow row;
  ASSERT_TRUE(ParseLinkMessage(first.get(), row));
  row.speed = 1000;
  ASSERT_TRUE(ParseLinkMessage(second.get(), row));
  EXPECT_EQ(row.index, 4u);
  EXPECT_EQ(row.type, 24);
  EXPECT_EQ(row.description, "lo");
  EXPECT_EQ(row.inOctets, 0u);
  EXPECT_EQ(row.outOctets, 0u);
  EXPECT_EQ(row.speed, 0u);
  // No IFLA_OPERSTATE counts as unknown; up but not running is then not operational.
  EXPECT_EQ(row.operStatus, kOperNonOperational);
}

TEST(NetlinkParseLinkMessage, IgnoresUnknownAttributes) {
  const std::uint8_t blob[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  LinkMessage msg(9, ARPHRD_NONE, IFF_UP | IFF_RUNNING);
  msg.Raw(999, blob, sizeof(blob))  // unpadded length, odd size
      .Name("tun0")
      .Raw(IFLA_MTU, blob, 4)
      .Raw(IFLA_AF_SPEC | NLA_F_NESTED, blob, 8)
      .Stats64(77, 88)
      .Raw(0x7ffe, nullptr, 0);
  IfRow row;
  ASSERT_TRUE(ParseLinkMessage(msg.get(), row));
  EXPECT_EQ(row.description, "tun0");
  EXPECT_EQ(row.type, 131);
  EXPECT_EQ(row.operStatus, kOperOperational);
  EXPECT_EQ(row.inOctets, 77u);
  EXPECT_EQ(row.outOctets, 88u);
}

TEST(NetlinkParseLinkMessage, NameWithoutTerminatorIsTakenAsLong) {
  LinkMessage msg;
  msg.Raw(IFLA_IFNAME, "wlan0", 5);
  IfRow row;
  ASSERT_TRUE(ParseLinkMessage(msg.get(), row));
  EXPECT_EQ(row.description, "wlan0");
}

TEST(NetlinkParseLinkMessage, RejectsMalformedMessages) {
  struct Case {
    const char* what;
    void (*damage)(LinkMessage&);
  };
  const Case cases[] = {
      {"message shorter than the link header",
       [](LinkMessage& m) { m.get()->nlmsg_len = MNL_NLMSG_HDRLEN + 8; }},
      {"message holding only the netlink header",
       [](LinkMessage& m) { m.get()->nlmsg_len = MNL_NLMSG_HDRLEN; }},
      {"last attribute cut off",
       [](LinkMessage& m) {
         m.Name("eth0").Stats64(1, 2);
         m.get()->nlmsg_len -= 16;
       }},
      {"attribute length overrunning the message",
       [](LinkMessage& m) {
         m.Name("eth0");
         auto* attr =
             static_cast<nlattr*>(mnl_nlmsg_get_payload_offset(m.get(), sizeof(ifinfomsg)));
         attr->nla_len = 200;
       }},
      {"attribute length below its own header",
       [](LinkMessage& m) {
         m.Name("eth0");
         auto* attr =
             static_cast<nlattr*>(mnl_nlmsg_get_payload_offset(m.get(), sizeof(ifinfomsg)));
         attr->nla_len = 2;
       }},
      {"64-bit counter block too short",
       [](LinkMessage& m) {
         const std::uint64_t two[2] = {1, 2};
         m.Raw(IFLA_STATS64, two, sizeof(two));
       }},
      {"32-bit counter block too short",
       [](LinkMessage& m) {
         const std::uint32_t two[2] = {1, 2};
         m.Raw(IFLA_STATS, two, sizeof(two));
       }},
      {"empty operational state", [](LinkMessage& m) { m.Raw(IFLA_OPERSTATE, nullptr, 0); }},
      {"not a new-link message", [](LinkMessage& m) { m.get()->nlmsg_type = RTM_DELLINK; }},
  };
  for (const auto& c : cases) {
    LinkMessage msg;
    c.damage(msg);
    IfRow row;
    EXPECT_FALSE(ParseLinkMessage(msg.get(), row)) << c.what;
  }
  IfRow row;
  EXPECT_FALSE(ParseLinkMessage(nullptr, row));
}

// ---------------------------------------------------------------------------
// Link notices: which ones change the cached table

TEST(NetlinkParseLinkNotice, ClassifiesNotificationMessages) {
  const std::uint8_t blob[] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    const char* what;
    void (*build)(LinkMessage&, const std::uint8_t*);
    LinkNotice expected;
  };
  const Case cases[] = {
      {"full link state",
       [](LinkMessage& m, const std::uint8_t*) {
         m.Name("eth0").Address({2, 0, 0, 0, 0, 1}).OperState(IF_OPER_UP).Stats64(5, 6);
       },
       LinkNotice::kUpdate},
      {"full link state of a link going down",
       [](LinkMessage& m, const std::uint8_t*) { m.Name("eth0").OperState(IF_OPER_DOWN); },
       LinkNotice::kUpdate},
      {"wireless event: name and wireless data only",
       [](LinkMessage& m, const std::uint8_t* b) { m.Name("wlan0").Raw(IFLA_WIRELESS, b, 8); },
       LinkNotice::kIgnore},
      {"bridge port state",
       [](LinkMessage& m, const std::uint8_t*) {
         m.Family(AF_BRIDGE).Name("eth0").OperState(IF_OPER_UP);
       },
       LinkNotice::kIgnore},
      {"link removed",
       [](LinkMessage& m, const std::uint8_t*) { m.Type(RTM_DELLINK).Name("eth0"); },
       LinkNotice::kRemove},
      {"port leaving its bridge",
       [](LinkMessage& m, const std::uint8_t*) { m.Type(RTM_DELLINK).Family(AF_BRIDGE); },
       LinkNotice::kIgnore},
      {"removal shorter than the link header",
       [](LinkMessage& m, const std::uint8_t*) {
         m.Type(RTM_DELLINK);
         m.get()->nlmsg_len = MNL_NLMSG_HDRLEN + 8;
       },
       LinkNotice::kMalformed},
      {"update with its last attribute cut off",
       [](LinkMessage& m, const std::uint8_t*) {
         m.OperState(IF_OPER_UP).Stats64(1, 2);
         m.get()->nlmsg_len -= 16;
       },
       LinkNotice::kMalformed},
      {"address notice", [](LinkMessage& m, const std::uint8_t*) { m.Type(RTM_NEWADDR); },
       LinkNotice::kIgnore},
  };
  for (const auto& c : cases) {
    LinkMessage msg(12);
    c.build(msg, blob);
    IfRow row;
    const LinkNotice got = ParseLinkNotice(msg.get(), row);
    EXPECT_EQ(got, c.expected) << c.what;
    if (got == LinkNotice::kUpdate || got == LinkNotice::kRemove) {
      EXPECT_EQ(row.index, 12u) << c.what;
    }
  }
  IfRow row;
  EXPECT_EQ(ParseLinkNotice(nullptr, row), LinkNotice::kMalformed);
}

TEST(NetlinkParseLinkNotice, UpdateCarriesIdentityAndStatus) {
  LinkMessage msg(12, ARPHRD_ETHER, IFF_UP);
  msg.Name("veth1").Address({2, 0, 0, 0, 0, 1}).OperState(IF_OPER_LOWERLAYERDOWN);
  IfRow row;
  unsigned short arphrd = 0;
  ASSERT_EQ(ParseLinkNotice(msg.get(), row, &arphrd), LinkNotice::kUpdate);
  EXPECT_EQ(row.description, "veth1");
  EXPECT_EQ(row.mac, (std::array<std::uint8_t, 6>{2, 0, 0, 0, 0, 1}));
  EXPECT_EQ(row.type, 6);
  EXPECT_EQ(arphrd, ARPHRD_ETHER);
  EXPECT_EQ(row.operStatus, kOperDisconnected);
}

// ---------------------------------------------------------------------------
// Parsing of hand-built RTM_NEWSTATS messages

// Builds one statistics message the way the kernel lays it out.
class StatsMessage {
 public:
  explicit StatsMessage(std::uint32_t index = 7) {
    buf_.fill(0);
    nlh_ = mnl_nlmsg_put_header(buf_.data());
    nlh_->nlmsg_type = RTM_NEWSTATS;
    auto* ism = static_cast<if_stats_msg*>(mnl_nlmsg_put_extra_header(nlh_, sizeof(if_stats_msg)));
    ism->ifindex = index;
    ism->filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
  }
  StatsMessage& Raw(unsigned short type, const void* data, std::size_t len) {
    mnl_attr_put(nlh_, type, len, data);
    return *this;
  }
  // The empty attribute the kernel puts before a block to align it to 8 bytes.
  StatsMessage& Pad() { return Raw(IFLA_STATS_UNSPEC, nullptr, 0); }
  // `extra` bytes beyond today's block stand for fields of later kernels.
  StatsMessage& Link64(std::uint64_t rx, std::uint64_t tx, std::size_t extra = 0) {
    std::vector<char> block(sizeof(rtnl_link_stats64) + extra, 0);
    rtnl_link_stats64 s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    s.rx_packets = 1111;  // neighbours of the byte counters must not leak into them
    s.tx_packets = 2222;
    s.rx_errors = 3333;
    std::memcpy(block.data(), &s, sizeof(s));
    return Raw(IFLA_STATS_LINK_64, block.data(), block.size());
  }
  // A nested group as other filter bits produce, holding one u32 and one u64.
  StatsMessage& Nested(unsigned short type) {
    nlattr* nest = mnl_attr_nest_start(nlh_, type);
    mnl_attr_put_u32(nlh_, 1, 0xdeadbeef);
    mnl_attr_put_u64(nlh_, 2, 0x0123456789abcdefULL);
    mnl_attr_nest_end(nlh_, nest);
    return *this;
  }
  nlmsghdr* get() { return nlh_; }

 private:
  alignas(8) std::array<char, 4096> buf_;
  nlmsghdr* nlh_;
};

TEST(NetlinkParseStatsMessage, ReadsSixtyFourBitByteCounters) {
  struct Case {
    const char* what;
    void (*build)(StatsMessage&);
  };
  const Case cases[] = {
      {"block alone", [](StatsMessage& m) { m.Link64(5'000'000'000ULL, 7'000'000'123ULL); }},
      {"block after alignment padding",
       [](StatsMessage& m) { m.Pad().Link64(5'000'000'000ULL, 7'000'000'123ULL); }},
      {"block longer than today's",
       [](StatsMessage& m) { m.Link64(5'000'000'000ULL, 7'000'000'123ULL, 24); }},
      {"unknown nested groups around the block",
       [](StatsMessage& m) {
         m.Nested(IFLA_STATS_LINK_XSTATS | NLA_F_NESTED)
             .Link64(5'000'000'000ULL, 7'000'000'123ULL)
             .Nested(IFLA_STATS_AF_SPEC | NLA_F_NESTED)
             .Nested(0x7ff0);
       }},
  };
  for (const auto& c : cases) {
    StatsMessage msg(42);
    c.build(msg);
    LinkCounters counters;
    counters.inOctets = counters.outOctets = 99;
    ASSERT_TRUE(ParseStatsMessage(msg.get(), counters)) << c.what;
    EXPECT_EQ(counters.index, 42u) << c.what;
    EXPECT_EQ(counters.inOctets, 5'000'000'000ULL) << c.what;
    EXPECT_EQ(counters.outOctets, 7'000'000'123ULL) << c.what;
  }
}

TEST(NetlinkParseStatsMessage, RejectsUnusableMessages) {
  struct Case {
    const char* what;
    void (*damage)(StatsMessage&);
  };
  const Case cases[] = {
      {"no counter block at all", [](StatsMessage&) {}},
      {"only other groups", [](StatsMessage& m) { m.Pad().Nested(IFLA_STATS_LINK_XSTATS); }},
      {"counter block too short",
       [](StatsMessage& m) {
         const std::uint64_t two[2] = {1, 2};
         m.Raw(IFLA_STATS_LINK_64, two, sizeof(two));
       }},
      {"counter block cut off by the message end",
       [](StatsMessage& m) {
         m.Link64(1, 2);
         m.get()->nlmsg_len -= 16;
       }},
      {"attribute length overrunning the message",
       [](StatsMessage& m) {
         m.Link64(1, 2);
         auto* attr =
             static_cast<nlattr*>(mnl_nlmsg_get_payload_offset(m.get(), sizeof(if_stats_msg)));
         attr->nla_len = 1000;
       }},
      {"message shorter than the statistics header",
       [](StatsMessage& m) { m.get()->nlmsg_len = MNL_NLMSG_HDRLEN + 8; }},
      {"not a statistics message",
       [](StatsMessage& m) {
         m.Link64(1, 2);
         m.get()->nlmsg_type = RTM_NEWLINK;
       }},
  };
  for (const auto& c : cases) {
    StatsMessage msg;
    c.damage(msg);
    LinkCounters counters;
    EXPECT_FALSE(ParseStatsMessage(msg.get(), counters)) << c.what;
  }
  LinkCounters counters;
  EXPECT_FALSE(ParseStatsMessage(nullptr, counters));
}

// ---------------------------------------------------------------------------
// The real table of the namespace this test runs in

TEST(NetlinkInterfaceTable, ReadsLoopbackFromTheKernel) {
  NetlinkInterfaceTable table;
  ASSERT_TRUE(table.IsOpen()) << table.ErrorText().toStdString();
  EXPECT_TRUE(table.ErrorText().isEmpty());

  std::vector<IfRow> rows;
  // Several reads over the same socket: every answer must belong to its own request.
  for (int read = 0; read < 3; ++read) {
    ASSERT_TRUE(table.Read(rows)) << table.ErrorText().toStdString();
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(),
                               [](const IfRow& a, const IfRow& b) { return a.index < b.index; }));
    const auto lo = std::find_if(rows.begin(), rows.end(),
                                 [](const IfRow& r) { return r.description == "lo"; });
    ASSERT_NE(lo, rows.end());
    EXPECT_EQ(lo->type, 24);
    EXPECT_EQ(lo->operStatus, kOperOperational);
    EXPECT_EQ(lo->mac, (std::array<std::uint8_t, 6>{}));
    EXPECT_EQ(lo->speed, 0u);
  }
}

}  // namespace
