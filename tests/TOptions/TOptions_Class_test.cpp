#include "TOptions/TOptions_Class.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "OptionsTestSupport.h"
#include "TOptions/IniFile.h"

using namespace Qt::StringLiterals;

namespace {

const QByteArray kVariables =
    "[Variablen]\n"
    "Ini_General=General\n"
    "Ini_Window=Window\n"
    "Ini_Reports=Reports\n"
    "Ini_Tweaks=Tweaks\n"
    "Ini_TCPServer=TCPServer\n"
    "Ini_CertainCases=CertainCases\n"
    "tablenamepreferences=_prefs\n"
    "Errorfile=errors.log\n"
    "Database=traffic.db\n"
    "CacheDateiname=traffic.cache\n"
    "MaxSpeedEntries=\xFFModem 56k\xFF\xFE"
    "DSL\n"
    "MaxSpeedValues=4200\xFE"
    "7000\xFE"
    "16000\xFE"
    "128000\n";

struct Message {
  QString text;
  QString caption;
};

class TOptionsTest : public testing::Test {
 protected:
  void SetUp() override { WriteBytes(ProgramDir(u"variables.conf"_s), kVariables); }

  QString ProgramDir(const QString& name) const { return QDir(programDir_.path()).filePath(name); }
  QString ProgramIni() const { return ProgramDir(u"quorvel.ini"_s); }
  QString AppDataIni() const { return QDir(appData_.path()).filePath(u"quorvel/quorvel.ini"_s); }

  ProgramLocation Location() const {
    ProgramLocation location;
    location.programDir = programDir_.path();
    location.executableName = u"quorvel"_s;
    const QString root = appData_.path();
    location.appDataRoot = [root] { return root; };
    return location;
  }

  TOptionsHooks RecordingHooks() {
    TOptionsHooks hooks;
    hooks.showError = [this](const QString& text, const QString& caption) {
      messages_.push_back({text, caption});
    };
    return hooks;
  }

