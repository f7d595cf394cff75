#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

// The values the options pages and the main window show and edit. Loading
// fills them, saving reads them back; widgets bind to these fields. Setters
// that a control would clamp are given as functions that clamp the same way.
namespace Settings {

// A track bar keeps its position within its range.
inline int ClampTrackBar(int value, int min, int max) { return std::clamp(value, min, max); }

// A radio group's item index stays within -1 (nothing chosen) .. count - 1.
inline int ClampRadioIndex(int value, int count) { return std::clamp(value, -1, count - 1); }

// A drop-down list selects nothing (-1) for an index outside its items.
inline int ComboIndex(int value, int count) { return value >= 0 && value < count ? value : -1; }

// General options page.
struct General {
  static constexpr int kNicEngineIntervalMin = 1;  // NicEngineIntervall_TrackBar, seconds
  static constexpr int kNicEngineIntervalMax = 30;
  static constexpr int kBasePrioMin = 1;  // Basisprio_TrackBar
  static constexpr int kBasePrioMax = 6;
  static constexpr int kAutoUpdateItems = 4;      // Update_RadioGroup
  static constexpr int kCloseProcedureItems = 2;  // CloseProcedure_RadioGroup
  static constexpr int kSizingModeItems = 3;      // the two *_StringGridSizingMode_RadioGroup

  bool converter = false;      // Convert_CheckBox
  bool dfuEngine = true;       // dfu_CheckBox
  int nicEngineIntervall = 1;  // NicEngineIntervall_TrackBar position
  int basePrio = 2;            // Basisprio_TrackBar position
  bool doubleTraffic = true;   // Bewareoftrafficdouble_CheckBox
  int autoUpdate = 0;          // Update_RadioGroup item index
  QString proxyServer;         // update connection proxy
  int proxyPort = 0;
  QString proxyAuthenticate;                     // proxy user name
  QString proxyPassword;                         // as stored, i.e. scrambled
  bool nicEngine = true;                         // nic_CheckBox
  QString cacheIntervalText;                     // CacheIntervalEdit, kept as typed
  int cacheIntervalMinutes = 0;                  // CacheToHDDTimer, 0 when the text is no number
  QString snapValueText = QStringLiteral("15");  // SnapValueEdit
  bool transOnMove = true;                       // Trans_OnMove_CheckBox
  bool utilizationGraphs = true;                 // ShowUtilizationInGraphforms_CheckBox
  bool utilizationStats = true;                  // ShowUtilizationInStatistics_CheckBox
  bool cutPeaks = false;                         // CutPeaks_CheckBox
  int closeProcedure = 0;                        // CloseProcedure_RadioGroup item index
  int livedataSizingMode = 2;                    // Livedata_StringGridSizingMode_RadioGroup
  int statisticSizingMode = 2;                   // Statistic_StringGridSizingMode_RadioGroup
  bool saveIniInProgramDir = true;               // SaveIniInProgramdir_CheckBox
  bool showBalloonOnMouseOver = false;           // ShowBalloonOnMouseOver_CheckBox
  bool hideType23 = true;                        // Hide_dwType23_CheckBox
  bool hideType24 = true;                        // Hide_dwType24_CheckBox
  bool hideType131 = true;                       // Hide_dwType131_CheckBox
  bool backupB4Update = false;                   // BackupB4Update_CheckBox
  QString backupFolder = QStringLiteral("_backup");  // BackupB4Update_Edit
  QStringList maxSpeedEntries;                       // items of MaxSpeed_ComboBox (preset labels)

  void SetNicEngineIntervall(int v) {
    nicEngineIntervall = ClampTrackBar(v, kNicEngineIntervalMin, kNicEngineIntervalMax);
  }
  void SetBasePrio(int v) { basePrio = ClampTrackBar(v, kBasePrioMin, kBasePrioMax); }
  void SetAutoUpdate(int v) { autoUpdate = ClampRadioIndex(v, kAutoUpdateItems); }
  void SetCloseProcedure(int v) { closeProcedure = ClampRadioIndex(v, kCloseProcedureItems); }
  void SetLivedataSizingMode(int v) { livedataSizingMode = ClampRadioIndex(v, kSizingModeItems); }
  void SetStatisticSizingMode(int v) { statisticSizingMode = ClampRadioIndex(v, kSizingModeItems); }

  int NicEngineIntervalMs() const { return nicEngineIntervall * 1000; }
  // 0 (no snapshots) unless the minutes fit a timer interval.
  int CacheIntervalMs() const {
    return cacheIntervalMinutes > 0 && cacheIntervalMinutes <= 35791 ? cacheIntervalMinutes * 60000
                                                                     : 0;
  }
};

// The main window's placement.
struct Window {
  int state = 0;  // 0 normal, 1 minimised, 2 maximised
  int top = 0;
  int left = 0;
  int width = 250;
  int height = 100;
  bool visible = true;
};

// Report page.
struct Reports {
  static constexpr int kUnitItems = 9;          // Report_ComboBox1..4: B^0 .. B^8
  static constexpr int kReportFormatItems = 2;  // CreateReportIn_RadioGroup: XHTML, XML

  bool autoReport = false;                        // Report_CreateAutomatically
  QString dayOfAutoReport = QStringLiteral("1");  // Report_DayOfAutoReport_Edit
  int comboBox1Index = 1;                         // Report_ComboBox1 (daily unit)
  int comboBox2Index = 2;                         // Report_ComboBox2 (monthly unit)
  int comboBox3Index = 2;                         // Report_ComboBox3 (own-range unit)
  int comboBox4Index = 3;                         // Report_ComboBox4 (yearly unit)
  bool dailyReport = true;                        // Report_Daily_CheckBox
  bool monthlyReport = true;                      // Report_Monthly_CheckBox
  bool yearlyReport = true;                       // Report_Yearly_CheckBox
  QString path;                                   // Report_Path_Edit
  bool ownReport = false;                         // Report_OwnRange_CheckBox
  QString ownReportFrom = QStringLiteral("27");   // Report_OwnRangeFrom_Edit
  QString ownReportTo = QStringLiteral("26");     // Report_OwnRangeTo_Edit
  bool integrateUtilization = true;               // Report_Utilization_CheckBox
  int reportFormat = 0;                           // CreateReportIn_RadioGroup
  bool includeBasicCss = true;                    // Report_IncludeBasicCSS_CheckBox

  void SetReportFormat(int v) { reportFormat = ClampRadioIndex(v, kReportFormatItems); }
};

// The query server's configuration and state.
struct TcpServer {
  static constexpr int kDefaultPort = 2209;

  struct Binding {
    QString ip;
    int port = kDefaultPort;
    bool operator==(const Binding&) const = default;
  };

  std::vector<Binding> bindings;
  int maxConnections = 5;
  bool forbidActiveFunctions = false;  // ForbidActiveFunctions_CheckBox
  bool active = false;                 // whether the server listens

  // Port stored with the bindings: the first binding's, or the default without one.
  int Port() const { return bindings.empty() ? kDefaultPort : bindings.front().port; }
  QStringList Ips() const {
    QStringList ips;
    for (const Binding& b : bindings) ips.append(b.ip);
    return ips;
  }
};

struct Model {
  General general;
  Window window;
  Reports reports;
  TcpServer tcpServer;
};

}  // namespace Settings
