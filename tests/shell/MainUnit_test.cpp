#include "shell/MainUnit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <limits>
#include <memory>
#include <ostream>

#include "TLanguage/TLanguage.h"
#include "TOptions/IniFile.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "acquisition/Nic.h"
#include "database/Connection.h"
#include "database/SQLFunctions_Unit.h"
#include "display/LiveGrid.h"
#include "platform/MessageService.h"
#include "shell/AboutBox.h"
#include "shell/GeneralOptionsPage.h"
#include "shell/HelpViewer.h"
#include "shell/MonitorAccess.h"
#include "shell/NicPrefsPage.h"

using namespace Qt::StringLiterals;

inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

const int kInterval = 1000;
const bool kNoDoubleGuard = false;
const QString kSuffix = u"_prefs"_s;

const QByteArray kVariables =
    "[Variablen]\n"
    "Ini_General=General\n"
    "Ini_Window=Window\n"
    "Ini_Reports=Reports\n"
    "Ini_Tweaks=Tweaks\n"
    "Ini_TCPServer=TCPServer\n"
    "Ini_CertainCases=CertainCases\n"
    "tablenamepreferences=_prefs\n"
    "Database=traffic.db\n"
    "MaxSpeedEntries=Modem\xFE"
    "DSL\xFE"
    "Broken\n"
    "MaxSpeedValues=4200\xFE"
    "7000\xFE"
    "16000\xFE"
    "128000\n"
    "bugreport=https://bugs.example.org/new\n"
    "URL=https://www.example.org/\n";

const QByteArray kLanguage =
    "[Verinfo]\n"
    "Version=3.0.1.600\n"
    "Downward_compatible_to=3.0.0.0\n"
    "[Strings]\n"
    "Error=Error title\n"
    "Warning=Warning title\n"
    "Information=Information title\n"
    "[Errors]\n"
    "Error13=Preferences saved.\n"
    "Error14=Preferences not saved.\n"
    "Error43=Set both maximum speeds first.\n"
    "Error45=Bad presets in %configfile%.\n"
    "[TMainform]\n"
    "StrShortInfoBalloonTitle=Traffic today\n"
    "Livedata_StringGrid->Cells[0][0]=Name\n"
    "Livedata_StringGrid->Cells[1][0]=Up\n"
    "Livedata_StringGrid->Cells[2][0]=Down\n"
    "Livedata_StringGrid->Cells[3][0]=Sent\n"
    "Livedata_StringGrid->Cells[4][0]=Received\n"
    "Livedata_StringGrid->Cells[5][0]=Table\n"
    "Info1->Caption=&Info && more\n"
    "[Quantities_1024]\n"
    "0=B\n1=KiB\n2=MiB\n3=GiB\n4=TiB\n5=PiB\n6=EiB\n7=ZiB\n8=YiB\n"
    "[Quantities_1000]\n"
    "0=B\n1=kB\n2=MB\n3=GB\n4=TB\n5=PB\n6=EB\n7=ZB\n8=YB\n";

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(data), data.size());
}

class FakeMonitor final : public MonitorAccess {
 public:
  const NicVector& Records() const override { return v; }
  QString DbVersion() const override { return u"2.37"_s; }
  bool InterfacePollRunning() const override { return interfacePoll; }
  void StopTimers() override { ++stopCalls; }
  void SaveAtClose(const std::function<bool(TNic&)>& savePrefs) override {
    ++saveCalls;
    for (auto& nic : v) prefsResults.push_back(savePrefs(*nic));
  }

  TNic& Add(const QString& name, const QString& table, int type) {
    v.push_back(std::make_unique<TNic>(kInterval, kNoDoubleGuard, kSuffix));
    TNic& nic = *v.back();
    nic.SetName(name);
    nic.SetTableName(table);
    nic.SetType(type);
    return nic;
  }

  NicVector v;
  bool interfacePoll = true;
  int stopCalls = 0;
  int saveCalls = 0;
  std::vector<bool> prefsResults;
};

class FakeHelp final : public HelpOpener {
 public:
  bool ShowHelp(const QString& topic) override {
    topics.append(topic);
    return helpResult;
  }
  bool OpenUrl(const QUrl& url) override {
    urls.append(url.toString());
    return true;
  }
  QStringList topics;
  QStringList urls;
  bool helpResult = true;
};

class MainformTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    WriteFile(Path(u"variables.conf"_s), kVariables);
    WriteFile(Path(u"test.lan"_s), kLanguage);
    ProgramLocation location;
    location.programDir = dir_.path();
    location.executableName = u"quorvel"_s;
    location.appDataRoot = [] { return QString(); };
    options_ = std::make_unique<TOptions>(location);
    ASSERT_TRUE(options_->Load());
    language_ = std::make_unique<TLanguage>(dir_.path());
    ASSERT_TRUE(language_->Load(u"test.lan"_s));
    ver_.ProductName = u"Quorvel"_s;
    ver_.FileVersion = u"3.0.1.608"_s;
  }

  void TearDown() override { form_.reset(); }

  TMainform& Form() {
    if (!form_) {
      form_ = std::make_unique<TMainform>(*options_, *language_, ver_, messages_, monitor_, help_);
      QObject::connect(form_.get(), &TMainform::closeRequested, [this] { ++closeRequests_; });
    }
    return *form_;
  }

  template <typename T>
  T* Find(const QString& name) {
    T* object = Form().findChild<T*>(name);
    EXPECT_NE(object, nullptr) << name.toStdString();
    return object;
  }

  QAction* Action(const QString& name) { return Find<QAction>(name); }

  QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

  QTemporaryDir dir_;
  std::unique_ptr<TOptions> options_;
  std::unique_ptr<TLanguage> language_;
  TVerInfo ver_;
  RecordingMessageService messages_;
  FakeMonitor monitor_;
  FakeHelp help_;
  std::unique_ptr<TMainform> form_;
  int closeRequests_ = 0;
};

// Object names of a menu's items in order, "-" for a separator.
QStringList ItemNames(const QMenu& menu) {
  QStringList names;
  for (const QAction* action : menu.actions())
    names.append(action->isSeparator() ? u"-"_s : action->objectName());
  return names;
}

TEST_F(MainformTest, PagesAndTheirControls) {
  auto* pages = Find<QTabWidget>(u"PageControl"_s);
  ASSERT_NE(pages, nullptr);
  ASSERT_EQ(pages->count(), 7);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(pages->widget(i)->objectName(), u"TabSheet"_s + QString::number(i + 1));

  QWidget* live = pages->widget(0);
  EXPECT_NE(live->findChild<QTableWidget*>(u"Livedata_StringGrid"_s), nullptr);
  EXPECT_NE(live->findChild<QLabel*>(u"dfulabel"_s), nullptr);
  QWidget* nic = pages->widget(1);
  EXPECT_NE(nic->findChild<QScrollArea*>(u"NicPrefs_ScrollBox"_s), nullptr);
  for (const QString& name :
       {u"NicPrefs_ComboBox"_s, u"Save_Nic_Button"_s, u"OneClickDisableButton"_s,
        u"MaxSpeedDown_Edit"_s, u"MaxSpeedUp_Edit"_s, u"PrefGUI_ShortNameLength_Edit"_s})
    EXPECT_NE(nic->findChild<QWidget*>(name), nullptr) << name.toStdString();
  auto* optionsBox = pages->widget(2)->findChild<QScrollArea*>(u"Options_ScrollBox"_s);
  ASSERT_NE(optionsBox, nullptr);
  EXPECT_NE(qobject_cast<GeneralOptionsPage*>(optionsBox->widget()), nullptr);

  EXPECT_EQ(Form().windowTitle(), ver_.MainWindowTitle());
  auto* grid = Find<QTableWidget>(u"Livedata_StringGrid"_s);
  ASSERT_EQ(grid->columnCount(), 6);
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), u"Name"_s);
  EXPECT_EQ(grid->horizontalHeaderItem(5)->text(), u"Table"_s);
}

