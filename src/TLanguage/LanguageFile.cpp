#include "TLanguage/LanguageFile.h"

#include "TOptions/IniFile.h"

namespace {

QString Folded(const QString& name) { return name.toCaseFolded(); }

}  // namespace

LanguageFile LanguageFile::Parse(const QByteArray& data) {
  LanguageFile file;
  Section* current = nullptr;
  qsizetype start = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (start < data.size()) {
    qsizetype end = data.indexOf('\n', start);
    if (end < 0) end = data.size();
    // The line is trimmed when classified, which also drops the "\r" of CR LF.
    const QByteArray line = data.mid(start, end - start);
    start = end + 1;

    QString name;
    QByteArray value;
    const IniLineKind kind = ClassifyIniLine(line, &name, &value);
    if (kind == IniLineKind::Section) {
      const QString folded = Folded(name);
      if (!file.sections_.contains(folded)) file.sectionNames_.append(name);
      // Stays valid: sections_ grows only here, and current is taken anew.
      current = &file.sections_[folded];
      continue;
    }
    if (kind != IniLineKind::Key || current == nullptr) continue;
    const QString folded = Folded(name);
    if (current->values.contains(folded)) continue;
    current->keyNames.append(name);
    current->values.insert(folded, value);
  }
  return file;
}

std::optional<QByteArray> LanguageFile::Value(const QString& section, const QString& key) const {
  const auto s = sections_.constFind(Folded(section));
  if (s == sections_.cend()) return std::nullopt;
  const auto v = s->values.constFind(Folded(key));
  if (v == s->values.cend()) return std::nullopt;
  return *v;
}

QStringList LanguageFile::Keys(const QString& section) const {
  const auto s = sections_.constFind(Folded(section));
  return s == sections_.cend() ? QStringList() : s->keyNames;
}
