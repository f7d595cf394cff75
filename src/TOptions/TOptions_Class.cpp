#include "TOptions/TOptions_Class.h"

#include <exception>

#include "TOptions/IniFile.h"

namespace {

// Key names as they stand in the files.
const QString kOldIniPath = QStringLiteral("oldinipath");

}  // namespace

TOptions::TOptions(ProgramLocation location, bool loadNow, TOptionsHooks hooks, QLocale locale)
    : location_(std::move(location)), hooks_(std::move(hooks)), locale_(std::move(locale)) {
  variablesSection_ = kVariablesSection;
  variablesFile_ = location_.InProgramDir(kVariablesFileName);

  const auto var = [this](const QString& key) {
    return IniReadString(variablesSection_, key, QString(), variablesFile_);
  };
  generalSection_ = var(QStringLiteral("Ini_General"));
  windowSection_ = var(QStringLiteral("Ini_Window"));
  reportsSection_ = var(QStringLiteral("Ini_Reports"));
  tweaksSection_ = var(QStringLiteral("Ini_Tweaks"));
  tcpServerSection_ = var(QStringLiteral("Ini_TCPServer"));
  caseSection_ = var(QStringLiteral("Ini_CertainCases"));
  preferencesTableName_ = var(QStringLiteral("tablenamepreferences"));

  SetUseProgramDirectory(IniReadBool(generalSection_, kOldIniPath, true, ProgramDirOptionsFile()));
  databaseFile_ = location_.InProgramDir(QStringLiteral("Datenbank.mdb"));

  if (loadNow) Load();
}

QString TOptions::OptionsFilePath(bool useProgramDirectory) const {
  return ::OptionsFilePath(useProgramDirectory, location_);
}

QString TOptions::OptionsFilePath() const { return OptionsFilePath(useProgramDirectory_); }

QString TOptions::ProgramDirOptionsFile() const { return location_.ProgramDirOptionsFile(); }

void TOptions::SetUseProgramDirectory(bool value) {
  useProgramDirectory_ = value;
  model_.general.saveIniInProgramDir = value;
}

bool TOptions::SetHelpFile(const QString& value) {
  helpFile_ = value;
  return true;
}

bool TOptions::SetLanguageFileName(const QString& value) {
  languageFileName_ = value;
  return true;
}

void TOptions::SetSnapDistance(int value) {
  if (value < 0) return;
  snapDistance_ = value;
  if (hooks_.snapDistanceChanged) hooks_.snapDistanceChanged(value);
}

void TOptions::ApplySnapValueText(const QString& text) {
  bool ok = false;
  const int n = text.toInt(&ok, 10);
  if (ok && n >= 0 && n <= 25) SetSnapDistance(n);
}

int TOptions::GetOntopInterval() const {
  return IniReadInteger(tweaksSection_, QStringLiteral("Ontop_Inverval"), 100,
                        ProgramDirOptionsFile());
}

int TOptions::GetReportThreadPriority() const {
  return IniReadInteger(tweaksSection_, QStringLiteral("TBT_Prio"), 0, ProgramDirOptionsFile());
}

int TOptions::GetStatisticThreadPriority() const {
  return IniReadInteger(tweaksSection_, QStringLiteral("TST_Prio"), 0, ProgramDirOptionsFile());
}

int TOptions::GetUpdateThreadPriority() const {
  return IniReadInteger(tweaksSection_, QStringLiteral("TUT_Prio"), 0, ProgramDirOptionsFile());
}