TEST_F(MainformTest, MainMenuOrder) {
  QMenuBar* bar = Form().menuBar();
  EXPECT_EQ(bar->objectName(), u"MainMenu1"_s);
  QStringList menus;
  for (const QAction* a : bar->actions())
    menus.append(a->menu() ? a->menu()->objectName() : u"?"_s);
  EXPECT_EQ(menus, (QStringList{u"File1"_s, u"N1"_s}));

  EXPECT_EQ(ItemNames(*Find<QMenu>(u"File1"_s)),
            (QStringList{u"Minimize1"_s, u"MinimizeAll2"_s, u"Exit2"_s}));
  EXPECT_EQ(ItemNames(*Find<QMenu>(u"N1"_s)),
            (QStringList{u"Help2"_s, u"-"_s, u"Update1"_s, u"Reportbug1"_s, u"-"_s, u"Info1"_s,
                         u"Donate1"_s, u"Debug1"_s}));
  EXPECT_EQ(Action(u"Help2"_s)->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_FALSE(Action(u"Debug1"_s)->isVisible());
  EXPECT_EQ(Action(u"Debug1"_s)->shortcut(), QKeySequence(Qt::Key_F2));
}

TEST_F(MainformTest, TrayMenuOrder) {
  auto* tray = Find<QMenu>(u"TrayIconPopupMenu"_s);
  EXPECT_EQ(ItemNames(*tray), (QStringList{u"Donate2"_s,
                                           u"ReportBug2"_s,
                                           u"-"_s,
                                           u"About1"_s,
                                           u"Update2"_s,
                                           u"Help1"_s,
                                           u"-"_s,
                                           u"CertainCases1"_s,
                                           u"Database1"_s,
                                           u"Reports1"_s,
                                           u"Statistics1"_s,
                                           u"Options1"_s,
                                           u"NicOptions1"_s,
                                           u"LiveData1"_s,
                                           u"-"_s,
                                           u"Debug2"_s,
                                           u"DisableClickthroughTemporary1"_s,
                                           u"MinimizeAll1"_s,
                                           u"Restore1"_s,
                                           u"ShowShortInfo1"_s,
                                           u"Exit1"_s}));
  EXPECT_FALSE(Action(u"Debug2"_s)->isVisible());
  EXPECT_TRUE(Action(u"DisableClickthroughTemporary1"_s)->isCheckable());
  EXPECT_EQ(Form().TrayIcon()->contextMenu(), tray);
}

struct PageCase {
  const char16_t* trayItem;
  int index;
  const char16_t* topic;
};

const PageCase kPages[] = {
    {u"LiveData1", 0, u"livedata.htm"},       {u"NicOptions1", 1, u"preferences_nic.htm"},
    {u"Options1", 2, u"preferences_gen.htm"}, {u"Statistics1", 3, u"statistics.htm"},
    {u"Reports1", 4, u"reports.htm"},         {u"Database1", 5, u"database.htm"},
    {u"CertainCases1", 6, u"actions.htm"},
};

TEST_F(MainformTest, TrayPageItemsShowThePageAndHelpOpensItsTopic) {
  auto* pages = Find<QTabWidget>(u"PageControl"_s);
  for (const PageCase& c : kPages) {
    const QString item = QString::fromUtf16(c.trayItem);
    Form().hide();
    Action(item)->trigger();
    EXPECT_TRUE(Form().isVisible()) << item.toStdString();
    EXPECT_EQ(pages->currentIndex(), c.index) << item.toStdString();
    EXPECT_EQ(Form().CurrentHelpTopic(), QString::fromUtf16(c.topic));

    Action(u"Help2"_s)->trigger();  // F1
    EXPECT_EQ(help_.topics.last(), QString::fromUtf16(c.topic));
  }
}

TEST_F(MainformTest, TopicFollowsPageChangesAndIsEmptyWhileHidden) {
  auto* pages = Find<QTabWidget>(u"PageControl"_s);
  Form().ShowPage(0);
  pages->setCurrentIndex(4);
  EXPECT_EQ(Form().CurrentHelpTopic(), u"reports.htm"_s);

  Form().hide();
  EXPECT_TRUE(Form().CurrentHelpTopic().isEmpty());
  Action(u"Help1"_s)->trigger();
  EXPECT_EQ(help_.topics, QStringList{QString()});

  Form().show();  // shown again: the shown page's topic
  EXPECT_EQ(Form().CurrentHelpTopic(), u"reports.htm"_s);
}

TEST_F(MainformTest, DonateOpensItsPageAndAMissingPageIsReported) {
  Action(u"Donate1"_s)->trigger();
  Action(u"Donate2"_s)->trigger();
  EXPECT_EQ(help_.topics, (QStringList{u"donate.htm"_s, u"donate.htm"_s}));
  EXPECT_TRUE(messages_.messages.empty());

  help_.helpResult = false;
  Form().ShowHelp(u"livedata.htm"_s);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_TRUE(messages_.messages[0].text.contains(u"livedata.htm"_s));
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);
}

