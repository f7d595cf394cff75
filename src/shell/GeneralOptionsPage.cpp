#include "shell/GeneralOptionsPage.h"

#include <QCheckBox>
#include <QChildEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <climits>

#include "TLanguage/TLanguage.h"
#include "TOptions/GeneralPageSave.h"
#include "TOptions/TOptions_Class.h"
#include "platform/MessageService.h"
#include "shell/Autostart.h"
#include "shell/ProcessPriority.h"
#include "shell/TranslateForm.h"

using namespace Qt::StringLiterals;

namespace {

// The cache timer takes milliseconds in an int; longer intervals would overflow it.
constexpr int kMaxCacheIntervalMinutes = INT_MAX / 60000;

// Lets only the given characters be typed; keys without text (cursor keys,
// Delete), control characters (backspace, Enter, Tab) and shortcuts pass.
class TypedCharacterFilter final : public QObject {
 public:
  TypedCharacterFilter(QString allowed, QObject* parent)
      : QObject(parent), allowed_(std::move(allowed)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
      return false;
    }
    for (const QChar c : key->text()) {
      if (c.category() != QChar::Other_Control && !allowed_.contains(c)) return true;
    }
    return false;
  }

 private:
  QString allowed_;
};

const QString kDigits = u"0123456789"_s;

QLabel* NewLabel(const QString& name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setProperty("showHint", false);
  return label;
}

QGroupBox* NewGroupBox(const char* name, const QString& title, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setProperty("showHint", false);
  return group;
}

}  // namespace

GeneralOptionsPage::GeneralOptionsPage(TOptions& options, TLanguage& language,
                                       MessageService& messages, QWidget* parent)
    : QWidget(parent), options_(options), language_(language), messages_(messages) {
  setObjectName(u"GeneralOptionsPage"_s);
  // The page's controls belong to the main window's section, even on their own.
  setProperty("languageSection", u"TMainform"_s);
  setProperty("showHint", false);
  BuildUi();
  Connect();
  SetServices({});
  RefreshFromModel();
  RefreshServerControls();
}

QCheckBox* GeneralOptionsPage::AddCheckBox(QLayout* layout, const char* name, const QString& text) {
  auto* box = new QCheckBox(text, this);
  box->setObjectName(QString::fromLatin1(name));
  layout->addWidget(box);
  return box;
}

QGroupBox* GeneralOptionsPage::AddRadioGroup(const char* name, const QString& title,
                                             const QStringList& items) {
  auto* group = new QGroupBox(title, this);
  group->setObjectName(QString::fromLatin1(name));
  group->setProperty("radioGroup", true);
  auto* layout = new QVBoxLayout(group);
  for (const QString& item : items) layout->addWidget(new QRadioButton(item, group));
  // Translation may replace the items; new ones are connected as they come.
  group->installEventFilter(this);
  return group;
}

QLineEdit* GeneralOptionsPage::AddLabeledEdit(QGridLayout* grid, int row, const char* name,
                                              const QString& labelText) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setProperty("labeledEdit", true);
  auto* label = NewLabel(QString::fromLatin1(name) + u"_Label"_s, labelText, this);
  label->setBuddy(edit);
  grid->addWidget(label, row, 0);
  grid->addWidget(edit, row, 1);
  return edit;
}

