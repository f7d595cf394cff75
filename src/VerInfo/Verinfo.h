#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Four version components: major, minor, release, build.
using VersionNumbers = std::array<quint32, 4>;

// Splits a version text such as "3.0.1.608" into its first four items. Items
// are separated by "." and by white space (a line break ends an item too); an
// item that is not a decimal number fitting 32 bits counts as 0. A text with
// fewer than four items has no version: nullopt.
std::optional<VersionNumbers> ParseVersion(const QString& text);

// 0 when equal, 1 when a is newer, 2 when b is newer; components compare in
// order, the first difference decides.
int CompareVersions(const VersionNumbers& a, const VersionNumbers& b);

// The program's own version information. The fields come from the build
// (there is no version resource on this platform).
class TVerInfo {
 public:
  QString CompanyName;
  QString FileDescription;
  QString FileVersion;
  QString InternalName;
  QString LegalCopyright;
  QString LegalTrademarks;
  QString OriginalFilename;
  QString ProductName;
  QString ProductVersion;
  QString Comments;
  QString SpecialBuild;

  // Parsed from FileVersion; all 0 until read.
  VersionNumbers Version{};

  // 0: text of the server's version file, 1: patch URL, 2: second item of the URL file.
  QStringList UpdateList{QString(), QString(), QString()};

  // Fills the fields and the version numbers from the build-time data.
  bool ReadVersionInfo();

  // ProductName (FileVersion), then Comments and SpecialBuild when not empty.
  QString MainWindowTitle() const;
  QString TrayHint() const { return ProductName; }
};
