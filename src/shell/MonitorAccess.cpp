#include "shell/MonitorAccess.h"

TrafficMonitorAccess::TrafficMonitorAccess(TrafficMonitor& monitor, QObject* parent)
    : MonitorAccess(parent), monitor_(monitor) {
  connect(&monitor_, &TrafficMonitor::Polled, this, &MonitorAccess::Polled);
  connect(&monitor_, &TrafficMonitor::DialupLabelChanged, this, &MonitorAccess::DialupLabelChanged);
}
