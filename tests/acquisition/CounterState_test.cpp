#include "acquisition/CounterState.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

class CounterStateTest : public ::testing::Test {
 protected:
  TNic& Add(std::uint32_t ifIndex, const QString& mac, bool dialup = false) {
    auto nic = std::make_unique<TNic>(interval, guard, suffix);
    nic->SetIfIndex(ifIndex);
    nic->SetMac(mac);
    nic->SetIsDialup(dialup);
    nic->maxspeeddown = nic->maxspeedup = 1000;
    v.push_back(std::move(nic));
    return *v.back();
  }
  QString Path() const { return dir.filePath(u"traffic.cache.state"_s); }

  QTemporaryDir dir;
  int interval = 1000;
  bool guard = true;
  QString suffix = u"_prefs"_s;
  NicVector v;
};

// The first run counts, writes its state and "dies"; a new run with fresh records
// continues from the state.
TEST_F(CounterStateTest, ContinuationCases) {
  struct Case {
    const char* name;
    QString bootAtRestart;
    TDateTime dayAtRestart;
    QString macAtRestart;
    bool stateReadable;
    bool continues;
  };
  const Case cases[] = {
      {"same boot and day", u"boot-1"_s, 46000, u"00:11:22:33:44:55"_s, true, true},
      {"other day", u"boot-1"_s, 46001, u"00:11:22:33:44:55"_s, true, false},
      {"other boot", u"boot-2"_s, 46000, u"00:11:22:33:44:55"_s, true, false},
      {"other adapter", u"boot-1"_s, 46000, u"00:11:22:33:44:66"_s, true, false},
      {"no state", u"boot-1"_s, 46000, u"00:11:22:33:44:55"_s, false, false},
      {"boot unknown", QString(), 46000, u"00:11:22:33:44:55"_s, true, false},
  };
  for (const Case& c : cases) {
    v.clear();
    QFile::remove(Path());
    TNic& first = Add(7, u"00:11:22:33:44:55"_s);
    first.SetNewValue_Received(1000000);  // guarded first reading: +1000
    first.SetNewValue_Received(1005000);  // +5000
    ASSERT_EQ(first.GetTotal_Received(), 6000);
    if (c.stateReadable) {
      ASSERT_TRUE(WriteCounterState(Path(), CaptureCounterState(v, u"boot-1"_s, 46000.4)));
    }

    v.clear();
    TNic& second = Add(7, c.macAtRestart);
    second.SetTotal_Received(6000);  // as the cache file restores it
    CounterState state;
    if (ReadCounterState(Path(), state)) {
      EXPECT_EQ(ApplyCounterState(state, v, c.bootAtRestart, c.dayAtRestart), c.continues ? 1 : 0)
          << c.name;
    } else {
      EXPECT_FALSE(c.stateReadable) << c.name;
    }
    second.SetNewValue_Received(1012000);
    // Continued: exactly the 7000 bytes since. Otherwise the guard caps the first
    // reading at the maximum speed.
    EXPECT_EQ(second.GetTotal_Received(), c.continues ? 13000 : 7000) << c.name;
  }
}

TEST_F(CounterStateTest, StateTotalsReplaceOlderCacheTotals) {
  TNic& nic = Add(3, u"aa:bb:cc:dd:ee:ff"_s);
  nic.SetNewValue_Sent(500);
  nic.SetNewValue_Sent(900);
  nic.SetTotal_Received(42);
  ASSERT_TRUE(WriteCounterState(Path(), CaptureCounterState(v, u"b"_s, 100)));
  nic.SetTotal_Sent(1);  // an older snapshot from the cache file
  CounterState state;
  ASSERT_TRUE(ReadCounterState(Path(), state));
  EXPECT_EQ(ApplyCounterState(state, v, u"b"_s, 100), 1);
  EXPECT_EQ(nic.GetTotal_Sent(), 900);  // guarded first 500 + 400 (max speed 1000)
  EXPECT_EQ(nic.GetTotal_Received(), 42);
  long double sent = 0, received = 0;
  nic.GetOldValues(sent, received);
  EXPECT_EQ(sent, 900);
}

TEST_F(CounterStateTest, DialupRecordIsLeftOut) {
  Add(5, u"00:00:00:00:00:01"_s);
  TNic& dfu = Add(0, QString(), /*dialup=*/true);
  dfu.SetNewValue_Received(777);
  const CounterState state = CaptureCounterState(v, u"b"_s, 1);
  ASSERT_EQ(state.entries.size(), 1u);
  EXPECT_EQ(state.entries[0].ifIndex, 5u);
}

TEST_F(CounterStateTest, RoundTripAndCorruptFiles) {
  CounterState state;
  state.bootId = u"0b6c-42"_s;
  state.day = 46367;
  state.entries = {{1, u"00:00:00:00:00:00"_s, 18446744073709551615ULL, 0, 12, 34},
                   {4294967295u, QString(), 1, 2, 3, 4}};
  state.pending = {{u"0003"_s, 46366, 100, 200}};
  ASSERT_TRUE(WriteCounterState(Path(), state));
  CounterState back;
  ASSERT_TRUE(ReadCounterState(Path(), back));
  EXPECT_EQ(back.bootId, state.bootId);
  EXPECT_EQ(back.day, state.day);
  ASSERT_EQ(back.entries.size(), 2u);
  EXPECT_EQ(back.entries[0].lastReceived, 18446744073709551615ULL);
  EXPECT_EQ(back.entries[1].ifIndex, 4294967295u);
  EXPECT_TRUE(back.entries[1].mac.isEmpty());
  EXPECT_EQ(back.entries[1].totalSent, 4u);
  ASSERT_EQ(back.pending.size(), 1u);
  EXPECT_EQ(back.pending[0].table, u"0003"_s);
  EXPECT_EQ(back.pending[0].sent, 200u);

  const QByteArray corrupt[] = {
      "",
      "something else\n",
      "quorvel-counter-state 1\nday 46367\n",                       // no boot
      "quorvel-counter-state 1\nboot x\nday 46367\nnic 1 - 5 6\n",  // short entry
      "quorvel-counter-state 1\nboot x\nday 46367\nnic 1 - -5 6 7 8\n",
      "quorvel-counter-state 1\nboot x\nday nan\n",
      "quorvel-counter-state 1\nboot x\nday 46367\nnic 99999999999 - 1 2 3 4\n",
  };
  for (const QByteArray& content : corrupt) {
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    CounterState s;
    EXPECT_FALSE(ReadCounterState(Path(), s)) << content.constData();
  }
  QFile::remove(Path());
  CounterState s;
  EXPECT_FALSE(ReadCounterState(Path(), s));
}

TEST(BootId, ReadsTheKernelsIdentity) {
  const QString id = ReadBootId();
  EXPECT_EQ(id.size(), 36) << id.toStdString();
  EXPECT_TRUE(ReadBootId(u"/nonexistent/boot_id"_s).isEmpty());
}

}  // namespace
