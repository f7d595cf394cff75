#include "shell/GeneralOptionsPage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <climits>

#include "TLanguage/TLanguage.h"
#include "TOptions/IniFile.h"
#include "TOptions/TOptions_Class.h"
#include "platform/MessageService.h"
#include "shell/Autostart.h"
#include "shell/ProcessPriority.h"
#include "shell/TranslateForm.h"

using namespace Qt::StringLiterals;

namespace {

// The language files as they ship: the source folder, or the copy beside the binaries.
QString ShippedDataDir() {
  const QString source = QDir::cleanPath(QStringLiteral(QUORVEL_TEST_DATA "/../../data"));
  if (QFileInfo::exists(QDir(source).filePath(u"english.lan"_s))) return source;
  return QStringLiteral(QUORVEL_BIN_DIR);
}

const QByteArray kVariables =
    "[Variablen]\nIni_General=General\nIni_Window=Window\nIni_Reports=Reports\n"
    "Ini_Tweaks=Tweaks\nIni_TCPServer=TCPServer\nIni_CertainCases=CertainCases\n";

const QByteArray kLanguage =
    "[Strings]\nError=Problem\nInformation=Note\n"
    "[Errors]\nError13=Saved\nError14=Not saved\nError34=No entry\nError35=Entry stays\n"
    "Error47=Server: %errormessage%\n"
    "[Filter]\nOpenDialogFilter3=Language files\nOpenDialogFilter4=Help files\n"
    "[TMainform]\nHelpfile_load_question->Message=Help too?\n";

// A check box, its key in the general section, the value the test file gives it.
struct CheckBoxKey {
  const char* name;
  const char* key;
  bool loaded;
};
const CheckBoxKey kCheckBoxes[] = {
    {"Convert_CheckBox", "converter", true},
    {"dfu_CheckBox", "dfu_engine", false},
    {"Bewareoftrafficdouble_CheckBox", "doubletraffic", false},
    {"nic_CheckBox", "nic_engine", false},
    {"Trans_OnMove_CheckBox", "TransOnMove", false},
    {"ShowUtilizationInGraphforms_CheckBox", "UtilizationGraphs", false},
    {"ShowUtilizationInStatistics_CheckBox", "UtilizationStats", false},
    {"CutPeaks_CheckBox", "Cutpeaks", true},
    {"ShowBalloonOnMouseOver_CheckBox", "ShowBalloonOnMouseOver", true},
    {"Hide_dwType23_CheckBox", "Hide_dwtype23", false},
    {"Hide_dwType24_CheckBox", "Hide_dwtype24", false},
    {"Hide_dwType131_CheckBox", "Hide_dwtype131", false},
    {"BackupB4Update_CheckBox", "BackupB4Update", true},
};

// A radio group, its key, the loaded index and the index the test chooses.
struct RadioKey {
  const char* name;
  const char* key;
  int loaded;
  int chosen;
};
const RadioKey kRadioGroups[] = {
    {"Update_RadioGroup", "AutoUpdate", 2, 3},
    {"CloseProcedure_RadioGroup", "CloseProcedure", 1, 0},
    {"Livedata_StringGridSizingMode_RadioGroup", "Livedata_StringGridSizingMode", 0, 2},
    {"Statistic_StringGridSizingMode_RadioGroup", "Statistic_StringGridSizingMode", 1, 0},
};

const QByteArray kOptions =
    "[General]\nconverter=1\ndfu_engine=0\nnicengineintervall=7\nbaseprio=5\ndoubletraffic=0\n"
    "AutoUpdate=2\nnic_engine=0\nCacheInterval=15\nSnapdistance=8\nTransOnMove=0\n"
    "UtilizationGraphs=0\nUtilizationStats=0\nCutpeaks=1\nCloseProcedure=1\n"
    "Livedata_StringGridSizingMode=0\nStatistic_StringGridSizingMode=1\n"
    "ShowBalloonOnMouseOver=1\nHide_dwtype23=0\nHide_dwtype24=0\nHide_dwtype131=0\n"
    "BackupB4Update=1\nBackupfolder=old_backup\n"
    "[TCPServer]\nIPs=127.0.0.1\xFE"
    "10.0.0.1\nPort=3000\nmaxconnections=7\nforbidactivefunctions=1\nactive=0\n";

class GeneralOptionsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(programDir_.isValid() && appData_.isValid() && config_.isValid());
    Write(u"variables.conf"_s, kVariables);
    Write(u"test.lan"_s, kLanguage);
    ASSERT_TRUE(language_.Load(u"test.lan"_s));
  }

  void Write(const QString& name, const QByteArray& content) {
    QFile f(ProgramPath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
  }
  QString ProgramPath(const QString& name) const { return QDir(programDir_.path()).filePath(name); }
  QString ProgramIni() const { return ProgramPath(u"quorvel.ini"_s); }
  QString AppDataIni() const { return QDir(appData_.path()).filePath(u"quorvel/quorvel.ini"_s); }

  ProgramLocation Location() const {
    ProgramLocation location;
    location.programDir = programDir_.path();
    location.executableName = u"quorvel"_s;
    const QString root = appData_.path();
    location.appDataRoot = [root] { return root; };
    return location;
  }

  TOptionsHooks Hooks() {
    TOptionsHooks hooks;
    hooks.switchServer = [this](const Settings::TcpServer&, bool active, QString* error) {
      if (active && !serverStarts_) {
        *error = u"address in use"_s;
        return false;
      }
      return true;
    };
    return hooks;
  }

  // Options loaded from the program directory, and a page over them.
  void Open() {
    page_.reset();
    options_ = std::make_unique<TOptions>(Location(), true, Hooks());
    page_ = std::make_unique<GeneralOptionsPage>(*options_, language_, messages_);
    GeneralOptionsServices services;
    services.priority = &priority_;
    page_->SetServices(services);
  }

  template <typename T>
  T* Find(const char* name) {
    T* widget = page_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QGroupBox* Group(const char* name) { return Find<QGroupBox>(name); }
  QString GeneralValue(const char* key, const QString& file) const {
    return IniReadString(u"General"_s, QString::fromLatin1(key), u"<missing>"_s, file);
  }

  static void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
      const int key = c == u'\b'   ? int(Qt::Key_Backspace)
                      : c == u'\n' ? int(Qt::Key_Return)
                                   : int(c.toUpper().unicode());
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, c == u'\n' ? u"\r"_s : QString(c));
      QApplication::sendEvent(widget, &press);
    }
  }

  QTemporaryDir programDir_;
  QTemporaryDir appData_;
  QTemporaryDir config_;
  TLanguage language_{programDir_.path()};
  RecordingMessageService messages_;
  RecordingProcessPriority priority_;
  bool serverStarts_ = true;
  std::unique_ptr<TOptions> options_;
  std::unique_ptr<GeneralOptionsPage> page_;
};

