#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

inline void WriteBytes(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
  f.write(data);
}

inline QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

inline bool RunningAsRoot() { return geteuid() == 0; }

// Makes every write past `bytes` into a regular file fail, as on a full disk;
// works for root too, unlike permission bits. Print nothing while it is in force.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

#include <QStringList>
#include <ostream>

// Readable failure messages for the Qt types the tests compare.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '{';
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (i > 0) *os << ", ";
    PrintTo(list[i], os);
  }
  *os << '}';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
  *os << '"';
  for (const char c : b) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) {
      static const char hex[] = "0123456789ABCDEF";
      *os << "\\x" << hex[u >> 4] << hex[u & 15];
    } else {
      *os << c;
    }
  }
  *os << '"';
}
