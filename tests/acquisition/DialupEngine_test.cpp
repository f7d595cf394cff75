#include "acquisition/DialupEngine.h"

#include <gtest/gtest.h>

#include "acquisition/ScriptedInterfaceTable.h"

namespace {

IfRow Link(std::uint32_t index, std::int32_t type, std::uint32_t oper, std::uint64_t in,
           std::uint64_t out, const char* name = "ppp0", std::uint64_t speed = 0) {
  IfRow r;
  r.index = index;
  r.type = type;
  r.operStatus = oper;
  r.inOctets = in;
  r.outOctets = out;
  r.description = name;
  r.speed = speed;
  return r;
}

class DialupTest : public ::testing::Test {
 protected:
  QString Tick(std::vector<IfRow> rows) {
    table.Set(std::move(rows));
    return engine.DoDUNEngine(record);
  }

  ScriptedInterfaceTable table;
  RecordingMessageService messages;
  TDunEngine engine{table,
                    [](const QString& section, const QString& key) -> QString {
                      return section + u'/' + key + u':';
                    },
                    messages};
  int interval = 1000;
  bool guard = true;
  QString suffix = QStringLiteral("_prefs");
  TNic record{interval, guard, suffix};
};

TEST_F(DialupTest, StatesAndLabels) {
  struct Case {
    const char* name;
    std::vector<IfRow> rows;
    int status;
    const char* label;
  };
  const Case cases[] = {
      {"no PPP link", {Link(1, 24, kOperOperational, 5, 5, "lo")}, 3, "Strings/dfu_inactive:"},
      {"dialling", {Link(7, 23, kOperConnecting, 5, 5)}, 3, "Strings/dfu_inactive:"},
      {"down", {Link(7, 23, kOperNonOperational, 5, 5)}, 3, "Strings/dfu_inactive:"},
      {"connected",
       {Link(1, 6, kOperOperational, 9, 9, "eth0"),
        Link(7, 23, kOperOperational, 0, 0, "ppp0", 56000)},
       0,
       "Strings/dfu_active:ppp0@56000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tick(c.rows).toStdString(), c.label) << c.name;
    EXPECT_EQ(record.GetStatus(), c.status) << c.name;
    EXPECT_EQ(record.GetRate_Received(), 0) << c.name;
  }
  table.SetFailing(true);
  EXPECT_EQ(engine.DoDUNEngine(record), QStringLiteral("Strings/dfu_noconnection:"));
  EXPECT_EQ(record.GetStatus(), 2);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(DialupTest, CountsOnlyTheFirstConnection) {
  guard = false;
  Tick({Link(7, 23, kOperOperational, 4000, 600), Link(8, 23, kOperOperational, 1, 1, "ppp1")});
  Tick({Link(7, 23, kOperOperational, 5000, 700), Link(8, 23, kOperOperational, 9, 9, "ppp1")});
  EXPECT_EQ(record.GetRate_Received(), 1000);
  EXPECT_EQ(record.GetRate_Send(), 100);
  EXPECT_EQ(record.GetTotal_Received(), 5000);
  EXPECT_EQ(record.GetTotal_Sent(), 700);
}

// While no connection is up the reading stays 0, so a new connection's first reading
// goes through the guard: with the default maximum speed of 0 it adds nothing.
TEST_F(DialupTest, NewConnectionIsGuarded) {
  Tick({});
  Tick({Link(7, 23, kOperOperational, 123456, 7890)});
  EXPECT_EQ(record.GetTotal_Received(), 0);
  EXPECT_EQ(record.GetTotal_Sent(), 0);
  Tick({Link(7, 23, kOperOperational, 124456, 7990)});
  EXPECT_EQ(record.GetTotal_Received(), 1000);
  Tick({});  // hung up
  EXPECT_EQ(record.GetStatus(), 3);
  long double sent = -1, received = -1;
  record.GetOldValues(sent, received);
  EXPECT_EQ(received, 0);
  EXPECT_EQ(record.GetTotal_Received(), 1000);
}

class ThrowingTable final : public InterfaceTable {
 public:
  bool Read(std::vector<IfRow>&) override {
    if (fail) throw std::runtime_error("socket gone");
    return true;
  }
  bool fail = true;
};

TEST(DialupFailure, ErrorIsShownOnceWhilePersisting) {
  ThrowingTable table;
  RecordingMessageService messages;
  TDunEngine engine(
      table, [](const QString&, const QString& key) -> QString { return key; }, messages);
  int interval = 1000;
  bool guard = true;
  QString suffix;
  TNic record(interval, guard, suffix);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(engine.DoDUNEngine(record).isEmpty());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text,
            QStringLiteral("Error in Engine->DoDUNEngine (209) - Errormessage: socket gone"));
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
  table.fail = false;
  engine.DoDUNEngine(record);
  table.fail = true;
  engine.DoDUNEngine(record);
  EXPECT_EQ(messages.messages.size(), 2u);  // shown again after a good tick
}

}  // namespace
