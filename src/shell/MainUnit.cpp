#include "shell/MainUnit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "TLanguage/TLanguage.h"
#include "TOptions/IniFile.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "display/LiveGrid.h"
#include "display/TrayInfo.h"
#include "platform/MessageService.h"
#include "shell/AboutBox.h"
#include "shell/FormTranslation.h"
#include "shell/GeneralOptionsPage.h"
#include "shell/HelpViewer.h"
#include "shell/MonitorAccess.h"
#include "shell/NicPrefsPage.h"

using namespace Qt::StringLiterals;

namespace {

// A menu caption without its accelerator marks; "&&" stands for a real "&".
QString WithoutMnemonics(const QString& caption) {
  QString text;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') text += u'&';
      ++i;
      if (i < caption.size() && caption[i] != u'&') text += caption[i];
      continue;
    }
    text += caption[i];
  }
  return text;
}

}  // namespace

const std::array<QString, TMainform::PageCount>& TMainform::PageTopics() {
  static const std::array<QString, PageCount> topics{
      u"livedata.htm"_s, u"preferences_nic.htm"_s, u"preferences_gen.htm"_s, u"statistics.htm"_s,
      u"reports.htm"_s,  u"database.htm"_s,        u"actions.htm"_s};
  return topics;
}

TMainform::TMainform(TOptions& options, TLanguage& language, TVerInfo& verInfo,
                     MessageService& messages, MonitorAccess& monitor, HelpOpener& help,
                     QWidget* parent)
    : QMainWindow(parent),
      options_(options),
      language_(language),
      verInfo_(verInfo),
      messages_(messages),
      monitor_(monitor),
      help_(help) {
  setObjectName(u"TMainform"_s);
  setWindowIcon(QuorvelIcon());
  setMinimumSize(520, 380);
  resize(720, 480);

  BuildPages();
  BuildMenus();
  BuildTray();
  // Hints only where a control asks for one; the general options page,
  // added below, decides for its own controls.
  ShowNoHints(*this);
  generalOptions_ = new GeneralOptionsPage(options_, language_, messages_);
  Options_ScrollBox->setWidget(generalOptions_);
  // A new unit base or sizing mode shows at once, not only after the next poll.
  connect(generalOptions_, &GeneralOptionsPage::conversionBaseChanged, this, [this] {
    RefreshGridOnly();
    RefreshTrayToolTip();
  });
  connect(generalOptions_, &GeneralOptionsPage::settingsChanged, this,
          &TMainform::SizeLiveGridColumns);

  connect(&monitor_, &MonitorAccess::Polled, this, &TMainform::LiveRefresh);
  connect(&monitor_, &MonitorAccess::DialupLabelChanged, dfulabel, &QLabel::setText);
  connect(nicPrefs_, &NicPrefsPage::PreferencesSaved, this, [this] {
    RefreshGridOnly();
    RefreshTrayToolTip();
  });

  Translate();
  RecountRows();
}

TMainform::~TMainform() = default;

