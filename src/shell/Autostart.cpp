#include "shell/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "TLanguage/TLanguage_Base.h"
#include "platform/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

// Escapes of a desktop entry string value.
QString EscapeValue(const QString& text) {
  QString out;
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'\\':
        out += u"\\\\"_s;
        break;
      case u'\n':
        out += u"\\n"_s;
        break;
      case u'\t':
        out += u"\\t"_s;
        break;
      case u'\r':
        out += u"\\r"_s;
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One argument of an Exec line: quoted, with the characters the quoting
// reserves escaped, and "%" doubled since it starts a field code.
QString ExecArgument(const QString& argument) {
  QString quoted = u"\""_s;
  for (const QChar c : argument) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    if (c == u'%') quoted += u'%';
    quoted += c;
  }
  quoted += u'"';
  return quoted;
}

bool IsHiddenEntry(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  bool inMainGroup = false;
  while (!f.atEnd()) {
    const QString line = QString::fromUtf8(f.readLine()).trimmed();
    if (line.startsWith(u'[')) {
      inMainGroup = line == u"[Desktop Entry]"_s;
    } else if (inMainGroup && line.section(u'=', 0, 0).trimmed() == u"Hidden"_s) {
      return line.section(u'=', 1).trimmed() == u"true"_s;
    }
  }
  return false;
}

}  // namespace

AutostartFolders AutostartFolders::System() {
  AutostartFolders folders;
  folders.userConfigDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  folders.allUsersConfigDir = u"/etc/xdg"_s;
  return folders;
}

Autostart::Autostart(QString productName, QString programPath, AutostartFolders folders)
    : productName_(std::move(productName)),
      programPath_(std::move(programPath)),
      folders_(std::move(folders)) {}

QString Autostart::EntryFileName() const {
  QString name = productName_;
  // A product name is no path.
  name.replace(u'/', u'-');
  return name + u".desktop"_s;
}

QString Autostart::UserEntryPath() const {
  if (folders_.userConfigDir.isEmpty()) return {};
  return QDir(folders_.userConfigDir).filePath(u"autostart/"_s + EntryFileName());
}

QString Autostart::AllUsersEntryPath() const {
  if (folders_.allUsersConfigDir.isEmpty()) return {};
  return QDir(folders_.allUsersConfigDir).filePath(u"autostart/"_s + EntryFileName());
}

bool Autostart::ExistsForUser() const {
  const QString path = UserEntryPath();
  return !path.isEmpty() && QFileInfo(path).isFile() && !IsHiddenEntry(path);
}

bool Autostart::ExistsForAllUsers() const {
  const QString path = AllUsersEntryPath();
  return !path.isEmpty() && QFileInfo(path).isFile();
}

QByteArray Autostart::EntryText() const {
  const QString directory = QFileInfo(programPath_).absolutePath();
  const QString text =
      u"[Desktop Entry]\n"_s
      u"Type=Application\n"_s
      u"Name="_s +
      EscapeValue(productName_) + u"\nExec="_s + EscapeValue(ExecArgument(programPath_)) +
      u"\nPath="_s + EscapeValue(directory) +
      u"\nTerminal=false\n"_s
      u"X-GNOME-Autostart-enabled=true\n"_s;
  return text.toUtf8();
}

bool Autostart::Create() const {
  const QString path = UserEntryPath();
  if (path.isEmpty() || productName_.isEmpty() || programPath_.isEmpty()) return false;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  // Written aside and renamed, so a failure leaves no half entry behind.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray text = EntryText();
  if (file.write(text) != text.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool Autostart::Remove() const {
  const QString path = UserEntryPath();
  if (path.isEmpty()) return true;
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return true;
  return QFile::remove(path);
}

StartupCheckBoxState StartupCheckBoxStateOf(const Autostart& autostart) {
  return {!autostart.ExistsForAllUsers(), autostart.ExistsForUser()};
}

StartupCheckBoxState StartupCheckBoxClicked(const Autostart& autostart, bool checked,
                                            MessageService& messages,
                                            const TLanguage_Base& language) {
  const auto show = [&](const QString& key) {
    messages.Show(language.GetString(u"Errors"_s, key), language.ErrorTitle(), MessageIcon::Error);
  };
  if (checked) {
    if (!autostart.Create()) show(u"Error34"_s);
  } else if (!autostart.Remove()) {
    show(u"Error35"_s);
  }
  return StartupCheckBoxStateOf(autostart);
}