// Files of older versions used German section and key names; they are moved
// onto the current names on every start (a no-op on a current file).
void TOptions::Migrate() {
  const QString file = ProgramDirOptionsFile();
  IniEraseSection(QStringLiteral("Fenster"), file);

  const QString oldGeneral = QStringLiteral("Allgemein");
  const std::pair<const char16_t*, const char16_t*> generalKeys[] = {
      {u"Umrechnung", u"converter"},
      {u"basisprio", u"baseprio"},
      {u"doppeltertraffic", u"doubletraffic"},
      {u"Sprachdateiname", u"languagefilename"},
      {u"Hilfedatei", u"helpfile"},
  };
  for (const auto& [from, to] : generalKeys) {
    IniRenameKey(oldGeneral, QString(), QString::fromUtf16(from), QString::fromUtf16(to), file);
  }
  IniRenameSection(oldGeneral, generalSection_, file);

  const QString oldReports = QStringLiteral("Berichte");
  const std::pair<const char16_t*, const char16_t*> reportKeys[] = {
      {u"AutoBericht", u"autoreport"},          {u"DayofAutoBericht", u"dayofautoreport"},
      {u"Tagesbericht", u"dailyreport"},        {u"Monatsbericht", u"monthlyreport"},
      {u"Jahresbericht", u"yearlyreport"},      {u"Pfad", u"path"},
      {u"Eigenerbericht", u"ownreport"},        {u"Eigenerbericht_von", u"ownreport_from"},
      {u"Eigenerbericht_bis", u"ownreport_to"},
  };
  for (const auto& [from, to] : reportKeys) {
    IniRenameKey(oldReports, QString(), QString::fromUtf16(from), QString::fromUtf16(to), file);
  }
  IniRenameSection(oldReports, reportsSection_, file);
}

bool TOptions::Load() {
  try {
    Migrate();

    const QString g = generalSection_;
    helpFile_ = IniReadString(g, QStringLiteral("helpfile"), QStringLiteral("Hilfe.chm"),
                              OptionsFilePath());
    lastUpdate_ = IniReadFloat(g, QStringLiteral("Lastupdate"), 0, OptionsFilePath(), locale_);
    languageFileName_ = IniReadString(g, QStringLiteral("languagefilename"),
                                      QStringLiteral("deutsch.lan"), OptionsFilePath());

    const QString& v = variablesSection_;
    errorFileName_ =
        IniReadString(v, QStringLiteral("Errorfile"), QStringLiteral("error.txt"), variablesFile_);
    databaseFile_ = location_.InProgramDir(IniReadString(
        v, QStringLiteral("Database"), QStringLiteral("Datenbank.mdb"), variablesFile_));
    cacheFileName_ = IniReadString(v, QStringLiteral("CacheDateiname"), QString(), variablesFile_);
    IniReadStrings(v, QStringLiteral("MaxSpeedEntries"), model_.general.maxSpeedEntries,
                   variablesFile_);
    IniReadStrings(v, QStringLiteral("MaxSpeedValues"), maxSpeedValues_, variablesFile_);

    Settings::General& gen = model_.general;
    const auto readBool = [&](const QString& section, const char16_t* key, bool def) {
      return IniReadBool(section, QString::fromUtf16(key), def, OptionsFilePath());
    };
    const auto readInt = [&](const QString& section, const char16_t* key, int def) {
      return IniReadInteger(section, QString::fromUtf16(key), def, OptionsFilePath());
    };
    const auto readString = [&](const QString& section, const char16_t* key, const QString& def) {
      return IniReadString(section, QString::fromUtf16(key), def, OptionsFilePath());
    };

    gen.converter = readBool(g, u"converter", false);
    conversionBase_ = gen.converter ? 1000 : 1024;
    gen.dfuEngine = readBool(g, u"dfu_engine", true);
    gen.SetNicEngineIntervall(readInt(g, u"nicengineintervall", 1));
    gen.SetBasePrio(readInt(g, u"baseprio", 2));
    gen.doubleTraffic = readBool(g, u"doubletraffic", true);
    bewareOfTrafficDouble_ = gen.doubleTraffic;
    gen.SetAutoUpdate(readInt(g, u"AutoUpdate", 0));
    gen.proxyServer = readString(g, u"ProxyServer", QString());
    gen.proxyPort = readInt(g, u"ProxyPort", 0);
    gen.proxyAuthenticate = readString(g, u"ProxyAuthenticate", QString());
    gen.proxyPassword = readString(g, u"ProxyPassword", QString());
    gen.nicEngine = readBool(g, u"nic_engine", true);
    gen.cacheIntervalText = readString(g, u"CacheInterval", QString());
    gen.cacheIntervalMinutes = readInt(g, u"CacheInterval", 0);

    Settings::Window& win = model_.window;
    const QString& w = windowSection_;
    win.state = readInt(w, u"State", 0);
    if (win.state == 0) {
      win.top = readInt(w, u"Top", 0);
      win.left = readInt(w, u"Left", 0);
      win.width = readInt(w, u"Width", 250);
      win.height = readInt(w, u"Height", 100);
    }
    win.visible = readBool(w, u"Visible", true);

    gen.snapValueText = readString(g, u"Snapdistance", QStringLiteral("15"));
    ApplySnapValueText(gen.snapValueText);
    gen.transOnMove = readBool(g, u"TransOnMove", true);
    gen.utilizationGraphs = readBool(g, u"UtilizationGraphs", true);
    gen.utilizationStats = readBool(g, u"UtilizationStats", true);
    gen.cutPeaks = readBool(g, u"Cutpeaks", false);
    gen.SetCloseProcedure(readInt(g, u"CloseProcedure", 0));
    gen.SetLivedataSizingMode(readInt(g, u"Livedata_StringGridSizingMode", 2));
    gen.SetStatisticSizingMode(readInt(g, u"Statistic_StringGridSizingMode", 2));
    gen.saveIniInProgramDir = useProgramDirectory_;
    gen.showBalloonOnMouseOver = readBool(g, u"ShowBalloonOnMouseOver", false);
    gen.hideType23 = readBool(g, u"Hide_dwtype23", true);
    gen.hideType24 = readBool(g, u"Hide_dwtype24", true);
    gen.hideType131 = readBool(g, u"Hide_dwtype131", true);
    gen.backupB4Update = readBool(g, u"BackupB4Update", false);
    gen.backupFolder = readString(g, u"Backupfolder", QStringLiteral("_backup"));

    LoadTcpServer();

    screenshotOnException_ = readBool(tweaksSection_, u"screenshotonexception", true);

    LoadReports();
    return true;
  } catch (...) {
    return false;
  }
}