void GeneralOptionsPage::BuildUi() {
  auto* page = new QGridLayout(this);

  // Traffic capture.
  QGroupBox* capture = NewGroupBox("GenCapture_GroupBox", u"Traffic capture"_s, this);
  auto* captureLayout = new QVBoxLayout(capture);
  nic_ = AddCheckBox(captureLayout, "nic_CheckBox", u"Poll the network interfaces"_s);
  dfu_ = AddCheckBox(captureLayout, "dfu_CheckBox", u"Poll the dial-up connection"_s);
  doubleTraffic_ = AddCheckBox(captureLayout, "Bewareoftrafficdouble_CheckBox",
                               u"Guard against doubled traffic"_s);
  hideType23_ = AddCheckBox(captureLayout, "Hide_dwType23_CheckBox", u"Hide PPP interfaces"_s);
  hideType24_ = AddCheckBox(captureLayout, "Hide_dwType24_CheckBox", u"Hide loopback interfaces"_s);
  hideType131_ = AddCheckBox(captureLayout, "Hide_dwType131_CheckBox", u"Hide tunnel interfaces"_s);
  convert_ = AddCheckBox(captureLayout, "Convert_CheckBox", u"Units of 1000 instead of 1024"_s);
  captureLayout->addWidget(
      NewLabel(u"NicEngineIntervall_Label"_s, u"Polling interval (seconds):"_s, this));
  auto* intervalRow = new QHBoxLayout;
  nicEngineInterval_ = new QSlider(Qt::Horizontal, this);
  nicEngineInterval_->setObjectName(u"NicEngineIntervall_TrackBar"_s);
  nicEngineInterval_->setRange(Settings::General::kNicEngineIntervalMin,
                               Settings::General::kNicEngineIntervalMax);
  nicEngineInterval_->setTickPosition(QSlider::TicksBelow);
  nicEngineInterval_->setTickInterval(1);
  nicEngineInterval_->setPageStep(5);
  nicEngineIntervalValue_ = new QLabel(this);  // shows a number: nothing to translate
  nicEngineIntervalValue_->setMinimumWidth(
      nicEngineIntervalValue_->fontMetrics().horizontalAdvance(u"000"_s));
  intervalRow->addWidget(nicEngineInterval_);
  intervalRow->addWidget(nicEngineIntervalValue_);
  captureLayout->addLayout(intervalRow);
  auto* cacheGrid = new QGridLayout;
  cacheInterval_ = AddLabeledEdit(cacheGrid, 0, "CacheIntervalEdit",
                                  u"Save the counted traffic every (minutes):"_s);
  captureLayout->addLayout(cacheGrid);
  captureLayout->addStretch();

  // Process priority: real-time at the top, idle at the bottom.
  QGroupBox* priority = NewGroupBox("Basisprio_GroupBox", u"Process priority"_s, this);
  auto* priorityLayout = new QHBoxLayout(priority);
  basePrio_ = new QSlider(Qt::Vertical, this);
  basePrio_->setObjectName(u"Basisprio_TrackBar"_s);
  basePrio_->setRange(Settings::General::kBasePrioMin, Settings::General::kBasePrioMax);
  basePrio_->setInvertedAppearance(true);
  basePrio_->setInvertedControls(true);
  basePrio_->setTickPosition(QSlider::TicksRight);
  basePrio_->setTickInterval(1);
  basePrio_->setPageStep(1);
  auto* priorityLabels = new QVBoxLayout;
  priorityLabels->addWidget(NewLabel(u"Label_Prio_Realtime"_s, u"Real-time"_s, this));
  priorityLabels->addStretch();
  priorityLabels->addWidget(NewLabel(u"Label_Prio_High"_s, u"High"_s, this));
  priorityLabels->addStretch();
  priorityLabels->addWidget(NewLabel(u"Label_Prio_AboveNormal"_s, u"Above normal"_s, this));
  priorityLabels->addStretch();
  priorityLabels->addWidget(NewLabel(u"Label_Prio_Normal"_s, u"Normal"_s, this));
  priorityLabels->addStretch();
  priorityLabels->addWidget(NewLabel(u"Label_Prio_BelowNormal"_s, u"Below normal"_s, this));
  priorityLabels->addStretch();
  priorityLabels->addWidget(NewLabel(u"Label_Prio_Idle"_s, u"Idle"_s, this));
  priorityLayout->addWidget(basePrio_);
  priorityLayout->addLayout(priorityLabels);
  priorityLayout->addStretch();

  // Query server.
  QGroupBox* server = NewGroupBox("TCPServer_GroupBox", u"Query server"_s, this);
  auto* serverLayout = new QVBoxLayout(server);
  enableServer_ = AddCheckBox(serverLayout, "EnableTCPServer_CheckBox", u"Answer queries"_s);
  forbidActive_ = AddCheckBox(serverLayout, "ForbidActiveFunctions_CheckBox",
                              u"Refuse update and report commands"_s);
  QLabel* ipsLabel = NewLabel(u"TCPServerIPs_Label"_s, u"Listen on the addresses:"_s, this);
  serverLayout->addWidget(ipsLabel);
  serverIps_ = new QPlainTextEdit(this);
  serverIps_->setObjectName(u"TCPServerIPs_Memo"_s);
  serverIps_->setTabChangesFocus(true);
  serverIps_->setMaximumHeight(serverIps_->fontMetrics().lineSpacing() * 5);
  ipsLabel->setBuddy(serverIps_);
  serverLayout->addWidget(serverIps_);
  auto* serverGrid = new QGridLayout;
  serverPort_ = AddLabeledEdit(serverGrid, 0, "TCPServerPort_Edit", u"Port:"_s);
  serverMaxConnections_ =
      AddLabeledEdit(serverGrid, 1, "TCPServerMaxConnections_Edit", u"Connections at most:"_s);
  serverLayout->addLayout(serverGrid);
  serverLayout->addStretch();

  // Display.
  QGroupBox* display = NewGroupBox("GenDisplay_GroupBox", u"Display"_s, this);
  auto* displayLayout = new QVBoxLayout(display);
  transOnMove_ = AddCheckBox(displayLayout, "Trans_OnMove_CheckBox",
                             u"Graph windows transparent while moved"_s);
  utilizationGraphs_ = AddCheckBox(displayLayout, "ShowUtilizationInGraphforms_CheckBox",
                                   u"Utilisation in the graph windows"_s);
  utilizationStats_ = AddCheckBox(displayLayout, "ShowUtilizationInStatistics_CheckBox",
                                  u"Utilisation in the statistics"_s);
  cutPeaks_ = AddCheckBox(displayLayout, "CutPeaks_CheckBox", u"Cut peaks off the graphs"_s);
  showBalloon_ = AddCheckBox(displayLayout, "ShowBalloonOnMouseOver_CheckBox",
                             u"Traffic balloon when the mouse is over the tray icon"_s);
  auto* snapGrid = new QGridLayout;
  snapValue_ = AddLabeledEdit(snapGrid, 0, "SnapValueEdit", u"Snap distance (0 to 25):"_s);
  displayLayout->addLayout(snapGrid);
  displayLayout->addStretch();

  livedataSizing_ =
      AddRadioGroup("Livedata_StringGridSizingMode_RadioGroup", u"Columns of the live data"_s,
                    {u"Fit the contents"_s, u"Leave as they are"_s, u"Equal widths"_s});
  statisticSizing_ =
      AddRadioGroup("Statistic_StringGridSizingMode_RadioGroup", u"Columns of the statistics"_s,
                    {u"Fit the contents"_s, u"Leave as they are"_s, u"Equal widths"_s});
  closeProcedure_ = AddRadioGroup("CloseProcedure_RadioGroup", u"Closing the window"_s,
                                  {u"Hides it in the tray"_s, u"Exits the program"_s});

  // Program.
  QGroupBox* program = NewGroupBox("GenProgram_GroupBox", u"Program"_s, this);
  auto* programLayout = new QVBoxLayout(program);
  startup_ = AddCheckBox(programLayout, "Startup_CheckBox", u"Start at log-on"_s);
  saveIniInProgramDir_ = AddCheckBox(programLayout, "SaveIniInProgramdir_CheckBox",
                                     u"Keep the settings in the program folder"_s);
  langButton_ = new QPushButton(u"Language..."_s, this);
  langButton_->setObjectName(u"Lang_Button"_s);
  programLayout->addWidget(langButton_, 0, Qt::AlignLeft);

  // Updates.
  update_ = AddRadioGroup("Update_RadioGroup", u"Automatic updates"_s,
                          {u"Off"_s, u"Notify"_s, u"Download"_s, u"Download and install"_s});
  auto* backupRow = new QHBoxLayout;
  backup_ = AddCheckBox(backupRow, "BackupB4Update_CheckBox", u"Back up before updating into"_s);
  backupFolder_ = new QLineEdit(this);
  backupFolder_->setObjectName(u"BackupB4Update_Edit"_s);
  backupRow->addWidget(backupFolder_);
  qobject_cast<QVBoxLayout*>(update_->layout())->addLayout(backupRow);

  saveButton_ = new QPushButton(u"Save"_s, this);
  saveButton_->setObjectName(u"Save_Gen_Button"_s);

  page->addWidget(capture, 0, 0);
  page->addWidget(priority, 1, 0);
  page->addWidget(server, 2, 0, 2, 1);
  page->addWidget(display, 0, 1);
  auto* sizingRow = new QHBoxLayout;
  sizingRow->addWidget(livedataSizing_);
  sizingRow->addWidget(statisticSizing_);
  page->addLayout(sizingRow, 1, 1);
  auto* programRow = new QHBoxLayout;
  programRow->addWidget(closeProcedure_);
  programRow->addWidget(program);
  page->addLayout(programRow, 2, 1);
  page->addWidget(update_, 3, 1);
  page->addWidget(saveButton_, 4, 1, Qt::AlignRight);
  page->setRowStretch(5, 1);

  const auto filter = [this](QWidget* widget, const QString& allowed) {
    widget->installEventFilter(new TypedCharacterFilter(allowed, widget));
  };
  filter(cacheInterval_, kDigits);
  filter(snapValue_, kDigits);
  filter(serverPort_, kDigits);
  filter(serverMaxConnections_, kDigits);
  filter(serverIps_, kDigits + u'.');
}