void TMainform::BuildPages() {
  PageControl = new QTabWidget(this);
  PageControl->setObjectName(u"PageControl"_s);
  PageControl->setIconSize(QSize(20, 20));
  setCentralWidget(PageControl);

  const std::array<QString, PageCount> captions{u"Live data"_s,  u"Interfaces"_s, u"Options"_s,
                                                u"Statistics"_s, u"Reports"_s,    u"Database"_s,
                                                u"Cases"_s};
  const std::array<QStyle::StandardPixmap, PageCount> icons{
      QStyle::SP_ComputerIcon,           QStyle::SP_DriveNetIcon, QStyle::SP_FileDialogDetailedView,
      QStyle::SP_FileDialogContentsView, QStyle::SP_FileIcon,     QStyle::SP_DirIcon,
      QStyle::SP_MessageBoxInformation};
  for (int i = 0; i < PageCount; ++i) {
    tabs_[i] = new QWidget(PageControl);
    tabs_[i]->setObjectName(u"TabSheet"_s + QString::number(i + 1));
    PageControl->addTab(tabs_[i], style()->standardIcon(icons[i]), captions[i]);
  }

  // Live data: the dial-up state above the grid.
  dfulabel = new QLabel(tabs_[kLiveDataPage]);
  dfulabel->setObjectName(u"dfulabel"_s);
  Livedata_StringGrid = new QTableWidget(tabs_[kLiveDataPage]);
  Livedata_StringGrid->setObjectName(u"Livedata_StringGrid"_s);
  SetupLiveGrid(*Livedata_StringGrid);
  Livedata_StringGrid->setHorizontalHeaderLabels({u"Interface"_s, u"Upload rate"_s,
                                                  u"Download rate"_s, u"Sent today"_s,
                                                  u"Received today"_s, u"Table"_s});
  auto* live = new QVBoxLayout(tabs_[kLiveDataPage]);
  live->addWidget(dfulabel);
  live->addWidget(Livedata_StringGrid, 1);

  // Interface preferences and general options scroll when the window is small.
  const auto makeScrollBox = [this](QWidget* tab, const QString& name) {
    auto* box = new QScrollArea(tab);
    box->setObjectName(name);
    box->setWidgetResizable(true);
    box->setFrameShape(QFrame::NoFrame);
    box->installEventFilter(this);
    box->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
    return box;
  };
  NicPrefs_ScrollBox = makeScrollBox(tabs_[kNicOptionsPage], u"NicPrefs_ScrollBox"_s);
  nicPrefs_ = new NicPrefsPage(options_, language_, messages_, monitor_);
  NicPrefs_ScrollBox->setWidget(nicPrefs_);
  Options_ScrollBox = makeScrollBox(tabs_[kOptionsPage], u"Options_ScrollBox"_s);

  connect(PageControl, &QTabWidget::currentChanged, this, &TMainform::PageChanged);
}

QAction* TMainform::AddAction(QMenu* menu, const QString& name, const QString& text) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  menu->addAction(action);
  return action;
}

