#include "TOptions/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <optional>

#include "TOptions/DelimitedList.h"
#include "TOptions/OptionsPath.h"
#include "platform/FloatFormat.h"

IniLineKind ClassifyIniLine(const QByteArray& line, QString* name, QByteArray* value) {
  const QByteArray body = line.trimmed();
  if (body.startsWith('[')) {
    const qsizetype close = body.indexOf(']');
    if (close > 0) {
      *name = QString::fromUtf8(body.mid(1, close - 1).trimmed());
      return IniLineKind::Section;
    }
  }
  if (body.isEmpty() || body.startsWith(';') || body.startsWith('#')) return IniLineKind::Other;
  const qsizetype eq = body.indexOf('=');
  if (eq < 0) return IniLineKind::Other;
  *name = QString::fromUtf8(body.left(eq).trimmed());
  *value = body.mid(eq + 1).trimmed();
  return IniLineKind::Key;
}

namespace {

bool SameName(const QString& a, const QString& b) {
  return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

struct Line {
  enum Kind { Other, Section, Key };
  QByteArray text;  // without the line terminator
  QByteArray eol;   // "\n", "\r\n", or empty for a last line without one
  Kind kind = Other;
  QString name;          // section name or key
  QByteArray value;      // trimmed value of a key line
  qsizetype owner = -1;  // header line of the section a key belongs to
};

// The file as lines, so that a rewrite changes only the lines it must.
class IniDocument {
 public:
  static IniDocument Parse(const QByteArray& data) {
    IniDocument doc;
    qsizetype start = 0;
    // A UTF-8 byte order mark stays in the first line's text but is not parsed.
    const qsizetype bom = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    bool eolChosen = false;
    while (start < data.size()) {
      qsizetype end = data.indexOf('\n', start);
      Line line;
      if (end < 0) {
        line.text = data.mid(start);
        start = data.size();
      } else {
        line.text = data.mid(start, end - start);
        line.eol = "\n";
        if (line.text.endsWith('\r')) {
          line.text.chop(1);
          line.eol = "\r\n";
        }
        if (!eolChosen) {
          doc.eol_ = line.eol;
          eolChosen = true;
        }
        start = end + 1;
      }
      doc.Classify(line, doc.lines_.isEmpty() ? bom : 0);
      doc.lines_.append(line);
    }
    return doc;
  }

  QByteArray Serialize() const {
    QByteArray out;
    for (const Line& line : lines_) out += line.text + line.eol;
    return out;
  }

  std::optional<QByteArray> Value(const QString& section, const QString& key) const {
    const qsizetype at = FindKey(section, key);
    if (at < 0) return std::nullopt;
    return lines_[at].value;
  }

  bool HasSection(const QString& section) const {
    for (const Line& line : lines_) {
      if (line.kind == Line::Section && SameName(line.name, section)) return true;
    }
    return false;
  }

  QStringList Keys(const QString& section) const {
    QStringList keys;
    for (const Line& line : lines_) {
      if (line.kind != Line::Key || !InSection(line, section)) continue;
      const bool seen = std::any_of(keys.cbegin(), keys.cend(),
                                    [&](const QString& k) { return SameName(k, line.name); });
      if (!seen) keys.append(line.name);
    }
    return keys;
  }

  // Updates the first occurrence of the key, or adds it at the end of the
  // section's first occurrence, or adds the section at the end of the file.
  void Set(const QString& section, const QString& key, const QByteArray& value) {
    const qsizetype at = FindKey(section, key);
    if (at >= 0) {
      Line& line = lines_[at];
      line.text = line.name.toUtf8() + '=' + value;
      line.value = value;
      return;
    }
    qsizetype header = -1;
    for (qsizetype i = 0; i < lines_.size() && header < 0; ++i) {
      if (lines_[i].kind == Line::Section && SameName(lines_[i].name, section)) header = i;
    }
    if (header >= 0) {
      qsizetype insertAt = header + 1;
      for (qsizetype i = header + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i) {
        if (lines_[i].kind == Line::Key) insertAt = i + 1;
      }
      lines_.insert(insertAt, MakeKeyLine(key, value, header));
      if (insertAt == lines_.size() - 1) EndPreviousLine(insertAt);
      Reindex();
      return;
    }
    if (!lines_.isEmpty()) {
      EndPreviousLine(lines_.size());
      if (!lines_.back().text.trimmed().isEmpty()) lines_.append(MakeLine(QByteArray()));
    }
    Line headerLine = MakeLine('[' + section.toUtf8() + ']');
    headerLine.kind = Line::Section;
    headerLine.name = section;
    lines_.append(headerLine);
    lines_.append(MakeKeyLine(key, value, lines_.size() - 1));
  }

  // Removes every occurrence of the section with all its lines.
  bool EraseSection(const QString& section) {
    bool removed = false;
    bool inside = false;
    QList<Line> kept;
    for (const Line& line : lines_) {
      if (line.kind == Line::Section) inside = SameName(line.name, section);
      if (inside) {
        removed = true;
      } else {
        kept.append(line);
      }
    }
    if (removed) Replace(kept);
    return removed;
  }

  bool DeleteKey(const QString& section, const QString& key) {
    QList<Line> kept;
    bool removed = false;
    for (const Line& line : lines_) {
      if (line.kind == Line::Key && SameName(line.name, key) && InSection(line, section)) {
        removed = true;
      } else {
        kept.append(line);
      }
    }
    if (removed) Replace(kept);
    return removed;
  }

 private:
  void Classify(Line& line, qsizetype skip) const {
    QString name;
    QByteArray value;
    const IniLineKind kind = ClassifyIniLine(line.text.mid(skip), &name, &value);
    if (kind == IniLineKind::Section) {
      line.kind = Line::Section;
      line.name = name;
      return;
    }
    const qsizetype currentHeader = CurrentHeader();
    if (kind != IniLineKind::Key || currentHeader < 0)
      return;  // key lines before any section are ignored
    line.kind = Line::Key;
    line.name = name;
    line.value = value;
    line.owner = currentHeader;
  }

  qsizetype CurrentHeader() const {
    for (qsizetype i = lines_.size() - 1; i >= 0; --i) {
      if (lines_[i].kind == Line::Section) return i;
    }
    return -1;
  }

  bool InSection(const Line& line, const QString& section) const {
    return line.owner >= 0 && SameName(lines_[line.owner].name, section);
  }

  qsizetype FindKey(const QString& section, const QString& key) const {
    for (qsizetype i = 0; i < lines_.size(); ++i) {
      const Line& line = lines_[i];
      if (line.kind == Line::Key && SameName(line.name, key) && InSection(line, section)) return i;
    }
    return -1;
  }

  Line MakeLine(const QByteArray& text) const {
    Line line;
    line.text = text;
    line.eol = eol_;
    return line;
  }

  Line MakeKeyLine(const QString& key, const QByteArray& value, qsizetype owner) const {
    Line line = MakeLine(key.toUtf8() + '=' + value);
    line.kind = Line::Key;
    line.name = key;
    line.value = value;
    line.owner = owner;
    return line;
  }

  // A last line without terminator gets one before anything is added after it.
  void EndPreviousLine(qsizetype before) {
    if (before > 0 && lines_[before - 1].eol.isEmpty()) lines_[before - 1].eol = eol_;
  }

  void Replace(const QList<Line>& kept) {
    lines_ = kept;
    Reindex();
  }

  // Owners are line positions, so they are recomputed whenever lines move.
  void Reindex() {
    qsizetype header = -1;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind == Line::Section) header = i;
      if (lines_[i].kind == Line::Key) lines_[i].owner = header;
    }
  }