void GeneralOptionsPage::BindCheckBox(QCheckBox* box, bool* field) {
  connect(box, &QCheckBox::toggled, this, [this, field](bool checked) {
    if (refreshing_) return;
    *field = checked;
    Changed();
  });
}

void GeneralOptionsPage::Connect() {
  Settings::General& gen = options_.Model().general;
  BindCheckBox(dfu_, &gen.dfuEngine);
  BindCheckBox(nic_, &gen.nicEngine);
  BindCheckBox(transOnMove_, &gen.transOnMove);
  BindCheckBox(utilizationGraphs_, &gen.utilizationGraphs);
  BindCheckBox(utilizationStats_, &gen.utilizationStats);
  BindCheckBox(cutPeaks_, &gen.cutPeaks);
  BindCheckBox(showBalloon_, &gen.showBalloonOnMouseOver);
  BindCheckBox(hideType23_, &gen.hideType23);
  BindCheckBox(hideType24_, &gen.hideType24);
  BindCheckBox(hideType131_, &gen.hideType131);
  BindCheckBox(backup_, &gen.backupB4Update);
  BindCheckBox(forbidActive_, &options_.Model().tcpServer.forbidActiveFunctions);

  connect(convert_, &QCheckBox::toggled, this, [this](bool checked) {
    if (refreshing_) return;
    options_.Model().general.converter = checked;
    const int base = checked ? 1000 : 1024;
    options_.SetConversionBase(base);
    Q_EMIT conversionBaseChanged(base);
    Changed();
  });
  connect(doubleTraffic_, &QCheckBox::toggled, this, [this](bool checked) {
    if (refreshing_) return;
    options_.Model().general.doubleTraffic = checked;
    options_.SetBewareOfTrafficDouble(checked);
    Changed();
  });
  connect(saveIniInProgramDir_, &QCheckBox::toggled, this, [this](bool checked) {
    if (refreshing_) return;
    // Redirects every later access of the options file; it is stored with the next save.
    options_.SetUseProgramDirectory(checked);
    Changed();
  });
  connect(nicEngineInterval_, &QSlider::valueChanged, this, [this](int value) {
    UpdateIntervalLabel();
    if (refreshing_) return;
    options_.Model().general.SetNicEngineIntervall(value);
    Q_EMIT nicEngineIntervalChanged(options_.Model().general.nicEngineIntervall);
    Changed();
  });
  connect(basePrio_, &QSlider::valueChanged, this, [this](int value) {
    if (refreshing_) return;
    options_.Model().general.SetBasePrio(value);
    if (services_.priority) services_.priority->SetProcessPriority(value);
    Q_EMIT basePriorityChanged(value);
    Changed();
  });
  connect(cacheInterval_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (refreshing_) return;
    Settings::General& g = options_.Model().general;
    g.cacheIntervalText = text;
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok, 10);
    g.cacheIntervalMinutes = ok && minutes > 0 ? std::min(minutes, kMaxCacheIntervalMinutes) : 0;
    Q_EMIT cacheIntervalTextChanged(text);
    Changed();
  });
  connect(snapValue_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (refreshing_) return;
    options_.Model().general.snapValueText = text;
    options_.ApplySnapValueText(text);
    Changed();
  });
  connect(backupFolder_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (refreshing_) return;
    options_.Model().general.backupFolder = text;
    Changed();
  });
  for (QGroupBox* group : {update_, closeProcedure_, livedataSizing_, statisticSizing_}) {
    ConnectRadioItems(group);
  }
  connect(startup_, &QCheckBox::clicked, this, &GeneralOptionsPage::OnStartupClicked);
  connect(langButton_, &QPushButton::clicked, this, &GeneralOptionsPage::OnLanguageClicked);
  connect(saveButton_, &QPushButton::clicked, this, &GeneralOptionsPage::OnSaveClicked);
}