void TMainform::BuildMenus() {
  menuBar()->setObjectName(u"MainMenu1"_s);

  QMenu* file = menuBar()->addMenu(u"&File"_s);
  file->setObjectName(u"File1"_s);
  QAction* minimize = AddAction(file, u"Minimize1"_s, u"&Minimize"_s);
  QAction* minimizeAll2 = AddAction(file, u"MinimizeAll2"_s, u"Minimize &all"_s);
  QAction* exit2 = AddAction(file, u"Exit2"_s, u"E&xit"_s);

  QMenu* help = menuBar()->addMenu(u"&Help"_s);
  help->setObjectName(u"N1"_s);
  QAction* help2 = AddAction(help, u"Help2"_s, u"&Help"_s);
  help2->setShortcut(QKeySequence(Qt::Key_F1));
  help->addSeparator();
  Update1 = AddAction(help, u"Update1"_s, u"Check for &updates"_s);
  QAction* reportbug1 = AddAction(help, u"Reportbug1"_s, u"&Report a bug"_s);
  help->addSeparator();
  Info1 = AddAction(help, u"Info1"_s, u"&About"_s);
  QAction* donate1 = AddAction(help, u"Donate1"_s, u"&Donate"_s);
  QAction* debug1 = AddAction(help, u"Debug1"_s, u"Debug"_s);
  debug1->setShortcut(QKeySequence(Qt::Key_F2));
  debug1->setVisible(false);

  TrayIconPopupMenu = new QMenu(this);
  TrayIconPopupMenu->setObjectName(u"TrayIconPopupMenu"_s);
  QMenu* tray = TrayIconPopupMenu;
  QAction* donate2 = AddAction(tray, u"Donate2"_s, u"Donate"_s);
  QAction* reportBug2 = AddAction(tray, u"ReportBug2"_s, u"Report a bug"_s);
  tray->addSeparator();
  QAction* about1 = AddAction(tray, u"About1"_s, u"About"_s);
  Update2 = AddAction(tray, u"Update2"_s, u"Check for updates"_s);
  QAction* help1 = AddAction(tray, u"Help1"_s, u"Help"_s);
  tray->addSeparator();
  const std::array<std::pair<QString, QString>, PageCount> pageItems{{
      {u"CertainCases1"_s, u"Cases"_s},
      {u"Database1"_s, u"Database"_s},
      {u"Reports1"_s, u"Reports"_s},
      {u"Statistics1"_s, u"Statistics"_s},
      {u"Options1"_s, u"Options"_s},
      {u"NicOptions1"_s, u"Interface preferences"_s},
      {u"LiveData1"_s, u"Live data"_s},
  }};
  // Listed from the last page to the first.
  for (int i = 0; i < PageCount; ++i) {
    QAction* item = AddAction(tray, pageItems[i].first, pageItems[i].second);
    const int page = PageCount - 1 - i;
    connect(item, &QAction::triggered, this, [this, page] { ShowPage(page); });
  }
  tray->addSeparator();
  QAction* debug2 = AddAction(tray, u"Debug2"_s, u"Debug"_s);
  debug2->setVisible(false);
  DisableClickthroughTemporary1 =
      AddAction(tray, u"DisableClickthroughTemporary1"_s, u"Disable click-through for now"_s);
  DisableClickthroughTemporary1->setCheckable(true);
  QAction* minimizeAll1 = AddAction(tray, u"MinimizeAll1"_s, u"Minimize all"_s);
  QAction* restore1 = AddAction(tray, u"Restore1"_s, u"Restore"_s);
  QAction* showShortInfo1 = AddAction(tray, u"ShowShortInfo1"_s, u"Show short information"_s);
  QAction* exit1 = AddAction(tray, u"Exit1"_s, u"Exit"_s);

  connect(minimize, &QAction::triggered, this, &TMainform::ToggleWindow);
  for (QAction* a : {minimizeAll1, minimizeAll2})
    connect(a, &QAction::triggered, this, &TMainform::MinimizeAll);
  connect(restore1, &QAction::triggered, this, &TMainform::Restore);
  for (QAction* a : {exit1, exit2})
    connect(a, &QAction::triggered, this, &TMainform::closeRequested);
  for (QAction* a : {help1, help2})
    connect(a, &QAction::triggered, this, [this] { ShowHelp(currentHelpTopic_); });
  for (QAction* a : {donate1, donate2})
    connect(a, &QAction::triggered, this, [this] { ShowHelp(u"donate.htm"_s); });
  for (QAction* a : {reportbug1, reportBug2})
    connect(a, &QAction::triggered, this, &TMainform::Reportbug);
  for (QAction* a : {Info1, about1}) connect(a, &QAction::triggered, this, &TMainform::ShowAbout);
  for (QAction* a : {Update1, Update2}) {
    a->setEnabled(false);
    connect(a, &QAction::triggered, this, [this] {
      if (updateCheck_) updateCheck_();
    });
  }
  connect(showShortInfo1, &QAction::triggered, this, &TMainform::ShowShortInfo);
  connect(DisableClickthroughTemporary1, &QAction::toggled, this,
          &TMainform::temporaryClickthroughChanged);
}

void TMainform::BuildTray() {
  trayIcon_ = new QSystemTrayIcon(QuorvelIcon(), this);
  trayIcon_->setObjectName(u"TrayIcon"_s);
  trayIcon_->setContextMenu(TrayIconPopupMenu);
  trayIcon_->setToolTip(verInfo_.TrayHint());
  connect(trayIcon_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) ToggleWindow();
          });
}

void TMainform::SetUpdateCheck(std::function<void()> check) {
  updateCheck_ = std::move(check);
  Update1->setEnabled(bool(updateCheck_));
  Update2->setEnabled(bool(updateCheck_));
}

void TMainform::Translate() {
  TranslateFormIfLoaded(*this, language_);
  // The title carries the version, whatever the language file's caption says.
  setWindowTitle(verInfo_.MainWindowTitle());
  try {
    SetLiveGridHeaders(*Livedata_StringGrid, language_);
  } catch (const LanguageError&) {
    // No file loaded yet: the design headers stay.
  }
  RefreshTrayToolTip();
}