  QTemporaryDir programDir_;
  QTemporaryDir appData_;
  std::vector<Message> messages_;
};

TEST_F(TOptionsTest, EmptyDirectoryGivesEveryDefault) {
  TOptions options(Location());
  ASSERT_TRUE(options.Load());
  const Settings::Model& m = options.Model();

  EXPECT_TRUE(options.GetUseProgramDirectory());
  EXPECT_EQ(options.GetHelpFile(), u"Hilfe.chm"_s);
  EXPECT_EQ(options.GetLanguageFileName(), u"deutsch.lan"_s);
  EXPECT_EQ(options.GetLastUpdate(), 0.0);
  EXPECT_EQ(options.GetConversionBase(), 1024);
  EXPECT_TRUE(options.GetBewareOfTrafficDouble());
  EXPECT_TRUE(options.GetScreenshotOnException());
  EXPECT_EQ(options.GetSnapDistance(), 15);
  EXPECT_EQ(options.GetOnTopInsertAfter(), -1);
  EXPECT_EQ(options.GetOnTopLeader(), nullptr);

  const Settings::General& g = m.general;
  EXPECT_FALSE(g.converter);
  EXPECT_TRUE(g.dfuEngine);
  EXPECT_EQ(g.nicEngineIntervall, 1);
  EXPECT_EQ(g.NicEngineIntervalMs(), 1000);
  EXPECT_EQ(g.basePrio, 2);
  EXPECT_TRUE(g.doubleTraffic);
  EXPECT_EQ(g.autoUpdate, 0);
  EXPECT_EQ(g.proxyServer, QString());
  EXPECT_EQ(g.proxyPort, 0);
  EXPECT_EQ(g.proxyAuthenticate, QString());
  EXPECT_EQ(g.proxyPassword, QString());
  EXPECT_TRUE(g.nicEngine);
  EXPECT_EQ(g.cacheIntervalText, QString());
  EXPECT_EQ(g.cacheIntervalMinutes, 0);
  EXPECT_EQ(g.snapValueText, u"15"_s);
  EXPECT_TRUE(g.transOnMove);
  EXPECT_TRUE(g.utilizationGraphs);
  EXPECT_TRUE(g.utilizationStats);
  EXPECT_FALSE(g.cutPeaks);
  EXPECT_EQ(g.closeProcedure, 0);
  EXPECT_EQ(g.livedataSizingMode, 2);
  EXPECT_EQ(g.statisticSizingMode, 2);
  EXPECT_TRUE(g.saveIniInProgramDir);
  EXPECT_FALSE(g.showBalloonOnMouseOver);
  EXPECT_TRUE(g.hideType23);
  EXPECT_TRUE(g.hideType24);
  EXPECT_TRUE(g.hideType131);
  EXPECT_FALSE(g.backupB4Update);
  EXPECT_EQ(g.backupFolder, u"_backup"_s);

  const Settings::Window& w = m.window;
  EXPECT_EQ(w.state, 0);
  EXPECT_EQ(w.top, 0);
  EXPECT_EQ(w.left, 0);
  EXPECT_EQ(w.width, 250);
  EXPECT_EQ(w.height, 100);
  EXPECT_TRUE(w.visible);

  const Settings::Reports& r = m.reports;
  EXPECT_FALSE(r.autoReport);
  EXPECT_EQ(r.dayOfAutoReport, u"1"_s);
  EXPECT_EQ(r.comboBox1Index, 1);
  EXPECT_EQ(r.comboBox2Index, 2);
  EXPECT_EQ(r.comboBox3Index, 2);
  EXPECT_EQ(r.comboBox4Index, 3);
  EXPECT_TRUE(r.dailyReport);
  EXPECT_TRUE(r.monthlyReport);
  EXPECT_TRUE(r.yearlyReport);
  EXPECT_EQ(r.path, QString());
  EXPECT_FALSE(r.ownReport);
  EXPECT_EQ(r.ownReportFrom, u"27"_s);
  EXPECT_EQ(r.ownReportTo, u"26"_s);
  EXPECT_TRUE(r.integrateUtilization);
  EXPECT_EQ(r.reportFormat, 0);
  EXPECT_TRUE(r.includeBasicCss);

  const Settings::TcpServer& s = m.tcpServer;
  ASSERT_EQ(s.bindings.size(), 1u);
  EXPECT_EQ(s.bindings[0], (Settings::TcpServer::Binding{u"0.0.0.0"_s, 2209}));
  EXPECT_EQ(s.maxConnections, 5);
  EXPECT_FALSE(s.forbidActiveFunctions);
  EXPECT_FALSE(s.active);

  // Tweaks read on demand.
  EXPECT_EQ(options.GetOntopInterval(), 100);
  EXPECT_EQ(options.GetReportThreadPriority(), 0);
  EXPECT_EQ(options.GetStatisticThreadPriority(), 0);
  EXPECT_EQ(options.GetUpdateThreadPriority(), 0);

  // Loading writes nothing.
  EXPECT_FALSE(QFile::exists(ProgramIni()));
}

TEST_F(TOptionsTest, NamesComeFromTheVariablesFile) {
  TOptions options(Location(), true);
  EXPECT_EQ(options.GetGeneralSection(), u"General"_s);
  EXPECT_EQ(options.GetWindowSection(), u"Window"_s);
  EXPECT_EQ(options.GetReportsSection(), u"Reports"_s);
  EXPECT_EQ(options.GetTweaksSection(), u"Tweaks"_s);
  EXPECT_EQ(options.GetTCPServerSection(), u"TCPServer"_s);
  EXPECT_EQ(options.GetCaseSection(), u"CertainCases"_s);
  EXPECT_EQ(options.GetPreferencesTableName(), u"_prefs"_s);
  EXPECT_EQ(options.GetVariablesSection(), u"Variablen"_s);
  EXPECT_EQ(options.GetVariablesFile(), ProgramDir(u"variables.conf"_s));
  EXPECT_EQ(options.GetErrorFileName(), u"errors.log"_s);
  EXPECT_EQ(options.GetDatabaseFile(), ProgramDir(u"traffic.db"_s));
  EXPECT_EQ(options.GetCacheFileName(), u"traffic.cache"_s);
  EXPECT_EQ(options.Model().general.maxSpeedEntries, (QStringList{u"Modem 56k"_s, u"DSL"_s}));
  EXPECT_EQ(options.GetMaxSpeedValues(),
            (QStringList{u"4200"_s, u"7000"_s, u"16000"_s, u"128000"_s}));
}

TEST_F(TOptionsTest, MissingVariablesFileGivesItsDefaults) {
  QFile::remove(ProgramDir(u"variables.conf"_s));
  TOptions options(Location());
  ASSERT_TRUE(options.Load());
  EXPECT_EQ(options.GetGeneralSection(), QString());
  EXPECT_EQ(options.GetCaseSection(), QString());
  EXPECT_EQ(options.GetErrorFileName(), u"error.txt"_s);
  EXPECT_EQ(options.GetDatabaseFile(), ProgramDir(u"Datenbank.mdb"_s));
  EXPECT_EQ(options.GetCacheFileName(), QString());
  EXPECT_EQ(options.Model().general.maxSpeedEntries, QStringList{u"Error!"_s});
  EXPECT_EQ(options.GetMaxSpeedValues(), QStringList{u"Error!"_s});
}

TEST_F(TOptionsTest, LoadsCraftedFileWithControlLimits) {
  WriteBytes(ProgramIni(),
             "[general]\n"
             "CONVERTER=1\n"
             "dfu_engine=0\n"
             "nicengineintervall=99\n"
             "baseprio=0\n"
             "doubletraffic=0\n"
             "AutoUpdate=7\n"
             "ProxyServer=proxy.example.org\n"
             "ProxyPort=3128\n"
             "ProxyAuthenticate=me\n"
             "ProxyPassword=VUc\n"
             "nic_engine=0\n"
             "CacheInterval=5\n"
             "Snapdistance=7\n"
             "TransOnMove=0\n"
             "UtilizationGraphs=0\n"
             "UtilizationStats=0\n"
             "Cutpeaks=1\n"
             "CloseProcedure=-5\n"
             "Livedata_StringGridSizingMode=1\n"
             "Statistic_StringGridSizingMode=9\n"
             "ShowBalloonOnMouseOver=1\n"
             "Hide_dwtype23=0\n"
             "Hide_dwtype24=0\n"
             "Hide_dwtype131=0\n"
             "BackupB4Update=1\n"
             "Backupfolder=old copies\n"
             "helpfile=help\n"
             "languagefilename=english.lan\n"
             "[window]\nState=0\nTop=10\nLeft=20\nWidth=300\nHeight=400\nVisible=0\n"
             "[tweaks]\nscreenshotonexception=0\nOntop_Inverval=250\nTBT_Prio=1\nTST_Prio=2\n"
             "TUT_Prio=3\n"
             "[tcpserver]\nIPs=127.0.0.1\xFE::1\nPort=3000\nmaxconnections=2\n"
             "forbidactivefunctions=1\nactive=1\n"
             "[reports]\nautoreport=1\ndayofautoreport=15\nComboBox1Index=0\nComboBox2Index=12\n"
             "ComboBox3Index=8\nComboBox4Index=-3\ndailyreport=0\nmonthlyreport=0\n"
             "yearlyreport=0\npath=/tmp/report.html\nownreport=1\nownreport_from=3\n"
             "ownreport_to=2\nIntegrateUtilization=0\nReportformat=5\nIncludeBasicCSS=0\n");
  std::vector<int> snapHook;
  TOptionsHooks hooks;
  hooks.snapDistanceChanged = [&](int d) { snapHook.push_back(d); };
  TOptions options(Location(), false, hooks);
  ASSERT_TRUE(options.Load());
  const Settings::Model& m = options.Model();

  EXPECT_EQ(options.GetConversionBase(), 1000);
  EXPECT_FALSE(options.GetBewareOfTrafficDouble());
  EXPECT_FALSE(options.GetScreenshotOnException());
  EXPECT_EQ(options.GetHelpFile(), u"help"_s);
  EXPECT_EQ(options.GetLanguageFileName(), u"english.lan"_s);
  EXPECT_EQ(options.GetSnapDistance(), 7);
  EXPECT_EQ(snapHook, std::vector<int>{7});

  const Settings::General& g = m.general;
  EXPECT_TRUE(g.converter);
  EXPECT_FALSE(g.dfuEngine);
  EXPECT_EQ(g.nicEngineIntervall, 30);
  EXPECT_EQ(g.NicEngineIntervalMs(), 30000);
  EXPECT_EQ(g.basePrio, 1);
  EXPECT_EQ(g.autoUpdate, 3);
  EXPECT_EQ(g.proxyServer, u"proxy.example.org"_s);
  EXPECT_EQ(g.proxyPort, 3128);
  EXPECT_EQ(g.proxyAuthenticate, u"me"_s);
  EXPECT_EQ(g.proxyPassword, u"VUc"_s);
  EXPECT_FALSE(g.nicEngine);
  EXPECT_EQ(g.cacheIntervalText, u"5"_s);
  EXPECT_EQ(g.CacheIntervalMs(), 300000);
  EXPECT_FALSE(g.transOnMove);
  EXPECT_FALSE(g.utilizationGraphs);
  EXPECT_FALSE(g.utilizationStats);
  EXPECT_TRUE(g.cutPeaks);
  EXPECT_EQ(g.closeProcedure, -1);
  EXPECT_EQ(g.livedataSizingMode, 1);
  EXPECT_EQ(g.statisticSizingMode, 2);
  EXPECT_TRUE(g.showBalloonOnMouseOver);
  EXPECT_FALSE(g.hideType23);
  EXPECT_FALSE(g.hideType24);
  EXPECT_FALSE(g.hideType131);
  EXPECT_TRUE(g.backupB4Update);
  EXPECT_EQ(g.backupFolder, u"old copies"_s);

  EXPECT_EQ(m.window.top, 10);
  EXPECT_EQ(m.window.left, 20);
  EXPECT_EQ(m.window.width, 300);
  EXPECT_EQ(m.window.height, 400);
  EXPECT_FALSE(m.window.visible);

  EXPECT_EQ(options.GetOntopInterval(), 250);
  EXPECT_EQ(options.GetReportThreadPriority(), 1);
  EXPECT_EQ(options.GetStatisticThreadPriority(), 2);
  EXPECT_EQ(options.GetUpdateThreadPriority(), 3);

  const Settings::TcpServer& s = m.tcpServer;
  EXPECT_EQ(s.bindings,
            (std::vector<Settings::TcpServer::Binding>{{u"127.0.0.1"_s, 3000}, {u"::1"_s, 3000}}));
  EXPECT_EQ(s.maxConnections, 2);
  EXPECT_TRUE(s.forbidActiveFunctions);
  EXPECT_TRUE(s.active);

  const Settings::Reports& r = m.reports;
  EXPECT_TRUE(r.autoReport);
  EXPECT_EQ(r.dayOfAutoReport, u"15"_s);
  EXPECT_EQ(r.comboBox1Index, 0);
  EXPECT_EQ(r.comboBox2Index, -1);
  EXPECT_EQ(r.comboBox3Index, 8);
  EXPECT_EQ(r.comboBox4Index, -1);
  EXPECT_FALSE(r.dailyReport);
  EXPECT_FALSE(r.monthlyReport);
  EXPECT_FALSE(r.yearlyReport);
  EXPECT_EQ(r.path, u"/tmp/report.html"_s);
  EXPECT_TRUE(r.ownReport);
  EXPECT_EQ(r.ownReportFrom, u"3"_s);
  EXPECT_EQ(r.ownReportTo, u"2"_s);
  EXPECT_FALSE(r.integrateUtilization);
  EXPECT_EQ(r.reportFormat, 1);
  EXPECT_FALSE(r.includeBasicCss);
}

TEST_F(TOptionsTest, SaveThenLoadGivesTheSameSettings) {
  TOptions first(Location(), true);
  Settings::Model& m = first.Model();
  m.general.converter = true;
  m.general.SetBasePrio(5);
  m.general.cacheIntervalText = u"10"_s;
  m.general.backupFolder = u"with space"_s;
  m.window = {0, 11, 22, 333, 444, false};
  m.reports.path = u"/srv/r e p.html"_s;
  m.reports.comboBox4Index = 6;
  m.tcpServer.bindings = {{u"10.0.0.1"_s, 4000}, {u"10.0.0.2"_s, 4000}};
  m.tcpServer.maxConnections = 9;
  first.SetLanguageFileName(u"english.lan"_s);
  first.SetLastUpdate(45000.5);
  ASSERT_TRUE(first.Save());

  TOptions second(Location(), true);
  const Settings::Model& n = second.Model();
  EXPECT_TRUE(n.general.converter);
  EXPECT_EQ(n.general.basePrio, 5);
  EXPECT_EQ(n.general.cacheIntervalMinutes, 10);
  EXPECT_EQ(n.general.backupFolder, u"with space"_s);
  EXPECT_EQ(n.window.top, 11);
  EXPECT_EQ(n.window.left, 22);
  EXPECT_EQ(n.window.width, 333);
  EXPECT_EQ(n.window.height, 444);
  EXPECT_FALSE(n.window.visible);
  EXPECT_EQ(n.reports.path, u"/srv/r e p.html"_s);
  EXPECT_EQ(n.reports.comboBox4Index, 6);
  EXPECT_EQ(n.tcpServer.bindings, m.tcpServer.bindings);
  EXPECT_EQ(n.tcpServer.maxConnections, 9);
  EXPECT_EQ(second.GetLanguageFileName(), u"english.lan"_s);
  EXPECT_DOUBLE_EQ(second.GetLastUpdate(), 45000.5);
}

TEST_F(TOptionsTest, SaveWritesGeneralKeysInOrder) {
  TOptions options(Location(), true);
  ASSERT_TRUE(options.Save());
  EXPECT_EQ(IniReadSection(u"General"_s, ProgramIni()),
            (QStringList{u"converter"_s,
                         u"dfu_engine"_s,
                         u"nicengineintervall"_s,
                         u"baseprio"_s,
                         u"doubletraffic"_s,
                         u"AutoUpdate"_s,
                         u"nic_engine"_s,
                         u"CacheInterval"_s,
                         u"Snapdistance"_s,
                         u"TransOnMove"_s,
                         u"UtilizationGraphs"_s,
                         u"UtilizationStats"_s,
                         u"Cutpeaks"_s,
                         u"CloseProcedure"_s,
                         u"Livedata_StringGridSizingMode"_s,
                         u"Statistic_StringGridSizingMode"_s,
                         u"ShowBalloonOnMouseOver"_s,
                         u"Hide_dwtype23"_s,
                         u"Hide_dwtype24"_s,
                         u"Hide_dwtype131"_s,
                         u"BackupB4Update"_s,
                         u"Backupfolder"_s,
                         u"oldinipath"_s,
                         u"languagefilename"_s,
                         u"Lastupdate"_s,
                         u"helpfile"_s}));
  EXPECT_FALSE(IniValueExists(u"General"_s, u"ProxyServer"_s, ProgramIni()));
}

TEST_F(TOptionsTest, SaveProxyWritesOnlyProxyKeys) {
  TOptions options(Location(), true);
  options.Model().general.proxyServer = u"proxy"_s;
  options.Model().general.proxyPort = 8080;
  options.Model().general.proxyAuthenticate = u"user"_s;
  options.Model().general.proxyPassword = u"VUc"_s;
  ASSERT_TRUE(options.SaveProxy());
  EXPECT_EQ(
      IniReadSection(u"General"_s, ProgramIni()),
      (QStringList{u"ProxyServer"_s, u"ProxyPort"_s, u"ProxyAuthenticate"_s, u"ProxyPassword"_s}));
  EXPECT_EQ(IniReadString(u"General"_s, u"ProxyPassword"_s, QString(), ProgramIni()), u"VUc"_s);
}

TEST_F(TOptionsTest, MigratesOldSectionsAndKeys) {
  WriteBytes(ProgramIni(),
             "[Allgemein]\n"
             "Sprachdateiname=english.lan\n"
             "Umrechnung=1\n"
             "Hilfedatei=manual\n"
             "ProxyServer=kept.example.org\n"
             "[Fenster]\nState=2\n"
             "[Berichte]\nPfad=/tmp/old.html\nAutoBericht=1\nEigenerbericht_von=5\n"
             "ComboBox1Index=4\n");
  TOptions options(Location());
  ASSERT_TRUE(options.Load());
  EXPECT_EQ(options.GetLanguageFileName(), u"english.lan"_s);
  EXPECT_EQ(options.GetHelpFile(), u"manual"_s);
  EXPECT_EQ(options.GetConversionBase(), 1000);
  EXPECT_EQ(options.Model().general.proxyServer, u"kept.example.org"_s);
  EXPECT_EQ(options.Model().reports.path, u"/tmp/old.html"_s);
  EXPECT_TRUE(options.Model().reports.autoReport);
  EXPECT_EQ(options.Model().reports.ownReportFrom, u"5"_s);
  EXPECT_EQ(options.Model().reports.comboBox1Index, 4);

  const QString f = ProgramIni();
  EXPECT_FALSE(IniSectionExists(u"Allgemein"_s, f));
  EXPECT_FALSE(IniSectionExists(u"Fenster"_s, f));
  EXPECT_FALSE(IniSectionExists(u"Berichte"_s, f));
  EXPECT_EQ(IniReadString(u"General"_s, u"languagefilename"_s, QString(), f), u"english.lan"_s);
  EXPECT_EQ(IniReadString(u"Reports"_s, u"path"_s, QString(), f), u"/tmp/old.html"_s);

  // On a current file the migration changes nothing.
  const QByteArray migrated = ReadBytes(f);
  TOptions again(Location());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(ReadBytes(f), migrated);
}

TEST_F(TOptionsTest, MigrationWithoutSectionNamesLosesNothing) {
  QFile::remove(ProgramDir(u"variables.conf"_s));
  WriteBytes(ProgramIni(), "[Allgemein]\nSprachdateiname=english.lan\n");
  TOptions options(Location());
  ASSERT_TRUE(options.Load());
  EXPECT_EQ(IniReadString(u"Allgemein"_s, u"languagefilename"_s, QString(), ProgramIni()),
            u"english.lan"_s);
}

TEST_F(TOptionsTest, SwitchingToAppDataStartsFromACopy) {
  WriteBytes(ProgramIni(), "[General]\nconverter=0\nProxyServer=only.in.program.dir\n");
  TOptions options(Location(), true);
  options.SetUseProgramDirectory(false);
  EXPECT_FALSE(options.Model().general.saveIniInProgramDir);
  options.Model().general.converter = true;
  ASSERT_TRUE(options.Save());

  EXPECT_EQ(options.OptionsFilePath(), AppDataIni());
  EXPECT_FALSE(IniReadBool(u"General"_s, u"oldinipath"_s, true, ProgramIni()));
  EXPECT_FALSE(IniReadBool(u"General"_s, u"converter"_s, true, ProgramIni()));
  EXPECT_FALSE(IniValueExists(u"Reports"_s, u"path"_s, ProgramIni()));

  EXPECT_TRUE(IniReadBool(u"General"_s, u"converter"_s, false, AppDataIni()));
  EXPECT_EQ(IniReadString(u"General"_s, u"ProxyServer"_s, QString(), AppDataIni()),
            u"only.in.program.dir"_s);
  EXPECT_TRUE(IniValueExists(u"Reports"_s, u"path"_s, AppDataIni()));

  TOptions next(Location(), true);
  EXPECT_FALSE(next.GetUseProgramDirectory());
  EXPECT_FALSE(next.Model().general.saveIniInProgramDir);
  EXPECT_EQ(next.GetConversionBase(), 1000);
}

TEST_F(TOptionsTest, ReadOnlyTweaksComeFromTheProgramDirectory) {
  WriteBytes(ProgramIni(), "[General]\noldinipath=0\n[Tweaks]\nOntop_Inverval=250\n");
  QDir().mkpath(QFileInfo(AppDataIni()).path());
  WriteBytes(AppDataIni(), "[Tweaks]\nOntop_Inverval=999\nscreenshotonexception=0\n");
  TOptions options(Location(), true);
  EXPECT_EQ(options.GetOntopInterval(), 250);
  EXPECT_FALSE(options.GetScreenshotOnException());
}

TEST_F(TOptionsTest, NoAppDataFolderMeansProgramDirectory) {
  ProgramLocation location = Location();
  location.appDataRoot = [] { return QString(); };
  TOptions options(location, true);
  options.SetUseProgramDirectory(false);
  EXPECT_EQ(options.OptionsFilePath(), ProgramIni());
}

TEST_F(TOptionsTest, MaximisedWindowLeavesBoundsUnread) {
  WriteBytes(ProgramIni(), "[Window]\nState=2\nTop=10\nLeft=20\nWidth=300\nHeight=400\n");
  TOptions options(Location(), true);
  const Settings::Window& w = options.Model().window;
  EXPECT_EQ(w.state, 2);
  EXPECT_EQ(w.top, 0);
  EXPECT_EQ(w.left, 0);
  EXPECT_EQ(w.width, 250);
  EXPECT_EQ(w.height, 100);
}

TEST_F(TOptionsTest, CacheIntervalThatIsNoNumber) {
  WriteBytes(ProgramIni(), "[General]\nCacheInterval=soon\n");
  TOptions options(Location(), true);
  EXPECT_EQ(options.Model().general.cacheIntervalText, u"soon"_s);
  EXPECT_EQ(options.Model().general.cacheIntervalMinutes, 0);
  EXPECT_EQ(options.Model().general.CacheIntervalMs(), 0);
  ASSERT_TRUE(options.Save());
  EXPECT_EQ(IniReadString(u"General"_s, u"CacheInterval"_s, QString(), ProgramIni()), u"soon"_s);
}

TEST_F(TOptionsTest, SnapDistanceOutsideTheEditsRangeIsIgnored) {
  WriteBytes(ProgramIni(), "[General]\nSnapdistance=30\n");
  TOptions options(Location(), true);
  EXPECT_EQ(options.Model().general.snapValueText, u"30"_s);
  EXPECT_EQ(options.GetSnapDistance(), 15);
  options.SetSnapDistance(-1);
  EXPECT_EQ(options.GetSnapDistance(), 15);
  options.SetSnapDistance(40);
  EXPECT_EQ(options.GetSnapDistance(), 40);
}

TEST_F(TOptionsTest, EmptyIpListGivesNoBindingAndSavesDefaultPort) {
  WriteBytes(ProgramIni(), "[TCPServer]\nIPs=\nPort=3000\n");
  TOptions options(Location(), true);
  EXPECT_TRUE(options.Model().tcpServer.bindings.empty());
  ASSERT_TRUE(options.Save());
  EXPECT_EQ(IniReadInteger(u"TCPServer"_s, u"Port"_s, 0, ProgramIni()), 2209);
  EXPECT_TRUE(IniValueExists(u"TCPServer"_s, u"IPs"_s, ProgramIni()));

  TOptions reloaded(Location(), true);
  EXPECT_TRUE(reloaded.Model().tcpServer.bindings.empty());
}

TEST_F(TOptionsTest, ServerThatCannotListenIsReportedAndLoadingGoesOn) {
  WriteBytes(ProgramIni(), "[TCPServer]\nactive=1\n[Reports]\npath=/tmp/after.html\n");
  TOptionsHooks hooks = RecordingHooks();
  std::vector<bool> requests;
  hooks.switchServer = [&](const Settings::TcpServer& server, bool active, QString* error) {
    requests.push_back(active);
    EXPECT_EQ(server.bindings.size(), 1u);
    *error = u"Address already in use"_s;
    return false;
  };
  TOptions options(Location(), false, hooks);
  EXPECT_TRUE(options.Load());
  EXPECT_EQ(requests, std::vector<bool>{true});
  EXPECT_FALSE(options.Model().tcpServer.active);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text,
            u"Error in TOptions_Class->TOptions::Load (318) - Cannot activate TCPServer, "
            u"Errormessage: Address already in use"_s);
  EXPECT_EQ(messages_[0].caption, u"Title"_s);
  EXPECT_EQ(options.Model().reports.path, u"/tmp/after.html"_s);
}

