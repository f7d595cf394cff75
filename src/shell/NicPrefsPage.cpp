#include "shell/NicPrefsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "acquisition/Nic.h"
#include "platform/MessageService.h"
#include "shell/FormTranslation.h"
#include "shell/MonitorAccess.h"

using namespace Qt::StringLiterals;

bool IsHiddenAdapterType(int type, const Settings::General& general) {
  return (type == 23 && general.hideType23) || (type == 24 && general.hideType24) ||
         (type == 131 && general.hideType131);
}

std::uint32_t MaxSpeedFromText(const QString& text) {
  bool ok = false;
  const qulonglong value = text.trimmed().toULongLong(&ok);
  if (!ok) {
    // Only digits are typed, so a failed conversion of digits means an
    // overlong number: it gets the largest value instead of none.
    const QString t = text.trimmed();
    const bool digits =
        !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
    return digits ? std::numeric_limits<std::uint32_t>::max() : 0;
  }
  return static_cast<std::uint32_t>(
      std::min<qulonglong>(value, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t ShortNameLengthFromText(const QString& text) {
  bool ok = false;
  const uint value = text.trimmed().toUInt(&ok);
  return ok ? value : 1;
}

namespace {

QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& text) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  return box;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

NicPrefsPage::NicPrefsPage(TOptions& options, TLanguage& language, MessageService& messages,
                           MonitorAccess& monitor, QWidget* parent)
    : QWidget(parent),
      options_(options),
      language_(language),
      messages_(messages),
      monitor_(monitor) {
  setObjectName(u"NicPrefsPage"_s);

  NicPrefs_ComboBox = new QComboBox(this);
  NicPrefs_ComboBox->setObjectName(u"NicPrefs_ComboBox"_s);
  NicPrefs_ComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  NicPrefs_ComboBox->setFocusPolicy(Qt::StrongFocus);  // no wheel selection when passing by

  controls_ = new QWidget(this);
  controls_->setObjectName(u"NicPrefs_Controls"_s);

  // What is shown.
  auto* display = new QGroupBox(u"Display"_s, controls_);
  display->setObjectName(u"PrefGUI_Display_GroupBox"_s);
  PrefGUI_ShowLivedata_CheckBox =
      MakeCheckBox(display, u"PrefGUI_ShowLivedata_CheckBox"_s, u"Show in the live data grid"_s);
  PrefGUI_ShowGraphform_CheckBox =
      MakeCheckBox(display, u"PrefGUI_ShowGraphform_CheckBox"_s, u"Show the graph window"_s);
  Pref_Show_BalloonInfo_CheckBox = MakeCheckBox(display, u"Pref_Show_BalloonInfo_CheckBox"_s,
                                                u"Show in the tray's short information"_s);
  PrefGUI_ShortNameLength_Edit = new QLineEdit(display);
  PrefGUI_ShortNameLength_Edit->setObjectName(u"PrefGUI_ShortNameLength_Edit"_s);
  PrefGUI_ShortNameLength_Edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,4}"_s), this));
  PrefGUI_ShortNameLength_Edit->setMaximumWidth(60);
  auto* upDown = new QWidget(display);
  upDown->setObjectName(u"PrefGUI_ShortNameLength_UpDown"_s);
  shortNameUp_ = new QToolButton(upDown);
  shortNameUp_->setArrowType(Qt::UpArrow);
  shortNameDown_ = new QToolButton(upDown);
  shortNameDown_->setArrowType(Qt::DownArrow);
  auto* upDownLayout = new QHBoxLayout(upDown);
  upDownLayout->setContentsMargins(0, 0, 0, 0);
  upDownLayout->setSpacing(2);
  upDownLayout->addWidget(shortNameUp_);
  upDownLayout->addWidget(shortNameDown_);
  auto* shortNameRow = new QHBoxLayout;
  shortNameRow->addWidget(MakeLabel(display, u"ShortNameLength_Label"_s,
                                    u"Characters of the name in the short information:"_s,
                                    PrefGUI_ShortNameLength_Edit));
  shortNameRow->addWidget(PrefGUI_ShortNameLength_Edit);
  shortNameRow->addWidget(upDown);
  shortNameRow->addStretch(1);
  auto* displayLayout = new QVBoxLayout(display);
  displayLayout->addWidget(PrefGUI_ShowLivedata_CheckBox);
  displayLayout->addWidget(PrefGUI_ShowGraphform_CheckBox);
  displayLayout->addWidget(Pref_Show_BalloonInfo_CheckBox);
  displayLayout->addLayout(shortNameRow);

  // The graph window's appearance.
  auto* graph = new QGroupBox(u"Graph window"_s, controls_);
  graph->setObjectName(u"PrefGUI_Graph_GroupBox"_s);
  PrefGUI_OnTop_CheckBox =
      MakeCheckBox(graph, u"PrefGUI_OnTop_CheckBox"_s, u"Stay on top of other windows"_s);
  PrefGUI_Transparency_CheckBox =
      MakeCheckBox(graph, u"PrefGUI_Transparency_CheckBox"_s, u"Transparent"_s);
  TransValue_TrackBar = new QSlider(Qt::Horizontal, graph);
  TransValue_TrackBar->setObjectName(u"TransValue_TrackBar"_s);
  TransValue_TrackBar->setRange(0, 255);
  TransValue_TrackBar->setValue(255);
  PrefGUI_Clickthrough =
      MakeCheckBox(graph, u"PrefGUI_Clickthrough"_s, u"Let mouse clicks pass through the window"_s);
  PrefGUI_BorderlessMode_CheckBox =
      MakeCheckBox(graph, u"PrefGUI_BorderlessMode_CheckBox"_s, u"Without window frame"_s);
  PrefGUI_UtilizationInsteadBytes_CheckBox =
      MakeCheckBox(graph, u"PrefGUI_UtilizationInsteadBytes_CheckBox"_s,
                   u"Show the utilisation in percent instead of bytes"_s);
  auto* transRow = new QHBoxLayout;
  transRow->addWidget(PrefGUI_Transparency_CheckBox);
  transRow->addWidget(TransValue_TrackBar, 1);
  auto* graphLayout = new QVBoxLayout(graph);
  graphLayout->addWidget(PrefGUI_OnTop_CheckBox);
  graphLayout->addLayout(transRow);
  graphLayout->addWidget(PrefGUI_Clickthrough);
  graphLayout->addWidget(PrefGUI_BorderlessMode_CheckBox);
  graphLayout->addWidget(PrefGUI_UtilizationInsteadBytes_CheckBox);

  // Maximum speeds, typed or from a preset.
  auto* speed = new QGroupBox(u"Maximum speed (bytes per second)"_s, controls_);
  speed->setObjectName(u"MaxSpeed_GroupBox"_s);
  const auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), this);
  MaxSpeedDown_Edit = new QLineEdit(speed);
  MaxSpeedDown_Edit->setObjectName(u"MaxSpeedDown_Edit"_s);
  MaxSpeedDown_Edit->setValidator(digitsOnly);
  MaxSpeedUp_Edit = new QLineEdit(speed);
  MaxSpeedUp_Edit->setObjectName(u"MaxSpeedUp_Edit"_s);
  MaxSpeedUp_Edit->setValidator(digitsOnly);
  MaxSpeed_ComboBox = new QComboBox(speed);
  MaxSpeed_ComboBox->setObjectName(u"MaxSpeed_ComboBox"_s);
  MaxSpeed_ComboBox->addItems(options_.Model().general.maxSpeedEntries);
  SetMaxSpeedButton = new QPushButton(u"Use preset"_s, speed);
  SetMaxSpeedButton->setObjectName(u"SetMaxSpeedButton"_s);
  auto* speedLayout = new QGridLayout(speed);
  speedLayout->addWidget(
      MakeLabel(speed, u"MaxSpeedDown_Label"_s, u"Download:"_s, MaxSpeedDown_Edit), 0, 0);
  speedLayout->addWidget(MaxSpeedDown_Edit, 0, 1);
  speedLayout->addWidget(MakeLabel(speed, u"MaxSpeedUp_Label"_s, u"Upload:"_s, MaxSpeedUp_Edit), 1,
                         0);
  speedLayout->addWidget(MaxSpeedUp_Edit, 1, 1);
  speedLayout->addWidget(MaxSpeed_ComboBox, 2, 0);
  speedLayout->addWidget(SetMaxSpeedButton, 2, 1);

  // Reports and statistics.
  auto* use = new QGroupBox(u"Reports and statistics"_s, controls_);
  use->setObjectName(u"PrefGUI_Use_GroupBox"_s);
  PrefGUI_Report_CheckBox =
      MakeCheckBox(use, u"PrefGUI_Report_CheckBox"_s, u"Include in reports"_s);
  PrefGUI_ShowIn_Statistics =
      MakeCheckBox(use, u"PrefGUI_ShowIn_Statistics"_s, u"Offer in the statistics"_s);
  auto* useLayout = new QVBoxLayout(use);
  useLayout->addWidget(PrefGUI_Report_CheckBox);
  useLayout->addWidget(PrefGUI_ShowIn_Statistics);

  // Identity, read only.
  auto* identity = new QGroupBox(u"Identity"_s, controls_);
  identity->setObjectName(u"PrefGUI_Identity_GroupBox"_s);
  DatabaseID_Edit = new QLineEdit(identity);
  DatabaseID_Edit->setObjectName(u"DatabaseID_Edit"_s);
  DatabaseID_Edit->setReadOnly(true);
  ShowMac_Edit = new QLineEdit(identity);
  ShowMac_Edit->setObjectName(u"ShowMac_Edit"_s);
  ShowMac_Edit->setReadOnly(true);
  auto* identityLayout = new QGridLayout(identity);
  identityLayout->addWidget(
      MakeLabel(identity, u"DatabaseID_Label"_s, u"Database table:"_s, DatabaseID_Edit), 0, 0);
  identityLayout->addWidget(DatabaseID_Edit, 0, 1);
  identityLayout->addWidget(
      MakeLabel(identity, u"ShowMac_Label"_s, u"Hardware address:"_s, ShowMac_Edit), 1, 0);
  identityLayout->addWidget(ShowMac_Edit, 1, 1);

  Save_Nic_Button = new QPushButton(u"&Save"_s, controls_);
  Save_Nic_Button->setObjectName(u"Save_Nic_Button"_s);
  OneClickDisableButton = new QPushButton(u"Disable this interface"_s, controls_);
  OneClickDisableButton->setObjectName(u"OneClickDisableButton"_s);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OneClickDisableButton);
  buttons->addStretch(1);
  buttons->addWidget(Save_Nic_Button);

  auto* grid = new QGridLayout(controls_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(display, 0, 0);
  grid->addWidget(graph, 0, 1);
  grid->addWidget(speed, 1, 0);
  grid->addWidget(use, 1, 1);
  grid->addWidget(identity, 2, 0, 1, 2);
  grid->addLayout(buttons, 3, 0, 1, 2);

  auto* top = new QHBoxLayout;
  top->addWidget(MakeLabel(this, u"NicPrefs_Label"_s, u"&Interface:"_s, NicPrefs_ComboBox));
  top->addWidget(NicPrefs_ComboBox, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(controls_);
  layout->addStretch(1);

  connect(NicPrefs_ComboBox, &QComboBox::currentIndexChanged, this,
          &NicPrefsPage::NicPrefs_ComboBoxSelect);
  connect(Save_Nic_Button, &QPushButton::clicked, this, &NicPrefsPage::Save_Nic_ButtonClick);
  connect(OneClickDisableButton, &QPushButton::clicked, this,
          &NicPrefsPage::OneClickDisableButtonClick);
  connect(SetMaxSpeedButton, &QPushButton::clicked, this, &NicPrefsPage::SetMaxSpeedButtonClick);
  connect(PrefGUI_UtilizationInsteadBytes_CheckBox, &QCheckBox::clicked, this,
          &NicPrefsPage::UtilizationClicked);
  connect(shortNameUp_, &QToolButton::clicked, this, [this] { StepShortNameLength(1); });
  connect(shortNameDown_, &QToolButton::clicked, this, [this] { StepShortNameLength(-1); });

  LoadControls();
}

QString NicPrefsPage::Text(const QString& section, const QString& key) const {
  return LanguageText(language_, section, key, language_.NotFoundText());
}

void NicPrefsPage::Reload() {
  TNic* selected = SelectedRecord();
  const NicVector& v = monitor_.Records();
  const Settings::General& general = options_.Model().general;
  {
    const QSignalBlocker block(NicPrefs_ComboBox);
    NicPrefs_ComboBox->clear();
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (!v[i] || IsHiddenAdapterType(v[i]->GetType(), general)) continue;
      NicPrefs_ComboBox->addItem(v[i]->GetName(), QVariant::fromValue<qulonglong>(i));
      if (v[i].get() == selected)
        NicPrefs_ComboBox->setCurrentIndex(NicPrefs_ComboBox->count() - 1);
    }
    if (!selected) NicPrefs_ComboBox->setCurrentIndex(-1);
  }
  LoadControls();
}