void TOptions::LoadTcpServer() {
  Settings::TcpServer& server = model_.tcpServer;
  const QString& s = tcpServerSection_;
  QStringList ips;
  if (!IniReadStrings(s, QStringLiteral("IPs"), ips, OptionsFilePath())) {
    ips = {QStringLiteral("0.0.0.0")};
  }
  server.bindings.clear();
  const int port = IniReadInteger(s, QStringLiteral("Port"), Settings::TcpServer::kDefaultPort,
                                  OptionsFilePath());
  for (const QString& ip : ips) server.bindings.push_back({ip, port});
  server.maxConnections = IniReadInteger(s, QStringLiteral("maxconnections"), 5, OptionsFilePath());
  server.forbidActiveFunctions =
      IniReadBool(s, QStringLiteral("forbidactivefunctions"), false, OptionsFilePath());

  const bool active = IniReadBool(s, QStringLiteral("active"), false, OptionsFilePath());
  if (!hooks_.switchServer) {
    server.active = active;
    return;
  }
  // A server that cannot listen is reported but does not stop loading.
  QString error;
  bool switched = false;
  try {
    switched = hooks_.switchServer(server, active, &error);
  } catch (const std::exception& e) {
    error = QString::fromUtf8(e.what());
  }
  if (switched) {
    server.active = active;
  } else if (hooks_.showError) {
    hooks_.showError(
        QStringLiteral("Error in TOptions_Class->TOptions::Load (318) - Cannot activate TCPServer, "
                       "Errormessage: ") +
            error,
        QStringLiteral("Title"));
  }
}