TEST_F(TOptionsTest, ServerSwitchedAsTheFileSays) {
  WriteBytes(ProgramIni(), "[TCPServer]\nactive=1\n");
  TOptionsHooks hooks = RecordingHooks();
  hooks.switchServer = [](const Settings::TcpServer&, bool, QString*) { return true; };
  TOptions options(Location(), true, hooks);
  EXPECT_TRUE(options.Model().tcpServer.active);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TOptionsTest, LastUpdateUsesTheLocale) {
  WriteBytes(ProgramIni(), "[General]\nLastupdate=45000,25\n");
  const QLocale german(QLocale::German, QLocale::Germany);
  const QLocale us(QLocale::English, QLocale::UnitedStates);

  TOptions inGerman(Location(), true, {}, german);
  EXPECT_DOUBLE_EQ(inGerman.GetLastUpdate(), 45000.25);
  TOptions inUs(Location(), true, {}, us);
  EXPECT_DOUBLE_EQ(inUs.GetLastUpdate(), 0.0);

  inUs.SetLastUpdate(45001.5);
  ASSERT_TRUE(inUs.SaveWindow());
  EXPECT_EQ(IniReadString(u"General"_s, u"Lastupdate"_s, QString(), ProgramIni()), u"45001.5"_s);
  ASSERT_TRUE(inGerman.SaveWindow());
  EXPECT_EQ(IniReadString(u"General"_s, u"Lastupdate"_s, QString(), ProgramIni()), u"45000,25"_s);
}