  QList<Line> lines_;
  QByteArray eol_ = "\n";
};

QString Resolve(const QString& file) {
  return file.isEmpty() ? ProgramLocation::FromApplication().ProgramDirOptionsFile() : file;
}

// For reading: a missing or unreadable file is an empty one.
IniDocument ReadDocument(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return IniDocument::Parse(f.readAll());
}

// For rewriting: a file that exists but cannot be read must not be replaced
// by one holding only the new key.
IniDocument ReadForUpdate(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {};
  QFile f(path);
  if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
    throw IniError(QStringLiteral("Cannot read the file \"%1\" before writing it: %2")
                       .arg(path, info.isFile() ? f.errorString() : QStringLiteral("not a file")));
  }
  const QByteArray data = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    throw IniError(QStringLiteral("Cannot read the file \"%1\": %2").arg(path, f.errorString()));
  }
  return IniDocument::Parse(data);
}

void WriteDocument(const QString& path, const IniDocument& doc) {
  QSaveFile f(path);
  // Unbuffered: a buffered QSaveFile loses a short write (full disk, size
  // limit) at commit and would replace the file with a truncated one.
  if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    throw IniError(QStringLiteral("Cannot write the file \"%1\": %2").arg(path, f.errorString()));
  }
  const QByteArray data = doc.Serialize();
  if (f.write(data) != data.size() || !f.commit()) {
    throw IniError(QStringLiteral("Cannot write the file \"%1\": %2").arg(path, f.errorString()));
  }
}