void TOptions::LoadReports() {
  Settings::Reports& r = model_.reports;
  const QString& s = reportsSection_;
  const auto readBool = [&](const char16_t* key, bool def) {
    return IniReadBool(s, QString::fromUtf16(key), def, OptionsFilePath());
  };
  const auto readInt = [&](const char16_t* key, int def) {
    return IniReadInteger(s, QString::fromUtf16(key), def, OptionsFilePath());
  };
  const auto readString = [&](const char16_t* key, const QString& def) {
    return IniReadString(s, QString::fromUtf16(key), def, OptionsFilePath());
  };
  const auto unit = [](int index) {
    return Settings::ComboIndex(index, Settings::Reports::kUnitItems);
  };
  r.autoReport = readBool(u"autoreport", false);
  r.dayOfAutoReport = readString(u"dayofautoreport", QStringLiteral("1"));
  r.comboBox1Index = unit(readInt(u"ComboBox1Index", 1));
  r.comboBox2Index = unit(readInt(u"ComboBox2Index", 2));
  r.comboBox3Index = unit(readInt(u"ComboBox3Index", 2));
  r.comboBox4Index = unit(readInt(u"ComboBox4Index", 3));
  r.dailyReport = readBool(u"dailyreport", true);
  r.monthlyReport = readBool(u"monthlyreport", true);
  r.yearlyReport = readBool(u"yearlyreport", true);
  r.path = readString(u"path", QString());
  r.ownReport = readBool(u"ownreport", false);
  r.ownReportFrom = readString(u"ownreport_from", QStringLiteral("27"));
  r.ownReportTo = readString(u"ownreport_to", QStringLiteral("26"));
  r.integrateUtilization = readBool(u"IntegrateUtilization", true);
  r.SetReportFormat(readInt(u"Reportformat", 0));
  r.includeBasicCss = readBool(u"IncludeBasicCSS", true);
}

bool TOptions::Save() {
  try {
    const Settings::General& gen = model_.general;
    const QString& g = generalSection_;
    const auto writeBool = [&](const QString& section, const char16_t* key, bool value) {
      IniWriteBool(section, QString::fromUtf16(key), value, OptionsFilePath());
    };
    const auto writeInt = [&](const QString& section, const char16_t* key, int value) {
      IniWriteInteger(section, QString::fromUtf16(key), value, OptionsFilePath());
    };
    const auto writeString = [&](const QString& section, const char16_t* key,
                                 const QString& value) {
      IniWriteString(section, QString::fromUtf16(key), value, OptionsFilePath());
    };

    writeBool(g, u"converter", gen.converter);
    writeBool(g, u"dfu_engine", gen.dfuEngine);
    writeInt(g, u"nicengineintervall", gen.nicEngineIntervall);
    writeInt(g, u"baseprio", gen.basePrio);
    writeBool(g, u"doubletraffic", gen.doubleTraffic);
    writeInt(g, u"AutoUpdate", gen.autoUpdate);
    writeBool(g, u"nic_engine", gen.nicEngine);
    writeString(g, u"CacheInterval", gen.cacheIntervalText);
    writeString(g, u"Snapdistance", gen.snapValueText);
    writeBool(g, u"TransOnMove", gen.transOnMove);
    writeBool(g, u"UtilizationGraphs", gen.utilizationGraphs);
    writeBool(g, u"UtilizationStats", gen.utilizationStats);
    writeBool(g, u"Cutpeaks", gen.cutPeaks);
    writeInt(g, u"CloseProcedure", gen.closeProcedure);
    writeInt(g, u"Livedata_StringGridSizingMode", gen.livedataSizingMode);
    writeInt(g, u"Statistic_StringGridSizingMode", gen.statisticSizingMode);
    writeBool(g, u"ShowBalloonOnMouseOver", gen.showBalloonOnMouseOver);
    writeBool(g, u"Hide_dwtype23", gen.hideType23);
    writeBool(g, u"Hide_dwtype24", gen.hideType24);
    writeBool(g, u"Hide_dwtype131", gen.hideType131);
    writeBool(g, u"BackupB4Update", gen.backupB4Update);
    writeString(g, u"Backupfolder", gen.backupFolder);

    writeBool(tweaksSection_, u"screenshotonexception", screenshotOnException_);

    const Settings::TcpServer& server = model_.tcpServer;
    const QString& s = tcpServerSection_;
    writeBool(s, u"active", server.active);
    IniWriteStrings(s, QStringLiteral("IPs"), server.Ips(), OptionsFilePath());
    writeInt(s, u"Port", server.Port());
    writeInt(s, u"maxconnections", server.maxConnections);
    writeBool(s, u"forbidactivefunctions", server.forbidActiveFunctions);

    IniWriteBool(g, kOldIniPath, useProgramDirectory_, ProgramDirOptionsFile());

    bool ok = SaveWindow();
    ok = SaveReports() && ok;
    return ok;
  } catch (const std::exception&) {
    return false;
  }
}

