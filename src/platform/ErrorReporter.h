#pragma once

#include <QList>
#include <QString>
#include <mutex>

// Where failures that must not stop the program are written (the error file).
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  // `className` names the kind of error, as the error file prints it.
  virtual void WriteExceptionToErrorFile(const QString& message, const QString& className) = 0;
};

// Keeps every report in memory; for tests. Safe to call from several threads.
class RecordingErrorReporter final : public ErrorReporter {
 public:
  struct Entry {
    QString message;
    QString className;
  };

  void WriteExceptionToErrorFile(const QString& message, const QString& className) override {
    std::lock_guard lock(mutex_);
    entries_.append({message, className});
  }

  QList<Entry> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  QList<Entry> entries_;
};