bool HasLineBreak(const QByteArray& text) { return text.contains('\n') || text.contains('\r'); }

// Names and values that would change the file's structure are refused.
void CheckWritable(const QString& section, const QString& key, const QByteArray& value) {
  const QByteArray s = section.toUtf8();
  const QByteArray k = key.toUtf8();
  if (HasLineBreak(s) || s.contains(']')) {
    throw IniError(QStringLiteral("Invalid section name \"%1\"").arg(section));
  }
  const QByteArray kt = k.trimmed();
  if (HasLineBreak(k) || k.contains('=') || kt.startsWith(';') || kt.startsWith('#') ||
      kt.startsWith('[')) {
    throw IniError(QStringLiteral("Invalid key name \"%1\"").arg(key));
  }
  if (HasLineBreak(value)) {
    throw IniError(QStringLiteral("The value of key \"%1\" holds a line break").arg(key));
  }
}

// The value as stored, byte for byte (string lists are not UTF-8).
bool IniReadRaw(const QString& section, const QString& key, QByteArray& value,
                const QString& file) {
  const auto found = ReadDocument(Resolve(file)).Value(section, key);
  if (!found) return false;
  value = *found;
  return true;
}

void IniWriteRaw(const QString& section, const QString& key, const QByteArray& value,
                 const QString& file) {
  CheckWritable(section, key, value);
  const QString path = Resolve(file);
  IniDocument doc = ReadForUpdate(path);
  doc.Set(section, key, value);
  WriteDocument(path, doc);
}

}  // namespace

QString IniReadString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& file) {
  QByteArray raw;
  return IniReadRaw(section, key, raw, file) ? QString::fromUtf8(raw) : defaultValue;
}

void IniWriteString(const QString& section, const QString& key, const QString& value,
                    const QString& file) {
  IniWriteRaw(section, key, value.toUtf8(), file);
}

int IniReadInteger(const QString& section, const QString& key, int defaultValue,
                   const QString& file) {
  QByteArray raw;
  if (!IniReadRaw(section, key, raw, file)) return defaultValue;
  bool ok = false;
  const int value = raw.trimmed().toInt(&ok, 10);
  return ok ? value : defaultValue;
}

void IniWriteInteger(const QString& section, const QString& key, int value, const QString& file) {
  IniWriteRaw(section, key, QByteArray::number(value), file);
}

bool IniReadBool(const QString& section, const QString& key, bool defaultValue,
                 const QString& file) {
  return IniReadInteger(section, key, defaultValue ? 1 : 0, file) != 0;
}

void IniWriteBool(const QString& section, const QString& key, bool value, const QString& file) {
  IniWriteRaw(section, key, value ? "1" : "0", file);
}

double IniReadFloat(const QString& section, const QString& key, double defaultValue,
                    const QString& file, const QLocale& locale) {
  QByteArray raw;
  if (!IniReadRaw(section, key, raw, file)) return defaultValue;
  double value = 0;
  return TryStrToFloat(QString::fromUtf8(raw), value, locale) ? value : defaultValue;
}