bool TOptions::SaveWindow() {
  try {
    const Settings::Window& win = model_.window;
    const QString& w = windowSection_;
    IniWriteInteger(w, QStringLiteral("Left"), win.left, OptionsFilePath());
    IniWriteInteger(w, QStringLiteral("Top"), win.top, OptionsFilePath());
    IniWriteInteger(w, QStringLiteral("Height"), win.height, OptionsFilePath());
    IniWriteInteger(w, QStringLiteral("Width"), win.width, OptionsFilePath());
    IniWriteInteger(w, QStringLiteral("State"), win.state, OptionsFilePath());
    IniWriteBool(w, QStringLiteral("Visible"), win.visible, OptionsFilePath());

    const QString& g = generalSection_;
    IniWriteString(g, QStringLiteral("languagefilename"), languageFileName_, OptionsFilePath());
    IniWriteFloat(g, QStringLiteral("Lastupdate"), lastUpdate_, OptionsFilePath(), locale_);
    IniWriteString(g, QStringLiteral("helpfile"), helpFile_, OptionsFilePath());
  } catch (const std::exception&) {
    return false;
  }
  return SaveReports();
}

bool TOptions::SaveReports() {
  try {
    const Settings::Reports& r = model_.reports;
    const QString& s = reportsSection_;
    const auto writeBool = [&](const char16_t* key, bool value) {
      IniWriteBool(s, QString::fromUtf16(key), value, OptionsFilePath());
    };
    const auto writeInt = [&](const char16_t* key, int value) {
      IniWriteInteger(s, QString::fromUtf16(key), value, OptionsFilePath());
    };
    const auto writeString = [&](const char16_t* key, const QString& value) {
      IniWriteString(s, QString::fromUtf16(key), value, OptionsFilePath());
    };
    writeBool(u"autoreport", r.autoReport);
    writeString(u"dayofautoreport", r.dayOfAutoReport);
    writeInt(u"ComboBox1Index", r.comboBox1Index);
    writeInt(u"ComboBox2Index", r.comboBox2Index);
    writeInt(u"ComboBox3Index", r.comboBox3Index);
    writeInt(u"ComboBox4Index", r.comboBox4Index);
    writeBool(u"dailyreport", r.dailyReport);
    writeBool(u"monthlyreport", r.monthlyReport);
    writeBool(u"yearlyreport", r.yearlyReport);
    writeString(u"path", r.path);
    writeBool(u"ownreport", r.ownReport);
    writeString(u"ownreport_from", r.ownReportFrom);
    writeString(u"ownreport_to", r.ownReportTo);
    writeBool(u"IntegrateUtilization", r.integrateUtilization);
    writeInt(u"Reportformat", r.reportFormat);
    writeBool(u"IncludeBasicCSS", r.includeBasicCss);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TOptions::SaveProxy() {
  try {
    const Settings::General& gen = model_.general;
    const QString& g = generalSection_;
    IniWriteString(g, QStringLiteral("ProxyServer"), gen.proxyServer, OptionsFilePath());
    IniWriteInteger(g, QStringLiteral("ProxyPort"), gen.proxyPort, OptionsFilePath());
    IniWriteString(g, QStringLiteral("ProxyAuthenticate"), gen.proxyAuthenticate,
                   OptionsFilePath());
    IniWriteString(g, QStringLiteral("ProxyPassword"), gen.proxyPassword, OptionsFilePath());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