TEST_F(MainformTest, ReportbugOpensTheVariablesAddress) {
  Action(u"Reportbug1"_s)->trigger();
  Action(u"ReportBug2"_s)->trigger();
  EXPECT_EQ(help_.urls,
            (QStringList{u"https://bugs.example.org/new"_s, u"https://bugs.example.org/new"_s}));
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(MainformTest, ReportbugWithoutAnAddressIsReported) {
  WriteFile(Path(u"variables.conf"_s), "[Variablen]\nURL=https://www.example.org/\n");
  Action(u"Reportbug1"_s)->trigger();
  EXPECT_TRUE(help_.urls.isEmpty());
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].caption, u"Error title"_s);
}

TEST_F(MainformTest, WindowToggleMinimizeAllAndRestore) {
  int minimized = 0, restored = 0;
  QObject::connect(&Form(), &TMainform::graphWindowsMinimizeRequested, [&] { ++minimized; });
  QObject::connect(&Form(), &TMainform::graphWindowsRestoreRequested, [&] { ++restored; });

  Action(u"Minimize1"_s)->trigger();
  EXPECT_TRUE(Form().isVisible());
  Action(u"Minimize1"_s)->trigger();
  EXPECT_FALSE(Form().isVisible());

  Action(u"Restore1"_s)->trigger();
  EXPECT_TRUE(Form().isVisible());
  EXPECT_EQ(restored, 1);
  Action(u"MinimizeAll1"_s)->trigger();
  EXPECT_FALSE(Form().isVisible());
  Form().show();
  Action(u"MinimizeAll2"_s)->trigger();
  EXPECT_FALSE(Form().isVisible());
  EXPECT_EQ(minimized, 2);
}

TEST_F(MainformTest, CloseButtonHidesOrAsksToEndByOption) {
  options_->Model().general.SetCloseProcedure(0);
  Form().show();
  Form().close();
  EXPECT_FALSE(Form().isVisible());
  EXPECT_EQ(closeRequests_, 0);

  options_->Model().general.SetCloseProcedure(1);
  Form().show();
  Form().close();
  EXPECT_EQ(closeRequests_, 1);
}

TEST_F(MainformTest, ExitItemsAskToEnd) {
  Action(u"Exit1"_s)->trigger();
  Action(u"Exit2"_s)->trigger();
  EXPECT_EQ(closeRequests_, 2);
}

TEST_F(MainformTest, CloseProcedureSavesOnceAndStoresThePlacement) {
  monitor_.Add(u"eth0"_s, u"0002"_s, 6);
  Form().ShowAtStart(true);
  Form().setGeometry(40, 50, 600, 420);

  Form().CloseProcedure();
  Form().CloseProcedure();  // a second request must not store the totals again

  EXPECT_EQ(monitor_.saveCalls, 1);
  EXPECT_GE(monitor_.stopCalls, 1);
  // The records' preferences are saved by the close (no database here: false).
  EXPECT_EQ(monitor_.prefsResults, std::vector<bool>{false});
  const QString ini = options_->OptionsFilePath();
  EXPECT_EQ(IniReadInteger(u"Window"_s, u"Left"_s, -1, ini), 40);
  EXPECT_EQ(IniReadInteger(u"Window"_s, u"Width"_s, -1, ini), 600);
  EXPECT_EQ(IniReadInteger(u"Window"_s, u"Height"_s, -1, ini), 420);
  EXPECT_TRUE(IniReadBool(u"Window"_s, u"Visible"_s, false, ini));

  // After the close procedure the window really closes.
  EXPECT_TRUE(Form().close());
}

TEST_F(MainformTest, WithoutTrayTheWindowIsShownAtStart) {
  options_->Model().window.visible = false;
  Form().ShowAtStart(true);
  EXPECT_FALSE(Form().isVisible());
  Form().ShowAtStart(false);
  EXPECT_TRUE(Form().isVisible());
}

