#include "shell/Autostart.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TLanguage/TLanguage.h"
#include "platform/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    folders_.userConfigDir = Path(u"home/.config"_s);
    folders_.allUsersConfigDir = Path(u"etc/xdg"_s);
    QFile lan(Path(u"test.lan"_s));
    ASSERT_TRUE(lan.open(QIODevice::WriteOnly));
    lan.write("[Strings]\nError=Problem\n[Errors]\nError34=Cannot create\nError35=Cannot remove\n");
    lan.close();
    ASSERT_TRUE(language_.Load(u"test.lan"_s));
  }

  QString Path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }
  Autostart Make(const QString& program = u"/opt/quorvel/quorvel"_s) const {
    return Autostart(u"Quorvel"_s, program, folders_);
  }
  static void WriteFile(const QString& path, const QByteArray& content) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  static QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
  AutostartFolders folders_;
  TLanguage language_{dir_.path()};
  RecordingMessageService messages_;
};

TEST_F(AutostartTest, EntriesLieInTheAutostartFolders) {
  const Autostart autostart = Make();
  EXPECT_EQ(autostart.UserEntryPath(), Path(u"home/.config/autostart/Quorvel.desktop"_s));
  EXPECT_EQ(autostart.AllUsersEntryPath(), Path(u"etc/xdg/autostart/Quorvel.desktop"_s));
}

TEST_F(AutostartTest, CreateWritesAStartingEntryAndRemoveDeletesIt) {
  const Autostart autostart = Make();
  EXPECT_FALSE(autostart.ExistsForUser());
  // The user's autostart folder does not exist yet.
  ASSERT_TRUE(autostart.Create());
  EXPECT_TRUE(autostart.ExistsForUser());
  EXPECT_FALSE(autostart.ExistsForAllUsers());
  EXPECT_EQ(ReadFile(autostart.UserEntryPath()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Quorvel\n"
            "Exec=\"/opt/quorvel/quorvel\"\n"
            "Path=/opt/quorvel\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");

  // Creating again replaces the entry.
  ASSERT_TRUE(autostart.Create());
  EXPECT_TRUE(autostart.Remove());
  EXPECT_FALSE(autostart.ExistsForUser());
  EXPECT_FALSE(QFile::exists(autostart.UserEntryPath()));
  // Nothing to remove is no failure.
  EXPECT_TRUE(autostart.Remove());
}

TEST_F(AutostartTest, ProgramPathIsQuotedForTheExecLine) {
  struct Case {
    QString program;
    QByteArray exec;
    QByteArray path;
  };
  const Case cases[] = {
      {u"/opt/my programs/quorvel"_s, "Exec=\"/opt/my programs/quorvel\"", "Path=/opt/my programs"},
      {u"/opt/100%/q$\"x`"_s, "Exec=\"/opt/100%%/q\\\\$\\\\\"x\\\\`\"", "Path=/opt/100%"},
      {u"/opt/back\\slash/q"_s, "Exec=\"/opt/back\\\\\\\\slash/q\"", "Path=/opt/back\\\\slash"},
  };
  for (const Case& c : cases) {
    const QByteArray text = Make(c.program).EntryText();
    EXPECT_TRUE(text.contains(QByteArray("\n" + c.exec + "\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QByteArray("\n" + c.path + "\n"))) << text.toStdString();
  }
}

TEST_F(AutostartTest, HiddenUserEntryDoesNotCount) {
  const Autostart autostart = Make();
  WriteFile(autostart.UserEntryPath(), "[Desktop Entry]\nType=Application\nHidden=true\n");
  EXPECT_FALSE(autostart.ExistsForUser());
  WriteFile(autostart.UserEntryPath(), "[Desktop Entry]\nType=Application\nHidden=false\n");
  EXPECT_TRUE(autostart.ExistsForUser());
}

TEST_F(AutostartTest, CheckBoxStateFollowsTheEntries) {
  const Autostart autostart = Make();
  struct Case {
    const char* name;
    bool user;
    bool allUsers;
    bool enabled;
    bool checked;
  };
  const Case cases[] = {{"None", false, false, true, false},
                        {"User", true, false, true, true},
                        {"AllUsers", false, true, false, false},
                        {"Both", true, true, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(autostart.UserEntryPath());
    QFile::remove(autostart.AllUsersEntryPath());
    if (c.user) WriteFile(autostart.UserEntryPath(), "[Desktop Entry]\n");
    if (c.allUsers) WriteFile(autostart.AllUsersEntryPath(), "[Desktop Entry]\n");
    const StartupCheckBoxState state = StartupCheckBoxStateOf(autostart);
    EXPECT_EQ(state.enabled, c.enabled);
    EXPECT_EQ(state.checked, c.checked);
  }
}

TEST_F(AutostartTest, ClickingCreatesAndRemoves) {
  const Autostart autostart = Make();
  StartupCheckBoxState state = StartupCheckBoxClicked(autostart, true, messages_, language_);
  EXPECT_TRUE(state.checked);
  EXPECT_TRUE(autostart.ExistsForUser());

  state = StartupCheckBoxClicked(autostart, false, messages_, language_);
  EXPECT_FALSE(state.checked);
  EXPECT_FALSE(autostart.ExistsForUser());

  // Unchecking without an entry does nothing.
  state = StartupCheckBoxClicked(autostart, false, messages_, language_);
  EXPECT_FALSE(state.checked);
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(AutostartTest, FailuresAreReportedAndTheBoxShowsWhatIsOnDisk) {
  // A file where the configuration folder should be: nothing can be created below it.
  WriteFile(Path(u"blocked"_s), "not a folder");
  folders_.userConfigDir = Path(u"blocked/.config"_s);
  const Autostart blocked = Make();
  StartupCheckBoxState state = StartupCheckBoxClicked(blocked, true, messages_, language_);
  EXPECT_FALSE(state.checked);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Cannot create"_s);
  EXPECT_EQ(messages_.messages[0].caption, u"Problem"_s);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);

  // A folder in place of the entry cannot be removed as a file.
  folders_.userConfigDir = Path(u"home/.config"_s);
  const Autostart stuck = Make();
  ASSERT_TRUE(QDir().mkpath(stuck.UserEntryPath() + u"/inside"_s));
  messages_.messages.clear();
  state = StartupCheckBoxClicked(stuck, false, messages_, language_);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Cannot remove"_s);
  EXPECT_FALSE(state.checked);
}

}  // namespace