TEST_F(GeneralOptionsPageTest, ControlsHaveTheirRanges) {
  Open();
  QSlider* interval = Find<QSlider>("NicEngineIntervall_TrackBar");
  EXPECT_EQ(interval->minimum(), 1);
  EXPECT_EQ(interval->maximum(), 30);
  QSlider* prio = Find<QSlider>("Basisprio_TrackBar");
  EXPECT_EQ(prio->orientation(), Qt::Vertical);
  EXPECT_EQ(prio->minimum(), 1);
  EXPECT_EQ(prio->maximum(), 6);
  const std::pair<const char*, int> itemCounts[] = {
      {"Update_RadioGroup", Settings::General::kAutoUpdateItems},
      {"CloseProcedure_RadioGroup", Settings::General::kCloseProcedureItems},
      {"Livedata_StringGridSizingMode_RadioGroup", Settings::General::kSizingModeItems},
      {"Statistic_StringGridSizingMode_RadioGroup", Settings::General::kSizingModeItems}};
  for (const auto& [name, count] : itemCounts) {
    EXPECT_TRUE(IsRadioGroup(Group(name))) << name;
    EXPECT_EQ(RadioGroupItems(Group(name)).size(), count) << name;
  }
  for (const char* label : {"Label_Prio_Realtime", "Label_Prio_High", "Label_Prio_AboveNormal",
                            "Label_Prio_Normal", "Label_Prio_BelowNormal", "Label_Prio_Idle"}) {
    Find<QLabel>(label);
  }
  for (const char* name : {"CacheIntervalEdit", "SnapValueEdit", "BackupB4Update_Edit",
                           "TCPServerPort_Edit", "TCPServerMaxConnections_Edit"}) {
    Find<QLineEdit>(name);
  }
  Find<QPlainTextEdit>("TCPServerIPs_Memo");
  for (const char* name : {"Startup_CheckBox", "SaveIniInProgramdir_CheckBox",
                           "EnableTCPServer_CheckBox", "ForbidActiveFunctions_CheckBox"}) {
    Find<QCheckBox>(name);
  }
  Find<QPushButton>("Lang_Button");
  Find<QPushButton>("Save_Gen_Button");
}

