#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <csignal>

namespace {

const QByteArray kActivateRequest = QByteArrayLiteral("activate");
const QByteArray kAcknowledge = QByteArrayLiteral("ok");
// Requests are one short line; anything longer is not one of ours.
constexpr qint64 kMaxRequest = 64;
// A client that connects and says nothing is dropped after this long.
constexpr int kIdleClientMs = 5000;
// A retry of the lock after a short wait rides out a holder that is just
// removing a stale lock or another process probing it.
constexpr int kLockRetryMs = 100;
// A lock file without readable contents may be one that is being written right
// now; only older ones count as debris of a crash.
constexpr int kUnreadableLockAgeMs = 5000;
// Pause between attempts to reach an instance that holds the lock but does
// not listen yet.
constexpr unsigned long kConnectRetryMs = 20;
// Socket addresses are limited to 108 bytes including the terminating zero.
constexpr qsizetype kMaxSocketPath = 100;

enum class FileLock { Locked, Free, Unknown };

// The holder of a QLockFile keeps an exclusive flock on it for as long as it
// lives, and the kernel drops that flock when the process dies. Probing with a
// shared, non-blocking flock therefore tells a live holder from debris.
FileLock ProbeFileLock(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileLock::Free : FileLock::Unknown;
  FileLock result = FileLock::Unknown;
  if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
    ::flock(fd, LOCK_UN);
    result = FileLock::Free;
  } else if (errno == EWOULDBLOCK) {
    result = FileLock::Locked;
  }
  ::close(fd);
  return result;
}

// Fallback where flock is not available (some network file systems): trusts
// the process id recorded in the lock file.
bool RecordedHolderAlive(const QString& path) {
  qint64 pid = 0;
  QString host;
  QString application;
  // Unreadable contents: no way to tell, so assume someone holds it.
  if (!QLockFile(path).getLockInfo(&pid, &host, &application)) return true;
  if (!host.isEmpty() && host != QSysInfo::machineHostName()) return true;
  if (pid <= 0) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// A lock file whose contents cannot be read (left empty by a crash between
// creating and writing it) is never recognised as stale by QLockFile. Removes
// it when nobody holds it and it is not being written just now.
bool RemoveUnreadableDebris(const QString& path) {
  qint64 pid = 0;
  QString host;
  QString application;
  if (QLockFile(path).getLockInfo(&pid, &host, &application)) return false;
  const QFileInfo info(path);
  if (!info.exists() ||
      info.lastModified().msecsTo(QDateTime::currentDateTime()) < kUnreadableLockAgeMs)
    return false;
  if (ProbeFileLock(path) != FileLock::Free) return false;
  return QFile::remove(path);
}

}  // namespace

SingleInstance::SingleInstance(QString directory, QString name, QObject* parent)
    : QObject(parent), directory_(std::move(directory)), name_(std::move(name)) {}

SingleInstance::~SingleInstance() { Release(); }

QString SingleInstance::DefaultDirectory() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString SingleInstance::DefaultName() { return u"quorvel-" + QString::number(::getuid()); }

QString SingleInstance::LockFilePath() const { return QDir(directory_).filePath(name_ + u".lock"); }

QString SingleInstance::ServerName() const {
  const QString path = QDir(directory_).filePath(name_ + u".socket");
  if (QFile::encodeName(path).size() <= kMaxSocketPath) return path;
  // Too long for a socket address: a name in the temporary directory, unique
  // per user and lock file.
  const QByteArray hash =
      QCryptographicHash::hash(QFile::encodeName(LockFilePath()), QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  return u"quorvel-" + QString::number(::getuid()) + u'-' + QString::fromLatin1(hash);
}

bool SingleInstance::TryAcquire() {
  if (lock_ != nullptr) return true;
  failure_ = Failure::None;
  errorText_.clear();

  QDir().mkpath(directory_);
  const QString path = LockFilePath();
  auto lock = std::make_unique<QLockFile>(path);
  // The lock belongs to its holder for as long as that process lives, however
  // long it runs; only a dead holder makes it stale.
  lock->setStaleLockTime(0);
  bool locked = lock->tryLock(kLockRetryMs);
  if (!locked && lock->error() == QLockFile::LockFailedError && RemoveUnreadableDebris(path))
    locked = lock->tryLock(kLockRetryMs);
  if (!locked) {
    if (lock->error() == QLockFile::LockFailedError) {
      failure_ = Failure::Held;
      errorText_ = u"Another instance holds the lock " + path;
    } else {
      failure_ = Failure::Unavailable;
      errorText_ = u"Cannot create the lock file " + path;
    }
    return false;
  }
  lock_ = std::move(lock);

  // Holding the lock makes the socket name ours; a socket file left by a
  // crashed instance is in the way and goes.
  auto server = std::make_unique<QLocalServer>();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  const QString serverName = ServerName();
  QLocalServer::removeServer(serverName);
  if (server->listen(serverName)) {
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    server_ = std::move(server);
  } else {
    // Still the only instance; later starts just cannot bring it forward.
    errorText_ = u"Cannot listen on " + serverName + u": " + server->errorString();
  }
  return true;
}

void SingleInstance::Release() {
  // The server goes first: once the lock is free a new instance may create
  // its own socket under the same name, and closing ours must not remove it.
  server_.reset();
  if (lock_ != nullptr) {
    lock_->unlock();
    lock_.reset();
  }
}

bool SingleInstance::IsHeld(const QString& directory, const QString& name) {
  const QString path = QDir(directory).filePath(name + u".lock");
  if (!QFileInfo::exists(path)) return false;
  switch (ProbeFileLock(path)) {
    case FileLock::Locked:
      return true;
    case FileLock::Free:
      return false;
    case FileLock::Unknown:
      break;
  }
  return RecordedHolderAlive(path);
}

bool SingleInstance::NotifyRunningInstance(int timeoutMs) const {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(ServerName());
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
    // A starting instance takes the lock a moment before it listens.
    if (deadline.hasExpired() || !IsHeld(directory_, name_)) return false;
    QThread::msleep(kConnectRetryMs);
  }
  socket.write(kActivateRequest + '\n');
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
  }
  // The answer may come together with the end of the connection; it is
  // buffered then although the wait reports the closed connection.
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
        !socket.canReadLine())
      return false;
  }
  return socket.readLine(kMaxRequest).trimmed() == kAcknowledge;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest) {
          socket->abort();
          socket->deleteLater();
        }
        return;
      }
      const bool activate = socket->readLine(kMaxRequest).trimmed() == kActivateRequest;
      if (activate) {
        socket->write(kAcknowledge + '\n');
        // Sent now rather than from the event loop: the owner may react to
        // the signal by releasing, which destroys this socket.
        socket->flush();
      }
      socket->disconnectFromServer();
      if (activate) Q_EMIT activationRequested();
    });
    QTimer::singleShot(kIdleClientMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
  }
}
