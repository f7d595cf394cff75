#include "TOptions/GeneralPageSave.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "OptionsTestSupport.h"
#include "TOptions/IniFile.h"
#include "TOptions/TOptions_Class.h"

using namespace Qt::StringLiterals;

namespace {

struct Shown {
  QString text;
  QString caption;
  MessageIcon icon;
};

class GeneralPageSaveTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(QDir(dir_.path()).filePath(u"variables.conf"_s),
               "[Variablen]\nIni_General=General\nIni_TCPServer=TCPServer\n");
    ui_.languageString = [](const QString& section, const QString& key) -> QString {
      return section + u"/"_s + key + u" %errormessage%"_s;
    };
    ui_.title = [](MessageIcon icon) {
      return icon == MessageIcon::Error ? u"Error"_s : u"Information"_s;
    };
    ui_.showMessage = [this](const QString& text, const QString& caption, MessageIcon icon) {
      shown_.push_back({text, caption, icon});
    };
  }

  ProgramLocation Location() const {
    ProgramLocation location;
    location.programDir = dir_.path();
    location.executableName = u"quorvel"_s;
    location.appDataRoot = [] { return QString(); };
    return location;
  }
  QString Ini() const { return QDir(dir_.path()).filePath(u"quorvel.ini"_s); }

  TOptionsHooks ServerHooks(bool startSucceeds) {
    TOptionsHooks hooks;
    hooks.switchServer = [this, startSucceeds](const Settings::TcpServer&, bool active,
                                               QString* error) {
      switches_.push_back(active);
      if (active && !startSucceeds) {
        *error = u"Cannot assign requested address"_s;
        return false;
      }
      return true;
    };
    return hooks;
  }

  QTemporaryDir dir_;
  GeneralPageUi ui_;
  std::vector<Shown> shown_;
  std::vector<bool> switches_;
};

TEST_F(GeneralPageSaveTest, RebuildsBindingsFromThePage) {
  TOptions options(Location(), true, ServerHooks(true));
  options.Model().tcpServer.active = true;
  switches_.clear();
  const TcpServerInput input{{u"127.0.0.1"_s, u""_s, u" 10.0.0.1 "_s}, u"port?"_s, u"many"_s, true};
  const GeneralPageSaveResult result = SaveGeneralPage(options, input, ui_);

  EXPECT_FALSE(result.serverFailed);
  EXPECT_TRUE(result.saved);
  EXPECT_EQ(switches_, (std::vector<bool>{false, true}));
  const Settings::TcpServer& s = options.Model().tcpServer;
  EXPECT_EQ(s.bindings, (std::vector<Settings::TcpServer::Binding>{{u"127.0.0.1"_s, 2209},
                                                                   {u"10.0.0.1"_s, 2209}}));
  EXPECT_EQ(s.maxConnections, 0);
  EXPECT_TRUE(s.active);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, u"Errors/Error13 %errormessage%"_s);
  EXPECT_EQ(shown_[0].caption, u"Information"_s);
  EXPECT_EQ(shown_[0].icon, MessageIcon::Information);

  QStringList ips;
  EXPECT_TRUE(IniReadStrings(u"TCPServer"_s, u"IPs"_s, ips, Ini()));
  EXPECT_EQ(ips, (QStringList{u"127.0.0.1"_s, u"10.0.0.1"_s}));
  EXPECT_TRUE(IniReadBool(u"TCPServer"_s, u"active"_s, false, Ini()));
}

TEST_F(GeneralPageSaveTest, ServerErrorIsShownAndOptionsStillSaved) {
  TOptions options(Location(), true, ServerHooks(false));
  const TcpServerInput input{{u"192.0.2.1"_s}, u"3000"_s, u"4"_s, true};
  const GeneralPageSaveResult result = SaveGeneralPage(options, input, ui_);

  EXPECT_TRUE(result.serverFailed);
  EXPECT_TRUE(result.saved);
  EXPECT_FALSE(options.Model().tcpServer.active);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[0].text, u"Errors/Error47 Cannot assign requested address"_s);
  EXPECT_EQ(shown_[0].caption, u"Error"_s);
  EXPECT_EQ(shown_[0].icon, MessageIcon::Error);
  EXPECT_EQ(shown_[1].icon, MessageIcon::Information);
  EXPECT_EQ(IniReadInteger(u"TCPServer"_s, u"Port"_s, 0, Ini()), 3000);
  EXPECT_FALSE(IniReadBool(u"TCPServer"_s, u"active"_s, true, Ini()));
}

TEST_F(GeneralPageSaveTest, PortOutsideTheRangeIsAnError) {
  TOptions options(Location(), true, ServerHooks(true));
  const TcpServerInput input{{u"127.0.0.1"_s}, u"70000"_s, u"5"_s, true};
  const GeneralPageSaveResult result = SaveGeneralPage(options, input, ui_);
  EXPECT_TRUE(result.serverFailed);
  EXPECT_FALSE(options.Model().tcpServer.active);
  ASSERT_FALSE(shown_.empty());
  EXPECT_TRUE(shown_[0].text.startsWith(u"Errors/Error47 "_s)) << shown_[0].text.toStdString();
  EXPECT_TRUE(shown_[0].text.contains(u"70000"_s));
  // The server and the stored addresses stay as they were.
  ASSERT_EQ(options.Model().tcpServer.bindings.size(), 1u);
  EXPECT_EQ(options.Model().tcpServer.bindings[0].ip, u"0.0.0.0"_s);
  QStringList ips;
  EXPECT_TRUE(IniReadStrings(u"TCPServer"_s, u"IPs"_s, ips, Ini()));
  EXPECT_EQ(ips, QStringList{u"0.0.0.0"_s});
  EXPECT_EQ(IniReadInteger(u"TCPServer"_s, u"Port"_s, 0, Ini()), 2209);
}

TEST_F(GeneralPageSaveTest, FailedSaveShowsError14) {
  ASSERT_TRUE(QDir().mkpath(Ini()));
  TOptions options(Location(), true);
  const TcpServerInput input{{}, u""_s, u""_s, false};
  const GeneralPageSaveResult result = SaveGeneralPage(options, input, ui_);
  EXPECT_FALSE(result.serverFailed);
  EXPECT_FALSE(result.saved);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, u"Errors/Error14 %errormessage%"_s);
  EXPECT_EQ(shown_[0].caption, u"Error"_s);
  EXPECT_EQ(shown_[0].icon, MessageIcon::Error);
}

}  // namespace
