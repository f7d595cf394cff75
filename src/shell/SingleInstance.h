#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// Keeps the program to one running instance per user. The instance holds a lock
// file; a local socket beside it lets a second start ask the running instance
// to bring its window forward. A lock left behind by a crashed process is taken
// over. The directory and name are parameters so that tests (and the installer,
// which only looks) can use their own.
class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  enum class Failure {
    None,
    Held,         // another live instance holds the lock
    Unavailable,  // the lock file cannot be created (directory missing or read-only)
  };

  explicit SingleInstance(QString directory = DefaultDirectory(), QString name = DefaultName(),
                          QObject* parent = nullptr);
  ~SingleInstance() override;

  // The user's runtime directory, or the temporary directory where there is none.
  static QString DefaultDirectory();
  // Contains the user id, so that users sharing the temporary directory do not block each other.
  static QString DefaultName();

  // Takes the lock and starts listening for later starts. False when another
  // instance holds it or it cannot be created; Failure() tells which. True
  // again (without work) when this object already holds it.
  bool TryAcquire();
  // Gives the lock up and stops listening; nothing when it is not held.
  void Release();
  bool IsAcquired() const { return lock_ != nullptr; }
  Failure LastFailure() const { return failure_; }
  // Reason of the last failure, or why activation requests cannot be received
  // although the lock was taken. Empty when all went well.
  QString ErrorText() const { return errorText_; }

  // Whether a live process holds the lock, without taking it. A lock left by a
  // crashed process counts as free.
  static bool IsHeld(const QString& directory = DefaultDirectory(),
                     const QString& name = DefaultName());

  // For a start that found the lock held: asks the running instance to come
  // forward. True once it has confirmed; false when none answers within
  // `timeoutMs` or nobody holds the lock. Blocks the calling thread.
  bool NotifyRunningInstance(int timeoutMs = 3000) const;

  QString LockFilePath() const;
  QString ServerName() const;

 Q_SIGNALS:
  // Another start asked this (running) instance to bring its window forward.
  void activationRequested();

 private:
  void OnNewConnection();

  QString directory_;
  QString name_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
  Failure failure_ = Failure::None;
  QString errorText_;
};
