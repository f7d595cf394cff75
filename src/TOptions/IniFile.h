#pragma once

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "TOptions/OptionsPath.h"

// The ini access layer. Every operation opens the file, does one read or one
// rewrite and closes it again, so no handle is held between calls and threads
// may read concurrently. An empty file name means the options file in the
// program directory.
//
// Format: "[section]" lines and "key=value" lines; sections and keys compare
// without regard to case; keys and values are trimmed of blanks. Comments
// (";" or "#") and other lines are ignored on read and kept on rewrite. A
// section that occurs several times acts as one; the first occurrence of a key
// wins. Text is UTF-8.
//
// Reads of a missing or unreadable file give the defaults. Writes replace the
// whole file atomically (temporary file, then rename), so a failed write leaves
// the old file as it was; they throw IniError.

// How one line of ini text reads: a "[section]" header (its name), a
// "key=value" line (key and value, both trimmed), or anything else (blank,
// ";" or "#" comment, a line without "="). Key lines before the first section
// are the caller's to ignore. Shared by every reader of ini text.
enum class IniLineKind { Other, Section, Key };
IniLineKind ClassifyIniLine(const QByteArray& line, QString* name, QByteArray* value);

class IniError : public std::runtime_error {
 public:
  explicit IniError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

QString IniReadString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& file);
void IniWriteString(const QString& section, const QString& key, const QString& value,
                    const QString& file);

// Decimal with optional sign; anything else gives the default.
int IniReadInteger(const QString& section, const QString& key, int defaultValue,
                   const QString& file);
void IniWriteInteger(const QString& section, const QString& key, int value, const QString& file);

// Stored as "1"/"0"; read as an integer, any non-zero value is true.
bool IniReadBool(const QString& section, const QString& key, bool defaultValue,
                 const QString& file);
void IniWriteBool(const QString& section, const QString& key, bool value, const QString& file);

// Decimal text with the locale's decimal separator.
double IniReadFloat(const QString& section, const QString& key, double defaultValue,
                    const QString& file, const QLocale& locale = QLocale());
void IniWriteFloat(const QString& section, const QString& key, double value, const QString& file,
                   const QLocale& locale = QLocale());

// String lists in the 0xFE-delimited format. A missing key makes the list the
// single item "Error!" and returns false.
bool IniReadStrings(const QString& section, const QString& key, QStringList& target,
                    const QString& file);
bool IniReadStrings(const QString& section, const QString& key, QList<QByteArray>& target,
                    const QString& file);
void IniWriteStrings(const QString& section, const QString& key, const QStringList& items,
                     const QString& file);
void IniWriteStrings(const QString& section, const QString& key, const QList<QByteArray>& items,
                     const QString& file);

// Removes every occurrence of the section; false when the file could not be rewritten.
bool IniEraseSection(const QString& section, const QString& file);
// Removes every occurrence of the key in the section; false when the file could not be rewritten.
bool IniDeleteKey(const QString& section, const QString& key, const QString& file);

bool IniValueExists(const QString& section, const QString& key, const QString& file);
bool IniSectionExists(const QString& section, const QString& file);
// Key names of the section in file order, each once.
QStringList IniReadSection(const QString& section, const QString& file);

// Moves a value (as stored, byte for byte) to another key and/or section. An
// empty new section or key means the old one. True when the old key existed.
// Throws IniError when the file cannot be rewritten.
bool IniRenameKey(const QString& oldSection, const QString& newSection, const QString& oldKey,
                  const QString& newKey, const QString& file);
// Moves every key of the section into the new one and erases the old section.
// True when the old section existed. Throws IniError when the file cannot be rewritten.
bool IniRenameSection(const QString& oldSection, const QString& newSection, const QString& file);
