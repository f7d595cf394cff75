#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// A language file held in memory, read-only once parsed. The text follows the
// rules of the options file: "[section]" and "key=value" lines, section and key
// names compared without regard to case, names and values trimmed of blanks,
// ";" and "#" lines and key lines before the first section ignored, the first
// occurrence of a key winning and a repeated section adding to the first.
// Values are kept as raw bytes: text values are UTF-8, list values use the
// 0xFE/0xFF bytes of the delimited list format.
class LanguageFile {
 public:
  static LanguageFile Parse(const QByteArray& data);

  std::optional<QByteArray> Value(const QString& section, const QString& key) const;
  // Section names in file order, each once, as first written.
  QStringList Sections() const { return sectionNames_; }
  // Key names of a section in file order, each once, as first written.
  QStringList Keys(const QString& section) const;

 private:
  struct Section {
    QStringList keyNames;
    QHash<QString, QByteArray> values;  // by case-folded key
  };

  QStringList sectionNames_;
  QHash<QString, Section> sections_;  // by case-folded name
};