void IniWriteFloat(const QString& section, const QString& key, double value, const QString& file,
                   const QLocale& locale) {
  IniWriteString(section, key, FloatToStrGeneral(value, locale), file);
}

bool IniReadStrings(const QString& section, const QString& key, QList<QByteArray>& target,
                    const QString& file) {
  QByteArray raw;
  if (!IniReadRaw(section, key, raw, file)) {
    target = {QByteArrayLiteral("Error!")};
    return false;
  }
  target = FromDelimitedText(raw);
  return true;
}

bool IniReadStrings(const QString& section, const QString& key, QStringList& target,
                    const QString& file) {
  QList<QByteArray> items;
  const bool found = IniReadStrings(section, key, items, file);
  target.clear();
  for (const QByteArray& item : items) target.append(QString::fromUtf8(item));
  return found;
}

void IniWriteStrings(const QString& section, const QString& key, const QList<QByteArray>& items,
                     const QString& file) {
  IniWriteRaw(section, key, ToDelimitedText(items), file);
}

void IniWriteStrings(const QString& section, const QString& key, const QStringList& items,
                     const QString& file) {
  IniWriteRaw(section, key, ToDelimitedText(items), file);
}

bool IniEraseSection(const QString& section, const QString& file) {
  try {
    const QString path = Resolve(file);
    IniDocument doc = ReadForUpdate(path);
    if (doc.EraseSection(section)) WriteDocument(path, doc);
    return true;
  } catch (const IniError&) {
    return false;
  }
}

bool IniDeleteKey(const QString& section, const QString& key, const QString& file) {
  try {
    const QString path = Resolve(file);
    IniDocument doc = ReadForUpdate(path);
    if (doc.DeleteKey(section, key)) WriteDocument(path, doc);
    return true;
  } catch (const IniError&) {
    return false;
  }
}

bool IniValueExists(const QString& section, const QString& key, const QString& file) {
  return ReadDocument(Resolve(file)).Value(section, key).has_value();
}

bool IniSectionExists(const QString& section, const QString& file) {
  return ReadDocument(Resolve(file)).HasSection(section);
}

QStringList IniReadSection(const QString& section, const QString& file) {
  return ReadDocument(Resolve(file)).Keys(section);
}

bool IniRenameKey(const QString& oldSection, const QString& newSection, const QString& oldKey,
                  const QString& newKey, const QString& file) {
  const QString path = Resolve(file);
  // Nothing to move in a missing or unreadable file is not an error.
  if (!ReadDocument(path).Value(oldSection, oldKey)) return false;
  IniDocument doc = ReadForUpdate(path);
  const auto value = doc.Value(oldSection, oldKey);
  if (!value) return false;
  const QString section = newSection.isEmpty() ? oldSection : newSection;
  const QString key = newKey.isEmpty() ? oldKey : newKey;
  // Renaming onto itself would write the value and then delete it.
  if (SameName(section, oldSection) && SameName(key, oldKey)) return true;
  CheckWritable(section, key, *value);
  doc.Set(section, key, *value);
  doc.DeleteKey(oldSection, oldKey);
  WriteDocument(path, doc);
  return true;
}

bool IniRenameSection(const QString& oldSection, const QString& newSection, const QString& file) {
  const QString path = Resolve(file);
  if (!ReadDocument(path).HasSection(oldSection)) return false;
  IniDocument doc = ReadForUpdate(path);
  if (!doc.HasSection(oldSection)) return false;
  // Moving a section onto itself (or onto no name) would erase it.
  if (newSection.isEmpty() || SameName(newSection, oldSection)) return true;
  for (const QString& key : doc.Keys(oldSection)) {
    const QByteArray value = doc.Value(oldSection, key).value_or(QByteArray());
    CheckWritable(newSection, key, value);
    doc.Set(newSection, key, value);
  }
  doc.EraseSection(oldSection);
  WriteDocument(path, doc);
  return true;
}