TNic* NicPrefsPage::SelectedRecord() const {
  const int entry = NicPrefs_ComboBox->currentIndex();
  if (entry < 0) return nullptr;
  bool ok = false;
  const qulonglong index = NicPrefs_ComboBox->itemData(entry).toULongLong(&ok);
  const NicVector& v = monitor_.Records();
  return ok && index < v.size() ? v[index].get() : nullptr;
}

bool NicPrefsPage::SelectRecord(std::size_t index) {
  const int entry = NicPrefs_ComboBox->findData(QVariant::fromValue<qulonglong>(index));
  if (entry < 0) return false;
  NicPrefs_ComboBox->setCurrentIndex(entry);
  return true;
}

void NicPrefsPage::NicPrefs_ComboBoxSelect() { LoadControls(); }

void NicPrefsPage::LoadControls() {
  const TNic* nic = SelectedRecord();
  controls_->setEnabled(nic != nullptr);
  if (!nic) {
    for (QLineEdit* edit : {MaxSpeedDown_Edit, MaxSpeedUp_Edit, DatabaseID_Edit, ShowMac_Edit,
                            PrefGUI_ShortNameLength_Edit})
      edit->clear();
    for (QCheckBox* box :
         {PrefGUI_ShowLivedata_CheckBox, PrefGUI_ShowGraphform_CheckBox, PrefGUI_OnTop_CheckBox,
          PrefGUI_Transparency_CheckBox, PrefGUI_Report_CheckBox, PrefGUI_ShowIn_Statistics,
          PrefGUI_Clickthrough, PrefGUI_UtilizationInsteadBytes_CheckBox,
          Pref_Show_BalloonInfo_CheckBox, PrefGUI_BorderlessMode_CheckBox})
      box->setChecked(false);
    TransValue_TrackBar->setValue(255);
    return;
  }
  PrefGUI_ShowLivedata_CheckBox->setChecked(nic->ShowLivedata);
  PrefGUI_ShowGraphform_CheckBox->setChecked(nic->ShowGraphform);
  MaxSpeedDown_Edit->setText(QString::number(nic->maxspeeddown));
  MaxSpeedUp_Edit->setText(QString::number(nic->maxspeedup));
  PrefGUI_OnTop_CheckBox->setChecked(nic->ontop);
  PrefGUI_Transparency_CheckBox->setChecked(nic->trans);
  TransValue_TrackBar->setValue(static_cast<int>(std::min<std::uint32_t>(nic->transvalue, 255)));
  PrefGUI_Report_CheckBox->setChecked(nic->report);
  DatabaseID_Edit->setText(nic->GetIndex());
  ShowMac_Edit->setText(nic->GetMac());
  PrefGUI_ShowIn_Statistics->setChecked(nic->ShowIn_Statistics);
  PrefGUI_Clickthrough->setChecked(nic->clickthrough);
  PrefGUI_UtilizationInsteadBytes_CheckBox->setChecked(nic->UtilizationInsteadBytes);
  Pref_Show_BalloonInfo_CheckBox->setChecked(nic->Show_BalloonInfo);
  PrefGUI_BorderlessMode_CheckBox->setChecked(nic->BorderlessMode);
  PrefGUI_ShortNameLength_Edit->setText(QString::number(nic->shortnamelength));
}