void GeneralOptionsPage::ConnectRadioItems(QGroupBox* group) {
  for (QRadioButton* button : RadioGroupItems(group)) {
    connect(button, &QRadioButton::toggled, this, &GeneralOptionsPage::OnRadioToggled,
            Qt::UniqueConnection);
  }
}

void GeneralOptionsPage::OnRadioToggled() {
  if (refreshing_) return;
  auto* button = qobject_cast<QRadioButton*>(sender());
  auto* group = button ? qobject_cast<QGroupBox*>(button->parentWidget()) : nullptr;
  if (!group) return;
  Settings::General& gen = options_.Model().general;
  const int index = RadioGroupIndex(group);
  int stored = index;
  if (group == update_) {
    gen.SetAutoUpdate(index);
    stored = gen.autoUpdate;
  } else if (group == closeProcedure_) {
    gen.SetCloseProcedure(index);
    stored = gen.closeProcedure;
  } else if (group == livedataSizing_) {
    gen.SetLivedataSizingMode(index);
    stored = gen.livedataSizingMode;
  } else if (group == statisticSizing_) {
    gen.SetStatisticSizingMode(index);
    stored = gen.statisticSizingMode;
  } else {
    return;
  }
  // An item a language file added beyond the known choices has no meaning.
  if (stored != index) {
    const QScopedValueRollback guard(refreshing_, true);
    SetRadioGroupIndex(group, stored);
  }
  Changed();
}

