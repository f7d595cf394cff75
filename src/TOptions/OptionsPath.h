#pragma once

#include <QString>
#include <functional>

// Where the program lives and where per-user settings go. Injected so that
// tests can point both at temporary folders.
struct ProgramLocation {
  QString programDir;      // directory of the executable
  QString executableName;  // file name of the executable, e.g. "quorvel"
  // Root of the per-user configuration folders; an empty result means there is none.
  std::function<QString()> appDataRoot;

  // The running program: QCoreApplication's executable and the XDG config folder.
  static ProgramLocation FromApplication();

  // Executable name without its extension.
  QString Stem() const;
  // The options file beside the executable.
  QString ProgramDirOptionsFile() const;
  // Program directory joined with a file name.
  QString InProgramDir(const QString& fileName) const;
};

// Full path of the options file. With the flag set, or when there is no
// per-user folder, the program-directory file; otherwise
// <appdata>/<stem>/<stem>.ini, which is created as a copy of the
// program-directory file (folder included) when it does not exist yet.
QString OptionsFilePath(bool useProgramDirectory, const ProgramLocation& location);
QString OptionsFilePath(bool useProgramDirectory);