TEST_F(GeneralOptionsPageTest, WithoutAnOptionsFileTheDefaultsShow) {
  Open();
  page_->show();
  EXPECT_EQ(Find<QSlider>("NicEngineIntervall_TrackBar")->value(), 1);
  EXPECT_EQ(Find<QSlider>("Basisprio_TrackBar")->value(), 2);
  EXPECT_FALSE(Find<QCheckBox>("Convert_CheckBox")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("Bewareoftrafficdouble_CheckBox")->isChecked());
  EXPECT_EQ(RadioGroupIndex(Group("Livedata_StringGridSizingMode_RadioGroup")), 2);
  EXPECT_EQ(Find<QLineEdit>("SnapValueEdit")->text(), u"15"_s);
  EXPECT_EQ(Find<QLineEdit>("BackupB4Update_Edit")->text(), u"_backup"_s);
  EXPECT_TRUE(Find<QCheckBox>("SaveIniInProgramdir_CheckBox")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("EnableTCPServer_CheckBox")->isChecked());
  EXPECT_EQ(Find<QPlainTextEdit>("TCPServerIPs_Memo")->toPlainText(), u"0.0.0.0"_s);
  EXPECT_EQ(Find<QLineEdit>("TCPServerPort_Edit")->text(), u"2209"_s);
  EXPECT_EQ(Find<QLineEdit>("TCPServerMaxConnections_Edit")->text(), u"5"_s);
  // Showing the page applies nothing by itself.
  EXPECT_TRUE(priority_.positions.empty());
}

