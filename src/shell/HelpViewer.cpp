#include "shell/HelpViewer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

bool IsPlainFileName(const QString& name) {
  return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && name != u"."_s &&
         name != u".."_s;
}

QString ExistingFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() ? info.absoluteFilePath() : QString();
}

}  // namespace

QString HelpPagePath(const QString& programDir, const QString& helpFileOption,
                     const QString& topic) {
  if (!topic.isEmpty() && !IsPlainFileName(topic)) return {};
  const QDir dir(programDir);
  const QString shipped = dir.filePath(kDefaultHelpFolder);
  const QString page = topic.isEmpty() ? kHelpIndexPage : topic;

  const QString option = helpFileOption.trimmed();
  if (!option.isEmpty() && !option.endsWith(u".chm"_s, Qt::CaseInsensitive)) {
    const QFileInfo chosen(dir.filePath(option));
    QString found;
    if (chosen.isDir()) {
      found = ExistingFile(QDir(chosen.absoluteFilePath()).filePath(page));
    } else if (chosen.suffix().startsWith(u"htm"_s, Qt::CaseInsensitive)) {
      found = topic.isEmpty() ? ExistingFile(chosen.absoluteFilePath())
                              : ExistingFile(chosen.absoluteDir().filePath(page));
    }
    if (!found.isEmpty()) return found;
  }
  return ExistingFile(QDir(shipped).filePath(page));
}

DesktopHelpOpener::DesktopHelpOpener(QString programDir, std::function<QString()> helpFileOption)
    : programDir_(std::move(programDir)), helpFileOption_(std::move(helpFileOption)) {}

bool DesktopHelpOpener::ShowHelp(const QString& topic) {
  const QString path =
      HelpPagePath(programDir_, helpFileOption_ ? helpFileOption_() : QString(), topic);
  if (path.isEmpty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopHelpOpener::OpenUrl(const QUrl& url) {
  return url.isValid() && QDesktopServices::openUrl(url);
}