void TMainform::ShowAtStart(bool trayAvailable) {
  const Settings::Window& w = options_.Model().window;
  // The stored defaults (250 x 100) are far too small for the pages: a window
  // that was never placed starts at a size that shows them whole.
  const bool neverPlaced = w.width == 250 && w.height == 100 && w.left == 0 && w.top == 0;
  const QRect saved(w.left, w.top, neverPlaced ? 780 : std::max(w.width, minimumWidth()),
                    neverPlaced ? 520 : std::max(w.height, minimumHeight()));
  // A position on a screen that is no longer there would put the window out of reach.
  if (QGuiApplication::screenAt(saved.topLeft() + QPoint(20, 20)))
    setGeometry(saved);
  else
    resize(saved.size());
  if (trayAvailable) trayIcon_->show();
  if (w.visible || !trayAvailable) {
    if (w.state == 2)
      showMaximized();
    else
      show();
  }
}

void TMainform::ShowPage(int index) {
  if (index < 0 || index >= PageCount) return;
  if (!isVisible()) show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  PageControl->setCurrentIndex(index);
  currentHelpTopic_ = PageTopics()[static_cast<std::size_t>(index)];
}

void TMainform::PageChanged(int index) {
  if (index < 0 || index >= PageCount) return;
  if (isVisible()) currentHelpTopic_ = PageTopics()[static_cast<std::size_t>(index)];
  if (index == kLiveDataPage) {
    RefreshGridOnly();
    SizeLiveGridColumns();
  } else if (index == kNicOptionsPage) {
    nicPrefs_->Reload();
  }
}

void TMainform::ShowHelp(const QString& topic) {
  if (help_.ShowHelp(topic)) return;
  const QString page = topic.isEmpty() ? kHelpIndexPage : topic;
  messages_.Show(LanguageText(language_, u"TMainform"_s, u"StrHelpNotFound"_s,
                              u"The help page %page% could not be opened."_s)
                     .replace(u"%page%"_s, page, Qt::CaseInsensitive),
                 language_.ErrorTitle(), MessageIcon::Error);
}

void TMainform::ShowAbout() {
  if (aboutBox_) {
    aboutBox_->raise();
    aboutBox_->activateWindow();
    return;
  }
  TAboutBox box(verInfo_, language_, monitor_.DbVersion(), VariablesValue(u"URL"_s), help_, this);
  box.setWindowTitle(WithoutMnemonics(Info1->text()));
  aboutBox_ = &box;
  if (aboutRunner_)
    aboutRunner_(box);
  else
    box.exec();
}

QString TMainform::VariablesValue(const QString& key) const {
  return IniReadString(options_.GetVariablesSection(), key, QString(), options_.GetVariablesFile())
      .trimmed();
}

void TMainform::Reportbug() {
  const QString address = VariablesValue(u"bugreport"_s);
  const QUrl url(address, QUrl::StrictMode);
  if (!address.isEmpty() && url.isValid() && !url.scheme().isEmpty() && help_.OpenUrl(url)) return;
  messages_.Show(LanguageText(language_, u"TMainform"_s, u"StrAddressNotOpened"_s,
                              u"The address \"%address%\" (key \"bugreport\" in %configfile%) "
                              u"could not be opened."_s)
                     .replace(u"%address%"_s, address, Qt::CaseInsensitive)
                     .replace(u"%configfile%"_s, options_.GetVariablesFile(), Qt::CaseInsensitive),
                 language_.ErrorTitle(), MessageIcon::Error);
}

void TMainform::ToggleWindow() {
  if (isVisible() && !isMinimized()) {
    hide();
    return;
  }
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void TMainform::MinimizeAll() {
  hide();
  Q_EMIT graphWindowsMinimizeRequested();
}

void TMainform::Restore() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  Q_EMIT graphWindowsRestoreRequested();
}

bool TMainform::WindowShowing() const { return isVisible() && !isMinimized(); }

void TMainform::LiveRefresh(TrafficMonitor::RefreshMode mode) {
  LiveRefreshContext context;
  context.gridShowing = WindowShowing();
  context.base = options_.GetConversionBase();
  context.units = language_.Units();
  context.feedGraph = graphFeeder_;
  context.feedGraphOnLastRecord = !monitor_.InterfacePollRunning();
  ::LiveRefresh(*Livedata_StringGrid, monitor_.Records(), mode, context);
  RefreshTrayToolTip();
}

void TMainform::RefreshGridOnly() {
  if (!WindowShowing()) return;
  LiveRefreshContext context;
  context.gridShowing = true;
  context.base = options_.GetConversionBase();
  context.units = language_.Units();
  ::LiveRefresh(*Livedata_StringGrid, monitor_.Records(), TrafficMonitor::RefreshMode::AllRecords,
                context);
}