TEST_F(GeneralOptionsPageTest, OptionsRoundTripThroughThePageAndTheFile) {
  Write(u"quorvel.ini"_s, kOptions);
  Open();
  page_->show();

  // The page shows the file.
  for (const CheckBoxKey& c : kCheckBoxes) {
    EXPECT_EQ(Find<QCheckBox>(c.name)->isChecked(), c.loaded) << c.name;
  }
  for (const RadioKey& r : kRadioGroups) {
    EXPECT_EQ(RadioGroupIndex(Group(r.name)), r.loaded) << r.name;
  }
  EXPECT_EQ(Find<QSlider>("NicEngineIntervall_TrackBar")->value(), 7);
  EXPECT_EQ(Find<QSlider>("Basisprio_TrackBar")->value(), 5);
  EXPECT_EQ(Find<QLineEdit>("CacheIntervalEdit")->text(), u"15"_s);
  EXPECT_EQ(Find<QLineEdit>("SnapValueEdit")->text(), u"8"_s);
  EXPECT_EQ(Find<QLineEdit>("BackupB4Update_Edit")->text(), u"old_backup"_s);
  EXPECT_EQ(Find<QPlainTextEdit>("TCPServerIPs_Memo")->toPlainText(), u"127.0.0.1\n10.0.0.1"_s);
  EXPECT_EQ(Find<QLineEdit>("TCPServerPort_Edit")->text(), u"3000"_s);
  EXPECT_EQ(Find<QLineEdit>("TCPServerMaxConnections_Edit")->text(), u"7"_s);
  EXPECT_TRUE(Find<QCheckBox>("ForbidActiveFunctions_CheckBox")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("EnableTCPServer_CheckBox")->isChecked());

  // The user changes everything.
  for (const CheckBoxKey& c : kCheckBoxes) Find<QCheckBox>(c.name)->click();
  for (const RadioKey& r : kRadioGroups) RadioGroupItems(Group(r.name))[r.chosen]->click();
  Find<QSlider>("NicEngineIntervall_TrackBar")->setValue(12);
  Find<QSlider>("Basisprio_TrackBar")->setValue(3);
  Find<QLineEdit>("CacheIntervalEdit")->setText(u"30"_s);
  Find<QLineEdit>("SnapValueEdit")->setText(u"20"_s);
  Find<QLineEdit>("BackupB4Update_Edit")->setText(u"bak"_s);
  Find<QCheckBox>("ForbidActiveFunctions_CheckBox")->click();
  Find<QPlainTextEdit>("TCPServerIPs_Memo")->setPlainText(u"192.168.1.5\n\n127.0.0.1\n"_s);
  Find<QLineEdit>("TCPServerPort_Edit")->setText(u"4000"_s);
  Find<QLineEdit>("TCPServerMaxConnections_Edit")->setText(u"9"_s);
  Find<QCheckBox>("EnableTCPServer_CheckBox")->click();
  Find<QPushButton>("Save_Gen_Button")->click();

  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Saved"_s);
  EXPECT_EQ(messages_.messages[0].caption, u"Note"_s);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Information);

  const QString ini = ProgramIni();
  for (const CheckBoxKey& c : kCheckBoxes) {
    EXPECT_EQ(GeneralValue(c.key, ini), c.loaded ? u"0"_s : u"1"_s) << c.key;
  }
  for (const RadioKey& r : kRadioGroups) {
    EXPECT_EQ(GeneralValue(r.key, ini), QString::number(r.chosen)) << r.key;
  }
  EXPECT_EQ(GeneralValue("nicengineintervall", ini), u"12"_s);
  EXPECT_EQ(GeneralValue("baseprio", ini), u"3"_s);
  EXPECT_EQ(GeneralValue("CacheInterval", ini), u"30"_s);
  EXPECT_EQ(GeneralValue("Snapdistance", ini), u"20"_s);
  EXPECT_EQ(GeneralValue("Backupfolder", ini), u"bak"_s);
  QStringList ips;
  ASSERT_TRUE(IniReadStrings(u"TCPServer"_s, u"IPs"_s, ips, ini));
  EXPECT_EQ(ips, (QStringList{u"192.168.1.5"_s, u"127.0.0.1"_s}));
  EXPECT_EQ(IniReadInteger(u"TCPServer"_s, u"Port"_s, 0, ini), 4000);
  EXPECT_EQ(IniReadInteger(u"TCPServer"_s, u"maxconnections"_s, 0, ini), 9);
  EXPECT_TRUE(IniReadBool(u"TCPServer"_s, u"active"_s, false, ini));
  EXPECT_FALSE(IniReadBool(u"TCPServer"_s, u"forbidactivefunctions"_s, true, ini));

  // The page shows what the server now uses; blank lines are gone.
  EXPECT_EQ(Find<QPlainTextEdit>("TCPServerIPs_Memo")->toPlainText(), u"192.168.1.5\n127.0.0.1"_s);

  // Loaded again, the page shows the saved state.
  Open();
  page_->show();
  for (const CheckBoxKey& c : kCheckBoxes) {
    EXPECT_EQ(Find<QCheckBox>(c.name)->isChecked(), !c.loaded) << c.name;
  }
  for (const RadioKey& r : kRadioGroups) {
    EXPECT_EQ(RadioGroupIndex(Group(r.name)), r.chosen) << r.name;
  }
  EXPECT_EQ(Find<QSlider>("NicEngineIntervall_TrackBar")->value(), 12);
  EXPECT_EQ(Find<QSlider>("Basisprio_TrackBar")->value(), 3);
  EXPECT_TRUE(Find<QCheckBox>("EnableTCPServer_CheckBox")->isChecked());
}

TEST_F(GeneralOptionsPageTest, OutOfRangeValuesInTheFileAreLimited) {
  Write(u"quorvel.ini"_s,
        "[General]\nnicengineintervall=45\nbaseprio=9\nAutoUpdate=7\nCloseProcedure=-3\n");
  Open();
  page_->show();
  EXPECT_EQ(Find<QSlider>("NicEngineIntervall_TrackBar")->value(), 30);
  EXPECT_EQ(Find<QSlider>("Basisprio_TrackBar")->value(), 6);
  EXPECT_EQ(RadioGroupIndex(Group("Update_RadioGroup")), 3);
  EXPECT_EQ(RadioGroupIndex(Group("CloseProcedure_RadioGroup")), -1);
}

