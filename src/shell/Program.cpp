#include "shell/Program.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <csignal>
#include <exception>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "acquisition/CounterState.h"
#include "acquisition/NetlinkInterfaceTable.h"
#include "acquisition/TrafficMonitor.h"
#include "database/Connection.h"
#include "platform/ErrorFile.h"
#include "shell/AboutBox.h"
#include "shell/Autostart.h"
#include "shell/FatalErrorHandler.h"
#include "shell/GeneralOptionsPage.h"
#include "shell/HelpViewer.h"
#include "shell/LanguageDialog.h"
#include "shell/MainUnit.h"
#include "shell/MonitorAccess.h"
#include "shell/ProcessPriority.h"
#include "shell/QtMessageService.h"
#include "shell/SingleInstance.h"

using namespace Qt::Literals::StringLiterals;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char c = 1;
  // Only async-signal-safe work here: wake the event loop.
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// An error that ends start-up, with the message the error file gets.
struct FatalStartupError {
  QString message;
  QString className;
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  return DeliverGuarded(
      receiver, [&] { return QApplication::notify(receiver, event); }, fatal_);
}

QuorvelProgram::QuorvelProgram(TApplication& app) : QObject(&app), app_(app) {
  const QString platform = QGuiApplication::platformName();
  headless_ = platform == u"offscreen"_s || platform == u"minimal"_s;
  programDir_ = QCoreApplication::applicationDirPath();
  clock_ = std::make_unique<SystemClock>();
  if (headless_)
    messages_ = std::make_unique<StderrMessageService>();
  else
    messages_ = std::make_unique<QtMessageService>();
}

QuorvelProgram::~QuorvelProgram() {
  // The window refers to the monitor, the monitor to the database.
  mainform_.reset();
  monitorAccess_.reset();
  monitor_.reset();
}

bool QuorvelProgram::LoadLanguage() {
  const auto tryLoad = [this](const QString& name) {
    try {
      return language_->Load(name);
    } catch (const std::exception&) {
      return false;
    }
  };
  if (tryLoad(options_->GetLanguageFileName())) return true;
  messages_->Show(u"Couldn't load the language-file, please specify a new one!"_s,
                  language_->ErrorTitle(), MessageIcon::Error);
  if (!headless_) {
    QtOpenFileChooser chooser;
    LanguageDialogHooks hooks;
    const LanguageDialogResult result =
        RunLanguageDialog(*options_, *language_, *messages_, chooser, hooks, false);
    if (result.languageLoaded) return true;
  }
  // Without any language the program could show no text at all: fall back to
  // the shipped files.
  for (const QString& name : {u"deutsch.lan"_s, u"english.lan"_s}) {
    if (tryLoad(name)) {
      options_->SetLanguageFileName(name);
      return true;
    }
  }
  return false;
}