void TMainform::RecountRows() { ::RecountRows(*Livedata_StringGrid, monitor_.Records()); }

void TMainform::SizeLiveGridColumns() {
  SizeColumns(*Livedata_StringGrid, options_.Model().general.livedataSizingMode);
}

void TMainform::RefreshTrayToolTip() {
  trayIcon_->setToolTip(TrayToolTip(
      verInfo_.TrayHint(),
      ShortInfoText(monitor_.Records(), options_.GetConversionBase(), language_.Units())));
}

void TMainform::ShowShortInfo() {
  lastShortInfoTitle_ =
      ShortInfoTitle(LanguageText(language_, u"TMainform"_s, u"StrShortInfoBalloonTitle"_s,
                                  language_.NotFoundText()),
                     verInfo_);
  lastShortInfoText_ =
      ShortInfoText(monitor_.Records(), options_.GetConversionBase(), language_.Units());
  ShowShortInfoBalloon(*trayIcon_, lastShortInfoTitle_, lastShortInfoText_);
}

void TMainform::StoreWindowPlacement() {
  Settings::Window& w = options_.Model().window;
  w.visible = isVisible();
  w.state = isMaximized() ? 2 : (isMinimized() ? 1 : 0);
  const QRect r = isMaximized() ? normalGeometry() : geometry();
  w.left = r.x();
  w.top = r.y();
  w.width = r.width();
  w.height = r.height();
}

void TMainform::CloseProcedure() {
  if (closed_) return;  // a second run would store the day's totals twice
  closed_ = true;
  monitor_.StopTimers();
  try {
    // Graph windows, once they exist, copy their state into the record here.
    monitor_.SaveAtClose([](TNic& nic) { return nic.SavePrefs(); });
  } catch (const std::exception& e) {
    messages_.Show(QString::fromLocal8Bit(e.what()), language_.ErrorTitle(), MessageIcon::Error);
  }
  StoreWindowPlacement();
  if (!options_.SaveWindow()) {
    messages_.Show(LanguageText(language_, u"TMainform"_s, u"StrOptionsNotSaved"_s,
                                u"The options could not be saved in %configfile%."_s)
                       .replace(u"%configfile%"_s, options_.OptionsFilePath(), Qt::CaseInsensitive),
                   language_.ErrorTitle(), MessageIcon::Error);
  }
  trayIcon_->hide();
}

void TMainform::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  event->ignore();
  if (options_.Model().general.closeProcedure == 1)
    Q_EMIT closeRequested();
  else
    hide();
}

void TMainform::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimising hides to the tray; the program has no task bar entry to come back from.
  if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    QTimer::singleShot(0, this, [this] {
      if (!isMinimized()) return;
      setWindowState(windowState() & ~Qt::WindowMinimized);
      hide();
    });
  }
}

void TMainform::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  const int index = PageControl->currentIndex();
  if (index >= 0 && index < PageCount)
    currentHelpTopic_ = PageTopics()[static_cast<std::size_t>(index)];
  if (index == kLiveDataPage) {
    RefreshGridOnly();
    SizeLiveGridColumns();
  } else if (index == kNicOptionsPage) {
    nicPrefs_->Reload();
  }
}

void TMainform::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  currentHelpTopic_.clear();
}

void TMainform::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (PageControl->currentIndex() == kLiveDataPage) SizeLiveGridColumns();
}

bool TMainform::eventFilter(QObject* watched, QEvent* event) {
  for (QScrollArea* box : {NicPrefs_ScrollBox, Options_ScrollBox}) {
    if (!box) continue;
    if (watched == box->viewport() && event->type() == QEvent::Wheel) {
      const auto* wheel = static_cast<QWheelEvent*>(event);
      QScrollBar* bar = box->verticalScrollBar();
      bar->setValue(bar->value() - wheel->angleDelta().y() / 10);
      return true;
    }
    if (watched == box && event->type() == QEvent::Enter && isActiveWindow()) box->setFocus();
  }
  return QMainWindow::eventFilter(watched, event);
}