TEST_F(GeneralOptionsPageTest, ChangesOthersApplyAtOnceAreSignalled) {
  Open();
  page_->show();
  std::vector<int> intervals, bases, priorities;
  QStringList cacheTexts;
  QObject::connect(page_.get(), &GeneralOptionsPage::nicEngineIntervalChanged,
                   [&](int s) { intervals.push_back(s); });
  QObject::connect(page_.get(), &GeneralOptionsPage::conversionBaseChanged,
                   [&](int b) { bases.push_back(b); });
  QObject::connect(page_.get(), &GeneralOptionsPage::basePriorityChanged,
                   [&](int p) { priorities.push_back(p); });
  QObject::connect(page_.get(), &GeneralOptionsPage::cacheIntervalTextChanged,
                   [&](const QString& t) { cacheTexts.append(t); });

  Find<QSlider>("NicEngineIntervall_TrackBar")->setValue(4);
  EXPECT_EQ(options_->Model().general.NicEngineIntervalMs(), 4000);
  Find<QCheckBox>("Convert_CheckBox")->click();
  EXPECT_EQ(options_->GetConversionBase(), 1000);
  Find<QSlider>("Basisprio_TrackBar")->setValue(4);
  EXPECT_EQ(priority_.positions, (std::vector<int>{4}));
  Find<QLineEdit>("CacheIntervalEdit")->setText(u"5"_s);
  EXPECT_EQ(options_->Model().general.CacheIntervalMs(), 300000);
  Find<QCheckBox>("Bewareoftrafficdouble_CheckBox")->click();
  EXPECT_FALSE(options_->GetBewareOfTrafficDouble());

  EXPECT_EQ(intervals, (std::vector<int>{4}));
  EXPECT_EQ(bases, (std::vector<int>{1000}));
  EXPECT_EQ(priorities, (std::vector<int>{4}));
  EXPECT_EQ(cacheTexts, (QStringList{u"5"_s}));

  // Showing the model again is no user change: nothing is signalled or applied.
  options_->Model().general.SetBasePrio(6);
  options_->Model().general.SetNicEngineIntervall(9);
  page_->RefreshFromModel();
  EXPECT_EQ(Find<QSlider>("Basisprio_TrackBar")->value(), 6);
  EXPECT_EQ(priority_.positions, (std::vector<int>{4}));
  EXPECT_EQ(intervals, (std::vector<int>{4}));
}

TEST_F(GeneralOptionsPageTest, CacheIntervalAndSnapDistanceTexts) {
  Open();
  struct Case {
    QString text;
    int minutes;
  };
  // Text that is no number (pasted, say) stops the snapshots; a huge one is
  // limited to what the timer can hold.
  const Case cases[] = {{u"10"_s, 10},
                        {u""_s, 0},
                        {u"0"_s, 0},
                        {u"abc"_s, 0},
                        {u"99999999"_s, INT_MAX / 60000},
                        {u"999999999999"_s, 0}};
  for (const Case& c : cases) {
    Find<QLineEdit>("CacheIntervalEdit")->setText(c.text);
    EXPECT_EQ(options_->Model().general.cacheIntervalText, c.text);
    EXPECT_EQ(options_->Model().general.cacheIntervalMinutes, c.minutes) << c.text.toStdString();
  }

  Find<QLineEdit>("SnapValueEdit")->setText(u"20"_s);
  EXPECT_EQ(options_->GetSnapDistance(), 20);
  Find<QLineEdit>("SnapValueEdit")->setText(u"30"_s);
  EXPECT_EQ(options_->GetSnapDistance(), 20);
  EXPECT_EQ(options_->Model().general.snapValueText, u"30"_s);
}

TEST_F(GeneralOptionsPageTest, TypedKeysAreFiltered) {
  Open();
  struct Case {
    const char* name;
    QString typed;
    QString shown;
  };
  const Case cases[] = {
      {"CacheIntervalEdit", u"1a2.\b3"_s, u"13"_s},
      {"SnapValueEdit", u"-7x"_s, u"7"_s},
      {"TCPServerPort_Edit", u"80 80"_s, u"8080"_s},
      {"TCPServerMaxConnections_Edit", u"5+5"_s, u"55"_s},
  };
  for (const Case& c : cases) {
    QLineEdit* edit = Find<QLineEdit>(c.name);
    edit->clear();
    Type(edit, c.typed);
    EXPECT_EQ(edit->text(), c.shown) << c.name;
  }
  QPlainTextEdit* memo = Find<QPlainTextEdit>("TCPServerIPs_Memo");
  memo->clear();
  Type(memo, u"10.0.0.1x\n127,0.0.1"_s);
  EXPECT_EQ(memo->toPlainText(), u"10.0.0.1\n1270.0.1"_s);
}