bool GeneralOptionsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    auto* group = qobject_cast<QGroupBox*>(watched);
    // The new child is not fully built yet; connect it once it is.
    if (group && IsRadioGroup(group)) {
      QMetaObject::invokeMethod(
          this,
          [this, group = QPointer<QGroupBox>(group)] {
            if (group) ConnectRadioItems(group);
          },
          Qt::QueuedConnection);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void GeneralOptionsPage::SetServices(GeneralOptionsServices services) {
  services_ = std::move(services);
  langButton_->setEnabled(services_.fileChooser != nullptr);
  RefreshStartupCheckBox();
}

void GeneralOptionsPage::RefreshFromModel() {
  const QScopedValueRollback guard(refreshing_, true);
  const Settings::General& gen = options_.Model().general;
  convert_->setChecked(gen.converter);
  dfu_->setChecked(gen.dfuEngine);
  nicEngineInterval_->setValue(gen.nicEngineIntervall);
  basePrio_->setValue(gen.basePrio);
  doubleTraffic_->setChecked(gen.doubleTraffic);
  SetRadioGroupIndex(update_, gen.autoUpdate);
  nic_->setChecked(gen.nicEngine);
  if (cacheInterval_->text() != gen.cacheIntervalText)
    cacheInterval_->setText(gen.cacheIntervalText);
  if (snapValue_->text() != gen.snapValueText) snapValue_->setText(gen.snapValueText);
  transOnMove_->setChecked(gen.transOnMove);
  utilizationGraphs_->setChecked(gen.utilizationGraphs);
  utilizationStats_->setChecked(gen.utilizationStats);
  cutPeaks_->setChecked(gen.cutPeaks);
  SetRadioGroupIndex(closeProcedure_, gen.closeProcedure);
  SetRadioGroupIndex(livedataSizing_, gen.livedataSizingMode);
  SetRadioGroupIndex(statisticSizing_, gen.statisticSizingMode);
  saveIniInProgramDir_->setChecked(options_.GetUseProgramDirectory());
  showBalloon_->setChecked(gen.showBalloonOnMouseOver);
  hideType23_->setChecked(gen.hideType23);
  hideType24_->setChecked(gen.hideType24);
  hideType131_->setChecked(gen.hideType131);
  backup_->setChecked(gen.backupB4Update);
  if (backupFolder_->text() != gen.backupFolder) backupFolder_->setText(gen.backupFolder);
  forbidActive_->setChecked(options_.Model().tcpServer.forbidActiveFunctions);
  UpdateIntervalLabel();
}

void GeneralOptionsPage::RefreshServerControls() {
  const QScopedValueRollback guard(refreshing_, true);
  const Settings::TcpServer& server = options_.Model().tcpServer;
  enableServer_->setChecked(server.active);
  serverIps_->setPlainText(server.Ips().join(u'\n'));
  serverPort_->setText(QString::number(server.Port()));
  serverMaxConnections_->setText(QString::number(server.maxConnections));
  forbidActive_->setChecked(server.forbidActiveFunctions);
}

void GeneralOptionsPage::RefreshStartupCheckBox() {
  const QSignalBlocker blocker(startup_);
  if (!services_.autostart) {
    startup_->setEnabled(false);
    startup_->setChecked(false);
    return;
  }
  const StartupCheckBoxState state = StartupCheckBoxStateOf(*services_.autostart);
  startup_->setEnabled(state.enabled);
  startup_->setChecked(state.checked);
}

void GeneralOptionsPage::DisableAutomaticUpdates() {
  options_.Model().general.SetAutoUpdate(0);
  {
    const QScopedValueRollback guard(refreshing_, true);
    SetRadioGroupIndex(update_, 0);
  }
  update_->setEnabled(false);
}

void GeneralOptionsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  RefreshFromModel();
  RefreshServerControls();
  RefreshStartupCheckBox();
}

