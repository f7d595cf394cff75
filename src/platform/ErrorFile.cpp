#include "platform/ErrorFile.h"

#include <QDir>

#include "platform/AtomicFile.h"

using namespace Qt::Literals::StringLiterals;

ErrorFile::ErrorFile(QString programDir, QString errorFileName, const Clock& clock)
    : programDir_(std::move(programDir)), errorFileName_(std::move(errorFileName)), clock_(clock) {}

QString ErrorFile::Path() const { return QDir(programDir_).filePath(errorFileName_); }

bool ErrorFile::AppendLine(const QString& line, const QString& fileName) const {
  return AppendLines(QStringList{line}, fileName);
}

bool ErrorFile::AppendLines(const QStringList& lines, const QString& fileName) const {
  QByteArray data;
  for (const QString& line : lines) {
    data += line.toUtf8();
    data += '\n';
  }
  std::lock_guard lock(mutex_);
  return AppendToFile(fileName.isEmpty() ? Path() : fileName, data);
}

QStringList ErrorFile::EntryHeader() const {
  return {
      QStringLiteral(" "), QString(64, u'#'),
      FormatDateTime(QStringLiteral("dd.mm.yyyy hh:mm:ss"), DateTimeFromQDateTime(clock_.Now()))};
}

void ErrorFile::WriteExceptionToErrorFile(const QString& message, const QString& className) {
  const std::optional<ErrorFileVersion> version = Version();
  if (!version) return;  // nothing is written before the version fields exist
  QStringList lines = EntryHeader();
  lines << u"file_version:"_s + version->fileVersion
        << u"product_version:"_s + version->productVersion << u"file_comment:"_s + version->comments
        << u"db_version:"_s + DbVersion() << u"Fehlermeldung:"_s + message
        << u"E->ClassName():"_s + className << QStringLiteral(" ");
  AppendLines(lines);
}

void ErrorFile::SetVersion(const ErrorFileVersion& version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

std::optional<ErrorFileVersion> ErrorFile::Version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void ErrorFile::SetDbVersion(const QString& version) {
  std::lock_guard lock(mutex_);
  dbVersion_ = version;
}

QString ErrorFile::DbVersion() const {
  std::lock_guard lock(mutex_);
  return dbVersion_;
}