TEST_F(GeneralOptionsPageTest, ServerFailureIsReportedAndTheAddressesKeepTheFocus) {
  Open();
  page_->show();
  serverStarts_ = false;
  QPlainTextEdit* memo = Find<QPlainTextEdit>("TCPServerIPs_Memo");
  memo->setPlainText(u"10.9.9.9"_s);
  Find<QCheckBox>("EnableTCPServer_CheckBox")->setChecked(true);
  Find<QPushButton>("Save_Gen_Button")->setFocus();
  Find<QPushButton>("Save_Gen_Button")->click();

  ASSERT_EQ(messages_.messages.size(), 2u);
  EXPECT_EQ(messages_.messages[0].text, u"Server: address in use"_s);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(messages_.messages[0].caption, u"Problem"_s);
  EXPECT_EQ(messages_.messages[1].text, u"Saved"_s);
  EXPECT_EQ(page_->focusWidget(), memo);
  // What the user typed stays to be corrected.
  EXPECT_EQ(memo->toPlainText(), u"10.9.9.9"_s);
  EXPECT_TRUE(Find<QCheckBox>("EnableTCPServer_CheckBox")->isChecked());
}

TEST_F(GeneralOptionsPageTest, SettingsFolderSwitchesAtOnceAndIsStoredInTheProgramFolder) {
  Write(u"quorvel.ini"_s, kOptions);
  Open();
  Find<QCheckBox>("SaveIniInProgramdir_CheckBox")->click();
  EXPECT_FALSE(options_->GetUseProgramDirectory());
  Find<QCheckBox>("CutPeaks_CheckBox")->click();
  Find<QPushButton>("Save_Gen_Button")->click();

  EXPECT_EQ(GeneralValue("oldinipath", ProgramIni()), u"0"_s);
  EXPECT_EQ(GeneralValue("Cutpeaks", ProgramIni()), u"1"_s);
  EXPECT_EQ(GeneralValue("Cutpeaks", AppDataIni()), u"0"_s);
  // The copy started from the program folder's settings.
  EXPECT_EQ(GeneralValue("Backupfolder", AppDataIni()), u"old_backup"_s);
}

TEST_F(GeneralOptionsPageTest, RadioGroupsStayBoundWhenALanguageChangesTheirItems) {
  Open();
  page_->show();
  QGroupBox* update = Group("Update_RadioGroup");
  RadioGroupItems(update)[3]->click();
  ASSERT_EQ(options_->Model().general.autoUpdate, 3);

  // A file with fewer items: the choice is limited, and the model follows.
  Write(u"short.lan"_s,
        "[TMainform]\nUpdate_RadioGroup->Caption=Updates\n"
        "Update_RadioGroup->Items=Off\xFEOn\n");
  TLanguage shortList(programDir_.path());
  ASSERT_TRUE(shortList.Load(u"short.lan"_s));
  TranslateForm(page_.get(), shortList);
  EXPECT_EQ(RadioGroupItems(update).size(), 2);
  EXPECT_EQ(RadioGroupIndex(update), 1);
  EXPECT_EQ(options_->Model().general.autoUpdate, 1);

  // A file with more items than there are choices: the new items are bound,
  // and one beyond the choices cannot be chosen.
  Write(u"long.lan"_s,
        "[TMainform]\nUpdate_RadioGroup->Caption=Updates\n"
        "Update_RadioGroup->Items=a\xFE"
        "b\xFE"
        "c\xFE"
        "d\xFE"
        "e\n");
  TLanguage longList(programDir_.path());
  ASSERT_TRUE(longList.Load(u"long.lan"_s));
  TranslateForm(page_.get(), longList);
  QApplication::processEvents();
  ASSERT_EQ(RadioGroupItems(update).size(), 5);
  RadioGroupItems(update)[2]->click();
  EXPECT_EQ(options_->Model().general.autoUpdate, 2);
  RadioGroupItems(update)[4]->click();
  EXPECT_EQ(options_->Model().general.autoUpdate, 3);
  EXPECT_EQ(RadioGroupIndex(update), 3);
}

TEST_F(GeneralOptionsPageTest, DisablingAutomaticUpdates) {
  Write(u"quorvel.ini"_s, kOptions);
  Open();
  page_->DisableAutomaticUpdates();
  EXPECT_EQ(options_->Model().general.autoUpdate, 0);
  EXPECT_EQ(RadioGroupIndex(Group("Update_RadioGroup")), 0);
  EXPECT_FALSE(Group("Update_RadioGroup")->isEnabled());
}