TEST_F(MainformTest, PollRefreshesTheGridOnlyWhileShown) {
  TNic& eth = monitor_.Add(u"eth0"_s, u"0002"_s, 6);
  TNic& lo = monitor_.Add(u"lo"_s, u"0001"_s, 24);
  TNic& wlan = monitor_.Add(u"wlan0"_s, u"0003"_s, 71);
  eth.ShowLivedata = true;
  wlan.ShowLivedata = true;
  lo.ShowLivedata = false;
  wlan.SetTotal_Received(3u * 1024 * 1024);
  auto* grid = Find<QTableWidget>(u"Livedata_StringGrid"_s);

  Q_EMIT monitor_.Polled(TrafficMonitor::RefreshMode::AllRecords);
  EXPECT_EQ(grid->item(0, 0), nullptr);  // hidden: the grid is left alone

  Form().ShowPage(0);
  Q_EMIT monitor_.Polled(TrafficMonitor::RefreshMode::AllRecords);
  ASSERT_EQ(grid->rowCount(), 2);
  EXPECT_EQ(grid->item(0, 0)->text(), u"eth0"_s);
  EXPECT_EQ(grid->item(1, 0)->text(), u"wlan0"_s);
  EXPECT_EQ(grid->item(1, 4)->text(),
            FormatQuantity(wlan.GetTotal_Received(), 1024, language_->Units(), false));
  EXPECT_EQ(grid->item(1, 5)->text(), u"0003"_s);

  Q_EMIT monitor_.DialupLabelChanged(u"No connection"_s);
  EXPECT_EQ(Find<QLabel>(u"dfulabel"_s)->text(), u"No connection"_s);
}

TEST_F(MainformTest, ShortInfoBalloonAndToolTip) {
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  eth.Show_BalloonInfo = true;
  eth.shortnamelength = 3;
  eth.SetTotal_Received(2048);
  Action(u"ShowShortInfo1"_s)->trigger();
  EXPECT_EQ(Form().LastShortInfoTitle(), u"Traffic today (Quorvel 3.0.1.608)"_s);
  EXPECT_TRUE(Form().LastShortInfoText().startsWith(u"Eth\tDL:"_s));

  Q_EMIT monitor_.Polled(TrafficMonitor::RefreshMode::AllRecords);
  const QString tip = Form().TrayIcon()->toolTip();
  EXPECT_TRUE(tip.startsWith(u"Quorvel\nEth DL:"_s)) << tip.toStdString();
}

TEST_F(MainformTest, AboutBoxShowsTheVersionsAndOpensOnlyOnce) {
  int runs = 0;
  int boxesDuringSecondRequest = 0;
  Form().SetAboutRunner([&](TAboutBox& box) {
    ++runs;
    EXPECT_EQ(box.windowTitle(), u"Info & more"_s);  // the item's caption without "&"
    EXPECT_EQ(box.findChild<QLabel*>(u"ProductName_Label"_s)->text(), u"Quorvel"_s);
    EXPECT_TRUE(box.findChild<QLabel*>(u"Version_Label"_s)->text().contains(u"3.0.1.608"_s));
    EXPECT_TRUE(box.findChild<QLabel*>(u"DBVersion_Label"_s)->text().contains(u"2.37"_s));
    EXPECT_TRUE(
        box.findChild<QLabel*>(u"Languagefileversion_Label"_s)->text().contains(u"3.0.1.600"_s));
    Action(u"About1"_s)->trigger();  // while open: only brought to the front
    boxesDuringSecondRequest = static_cast<int>(Form().findChildren<TAboutBox*>().size());
  });
  Action(u"Info1"_s)->trigger();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(boxesDuringSecondRequest, 1);
  EXPECT_EQ(Form().AboutBox(), nullptr);  // destroyed after closing
}

TEST(AboutPlaceholdersTest, ReplacedInAnyLetterCase) {
  EXPECT_EQ(FillAboutPlaceholders(u"%productname% %VERSION% db %DbVersion% lang "
                                  u"%languagefileversion%"_s,
                                  u"Q"_s, u"1.2.3.4"_s, u"2.37"_s, u"3.0.0.1"_s),
            u"Q 1.2.3.4 db 2.37 lang 3.0.0.1"_s);
}

TEST_F(MainformTest, UpdateItemsWaitForTheUpdateCheck) {
  EXPECT_FALSE(Action(u"Update1"_s)->isEnabled());
  int checks = 0;
  Form().SetUpdateCheck([&] { ++checks; });
  EXPECT_TRUE(Action(u"Update2"_s)->isEnabled());
  Action(u"Update1"_s)->trigger();
  Action(u"Update2"_s)->trigger();
  EXPECT_EQ(checks, 2);
}

