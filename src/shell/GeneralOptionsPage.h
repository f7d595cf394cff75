#pragma once

#include <QWidget>

#include "shell/LanguageDialog.h"

class Autostart;
class MessageService;
class ProcessPriority;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class TLanguage;
class TOptions;

// What the page needs from the running program besides options, language and
// messages. Missing services switch their control off: without a priority
// service the track bar only reports its position, without an autostart the
// Startup_CheckBox is disabled, without a file chooser the Lang_Button is.
struct GeneralOptionsServices {
  ProcessPriority* priority = nullptr;     // applies Basisprio_TrackBar at once
  const Autostart* autostart = nullptr;    // Startup_CheckBox
  OpenFileChooser* fileChooser = nullptr;  // the language dialog of Lang_Button
  LanguageDialogHooks languageDialog;
};

// The general options page. Its controls bear the names of the options tables
// (they are the translation's component names, section "TMainform") and are
// bound both ways to the settings model of the options: a change of a control
// goes into the model at once, and showing the page shows the model. The query
// server controls are the exception: they show the server when the page is
// shown and reach the server only through Save_Gen_Button.
class GeneralOptionsPage : public QWidget {
  Q_OBJECT

 public:
  GeneralOptionsPage(TOptions& options, TLanguage& language, MessageService& messages,
                     QWidget* parent = nullptr);

  void SetServices(GeneralOptionsServices services);

  // Shows the model's values; emits no change signals. Runs on construction and
  // whenever the page is shown, with the two refreshes below.
  void RefreshFromModel();
  // EnableTCPServer_CheckBox, TCPServerIPs_Memo, TCPServerPort_Edit and
  // TCPServerMaxConnections_Edit from the server's current settings.
  void RefreshServerControls();
  // Startup_CheckBox from the autostart entries on disk.
  void RefreshStartupCheckBox();
  // The update server switched updates off: "Disabled", and the group greyed out.
  void DisableAutomaticUpdates();

 Q_SIGNALS:
  // Changes the rest of the program applies at once.
  void nicEngineIntervalChanged(int seconds);
  void cacheIntervalTextChanged(const QString& text);
  void conversionBaseChanged(int base);
  void basePriorityChanged(int position);
  // Any setting of the page changed by the user.
  void settingsChanged();
  // After Save_Gen_Button: whether the options were written.
  void saved(bool ok);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildUi();
  void Connect();
  QCheckBox* AddCheckBox(QLayout* layout, const char* name, const QString& text);
  QGroupBox* AddRadioGroup(const char* name, const QString& title, const QStringList& items);
  // A QLineEdit and its label in one row of the grid.
  QLineEdit* AddLabeledEdit(QGridLayout* grid, int row, const char* name, const QString& label);
  void BindCheckBox(QCheckBox* box, bool* field);
  void ConnectRadioItems(QGroupBox* group);
  void OnRadioToggled();
  void OnStartupClicked(bool checked);
  void OnLanguageClicked();
  void OnSaveClicked();
  void UpdateIntervalLabel();
  void Changed();

  TOptions& options_;
  TLanguage& language_;
  MessageService& messages_;
  GeneralOptionsServices services_;
  bool refreshing_ = false;

  QCheckBox* convert_ = nullptr;
  QCheckBox* dfu_ = nullptr;
  QSlider* nicEngineInterval_ = nullptr;
  QLabel* nicEngineIntervalValue_ = nullptr;
  QSlider* basePrio_ = nullptr;
  QCheckBox* doubleTraffic_ = nullptr;
  QGroupBox* update_ = nullptr;
  QCheckBox* nic_ = nullptr;
  QLineEdit* cacheInterval_ = nullptr;
  QLineEdit* snapValue_ = nullptr;
  QCheckBox* transOnMove_ = nullptr;
  QCheckBox* utilizationGraphs_ = nullptr;
  QCheckBox* utilizationStats_ = nullptr;
  QCheckBox* cutPeaks_ = nullptr;
  QGroupBox* closeProcedure_ = nullptr;
  QGroupBox* livedataSizing_ = nullptr;
  QGroupBox* statisticSizing_ = nullptr;
  QCheckBox* saveIniInProgramDir_ = nullptr;
  QCheckBox* showBalloon_ = nullptr;
  QCheckBox* hideType23_ = nullptr;
  QCheckBox* hideType24_ = nullptr;
  QCheckBox* hideType131_ = nullptr;
  QCheckBox* backup_ = nullptr;
  QLineEdit* backupFolder_ = nullptr;
  QCheckBox* startup_ = nullptr;
  QPushButton* langButton_ = nullptr;
  QCheckBox* enableServer_ = nullptr;
  QCheckBox* forbidActive_ = nullptr;
  QPlainTextEdit* serverIps_ = nullptr;
  QLineEdit* serverPort_ = nullptr;
  QLineEdit* serverMaxConnections_ = nullptr;
  QPushButton* saveButton_ = nullptr;
};
