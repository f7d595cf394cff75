#pragma once

#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

#include "platform/DateTime.h"
#include "platform/ErrorReporter.h"

// The version fields an error entry prints.
struct ErrorFileVersion {
  QString fileVersion;
  QString productVersion;
  QString comments;
  QString mainformCaption;
};

// The program's error file: plain text in the program directory, only ever
// appended to. Every entry starts with a blank line, 64 number signs and the
// date and time. Safe to use from several threads.
class ErrorFile final : public ErrorReporter {
 public:
  ErrorFile(QString programDir, QString errorFileName, const Clock& clock);

  QString Path() const;

  // Appends one line; an empty file name means the error file. False when the
  // file cannot be opened or written.
  bool AppendLine(const QString& line, const QString& fileName = QString()) const;
  // Appends several lines in one write.
  bool AppendLines(const QStringList& lines, const QString& fileName = QString()) const;

  // " ", 64 "#", "dd.mm.yyyy hh:mm:ss" of now.
  QStringList EntryHeader() const;

  // Short exception block; written only once the version fields are known.
  void WriteExceptionToErrorFile(const QString& message, const QString& className) override;

  void SetVersion(const ErrorFileVersion& version);
  std::optional<ErrorFileVersion> Version() const;
  void SetDbVersion(const QString& version);
  QString DbVersion() const;

 private:
  QString programDir_;
  QString errorFileName_;
  const Clock& clock_;
  mutable std::mutex mutex_;
  std::optional<ErrorFileVersion> version_;
  QString dbVersion_;
};