TEST_F(MainformTest, WheelOverTheScrollBoxMovesByATenthOfTheDelta) {
  Form().ShowPage(1);
  Form().resize(Form().minimumSize());
  auto* box = Find<QScrollArea>(u"NicPrefs_ScrollBox"_s);
  QScrollBar* bar = box->verticalScrollBar();
  bar->setRange(0, 1000);
  bar->setValue(500);
  QWheelEvent wheel(QPointF(5, 5), box->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(box->viewport(), &wheel);
  EXPECT_EQ(bar->value(), 512);
}

// The interface preferences page.
class NicPrefsTest : public MainformTest {
 protected:
  void ShowPrefs() {
    Form().ShowPage(1);
    combo_ = Find<QComboBox>(u"NicPrefs_ComboBox"_s);
  }
  QLineEdit* Edit(const QString& name) { return Find<QLineEdit>(name); }
  QCheckBox* Check(const QString& name) { return Find<QCheckBox>(name); }
  void Save() { Find<QPushButton>(u"Save_Nic_Button"_s)->click(); }

  QComboBox* combo_ = nullptr;
};

TEST_F(NicPrefsTest, HiddenTypesAreLeftOutAndTheRightRecordIsSaved) {
  TNic& lo = monitor_.Add(u"Loopback"_s, u"0001"_s, 24);
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  eth.maxspeeddown = 125000;
  eth.SetMac(u"00:11:22:33:44:55"_s);
  ShowPrefs();
  ASSERT_EQ(combo_->count(), 1);
  EXPECT_EQ(combo_->itemText(0), u"Ethernet"_s);

  combo_->setCurrentIndex(0);
  EXPECT_EQ(Edit(u"DatabaseID_Edit"_s)->text(), u"0002"_s);
  EXPECT_EQ(Edit(u"ShowMac_Edit"_s)->text(), u"00:11:22:33:44:55"_s);
  EXPECT_EQ(Edit(u"MaxSpeedDown_Edit"_s)->text(), u"125000"_s);

  Check(u"PrefGUI_Report_CheckBox"_s)->setChecked(true);
  Edit(u"MaxSpeedUp_Edit"_s)->setText(u"64000"_s);
  Save();
  EXPECT_TRUE(eth.report);
  EXPECT_EQ(eth.maxspeedup, 64000u);
  EXPECT_FALSE(lo.report);
  EXPECT_EQ(lo.maxspeedup, 0u);

  options_->Model().general.hideType24 = false;
  Form().ShowPage(0);
  Form().ShowPage(1);  // showing the page again fills the list again
  EXPECT_EQ(combo_->count(), 2);
  EXPECT_EQ(combo_->currentText(), u"Ethernet"_s);  // the selection stays
}

struct EditCase {
  const char16_t* text;
  std::uint32_t maxSpeed;
  std::uint32_t shortNameLength;
};

TEST_F(NicPrefsTest, EditTextsBecomeNumbers) {
  const EditCase cases[] = {
      {u"", 0, 1},
      {u"7", 7, 7},
      {u"1250000", 1250000, 1250000},
      {u"x", 0, 1},
      {u"99999999999", std::numeric_limits<std::uint32_t>::max(), 1},
  };
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  ShowPrefs();
  combo_->setCurrentIndex(0);
  for (const EditCase& c : cases) {
    const QString text = QString::fromUtf16(c.text);
    Edit(u"MaxSpeedDown_Edit"_s)->setText(text);
    Edit(u"PrefGUI_ShortNameLength_Edit"_s)->setText(text);
    Save();
    EXPECT_EQ(eth.maxspeeddown, c.maxSpeed) << text.toStdString();
    EXPECT_EQ(eth.shortnamelength, c.shortNameLength) << text.toStdString();
    EXPECT_EQ(Edit(u"MaxSpeedDown_Edit"_s)->text(), QString::number(c.maxSpeed));
  }
  EXPECT_EQ(MaxSpeedFromText(u"12"_s), 12u);
}

TEST_F(NicPrefsTest, SpeedEditsTakeDigitsOnly) {
  monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  ShowPrefs();
  combo_->setCurrentIndex(0);
  for (const QString& name : {u"MaxSpeedDown_Edit"_s, u"MaxSpeedUp_Edit"_s}) {
    QLineEdit* edit = Edit(name);
    edit->clear();
    edit->insert(u"12a3"_s);  // typed text passes the validator
    EXPECT_EQ(edit->text(), QString()) << name.toStdString();
    edit->insert(u"123"_s);
    EXPECT_EQ(edit->text(), u"123"_s);
  }
}

TEST_F(NicPrefsTest, SaveReportsFailureAndSuccess) {
  // No database: the save fails.
  monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  // A record on a real database with its preferences table.
  Connection db(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + Path(u"traffic.db"_s) +
                u";Persist Security Info=False"_s);
  db.Open();
  monitor_.v.push_back(std::make_unique<TNic>(db, kInterval, kNoDoubleGuard, kSuffix));
  TNic& stored = *monitor_.v.back();
  stored.SetName(u"Wireless"_s);
  stored.SetTableName(u"0003"_s);
  stored.SetType(71);
  ASSERT_NE(EnsurePrefsTable(db, stored, 125000, 71), 2);
  ASSERT_TRUE(stored.LoadPrefs());

  ShowPrefs();
  combo_->setCurrentIndex(0);
  Save();
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Preferences not saved."_s);
  EXPECT_EQ(messages_.messages[0].caption, u"Error title"_s);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);

  combo_->setCurrentIndex(1);
  Edit(u"MaxSpeedDown_Edit"_s)->clear();
  Check(u"Pref_Show_BalloonInfo_CheckBox"_s)->setChecked(true);
  Save();
  ASSERT_EQ(messages_.messages.size(), 2u);
  EXPECT_EQ(messages_.messages[1].text, u"Preferences saved."_s);
  EXPECT_EQ(messages_.messages[1].caption, u"Information title"_s);
  EXPECT_EQ(messages_.messages[1].icon, MessageIcon::Information);

  // What was stored comes back.
  stored.maxspeeddown = 1;
  stored.Show_BalloonInfo = false;
  ASSERT_TRUE(stored.LoadPrefs());
  EXPECT_EQ(stored.maxspeeddown, 0u);
  EXPECT_TRUE(stored.Show_BalloonInfo);
}