void GeneralOptionsPage::OnStartupClicked(bool checked) {
  if (!services_.autostart) return;
  const StartupCheckBoxState state =
      StartupCheckBoxClicked(*services_.autostart, checked, messages_, language_);
  const QSignalBlocker blocker(startup_);
  startup_->setEnabled(state.enabled);
  startup_->setChecked(state.checked);
}

void GeneralOptionsPage::OnLanguageClicked() {
  if (!services_.fileChooser) return;
  RunLanguageDialog(options_, language_, messages_, *services_.fileChooser,
                    services_.languageDialog, true, window());
}

void GeneralOptionsPage::OnSaveClicked() {
  TcpServerInput input;
  input.ipLines = serverIps_->toPlainText().split(u'\n');
  input.portText = serverPort_->text();
  input.maxConnectionsText = serverMaxConnections_->text();
  input.enable = enableServer_->isChecked();

  GeneralPageUi ui;
  ui.languageString = [this](const QString& section, const QString& key) -> QString {
    try {
      return language_.GetString(section, key);
    } catch (const std::exception&) {
      return key;
    }
  };
  ui.title = [this](MessageIcon icon) -> QString {
    switch (icon) {
      case MessageIcon::Warning:
        return language_.WarningTitle();
      case MessageIcon::Information:
        return language_.InformationTitle();
      case MessageIcon::Question:
        return language_.QuestionTitle();
      case MessageIcon::Error:
      case MessageIcon::None:
        break;
    }
    return language_.ErrorTitle();
  };
  ui.showMessage = [this](const QString& text, const QString& caption, MessageIcon icon) {
    messages_.Show(text, caption, icon);
  };

  const GeneralPageSaveResult result = SaveGeneralPage(options_, input, ui);
  if (result.serverFailed) {
    // What the user typed stays for correcting.
    serverIps_->setFocus(Qt::OtherFocusReason);
  } else {
    RefreshServerControls();
  }
  Q_EMIT saved(result.saved);
}

void GeneralOptionsPage::UpdateIntervalLabel() {
  nicEngineIntervalValue_->setText(QString::number(nicEngineInterval_->value()));
}

void GeneralOptionsPage::Changed() { Q_EMIT settingsChanged(); }
