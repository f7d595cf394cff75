#include "TLanguage/LanguageFile.h"

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
    // trimmed() also drops the "\r" of CR LF line ends.
    const QByteArray line = data.mid(start, end - start).trimmed();
    start = end + 1;

    if (line.startsWith('[')) {
      const qsizetype close = line.indexOf(']');
      if (close > 0) {
        const QString name = QString::fromUtf8(line.mid(1, close - 1).trimmed());
        const QString folded = Folded(name);
        if (!file.sections_.contains(folded)) file.sectionNames_.append(name);
        // Stays valid: sections_ grows only here, and current is taken anew.
        current = &file.sections_[folded];
        continue;
      }
    }
    if (current == nullptr || line.isEmpty() || line.startsWith(';') || line.startsWith('#')) {
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) continue;
    const QString key = QString::fromUtf8(line.left(eq).trimmed());
    const QString folded = Folded(key);
    if (current->values.contains(folded)) continue;
    current->keyNames.append(key);
    current->values.insert(folded, line.mid(eq + 1).trimmed());
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
