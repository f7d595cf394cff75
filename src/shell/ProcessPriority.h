#pragma once

#include <sys/types.h>

#include <optional>
#include <vector>

// The program's base priority, chosen on the six-step Basisprio_TrackBar:
// 1 real-time, 2 high, 3 above normal, 4 normal, 5 below normal, 6 idle.
class ProcessPriority {
 public:
  virtual ~ProcessPriority() = default;
  // False for a position outside 1..6 (nothing changes then) or when the
  // system refuses the change.
  virtual bool SetProcessPriority(int position) = 0;
};

// Nice value of a track bar position: -20, -10, -5, 0, 10, 19; none outside 1..6.
std::optional<int> NiceValueForPosition(int position);

// Sets the nice value of every thread of a process. Linux keeps the nice value
// per thread, so setting it for the process id alone would leave the threads
// already running (timers, database, server) at the old value.
// Raising the priority above the current one needs CAP_SYS_NICE or a
// suitable RLIMIT_NICE; without them the call fails and returns false.
class LinuxProcessPriority final : public ProcessPriority {
 public:
  // 0 means the running process.
  explicit LinuxProcessPriority(pid_t pid = 0) : pid_(pid) {}
  bool SetProcessPriority(int position) override;

 private:
  pid_t pid_;
};

// Records the positions asked for; touches no process.
class RecordingProcessPriority final : public ProcessPriority {
 public:
  bool SetProcessPriority(int position) override {
    positions.push_back(position);
    return succeed && NiceValueForPosition(position).has_value();
  }
  std::vector<int> positions;
  bool succeed = true;  // whether a valid position is accepted
};
