#include "shell/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kName = u"quorvel-test"_s;
constexpr const char* kChildMode = "QUORVEL_SINGLE_INSTANCE_CHILD";
constexpr const char* kChildDir = "QUORVEL_SINGLE_INSTANCE_DIR";

// Runs the event loop until `done` holds. The limit only keeps a broken
// build from hanging; it is far above anything a working one needs.
bool RunUntil(const std::function<bool()>& done, int limitMs = 30000) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(5);
  bool limitReached = false;
  QTimer::singleShot(limitMs, &loop, [&] {
    limitReached = true;
    loop.quit();
  });
  if (!done()) loop.exec();
  return !limitReached || done();
}

// Asks the running instance from another thread, as a second start would from
// its own process, while this thread's event loop lets the first one answer.
bool NotifyFromOtherThread(const SingleInstance& second) {
  std::atomic<bool> finished = false;
  std::atomic<bool> confirmed = false;
  std::thread client([&] {
    confirmed = second.NotifyRunningInstance(10000);
    finished = true;
  });
  RunUntil([&] { return finished.load(); });
  client.join();
  return confirmed;
}

// This test binary started again in the role of another instance; see
// SingleInstanceChild below.
struct Child {
  QProcess process;

  Child(const QString& mode, const QString& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), mode);
    env.insert(QString::fromLatin1(kChildDir), dir);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(),
                  {u"--gtest_also_run_disabled_tests"_s,
                   u"--gtest_filter=SingleInstanceChild.DISABLED_Run"_s});
  }

  // Collects output while the event loop runs, so the parent can answer meanwhile.
  bool Finish() {
    RunUntil([&] { return process.state() == QProcess::NotRunning; }, 60000);
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
      return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  }

  QString Output() { return QString::fromLocal8Bit(process.readAll()); }
};

pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

void MakeOld(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                            QFileDevice::FileModificationTime));
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString LockPath() const { return dir.filePath(kName + u".lock"_s); }

  QTemporaryDir dir;
};

TEST_F(SingleInstanceTest, SecondObjectIsRefusedAndActivatesTheFirst) {
  SingleInstance first(dir.path(), kName);
  SingleInstance second(dir.path(), kName);
  int activations = 0;
  QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });

  EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
  ASSERT_TRUE(first.TryAcquire()) << first.ErrorText().toStdString();
  EXPECT_TRUE(first.IsAcquired());
  EXPECT_TRUE(first.ErrorText().isEmpty()) << first.ErrorText().toStdString();
  EXPECT_TRUE(first.TryAcquire()) << "asking again while holding";
  EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));

  EXPECT_FALSE(second.TryAcquire());
  EXPECT_FALSE(second.IsAcquired());
  EXPECT_EQ(second.LastFailure(), SingleInstance::Failure::Held);
  EXPECT_TRUE(NotifyFromOtherThread(second));
  EXPECT_TRUE(RunUntil([&] { return activations == 1; }));
  EXPECT_TRUE(first.IsAcquired()) << "the knock must leave the first instance alone";

  first.Release();
  EXPECT_FALSE(first.IsAcquired());
  EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
  EXPECT_FALSE(second.NotifyRunningInstance(2000)) << "nobody is listening any more";
  EXPECT_TRUE(second.TryAcquire());
  EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));
}

TEST_F(SingleInstanceTest, DestroyingTheHolderReleases) {
  {
    SingleInstance first(dir.path(), kName);
    ASSERT_TRUE(first.TryAcquire());
  }
  EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
  EXPECT_FALSE(QFile::exists(LockPath()));
  SingleInstance next(dir.path(), kName);
  EXPECT_TRUE(next.TryAcquire());
}

TEST_F(SingleInstanceTest, SecondProcessIsRefusedAndActivatesTheFirst) {
  SingleInstance first(dir.path(), kName);
  int activations = 0;
  QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
  ASSERT_TRUE(first.TryAcquire());

  Child child(u"second"_s, dir.path());
  EXPECT_TRUE(child.Finish()) << child.Output().toStdString();
  EXPECT_TRUE(RunUntil([&] { return activations == 1; }));
  EXPECT_TRUE(first.IsAcquired());
  EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));
}

TEST_F(SingleInstanceTest, OtherProcessHoldingRefusesThisOne) {
  Child child(u"hold"_s, dir.path());
  ASSERT_TRUE(RunUntil([&] {
    return child.process.state() == QProcess::NotRunning ||
           SingleInstance::IsHeld(dir.path(), kName);
  }));
  ASSERT_EQ(child.process.state(), QProcess::Running) << child.Output().toStdString();

  SingleInstance here(dir.path(), kName);
  EXPECT_FALSE(here.TryAcquire());
  EXPECT_EQ(here.LastFailure(), SingleInstance::Failure::Held);
  // The holder ends once it has been activated.
  EXPECT_TRUE(here.NotifyRunningInstance(10000));
  EXPECT_TRUE(child.Finish()) << child.Output().toStdString();
  EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
  EXPECT_TRUE(here.TryAcquire());
}

TEST_F(SingleInstanceTest, LockOfCrashedProcessIsTakenOver) {
  Child child(u"crash"_s, dir.path());
  ASSERT_TRUE(child.Finish()) << child.Output().toStdString();
  ASSERT_TRUE(QFile::exists(LockPath())) << "the crash leaves its lock file behind";

  EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
  SingleInstance next(dir.path(), kName);
  int activations = 0;
  QObject::connect(&next, &SingleInstance::activationRequested, [&] { ++activations; });
  ASSERT_TRUE(next.TryAcquire()) << next.ErrorText().toStdString();
  EXPECT_TRUE(next.ErrorText().isEmpty())
      << "the old socket must not stand in the way: " << next.ErrorText().toStdString();
  EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));

  SingleInstance later(dir.path(), kName);
  EXPECT_FALSE(later.TryAcquire());
  EXPECT_TRUE(NotifyFromOtherThread(later));
  EXPECT_TRUE(RunUntil([&] { return activations == 1; }));
}

