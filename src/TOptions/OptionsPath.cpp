#include "TOptions/OptionsPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

ProgramLocation ProgramLocation::FromApplication() {
  ProgramLocation location;
  const QFileInfo exe(QCoreApplication::applicationFilePath());
  location.programDir = exe.absolutePath();
  location.executableName = exe.fileName();
  location.appDataRoot = [] {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  };
  return location;
}

QString ProgramLocation::Stem() const { return QFileInfo(executableName).completeBaseName(); }

QString ProgramLocation::ProgramDirOptionsFile() const { return InProgramDir(Stem() + u".ini"); }

QString ProgramLocation::InProgramDir(const QString& fileName) const {
  return QDir(programDir).filePath(fileName);
}

QString OptionsFilePath(bool useProgramDirectory, const ProgramLocation& location) {
  const QString programFile = location.ProgramDirOptionsFile();
  if (useProgramDirectory) return programFile;
  const QString root = location.appDataRoot ? location.appDataRoot() : QString();
  if (root.isEmpty()) return programFile;

  const QString stem = location.Stem();
  const QString folder = QDir(root).filePath(stem);
  const QString path = QDir(folder).filePath(stem + u".ini");
  if (!QFileInfo::exists(path)) {
    // Creating or copying may fail; the first write then reports the error.
    QDir().mkpath(folder);
    if (QFile::copy(programFile, path)) {
      // The copy keeps the source's permissions; an installed read-only file
      // must not make the user's own copy read-only.
      QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
    }
  }
  return path;
}

QString OptionsFilePath(bool useProgramDirectory) {
  return OptionsFilePath(useProgramDirectory, ProgramLocation::FromApplication());
}
