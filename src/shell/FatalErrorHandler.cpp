#include "shell/FatalErrorHandler.h"

#include <QDir>
#include <QTabWidget>
#include <exception>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "acquisition/TrafficMonitor.h"
#include "platform/ErrorFile.h"
#include "platform/MessageService.h"
#include "shell/Screenshot.h"

using namespace Qt::Literals::StringLiterals;

bool DeliverGuarded(QObject* receiver, const std::function<bool()>& deliver,
                    const std::function<void(QObject*, const QString&, const QString&)>& handler) {
  try {
    return deliver();
  } catch (const std::exception& e) {
    if (handler) handler(receiver, QString::fromLocal8Bit(e.what()), u"std::exception"_s);
  } catch (...) {
    if (handler) handler(receiver, u"Unknown error"_s, u"unknown"_s);
  }
  return false;
}

void FatalErrorHandler::AppException(QObject* sender, const QString& message,
                                     const QString& className) {
  if (handled_) return;
  handled_ = true;
  if (p_.monitor != nullptr) p_.monitor->StopTimers();

  FatalErrorInfo info;
  if (p_.verInfo != nullptr) {
    info.version = ErrorFileVersion{p_.verInfo->FileVersion, p_.verInfo->ProductVersion,
                                    p_.verInfo->Comments, p_.verInfo->MainWindowTitle()};
  }
  info.dbVersion = p_.errorFile->DbVersion();
  if (p_.language != nullptr && !p_.language->GetFileName().isEmpty()) {
    const TLanguage_Verinfo lv = p_.language->Verinfo();
    info.languageVersion = std::make_pair(lv.Str_Version, lv.Str_DownwardVersion);
  }
  info.message = message;
  info.className = className;
  info.senderClassName = sender != nullptr ? QString::fromLatin1(sender->metaObject()->className())
                                           : u"TApplication"_s;
  if (p_.mainform) {
    const auto* pages = p_.mainform->findChild<QTabWidget*>(u"PageControl"_s);
    const QWidget* page = pages != nullptr ? pages->currentWidget() : nullptr;
    info.window = FatalErrorInfo::Window{page != nullptr ? page->objectName() : QString(),
                                         pages != nullptr ? pages->currentIndex() : -1, 0};
  }

  QStringList lines = p_.errorFile->EntryHeader();
  lines << FatalErrorHead(info);
  const bool windowExists = p_.mainform && p_.monitor != nullptr;
  if (windowExists) lines << FatalErrorRecords(info, p_.monitor->Records());
  p_.errorFile->AppendLines(lines);

  if (windowExists) {
    p_.monitor->SaveAfterFatalError();
    if (p_.closeDatabase) p_.closeDatabase();
    if ((p_.options == nullptr || p_.options->GetScreenshotOnException()) &&
        p_.mainform->isVisible()) {
      const QString base = QDir(p_.programDir).filePath(ErrorScreenshotName(p_.clock->Now()));
      if (SaveScreenshot(p_.mainform.data(), base, false, 100)) screenshot_ = base + u".jpg"_s;
    }
  }
  const QString errorFileName =
      p_.options != nullptr ? p_.options->GetErrorFileName() : u"error.txt"_s;
  QString error8 = u"A fatal error occurred; the details are in %errorfile%."_s;
  if (p_.language != nullptr && !p_.language->GetFileName().isEmpty()) {
    error8 = p_.language->GetString(u"Errors"_s, u"Error8"_s);
  }
  error8.replace(u"%errorfile%"_s, errorFileName, Qt::CaseInsensitive);
  p_.messages->Show(FatalErrorMessage(error8, info), QString(), MessageIcon::Error);
  if (p_.endProgram) p_.endProgram();
}
