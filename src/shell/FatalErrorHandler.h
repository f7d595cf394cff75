#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "acquisition/FatalErrorBlock.h"

class ErrorFile;
class MessageService;
class TrafficMonitor;
class TLanguage;
class TOptions;
class TVerInfo;

// Runs `deliver` (the delivery of one event) and hands any error escaping it to
// `handler` instead of letting it pass through the event loop. Returns what the
// delivery returned, false after an error.
bool DeliverGuarded(QObject* receiver, const std::function<bool()>& deliver,
                    const std::function<void(QObject*, const QString&, const QString&)>& handler);

// The application error handler: stops the timers, writes the full error block
// with the state of every interface record, stores every record's totals
// (removing the cache file only when all were stored), takes a screenshot of the
// visible main window, tells the user where the error file is, and asks the
// program to end. Whatever exists so far is used; the rest is left out.
class FatalErrorHandler {
 public:
  struct Parts {
    ErrorFile* errorFile = nullptr;      // required
    MessageService* messages = nullptr;  // required
    const Clock* clock = nullptr;        // required
    TOptions* options = nullptr;
    TLanguage* language = nullptr;
    const TVerInfo* verInfo = nullptr;
    TrafficMonitor* monitor = nullptr;
    QPointer<QWidget> mainform;  // the window part needs it
    QString programDir;
    std::function<void()> closeDatabase;
    std::function<void()> endProgram;
  };

  explicit FatalErrorHandler(Parts parts) : p_(std::move(parts)) {}
  void SetParts(Parts parts) { p_ = std::move(parts); }
  Parts& GetParts() { return p_; }

  // Handles one fatal error; later ones while it runs are ignored.
  void AppException(QObject* sender, const QString& message, const QString& className);
  bool Handled() const { return handled_; }
  // Path of the screenshot taken by the last run, empty when none.
  const QString& ScreenshotPath() const { return screenshot_; }

 private:
  Parts p_;
  bool handled_ = false;
  QString screenshot_;
};