TEST_F(NicPrefsTest, UtilisationNeedsBothMaximumSpeeds) {
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  eth.maxspeeddown = 1000;
  eth.maxspeedup = 0;
  ShowPrefs();
  combo_->setCurrentIndex(0);
  QCheckBox* box = Check(u"PrefGUI_UtilizationInsteadBytes_CheckBox"_s);
  box->click();
  EXPECT_FALSE(box->isChecked());
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Set both maximum speeds first."_s);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Warning);

  Edit(u"MaxSpeedUp_Edit"_s)->setText(u"500"_s);
  box->click();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(messages_.messages.size(), 1u);
}

TEST_F(NicPrefsTest, MaxSpeedPresets) {
  monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  ShowPrefs();
  combo_->setCurrentIndex(0);
  auto* presets = Find<QComboBox>(u"MaxSpeed_ComboBox"_s);
  ASSERT_EQ(presets->count(), 3);
  presets->setCurrentIndex(1);
  Find<QPushButton>(u"SetMaxSpeedButton"_s)->click();
  EXPECT_EQ(Edit(u"MaxSpeedUp_Edit"_s)->text(), u"16000"_s);
  EXPECT_EQ(Edit(u"MaxSpeedDown_Edit"_s)->text(), u"128000"_s);
  EXPECT_TRUE(messages_.messages.empty());

  presets->setCurrentIndex(2);  // a label without values
  Find<QPushButton>(u"SetMaxSpeedButton"_s)->click();
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Bad presets in variables.conf."_s);
  EXPECT_EQ(Edit(u"MaxSpeedUp_Edit"_s)->text(), u"16000"_s);
}

TEST_F(NicPrefsTest, ShortNameSpinnerStopsAtTenAndZero) {
  monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  ShowPrefs();
  combo_->setCurrentIndex(0);
  QToolButton* up = nullptr;
  QToolButton* down = nullptr;
  for (QToolButton* b :
       Find<QWidget>(u"PrefGUI_ShortNameLength_UpDown"_s)->findChildren<QToolButton*>()) {
    (b->arrowType() == Qt::UpArrow ? up : down) = b;
  }
  ASSERT_TRUE(up && down);
  QLineEdit* edit = Edit(u"PrefGUI_ShortNameLength_Edit"_s);
  edit->setText(u"8"_s);
  for (int i = 0; i < 5; ++i) up->click();
  EXPECT_EQ(edit->text(), u"10"_s);
  for (int i = 0; i < 15; ++i) down->click();
  EXPECT_EQ(edit->text(), u"0"_s);
}