TEST_F(TOptionsTest, FailedSaveReportsFalseAndKeepsTheFile) {
  TOptions options(Location(), true);
  ASSERT_TRUE(options.Save());
  const QByteArray before = ReadBytes(ProgramIni());
  options.Model().general.converter = true;
  bool saved = true;
  bool savedWindow = true;
  bool savedProxy = true;
  {
    FileSizeLimit limit(16);
    saved = options.Save();
    savedWindow = options.SaveWindow();
    savedProxy = options.SaveProxy();
  }
  EXPECT_FALSE(saved);
  EXPECT_FALSE(savedWindow);
  EXPECT_FALSE(savedProxy);
  EXPECT_EQ(ReadBytes(ProgramIni()), before);
}

TEST_F(TOptionsTest, SaveIntoUnwritableDirectoryFails) {
  if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not restrict root";
  TOptions options(Location(), true);
  ASSERT_TRUE(options.Save());
  const QByteArray before = ReadBytes(ProgramIni());
  options.Model().general.converter = true;
  QFile::setPermissions(programDir_.path(), QFile::ReadOwner | QFile::ExeOwner);
  const bool saved = options.Save();
  QFile::setPermissions(programDir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadBytes(ProgramIni()), before);
}

TEST_F(TOptionsTest, OptionsFileThatIsADirectory) {
  ASSERT_TRUE(QDir().mkpath(ProgramIni()));
  TOptions options(Location());
  EXPECT_TRUE(options.Load());
  EXPECT_EQ(options.Model().general.basePrio, 2);
  EXPECT_FALSE(options.Save());
}

}  // namespace
