#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "acquisition/CacheFile.h"
#include "acquisition/TrafficMonitor.h"

// What the main window needs from the counting side: the records, the poll
// notifications and the saving at the end. The window depends on this rather
// than on TrafficMonitor itself so that its tests can feed it records directly.
class MonitorAccess : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  virtual const NicVector& Records() const = 0;
  virtual QString DbVersion() const = 0;
  // Whether the interface poll runs; its refresh then covers the dial-up record too.
  virtual bool InterfacePollRunning() const = 0;
  virtual void StopTimers() = 0;
  virtual void SaveAtClose(const std::function<bool(TNic&)>& savePrefs) = 0;

 Q_SIGNALS:
  void Polled(TrafficMonitor::RefreshMode mode);
  void DialupLabelChanged(const QString& text);
};

// The running program's monitor behind that interface.
class TrafficMonitorAccess final : public MonitorAccess {
  Q_OBJECT

 public:
  explicit TrafficMonitorAccess(TrafficMonitor& monitor, QObject* parent = nullptr);

  const NicVector& Records() const override { return monitor_.Records(); }
  QString DbVersion() const override { return monitor_.DbVersion(); }
  bool InterfacePollRunning() const override { return monitor_.NicEngine().isActive(); }
  void StopTimers() override { monitor_.StopTimers(); }
  void SaveAtClose(const std::function<bool(TNic&)>& savePrefs) override {
    monitor_.SaveAtClose(savePrefs);
  }

 private:
  TrafficMonitor& monitor_;
};