void NicPrefsPage::UtilizationClicked(bool checked) {
  if (!checked || !SelectedRecord()) return;
  // Utilisation needs both maxima: a percentage of nothing means nothing.
  if (MaxSpeedFromText(MaxSpeedDown_Edit->text()) == 0 ||
      MaxSpeedFromText(MaxSpeedUp_Edit->text()) == 0) {
    messages_.Show(Text(u"Errors"_s, u"Error43"_s), language_.WarningTitle(), MessageIcon::Warning);
    PrefGUI_UtilizationInsteadBytes_CheckBox->setChecked(false);
  }
}

void NicPrefsPage::StepShortNameLength(int step) {
  bool ok = false;
  int value = PrefGUI_ShortNameLength_Edit->text().toInt(&ok);
  if (!ok) value = 0;
  if (step > 0 && value <= 9) ++value;
  if (step < 0 && value > 0) --value;
  PrefGUI_ShortNameLength_Edit->setText(QString::number(value));
}

void NicPrefsPage::SetMaxSpeedButtonClick() {
  const int preset = MaxSpeed_ComboBox->currentIndex();
  if (preset < 0) return;
  const QStringList& values = options_.GetMaxSpeedValues();
  const qsizetype up = 2 * static_cast<qsizetype>(preset);
  const auto isNumber = [](const QString& text) {
    bool ok = false;
    text.trimmed().toULongLong(&ok);
    return ok;
  };
  if (up + 1 >= values.size() || !isNumber(values[up]) || !isNumber(values[up + 1])) {
    messages_.Show(
        LanguageText(language_, u"Errors"_s, u"Error45"_s, language_.NotFoundText())
            .replace(u"%configfile%"_s, QFileInfo(options_.GetVariablesFile()).fileName(),
                     Qt::CaseInsensitive),
        language_.ErrorTitle(), MessageIcon::Error);
    return;
  }
  MaxSpeedUp_Edit->setText(values[up].trimmed());
  MaxSpeedDown_Edit->setText(values[up + 1].trimmed());
}

