#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "acquisition/TrafficMonitor.h"

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QSystemTrayIcon;
class QTabWidget;
class QTableWidget;
class HelpOpener;
class MessageService;
class MonitorAccess;
class GeneralOptionsPage;
class NicPrefsPage;
class TAboutBox;
class TLanguage;
class TOptions;
class TVerInfo;

// The main window: a tabbed settings and information window that normally
// stays hidden while the program lives in the tray. It shows the live data,
// the interface preferences and the option pages, and carries the main menu,
// the tray icon and its menu.
class TMainform : public QMainWindow {
  Q_OBJECT

 public:
  // Pages of PageControl (TabSheet1 .. TabSheet7).
  enum Page {
    kLiveDataPage = 0,
    kNicOptionsPage = 1,
    kOptionsPage = 2,
    kStatisticsPage = 3,
    kReportsPage = 4,
    kDatabasePage = 5,
    kCasesPage = 6,
    PageCount = 7
  };
  // Help topic of each page, by index.
  static const std::array<QString, PageCount>& PageTopics();

  TMainform(TOptions& options, TLanguage& language, TVerInfo& verInfo, MessageService& messages,
            MonitorAccess& monitor, HelpOpener& help, QWidget* parent = nullptr);
  ~TMainform() override;

  // Shows the window at start-up as it was left: placement, state and
  // visibility from the options. Without a system tray the window is always
  // shown, as it would otherwise be unreachable.
  void ShowAtStart(bool trayAvailable);

  // Makes the window visible and frontmost, selects the page and sets the help topic.
  void ShowPage(int index);
  // Opens the help at a topic ("" = the index); reports a page that cannot be opened.
  void ShowHelp(const QString& topic);
  void ShowAbout();
  // The short information balloon of the tray icon.
  void ShowShortInfo();
  // Hides the window when visible, otherwise shows it in front.
  void ToggleWindow();
  // Hides the window (the graph windows are minimised by their owner).
  void MinimizeAll();
  void Restore();

  // Live refresh after a poll.
  void LiveRefresh(TrafficMonitor::RefreshMode mode);
  void RecountRows();
  void SizeLiveGridColumns();

  // Texts of the language file on every control; the start-up code also
  // runs it after each language change.
  void Translate();

  // The saving part of closing the program: stops the timers, stores every
  // record's totals and preferences, and saves the window's placement with
  // the options. Runs once; later calls do nothing. The caller ends the
  // event loop afterwards.
  void CloseProcedure();

  const QString& CurrentHelpTopic() const { return currentHelpTopic_; }
  QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
  // The title and text the last balloon was shown with.
  const QString& LastShortInfoTitle() const { return lastShortInfoTitle_; }
  const QString& LastShortInfoText() const { return lastShortInfoText_; }
  TAboutBox* AboutBox() const { return aboutBox_; }
  // The general options page, for the start-up code to give it its services.
  GeneralOptionsPage* GeneralOptions() const { return generalOptions_; }

  // How the about box is run; by default modally. Tests replace it.
  void SetAboutRunner(std::function<void(TAboutBox&)> runner) { aboutRunner_ = std::move(runner); }
  // The manual update check; its menu items are enabled only once it is set.
  void SetUpdateCheck(std::function<void()> check);
  // Feeds the graph window of a record after each poll (see LiveRefreshContext).
  void SetGraphFeeder(std::function<void(std::size_t, TNic&)> feeder) {
    graphFeeder_ = std::move(feeder);
  }

 Q_SIGNALS:
  // Exit from a menu, or the close button when so configured: the start-up
  // code runs CloseProcedure and ends the program.
  void closeRequested();
  // Graph windows: minimise all, restore all, temporary click-through switch
  // (true: click-through is off for now).
  void graphWindowsMinimizeRequested();
  void graphWindowsRestoreRequested();
  void temporaryClickthroughChanged(bool disabled);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPages();
  void BuildMenus();
  void BuildTray();
  QAction* AddAction(QMenu* menu, const QString& name, const QString& text);
  void PageChanged(int index);
  void Reportbug();
  void RefreshTrayToolTip();
  void RefreshGridOnly();
  bool WindowShowing() const;
  QString VariablesValue(const QString& key) const;
  void StoreWindowPlacement();

  TOptions& options_;
  TLanguage& language_;
  TVerInfo& verInfo_;
  MessageService& messages_;
  MonitorAccess& monitor_;
  HelpOpener& help_;

  QTabWidget* PageControl = nullptr;
  std::array<QWidget*, PageCount> tabs_{};
  QLabel* dfulabel = nullptr;
  QTableWidget* Livedata_StringGrid = nullptr;
  QScrollArea* NicPrefs_ScrollBox = nullptr;
  QScrollArea* Options_ScrollBox = nullptr;
  NicPrefsPage* nicPrefs_ = nullptr;
  GeneralOptionsPage* generalOptions_ = nullptr;

  QMenu* TrayIconPopupMenu = nullptr;
  QAction* Info1 = nullptr;
  QAction* Update1 = nullptr;
  QAction* Update2 = nullptr;
  QAction* DisableClickthroughTemporary1 = nullptr;
  QSystemTrayIcon* trayIcon_ = nullptr;

  QString currentHelpTopic_;
  QString lastShortInfoTitle_, lastShortInfoText_;
  QPointer<TAboutBox> aboutBox_;
  std::function<void(TAboutBox&)> aboutRunner_;
  std::function<void()> updateCheck_;
  std::function<void(std::size_t, TNic&)> graphFeeder_;
  bool closed_ = false;
};
