#pragma once

#include <QApplication>
#include <QObject>
#include <QString>
#include <memory>

class Connection;
class ErrorFile;
class HelpOpener;
class MessageService;
class NetlinkInterfaceTable;
class SingleInstance;
class TLanguage;
class TMainform;
class TOptions;
class TrafficMonitor;
class TrafficMonitorAccess;
class TVerInfo;
class SystemClock;
class Autostart;
class LinuxProcessPriority;
class QtOpenFileChooser;

// The application object: errors that escape an event handler are not allowed
// to pass through the event loop; they go to the program's fatal error handler.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  void SetFatalErrorHandler(std::function<void(QObject*, const QString&, const QString&)> h) {
    fatal_ = std::move(h);
  }

 private:
  std::function<void(QObject*, const QString&, const QString&)> fatal_;
};

// The whole program: start-up in its fixed order, the fatal error handler and
// the close procedure. Owns everything it creates.
class QuorvelProgram : public QObject {
  Q_OBJECT

 public:
  explicit QuorvelProgram(TApplication& app);
  ~QuorvelProgram() override;

  // Runs start-up; false when the program must end at once (another instance
  // runs, or a fatal start-up error was handled). `exitCode` is then set.
  bool Start(int& exitCode);

  // The application error handler: records the error with the state of every
  // interface, saves what can be saved, tells the user and ends the program.
  void AppException(QObject* sender, const QString& message, const QString& className);

  // The close procedure; runs once.
  void Close();

  bool Headless() const { return headless_; }

 private:
  bool LoadLanguage();
  void InstallSignalHandlers();

  TApplication& app_;
  bool headless_ = false;
  bool closed_ = false;
  bool inFatalError_ = false;
  QString programDir_;
  std::unique_ptr<SystemClock> clock_;
  std::unique_ptr<MessageService> messages_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<TOptions> options_;
  std::unique_ptr<TLanguage> language_;
  std::unique_ptr<TVerInfo> verInfo_;
  std::unique_ptr<ErrorFile> errorFile_;
  std::unique_ptr<Connection> db_;
  std::unique_ptr<NetlinkInterfaceTable> nicTable_;
  std::unique_ptr<NetlinkInterfaceTable> dunTable_;
  std::unique_ptr<TrafficMonitor> monitor_;
  std::unique_ptr<TrafficMonitorAccess> monitorAccess_;
  std::unique_ptr<HelpOpener> help_;
  std::unique_ptr<LinuxProcessPriority> priority_;
  std::unique_ptr<Autostart> autostart_;
  std::unique_ptr<QtOpenFileChooser> fileChooser_;
  std::unique_ptr<TMainform> mainform_;
};
