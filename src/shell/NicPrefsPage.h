#pragma once

#include <QWidget>
#include <cstdint>

#include "TOptions/Settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;
class MessageService;
class MonitorAccess;
class TLanguage;
class TNic;
class TOptions;

// Whether the interface lists leave out records of this type (PPP 23,
// software loopback 24, tunnel 131, each by its own option).
bool IsHiddenAdapterType(int type, const Settings::General& general);

// The maximum speed edits: a number, or 0 when the text is none; numbers past
// the field's range are stored as its largest value.
std::uint32_t MaxSpeedFromText(const QString& text);
// The short-name length edit: a number, or 1 when the text is none.
std::uint32_t ShortNameLengthFromText(const QString& text);

// The interface preferences page: chooses one record and edits the
// preferences it is displayed and reported with.
class NicPrefsPage : public QWidget {
  Q_OBJECT

 public:
  NicPrefsPage(TOptions& options, TLanguage& language, MessageService& messages,
               MonitorAccess& monitor, QWidget* parent = nullptr);

  // Refills the interface list (the page is being shown); the selected record
  // stays selected while it is still listed, and the controls show its values.
  void Reload();
  // The record of the selected entry, or null.
  TNic* SelectedRecord() const;
  // Selects the entry of record `index` (a position in the records); false
  // when that record is not listed.
  bool SelectRecord(std::size_t index);

  void Save_Nic_ButtonClick();
  void OneClickDisableButtonClick();
  void SetMaxSpeedButtonClick();

 Q_SIGNALS:
  // A record's preferences were written (the live grid recounts its rows).
  void PreferencesSaved();

 private:
  void NicPrefs_ComboBoxSelect();
  void LoadControls();
  void UtilizationClicked(bool checked);
  void StepShortNameLength(int step);
  QString Text(const QString& section, const QString& key) const;

  TOptions& options_;
  TLanguage& language_;
  MessageService& messages_;
  MonitorAccess& monitor_;

  QComboBox* NicPrefs_ComboBox = nullptr;
  QCheckBox* PrefGUI_ShowLivedata_CheckBox = nullptr;
  QCheckBox* PrefGUI_ShowGraphform_CheckBox = nullptr;
  QLineEdit* MaxSpeedDown_Edit = nullptr;
  QLineEdit* MaxSpeedUp_Edit = nullptr;
  QComboBox* MaxSpeed_ComboBox = nullptr;
  QPushButton* SetMaxSpeedButton = nullptr;
  QCheckBox* PrefGUI_OnTop_CheckBox = nullptr;
  QCheckBox* PrefGUI_Transparency_CheckBox = nullptr;
  QSlider* TransValue_TrackBar = nullptr;
  QCheckBox* PrefGUI_Report_CheckBox = nullptr;
  QLineEdit* DatabaseID_Edit = nullptr;
  QLineEdit* ShowMac_Edit = nullptr;
  QCheckBox* PrefGUI_ShowIn_Statistics = nullptr;
  QCheckBox* PrefGUI_Clickthrough = nullptr;
  QCheckBox* PrefGUI_UtilizationInsteadBytes_CheckBox = nullptr;
  QCheckBox* Pref_Show_BalloonInfo_CheckBox = nullptr;
  QCheckBox* PrefGUI_BorderlessMode_CheckBox = nullptr;
  QLineEdit* PrefGUI_ShortNameLength_Edit = nullptr;
  QToolButton* shortNameUp_ = nullptr;
  QToolButton* shortNameDown_ = nullptr;
  QPushButton* Save_Nic_Button = nullptr;
  QPushButton* OneClickDisableButton = nullptr;
  QWidget* controls_ = nullptr;
};