TEST_F(GeneralOptionsPageTest, StartupCheckBoxFollowsTheAutostartEntries) {
  Open();
  AutostartFolders folders;
  folders.userConfigDir = QDir(config_.path()).filePath(u"user"_s);
  folders.allUsersConfigDir = QDir(config_.path()).filePath(u"system"_s);
  const Autostart autostart(u"Quorvel"_s, ProgramPath(u"quorvel"_s), folders);
  QCheckBox* startup = Find<QCheckBox>("Startup_CheckBox");
  EXPECT_FALSE(startup->isEnabled());  // no autostart service yet

  GeneralOptionsServices services;
  services.autostart = &autostart;
  page_->SetServices(services);
  page_->show();
  EXPECT_TRUE(startup->isEnabled());
  EXPECT_FALSE(startup->isChecked());

  startup->click();
  EXPECT_TRUE(autostart.ExistsForUser());
  EXPECT_TRUE(startup->isChecked());
  startup->click();
  EXPECT_FALSE(autostart.ExistsForUser());
  EXPECT_FALSE(startup->isChecked());
  EXPECT_TRUE(messages_.messages.empty());

  // An entry for all users greys the box out when the page is shown next.
  ASSERT_TRUE(QDir().mkpath(QFileInfo(autostart.AllUsersEntryPath()).absolutePath()));
  QFile system(autostart.AllUsersEntryPath());
  ASSERT_TRUE(system.open(QIODevice::WriteOnly));
  system.close();
  page_->hide();
  page_->show();
  EXPECT_FALSE(startup->isEnabled());
}

TEST_F(GeneralOptionsPageTest, LanguageButtonRunsTheLanguageDialogWithTheHelpQuestion) {
  Write(u"other.lan"_s,
        "[Strings]\nError=Other problem\n[TMainform]\n"
        "Helpfile_load_question->Message=Other help?\n"
        "Lang_Button->Caption=Other language\n");
  Open();
  QPushButton* button = Find<QPushButton>("Lang_Button");
  EXPECT_FALSE(button->isEnabled());  // no file chooser yet

  ScriptedOpenFileChooser chooser;
  chooser.answers = {ProgramPath(u"other.lan"_s), u"/x/other.chm"_s};
  GeneralOptionsServices services;
  services.fileChooser = &chooser;
  page_->SetServices(services);
  messages_.answer = true;
  button->click();

  EXPECT_EQ(options_->GetLanguageFileName(), u"other.lan"_s);
  EXPECT_EQ(language_.ErrorTitle(), u"Other problem"_s);
  EXPECT_EQ(options_->GetHelpFile(), u"other.chm"_s);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, u"Other help?"_s);
}

class ShippedLanguagePage : public GeneralOptionsPageTest,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(ShippedLanguagePage, HasEveryTextOfThePage) {
  Open();
  TLanguage shipped(ShippedDataDir());
  ASSERT_TRUE(shipped.Load(QString::fromLatin1(GetParam())));
  EXPECT_EQ(MissingLanguageKeys(page_.get(), shipped), QStringList());

  TranslateForm(page_.get(), shipped);
  // The radio groups keep exactly the choices the settings know.
  EXPECT_EQ(RadioGroupItems(Group("Update_RadioGroup")).size(),
            Settings::General::kAutoUpdateItems);
  EXPECT_EQ(RadioGroupItems(Group("CloseProcedure_RadioGroup")).size(),
            Settings::General::kCloseProcedureItems);
  EXPECT_EQ(RadioGroupItems(Group("Livedata_StringGridSizingMode_RadioGroup")).size(),
            Settings::General::kSizingModeItems);
  EXPECT_EQ(RadioGroupItems(Group("Statistic_StringGridSizingMode_RadioGroup")).size(),
            Settings::General::kSizingModeItems);
  for (QWidget* widget : page_->findChildren<QWidget*>()) {
    EXPECT_NE(widget->toolTip(), shipped.NotFoundText()) << widget->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguagePage,
                         ::testing::Values("deutsch.lan", "english.lan"), [](const auto& info) {
                           return QString::fromLatin1(info.param).section(u'.', 0, 0).toStdString();
                         });

}  // namespace
