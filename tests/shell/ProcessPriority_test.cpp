#include "shell/ProcessPriority.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

TEST(ProcessPriority, PositionsMapToNiceValues) {
  struct Case {
    int position;
    std::optional<int> nice;
  };
  const Case cases[] = {
      {-1, std::nullopt}, {0, std::nullopt}, {1, -20}, {2, -10}, {3, -5}, {4, 0}, {5, 10}, {6, 19},
      {7, std::nullopt}};
  for (const Case& c : cases) {
    EXPECT_EQ(NiceValueForPosition(c.position), c.nice) << "position " << c.position;
  }
}

TEST(ProcessPriority, FakeRecordsAndRefusesLikeTheRealOne) {
  RecordingProcessPriority fake;
  EXPECT_TRUE(fake.SetProcessPriority(4));
  EXPECT_FALSE(fake.SetProcessPriority(7));
  fake.succeed = false;
  EXPECT_FALSE(fake.SetProcessPriority(2));
  EXPECT_EQ(fake.positions, (std::vector<int>{4, 7, 2}));
}

// A child that waits to be killed; its priority is the only one changed.
class Child {
 public:
  Child() {
    pid_ = ::fork();
    if (pid_ == 0) {
      for (;;) ::pause();
    }
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

int NiceOf(pid_t pid) {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
  EXPECT_EQ(errno, 0);
  return nice;
}

TEST(LinuxProcessPriority, LowersAForkedChildAndRefusesPositionsOutsideTheRange) {
  Child child;
  ASSERT_GT(child.pid(), 0);
  LinuxProcessPriority priority(child.pid());

  EXPECT_TRUE(priority.SetProcessPriority(5));
  EXPECT_EQ(NiceOf(child.pid()), 10);

  EXPECT_FALSE(priority.SetProcessPriority(7));
  EXPECT_FALSE(priority.SetProcessPriority(0));
  EXPECT_EQ(NiceOf(child.pid()), 10);
}

}  // namespace