bool QuorvelProgram::Start(int& exitCode) {
  exitCode = 0;
  // One instance per user: a second start brings the first one's window forward.
  instance_ = std::make_unique<SingleInstance>();
  if (!instance_->TryAcquire() && instance_->LastFailure() == SingleInstance::Failure::Held) {
    instance_->NotifyRunningInstance();
    messages_->Show(u"Quorvel is still running!"_s, QString(), MessageIcon::Information);
    return false;
  }

  // A termination request during start-up is answered once the program runs,
  // with the whole close procedure.
  InstallSignalHandlers();

  options_ = std::make_unique<TOptions>(ProgramLocation::FromApplication());
  if (!options_->Load()) {
    messages_->Show(u"Options->Load() failt in: MainUnit->TMainform::TMainform (24)"_s, QString(),
                    MessageIcon::Error);
  }
  errorFile_ = std::make_unique<ErrorFile>(programDir_, options_->GetErrorFileName(), *clock_);

  language_ = std::make_unique<TLanguage>(programDir_);
  if (!LoadLanguage()) {
    messages_->Show(u"No language file could be loaded from "_s + programDir_ +
                        u"; Quorvel cannot show its texts and ends."_s,
                    u"Error"_s, MessageIcon::Error);
    exitCode = 1;
    return false;
  }
  const QString errorTitle = language_->ErrorTitle();

  for (const QString& argument : QCoreApplication::arguments().mid(1)) {
    if (argument.toLower() == u"-n"_s) {
      options_->Model().general.doubleTraffic = true;
      options_->SetBewareOfTrafficDouble(true);
    }
  }

  priority_ = std::make_unique<LinuxProcessPriority>();
  priority_->SetProcessPriority(options_->Model().general.basePrio);

  verInfo_ = std::make_unique<TVerInfo>();
  verInfo_->ReadVersionInfo();
  errorFile_->SetVersion({verInfo_->FileVersion, verInfo_->ProductVersion, verInfo_->Comments,
                          verInfo_->MainWindowTitle()});
  if (CompareVersions(verInfo_->Version, language_->Verinfo().DownwardVersion) == 2)
    messages_->Show(language_->GetString(u"Errors"_s, u"Error42"_s), errorTitle,
                    MessageIcon::Error);

  app_.SetFatalErrorHandler(
      [this](QObject* sender, const QString& message, const QString& className) {
        AppException(sender, message, className);
      });

  try {
    db_ = std::make_unique<Connection>(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s +
                                       options_->GetDatabaseFile() +
                                       u";Persist Security Info=False"_s);
    nicTable_ = std::make_unique<NetlinkInterfaceTable>();
    dunTable_ = std::make_unique<NetlinkInterfaceTable>();
    if (!nicTable_->IsOpen() || !dunTable_->IsOpen()) {
      throw FatalStartupError{u"Error while trying to open the interface table (netlink: "_s +
                                  nicTable_->ErrorText() + dunTable_->ErrorText() +
                                  u") in MainUnit->TMainform::TMainform(127)"_s,
                              u"Exception"_s};
    }
    MonitorContext context;
    context.options = options_.get();
    context.language = language_.get();
    context.messages = messages_.get();
    context.errorFile = errorFile_.get();
    context.clock = clock_.get();
    context.nicTable = nicTable_.get();
    context.dunTable = dunTable_.get();
    context.db = db_.get();
    context.programDir = programDir_;
    context.bootId = ReadBootId();
    monitor_ = std::make_unique<TrafficMonitor>(context);
    connect(monitor_.get(), &TrafficMonitor::FatalError, this,
            [this](const QString& message, const QString& className) {
              AppException(monitor_.get(), message, className);
            });
    monitor_->Start();
  } catch (const FatalStartupError& e) {
    AppException(&app_, e.message, e.className);
    exitCode = 1;
    return false;
  } catch (const std::exception& e) {
    AppException(&app_, QString::fromLocal8Bit(e.what()), u"Exception"_s);
    exitCode = 1;
    return false;
  }

  monitorAccess_ = std::make_unique<TrafficMonitorAccess>(*monitor_);
  help_ =
      std::make_unique<DesktopHelpOpener>(programDir_, [this] { return options_->GetHelpFile(); });
  mainform_ = std::make_unique<TMainform>(*options_, *language_, *verInfo_, *messages_,
                                          *monitorAccess_, *help_);
  if (auto* qtMessages = dynamic_cast<QtMessageService*>(messages_.get()))
    qtMessages->SetOwner(mainform_.get());

  // The general options page applies some settings at once.
  autostart_ = std::make_unique<Autostart>(
      verInfo_->ProductName, QCoreApplication::applicationFilePath(), AutostartFolders::System());
  fileChooser_ = std::make_unique<QtOpenFileChooser>();
  if (GeneralOptionsPage* page = mainform_->GeneralOptions()) {
    GeneralOptionsServices services;
    services.priority = priority_.get();
    services.autostart = autostart_.get();
    services.fileChooser = fileChooser_.get();
    services.languageDialog.programVersion = verInfo_.get();
    services.languageDialog.renameDialupRecord = [this] {
      if (!monitor_->Records().empty() && monitor_->Records().back()->GetIsDialup())
        monitor_->Records().back()->SetName(language_->GetString(u"Strings"_s, u"dfu"_s));
    };
    page->SetServices(std::move(services));
    connect(page, &GeneralOptionsPage::nicEngineIntervalChanged, monitor_.get(),
            &TrafficMonitor::SetNicInterval);
    connect(page, &GeneralOptionsPage::cacheIntervalTextChanged, monitor_.get(),
            &TrafficMonitor::SetCacheIntervalText);
  }
  // Every later language change brings the windows into the new language too.
  language_->SetWindowTranslation([this](TLanguage&) { mainform_->Translate(); });
  mainform_->Translate();
  connect(mainform_.get(), &TMainform::closeRequested, this, [this] {
    Close();
    app_.quit();
  });
  connect(instance_.get(), &SingleInstance::activationRequested, this,
          [this] { mainform_->ShowPage(TMainform::kLiveDataPage); });
  connect(&app_, &QCoreApplication::aboutToQuit, this, [this] { Close(); });
  mainform_->ShowAtStart(!headless_ && QSystemTrayIcon::isSystemTrayAvailable());
  return true;
}

void QuorvelProgram::InstallSignalHandlers() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char c;
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
    Close();
    app_.quit();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

void QuorvelProgram::Close() {
  if (closed_ || inFatalError_) return;
  closed_ = true;
  if (mainform_) {
    mainform_->CloseProcedure();
  } else if (monitor_) {
    monitor_->SaveAtClose();
    options_->SaveWindow();
  }
  if (db_) db_->Close();
  if (instance_) instance_->Release();
}

void QuorvelProgram::AppException(QObject* sender, const QString& message,
                                  const QString& className) {
  if (inFatalError_) return;
  inFatalError_ = true;
  ErrorFile fallback(programDir_, u"error.txt"_s, *clock_);
  FatalErrorHandler::Parts parts;
  parts.errorFile = errorFile_ ? errorFile_.get() : &fallback;
  parts.messages = messages_.get();
  parts.clock = clock_.get();
  parts.options = options_.get();
  parts.language = language_.get();
  parts.verInfo = verInfo_.get();
  parts.monitor = monitor_.get();
  parts.mainform = mainform_.get();
  parts.programDir = programDir_;
  parts.closeDatabase = [this] {
    if (db_) db_->Close();
  };
  parts.endProgram = [this] {
    if (instance_) instance_->Release();
    QCoreApplication::exit(1);
  };
  FatalErrorHandler handler(std::move(parts));
  handler.AppException(sender, message, className);
}
