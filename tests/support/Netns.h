#pragma once

// Throw-away network namespaces for tests and benchmarks that need a real kernel
// network without touching the machine's own: creation and removal through
// `ip netns`, and running code of this process inside a namespace.

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace qvtest {

// Runs a program found on PATH without a shell and waits for it. Its standard
// output goes to `output` when given, otherwise it is discarded like its errors.
// Returns the exit status, or -1 when it could not be started or did not exit.
inline int RunCommand(const std::vector<std::string>& args, std::string* output = nullptr) {
  if (args.empty()) return -1;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (output != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output != nullptr) {
    ::close(pipeFds[1]);
    output->clear();
    char chunk[4096];
    ssize_t n;
    while (spawned == 0 && (n = ::read(pipeFds[0], chunk, sizeof(chunk))) > 0) {
      output->append(chunk, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
  }
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Runs many `ip` commands in one process (`ip -batch`), inside `netns` when not empty.
inline int RunIpBatch(const std::string& netns, const std::string& commands) {
  char path[] = "/tmp/qvtest-ipbatch-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return -1;
  const bool written =
      ::write(fd, commands.data(), commands.size()) == static_cast<ssize_t>(commands.size());
  ::close(fd);
  int rc = -1;
  if (written) {
    std::vector<std::string> args{"ip"};
    if (!netns.empty()) args.insert(args.end(), {"-n", netns});
    args.insert(args.end(), {"-batch", path});
    rc = RunCommand(args);
  }
  ::unlink(path);
  return rc;
}

// A name no other process uses at the same time ("qv<pid><tag>"); short enough
// to serve as an interface name (at most 15 characters) when `tag` is short.
inline std::string UniqueName(const std::string& tag) {
  return "qv" + std::to_string(::getpid()) + tag;
}

// A network namespace that exists as long as this object; the constructor
// reports failure through ok() instead of throwing so that callers can skip.
class ScopedNetns {
 public:
  explicit ScopedNetns(std::string name) : name_(std::move(name)) {
    if (::geteuid() != 0) {
      error_ = "creating network namespaces needs root";
      return;
    }
    if (RunCommand({"ip", "netns", "add", name_}) != 0) {
      error_ = "`ip netns add " + name_ + "` failed (no iproute2 or no permission)";
      return;
    }
    created_ = true;
  }
  ~ScopedNetns() {
    if (created_) RunCommand({"ip", "netns", "delete", name_});
  }
  ScopedNetns(const ScopedNetns&) = delete;
  ScopedNetns& operator=(const ScopedNetns&) = delete;

  bool ok() const { return created_; }
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }
  std::string path() const { return "/var/run/netns/" + name_; }

 private:
  std::string name_;
  std::string error_;
  bool created_ = false;
};

// Moves the calling thread into the named namespace and back on destruction.
// Sockets created meanwhile belong to that namespace for their whole life, and
// /proc/thread-self/net shows it.
class NetnsEntry {
 public:
  explicit NetnsEntry(const std::string& name) {
    home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    entered_ = home_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) ::close(target);
  }
  ~NetnsEntry() {
    if (entered_ && ::setns(home_, CLONE_NEWNET) != 0) std::abort();  // never run on elsewhere
    if (home_ >= 0) ::close(home_);
  }
  NetnsEntry(const NetnsEntry&) = delete;
  NetnsEntry& operator=(const NetnsEntry&) = delete;

  bool ok() const { return entered_; }

 private:
  int home_ = -1;
  bool entered_ = false;
};

// Runs `fn` on a helper thread inside the named namespace, leaving every other
// thread where it is. False when the namespace could not be entered.
inline bool RunInNetns(const std::string& name, const std::function<void()>& fn) {
  bool entered = false;
  std::thread worker([&] {
    NetnsEntry entry(name);
    entered = entry.ok();
    if (entered) fn();
  });
  worker.join();
  return entered;
}

}  // namespace qvtest