TEST_F(NicPrefsTest, OneClickDisableStopsEveryUseAndTheGridLosesTheRow) {
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  eth.ShowLivedata = eth.ShowGraphform = eth.report = eth.ShowIn_Statistics = true;
  eth.Show_BalloonInfo = true;
  Form().ShowPage(0);
  auto* grid = Find<QTableWidget>(u"Livedata_StringGrid"_s);
  EXPECT_EQ(grid->rowCount(), 1);

  ShowPrefs();
  combo_->setCurrentIndex(0);
  Find<QPushButton>(u"OneClickDisableButton"_s)->click();
  EXPECT_FALSE(eth.ShowLivedata || eth.ShowGraphform || eth.report || eth.ShowIn_Statistics);
  EXPECT_TRUE(eth.Show_BalloonInfo);
  EXPECT_FALSE(Check(u"PrefGUI_ShowLivedata_CheckBox"_s)->isChecked());
  // The save fails without a database, and says so.
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Preferences not saved."_s);
  EXPECT_EQ(grid->rowCount(), 0);
}

TEST_F(NicPrefsTest, WithoutSelectionNothingIsSaved) {
  TNic& eth = monitor_.Add(u"Ethernet"_s, u"0002"_s, 6);
  ShowPrefs();
  combo_->setCurrentIndex(-1);
  EXPECT_FALSE(Find<QWidget>(u"Save_Nic_Button"_s)->isEnabled());
  Find<NicPrefsPage>(u"NicPrefsPage"_s)->Save_Nic_ButtonClick();
  Find<NicPrefsPage>(u"NicPrefsPage"_s)->OneClickDisableButtonClick();
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_FALSE(eth.ShowLivedata);
}

// Where help pages are looked up.
class HelpPathTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QDir d(dir_.path());
    ASSERT_TRUE(d.mkpath(u"help"_s));
    ASSERT_TRUE(d.mkpath(u"help_en"_s));
    for (const QString& f : {u"help/index.htm"_s, u"help/livedata.htm"_s, u"help/donate.htm"_s,
                             u"help_en/index.htm"_s, u"help_en/livedata.htm"_s})
      WriteFile(d.filePath(f), "<html></html>");
  }
  QString P(const QString& rel) const { return QDir(dir_.path()).filePath(rel); }
  QTemporaryDir dir_;
};

TEST_F(HelpPathTest, TopicsResolveByTheHelpFileOption) {
  struct Case {
    const char16_t* option;
    const char16_t* topic;
    const char16_t* expected;  // relative to the program directory, "" for none
  };
  const Case cases[] = {
      {u"Hilfe.chm", u"livedata.htm", u"help/livedata.htm"},
      {u"", u"", u"help/index.htm"},
      {u"help_en", u"livedata.htm", u"help_en/livedata.htm"},
      {u"help_en", u"", u"help_en/index.htm"},
      {u"help_en/index.htm", u"livedata.htm", u"help_en/livedata.htm"},
      {u"help_en", u"donate.htm", u"help/donate.htm"},  // missing there: the shipped page
      {u"missing_folder", u"livedata.htm", u"help/livedata.htm"},
      {u"Hilfe.chm", u"nothere.htm", u""},
      {u"Hilfe.chm", u"../variables.conf", u""},  // never a path outside the help folder
  };
  for (const Case& c : cases) {
    const QString expected = QString::fromUtf16(c.expected);
    EXPECT_EQ(HelpPagePath(dir_.path(), QString::fromUtf16(c.option), QString::fromUtf16(c.topic)),
              expected.isEmpty() ? QString() : QFileInfo(P(expected)).absoluteFilePath())
        << QString::fromUtf16(c.option).toStdString() << " / "
        << QString::fromUtf16(c.topic).toStdString();
  }
}

TEST(ShippedHelpTest, EveryTopicHasAPage) {
  // The shipped pages beside the sources (tests/data need not exist, so the path is cleaned first).
  const QDir help(QDir::cleanPath(QStringLiteral(QUORVEL_TEST_DATA "/../../data/help")));
  for (const QString& topic : TMainform::PageTopics())
    EXPECT_TRUE(QFileInfo::exists(help.filePath(topic))) << topic.toStdString();
  for (const QString& page : {u"index.htm"_s, u"donate.htm"_s})
    EXPECT_TRUE(QFileInfo::exists(help.filePath(page))) << page.toStdString();
}

}  // namespace
