#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "acquisition/CacheFile.h"
#include "platform/ErrorFile.h"

// What the full error block of a fatal error prints besides the records.
struct FatalErrorInfo {
  std::optional<ErrorFileVersion> version;  // empty before the version fields exist
  QString dbVersion;
  // The language file's "Version" and "Downward_compatible_to"; empty when no
  // language is loaded.
  std::optional<std::pair<QString, QString>> languageVersion;
  QString message;
  QString className;
  QString senderClassName;
  // The main window part; empty before the main window exists.
  struct Window {
    QString activePageName;
    int tabIndex = 0;
    int graphWindows = 0;
  };
  std::optional<Window> window;
};

// The version, language and error parts of the block (after the entry header).
QStringList FatalErrorHead(const FatalErrorInfo& info);
// The window part and one group per record; empty without a main window.
QStringList FatalErrorRecords(const FatalErrorInfo& info, const NicVector& v);
// The message shown to the user: Error8 (with %errorfile% replaced by the
// caller) followed by the error's class, message, help id and method name.
QString FatalErrorMessage(const QString& error8Text, const FatalErrorInfo& info);