void NicPrefsPage::Save_Nic_ButtonClick() {
  TNic* nic = SelectedRecord();
  if (!nic) return;
  nic->ShowLivedata = PrefGUI_ShowLivedata_CheckBox->isChecked();
  nic->ShowGraphform = PrefGUI_ShowGraphform_CheckBox->isChecked();
  nic->ontop = PrefGUI_OnTop_CheckBox->isChecked();
  nic->trans = PrefGUI_Transparency_CheckBox->isChecked();
  nic->report = PrefGUI_Report_CheckBox->isChecked();
  nic->ShowIn_Statistics = PrefGUI_ShowIn_Statistics->isChecked();
  nic->clickthrough = PrefGUI_Clickthrough->isChecked();
  nic->Show_BalloonInfo = Pref_Show_BalloonInfo_CheckBox->isChecked();
  nic->BorderlessMode = PrefGUI_BorderlessMode_CheckBox->isChecked();
  nic->maxspeeddown = MaxSpeedFromText(MaxSpeedDown_Edit->text());
  nic->maxspeedup = MaxSpeedFromText(MaxSpeedUp_Edit->text());
  nic->transvalue = static_cast<std::uint32_t>(TransValue_TrackBar->value());
  nic->UtilizationInsteadBytes = PrefGUI_UtilizationInsteadBytes_CheckBox->isChecked();
  nic->shortnamelength = ShortNameLengthFromText(PrefGUI_ShortNameLength_Edit->text());

  if (nic->SavePrefs()) {
    messages_.Show(Text(u"Errors"_s, u"Error13"_s), language_.InformationTitle(),
                   MessageIcon::Information);
  } else {
    messages_.Show(Text(u"Errors"_s, u"Error14"_s), language_.ErrorTitle(), MessageIcon::Error);
  }
  LoadControls();
  Q_EMIT PreferencesSaved();
}

void NicPrefsPage::OneClickDisableButtonClick() {
  TNic* nic = SelectedRecord();
  if (!nic) return;
  nic->ShowLivedata = false;
  nic->ShowGraphform = false;
  nic->report = false;
  nic->ShowIn_Statistics = false;
  if (!nic->SavePrefs())
    messages_.Show(Text(u"Errors"_s, u"Error14"_s), language_.ErrorTitle(), MessageIcon::Error);
  LoadControls();
  Q_EMIT PreferencesSaved();
}
