#pragma once

// Files a program directory needs for tests that run the counting side:
// the variables file with the names the program's own one uses.

#include <QDir>
#include <QFile>
#include <QString>

namespace qvtest {

inline bool WriteFile(const QString& path, const QByteArray& content) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

inline bool WriteVariablesAndOptions(const QDir& dir, const QByteArray& options) {
  return WriteFile(dir.filePath(QStringLiteral("variables.conf")),
                   "[Variablen]\nIni_General=General\nIni_Window=Window\nIni_Reports=Reports\n"
                   "Ini_Tweaks=Tweaks\nIni_TCPServer=TCPServer\nIni_CertainCases=Cases\n"
                   "tablenamepreferences=_prefs\nDatabase=traffic.db\n"
                   "CacheDateiname=traffic.cache\n") &&
         WriteFile(dir.filePath(QStringLiteral("quorvel.ini")), options);
}

}  // namespace qvtest
