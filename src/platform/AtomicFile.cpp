#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

QString ErrnoText(const char* what, const QString& path) {
  return QString::fromLatin1(what) + u' ' + path + u": " +
         QString::fromLocal8Bit(std::strerror(errno));
}

bool WriteAll(int fd, const QByteArray& data) {
  const char* p = data.constData();
  qsizetype left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    left -= n;
  }
  return true;
}

void SetError(QString* error, const QString& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
  const QByteArray target = QFile::encodeName(path);
  const QByteArray temp = target + ".tmp." + QByteArray::number(::getpid());
  const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetError(error, ErrnoText("Cannot create", QFile::decodeName(temp)));
    return false;
  }
  if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
    SetError(error, ErrnoText("Cannot write", QFile::decodeName(temp)));
    ::close(fd);
    ::unlink(temp.constData());
    return false;
  }
  if (::close(fd) != 0 || ::rename(temp.constData(), target.constData()) != 0) {
    SetError(error, ErrnoText("Cannot replace", path));
    ::unlink(temp.constData());
    return false;
  }
  // Make the rename itself durable.
  const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
  const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

bool AppendToFile(const QString& path, const QByteArray& data, QString* error) {
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetError(error, ErrnoText("Cannot open", path));
    return false;
  }
  const bool ok = WriteAll(fd, data);
  if (!ok) SetError(error, ErrnoText("Cannot write", path));
  if (::close(fd) != 0 && ok) {
    SetError(error, ErrnoText("Cannot close", path));
    return false;
  }
  return ok;
}
