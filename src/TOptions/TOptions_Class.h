#pragma once

#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "TOptions/OptionsPath.h"
#include "TOptions/Settings.h"
#include "platform/DateTime.h"

// What the options need from the rest of the program; every hook is optional.
struct TOptionsHooks {
  // Switches the query server on or off with the model's bindings; on failure
  // returns false and fills *error with the reason.
  std::function<bool(const Settings::TcpServer& server, bool active, QString* error)> switchServer;
  // Shows an error message box (text, caption).
  std::function<void(const QString& text, const QString& caption)> showError;
  // Passes a new snap distance on to every graph window.
  std::function<void(int distance)> snapDistanceChanged;
};

// The single store of the program's settings: the variables file (read only)
// and the options file, in the program directory or the user's config folder.
class TOptions {
 public:
  static inline const QString kVariablesSection = QStringLiteral("Variablen");
  static inline const QString kVariablesFileName = QStringLiteral("variables.conf");

  explicit TOptions(ProgramLocation location, bool loadNow = false, TOptionsHooks hooks = {},
                    QLocale locale = QLocale());
  TOptions(const TOptions&) = delete;
  TOptions& operator=(const TOptions&) = delete;

  bool Load();
  bool Save();
  bool SaveWindow();
  bool SaveReports();
  bool SaveProxy();

  // The active options file, resolved with the current UseProgramDirectory.
  QString OptionsFilePath() const;
  QString OptionsFilePath(bool useProgramDirectory) const;
  // The options file beside the executable.
  QString ProgramDirOptionsFile() const;

  Settings::Model& Model() { return model_; }
  const Settings::Model& Model() const { return model_; }
  const TOptionsHooks& Hooks() const { return hooks_; }
  void SetHooks(TOptionsHooks hooks) { hooks_ = std::move(hooks); }

  const QString& GetGeneralSection() const { return generalSection_; }
  const QString& GetWindowSection() const { return windowSection_; }
  const QString& GetReportsSection() const { return reportsSection_; }
  const QString& GetTweaksSection() const { return tweaksSection_; }
  const QString& GetTCPServerSection() const { return tcpServerSection_; }
  const QString& GetCaseSection() const { return caseSection_; }
  const QString& GetPreferencesTableName() const { return preferencesTableName_; }
  const QString& GetVariablesSection() const { return variablesSection_; }
  const QString& GetVariablesFile() const { return variablesFile_; }
  const QString& GetCacheFileName() const { return cacheFileName_; }
  const QString& GetErrorFileName() const { return errorFileName_; }
  const QString& GetDatabaseFile() const { return databaseFile_; }
  const QStringList& GetMaxSpeedValues() const { return maxSpeedValues_; }
  bool GetScreenshotOnException() const { return screenshotOnException_; }

  bool GetUseProgramDirectory() const { return useProgramDirectory_; }
  // Redirects every later access of the options file at once.
  void SetUseProgramDirectory(bool value);

  const QString& GetHelpFile() const { return helpFile_; }
  bool SetHelpFile(const QString& value);
  const QString& GetLanguageFileName() const { return languageFileName_; }
  bool SetLanguageFileName(const QString& value);
  // Read through a pointer by the interface records on every poll.
  const bool* BewareOfTrafficDoublePtr() const { return &bewareOfTrafficDouble_; }
  bool GetBewareOfTrafficDouble() const { return bewareOfTrafficDouble_; }
  void SetBewareOfTrafficDouble(bool value) { bewareOfTrafficDouble_ = value; }
  TDateTime GetLastUpdate() const { return lastUpdate_; }
  void SetLastUpdate(TDateTime value) { lastUpdate_ = value; }
  int GetConversionBase() const { return conversionBase_; }
  void SetConversionBase(int value) { conversionBase_ = value; }
  int GetSnapDistance() const { return snapDistance_; }
  // Negative distances are ignored; others also go to every graph window.
  void SetSnapDistance(int value);
  int GetOnTopInsertAfter() const { return onTopInsertAfter_; }
  void SetOnTopInsertAfter(int value) { onTopInsertAfter_ = value; }
  QObject* GetOnTopLeader() const { return onTopLeader_.data(); }
  void SetOnTopLeader(QObject* window) { onTopLeader_ = window; }

  // What the snap distance edit does with its text: a number 0..25 becomes the
  // snap distance, anything else leaves it as it is.
  void ApplySnapValueText(const QString& text);

  // Tweaks without a control, read from the program-directory file at each call.
  int GetOntopInterval() const;
  int GetReportThreadPriority() const;
  int GetStatisticThreadPriority() const;
  int GetUpdateThreadPriority() const;

 private:
  void Migrate();
  void LoadTcpServer();
  void LoadReports();

  ProgramLocation location_;
  TOptionsHooks hooks_;
  QLocale locale_;
  Settings::Model model_;

  QString generalSection_, windowSection_, reportsSection_, tweaksSection_, tcpServerSection_,
      caseSection_;
  QString preferencesTableName_;
  QString variablesSection_;
  QString variablesFile_;
  QString helpFile_ = QStringLiteral("Hilfe.chm");
  QString languageFileName_ = QStringLiteral("deutsch.lan");
  QString cacheFileName_;
  QString errorFileName_ = QStringLiteral("error.txt");
  QString databaseFile_;
  QStringList maxSpeedValues_;
  bool useProgramDirectory_ = true;
  bool bewareOfTrafficDouble_ = true;
  bool screenshotOnException_ = true;
  TDateTime lastUpdate_ = 0;
  int conversionBase_ = 1024;
  int snapDistance_ = 15;
  int onTopInsertAfter_ = -1;
  QPointer<QObject> onTopLeader_;
};