// Lock files as other processes may leave them: (pid, application, host) lines.
TEST_F(SingleInstanceTest, LockNamingAGoneProcessIsTakenOver) {
  const QByteArray pid = QByteArray::number(DeadPid());
  const QByteArray host = QSysInfo::machineHostName().toUtf8();
  const QByteArray application = QCoreApplication::applicationFilePath().toUtf8();
  const QByteArray contents[] = {
      pid + '\n' + application + '\n' + host + '\n',
      pid + "\n\n\n",
      pid + "\nsomething\n" + host + '\n',
      // A live process id that now belongs to another program.
      QByteArray::number(::getppid()) + "\nno-such-program\n" + host + '\n',
  };
  for (const QByteArray& content : contents) {
    WriteFile(LockPath(), content);
    EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName)) << content.toStdString();
    SingleInstance instance(dir.path(), kName);
    EXPECT_TRUE(instance.TryAcquire()) << content.toStdString();
    EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));
  }
}

TEST_F(SingleInstanceTest, UnreadableLockIsTakenOverOnlyWhenNobodyHoldsIt) {
  for (const QByteArray& content : {QByteArray(), QByteArray("garbage")}) {
    WriteFile(LockPath(), content);
    MakeOld(LockPath());

    // Someone keeps a lock on it: that is a live holder whatever the contents say.
    const int fd = ::open(QFile::encodeName(LockPath()).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    {
      SingleInstance refused(dir.path(), kName);
      EXPECT_FALSE(refused.TryAcquire());
      EXPECT_EQ(refused.LastFailure(), SingleInstance::Failure::Held);
      EXPECT_TRUE(SingleInstance::IsHeld(dir.path(), kName));
    }
    ::close(fd);

    EXPECT_FALSE(SingleInstance::IsHeld(dir.path(), kName));
    SingleInstance instance(dir.path(), kName);
    EXPECT_TRUE(instance.TryAcquire()) << instance.ErrorText().toStdString();
    instance.Release();
  }
}

TEST_F(SingleInstanceTest, LockThatCannotBeCreatedIsReportedAsSuch) {
  WriteFile(dir.filePath(u"plainfile"_s), "x");
  const QString impossible = dir.filePath(u"plainfile/locks"_s);
  SingleInstance instance(impossible, kName);
  EXPECT_FALSE(instance.TryAcquire());
  EXPECT_EQ(instance.LastFailure(), SingleInstance::Failure::Unavailable);
  EXPECT_FALSE(instance.ErrorText().isEmpty());
  EXPECT_FALSE(SingleInstance::IsHeld(impossible, kName));
  EXPECT_FALSE(instance.NotifyRunningInstance(2000));
}

TEST_F(SingleInstanceTest, MissingLockDirectoryIsCreated) {
  const QString nested = dir.filePath(u"a/b"_s);
  SingleInstance instance(nested, kName);
  EXPECT_TRUE(instance.TryAcquire()) << instance.ErrorText().toStdString();
  EXPECT_TRUE(SingleInstance::IsHeld(nested, kName));
}

// Socket addresses have a small size limit; a deep lock directory must still work.
TEST_F(SingleInstanceTest, DeepLockDirectory) {
  const QString deep = dir.filePath(QString(60, u'd') + u'/' + QString(60, u'e'));
  SingleInstance first(deep, kName);
  int activations = 0;
  QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
  ASSERT_TRUE(first.TryAcquire());
  EXPECT_TRUE(first.ErrorText().isEmpty()) << first.ErrorText().toStdString();
  SingleInstance second(deep, kName);
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_TRUE(NotifyFromOtherThread(second));
  EXPECT_TRUE(RunUntil([&] { return activations == 1; }));
}

TEST(SingleInstanceDefaults, NameCarriesTheUserId) {
  EXPECT_TRUE(SingleInstance::DefaultName().contains(QString::number(::getuid())));
}

// The other instance of the process tests above; it does nothing unless one of
// them started this binary with the role in the environment.
TEST(SingleInstanceChild, DISABLED_Run) {
  const QString mode = qEnvironmentVariable(kChildMode);
  const QString dir = qEnvironmentVariable(kChildDir);
  if (mode.isEmpty() || dir.isEmpty()) GTEST_SKIP() << "only run as a child process";

  SingleInstance instance(dir, kName);
  if (mode == u"crash") {
    ASSERT_TRUE(instance.TryAcquire());
    // Ends the way a crash would: no release, no clean-up.
    ::_exit(0);
  } else if (mode == u"second") {
    EXPECT_FALSE(instance.TryAcquire());
    EXPECT_EQ(instance.LastFailure(), SingleInstance::Failure::Held);
    EXPECT_TRUE(SingleInstance::IsHeld(dir, kName));
    EXPECT_TRUE(instance.NotifyRunningInstance(10000));
  } else if (mode == u"hold") {
    ASSERT_TRUE(instance.TryAcquire());
    bool activated = false;
    QObject::connect(&instance, &SingleInstance::activationRequested, [&] { activated = true; });
    EXPECT_TRUE(RunUntil([&] { return activated; }));
    instance.Release();
  } else {
    FAIL() << "unknown role " << mode.toStdString();
  }
}

}  // namespace
