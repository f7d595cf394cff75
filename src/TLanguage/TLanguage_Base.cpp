#include "TLanguage/TLanguage_Base.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TOptions/DelimitedList.h"

using namespace Qt::StringLiterals;

namespace {

// Language files are a few dozen kilobytes; anything far larger is not one and
// would only be read into memory for nothing.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

QString Title(const LanguageFile& file, const QString& key) {
  return QString::fromUtf8(file.Value(u"Strings"_s, key).value_or(key.toUtf8()));
}

}  // namespace

TLanguage_Base::TLanguage_Base(QString programDir, QString notFoundText)
    : programDir_(std::move(programDir)), notFoundText_(std::move(notFoundText)) {}

void TLanguage_Base::SetFN(const QString& name) {
  const QString fileName = QDir(programDir_).filePath(name);
  const QFileInfo info(fileName);
  if (!info.exists()) {
    throw LanguageError(u"Error in TLanguage_Base->TLanguage_Base::SetFN (121) - File ("_s +
                        fileName + u") not found!"_s);
  }
  QFile f(fileName);
  QString problem;
  if (!info.isFile()) {
    problem = u"not a file"_s;
  } else if (info.size() > kMaxFileSize) {
    problem = u"larger than %1 bytes"_s.arg(kMaxFileSize);
  } else if (!f.open(QIODevice::ReadOnly)) {
    problem = f.errorString();
  }
  QByteArray data;
  if (problem.isEmpty()) {
    data = f.readAll();
    if (f.error() != QFileDevice::NoError) problem = f.errorString();
  }
  if (!problem.isEmpty()) {
    throw LanguageError(u"Error in TLanguage_Base->TLanguage_Base::SetFN (125) - File ("_s +
                        fileName + u") cannot be read: "_s + problem);
  }

  auto loaded = std::make_shared<Loaded>();
  loaded->fileName = fileName;
  loaded->file = LanguageFile::Parse(data);
  loaded->errorTitle = Title(loaded->file, u"Error"_s);
  loaded->warningTitle = Title(loaded->file, u"Warning"_s);
  loaded->questionTitle = Title(loaded->file, u"Question"_s);
  loaded->informationTitle = Title(loaded->file, u"Information"_s);

  std::lock_guard lock(mutex_);
  current_ = std::move(loaded);
}

std::shared_ptr<const TLanguage_Base::Loaded> TLanguage_Base::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

const TLanguage_Base::Loaded& TLanguage_Base::CurrentOrThrow(std::shared_ptr<const Loaded>& keep,
                                                             int line) const {
  keep = Current();
  if (!keep) {
    throw LanguageError(u"Error in TLanguage_Base->TLanguage_Base::ReadFromLangfile ("_s +
                        QString::number(line) + u") - Langfile = NULL!"_s);
  }
  return *keep;
}

QString TLanguage_Base::ReadFromLangfile(const QString& section, const QString& key,
                                         const QString& defaultValue) const {
  std::shared_ptr<const Loaded> keep;
  const auto value = CurrentOrThrow(keep, 183).file.Value(section, key);
  return value ? QString::fromUtf8(*value) : defaultValue;
}

bool TLanguage_Base::ReadFromLangfile(const QString& section, const QString& key,
                                      QStringList& target) const {
  std::shared_ptr<const Loaded> keep;
  const auto value = CurrentOrThrow(keep, 192).file.Value(section, key);
  if (!value) {
    target = QStringList{u"Error!"_s};
    return false;
  }
  target = StringsFromDelimitedText(*value);
  return true;
}

QString TLanguage_Base::GetString(const QString& section, const QString& key) const {
  return ReadFromLangfile(section, key, notFoundText_);
}

QString TLanguage_Base::GetStringReplaced(const QString& section, const QString& key,
                                          const QString& placeholder,
                                          const QString& replacement) const {
  QString text = GetString(section, key);
  // An empty placeholder would match between every two characters.
  if (!placeholder.isEmpty()) text.replace(placeholder, replacement, Qt::CaseInsensitive);
  return text;
}

QString TLanguage_Base::GetFileName() const {
  const auto current = Current();
  return current ? current->fileName : QString();
}

QString TLanguage_Base::ErrorTitle() const {
  const auto current = Current();
  return current ? current->errorTitle : Loaded().errorTitle;
}

QString TLanguage_Base::WarningTitle() const {
  const auto current = Current();
  return current ? current->warningTitle : Loaded().warningTitle;
}

QString TLanguage_Base::QuestionTitle() const {
  const auto current = Current();
  return current ? current->questionTitle : Loaded().questionTitle;
}

QString TLanguage_Base::InformationTitle() const {
  const auto current = Current();
  return current ? current->informationTitle : Loaded().informationTitle;
}
