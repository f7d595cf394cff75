// The real program, started from the build's program directory inside a network
// namespace of the test's own: what it stores must equal what the kernel counted.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "support/Netns.h"

using namespace Qt::Literals::StringLiterals;
using qvtest::RunCommand;

namespace {

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Two namespaces joined by a veth pair, IPv6 off so that nothing but the test's
// own packets crosses the link.
class VethPair {
 public:
  VethPair() : a_(qvtest::UniqueName("ea")), b_(qvtest::UniqueName("eb")) {
    if (!a_.ok() || !b_.ok()) return;
    for (const auto* ns : {&a_, &b_}) {
      RunCommand(
          {"ip", "netns", "exec", ns->name(), "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"});
      RunCommand({"ip", "netns", "exec", ns->name(), "sysctl", "-qw",
                  "net.ipv6.conf.default.disable_ipv6=1"});
    }
    ok_ = qvtest::RunIpBatch(a_.name(), "link add qva type veth peer name qvb netns " + b_.name() +
                                            "\naddr add 10.201.9.1/30 dev qva\nlink set qva up\n"
                                            "link set lo up\n") == 0 &&
          qvtest::RunIpBatch(
              b_.name(), "addr add 10.201.9.2/30 dev qvb\nlink set qvb up\nlink set lo up\n") == 0;
  }
  bool ok() const { return ok_; }
  std::string Why() const { return a_.ok() ? "veth setup failed" : a_.error(); }
  const std::string& A() const { return a_.name(); }

  std::uint64_t Counter(const char* which) const {
    std::string out;
    RunCommand({"ip", "netns", "exec", a_.name(), "cat",
                std::string("/sys/class/net/qva/statistics/") + which},
               &out);
    return std::stoull(Trim(out));
  }
  std::uint32_t IfIndex() const {
    std::string out;
    RunCommand({"ip", "netns", "exec", a_.name(), "cat", "/sys/class/net/qva/ifindex"}, &out);
    return static_cast<std::uint32_t>(std::stoul(Trim(out)));
  }

  // UDP datagrams from B to A (A answers each with an ICMP error: traffic both ways).
  void Traffic(int datagrams, int size) const {
    qvtest::RunInNetns(b_.name(), [&] {
      const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(9);
      ::inet_pton(AF_INET, "10.201.9.1", &to.sin_addr);
      std::vector<char> payload(static_cast<std::size_t>(size), 'q');
      for (int i = 0; i < datagrams; ++i) {
        ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      ::close(fd);
    });
  }

 private:
  qvtest::ScopedNetns a_, b_;
  bool ok_ = false;
};

// A copy of the program directory of the build, with its own options.
class ProgramDir {
 public:
  explicit ProgramDir(const QByteArray& ini) {
    const QDir bin(QStringLiteral(QUORVEL_BIN_DIR));
    for (const QString& name : bin.entryList(QDir::Files)) {
      if (name.startsWith(u"test_"_s) || name.startsWith(u"quorvel_bench"_s)) continue;
      QFile::copy(bin.filePath(name), dir.filePath(name));
    }
    QFile::setPermissions(dir.filePath(u"quorvel"_s),
                          QFile::permissions(bin.filePath(u"quorvel"_s)));
    QFile f(dir.filePath(u"quorvel.ini"_s));
    if (f.open(QIODevice::WriteOnly)) f.write(ini);
  }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QTemporaryDir dir;
};

// The program running inside namespace A.
class Running {
 public:
  Running(const VethPair& net, const ProgramDir& program) {
    const std::string home = program.Path(u"home"_s).toStdString();
    // Each run gets a runtime directory of its own (Qt accepts only mode 0700),
    // so parallel tests do not see each other's single-instance lock.
    QDir().mkpath(program.Path(u"home"_s));
    QFile::setPermissions(program.Path(u"home"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::vector<std::string> args = {"ip",
                                     "netns",
                                     "exec",
                                     net.A(),
                                     "env",
                                     "QT_QPA_PLATFORM=offscreen",
                                     "HOME=" + home,
                                     "XDG_RUNTIME_DIR=" + home,
                                     "XDG_CONFIG_HOME=" + home + "/config",
                                     program.Path(u"quorvel"_s).toStdString()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "ip", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Running() {
    if (pid_ > 0) Stop(SIGKILL);
  }
  bool Started() const { return pid_ > 0; }
  // Sends the signal and waits for the end; the exit status, or -1.
  int Stop(int sig) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, sig);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

// The stored day rows of one table: (received, send) summed over all days.
std::pair<double, double> Stored(const QString& dbPath, const QString& table) {
  sqlite3* db = nullptr;
  std::pair<double, double> sums{-1, -1};
  if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return sums;
  }
  const QByteArray sql = "SELECT total(received), total(send) FROM \"" + table.toUtf8() + "\"";
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    sums = {sqlite3_column_double(st, 0), sqlite3_column_double(st, 1)};
  sqlite3_finalize(st);
  sqlite3_close(db);
  return sums;
}

QString TableOf(std::uint32_t ifIndex) { return QString::asprintf("%8.8x", ifIndex).mid(4); }

TEST(Program, SigtermStoresExactlyWhatTheKernelCounted) {
  VethPair net;
  if (!net.ok()) GTEST_SKIP() << net.Why();
  ProgramDir program("[General]\ndfu_engine=0\n");
  Running quorvel(net, program);
  ASSERT_TRUE(quorvel.Started());
  const QString db = program.Path(u"traffic.db"_s);
  ASSERT_TRUE(WaitFor([&] { return QFile::exists(program.Path(u"traffic.cache.state"_s)); }, 20))
      << "the program did not start";
  net.Traffic(300, 1200);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  net.Traffic(200, 700);
  EXPECT_EQ(quorvel.Stop(SIGTERM), 0);

  const auto [received, sent] = Stored(db, TableOf(net.IfIndex()));
  EXPECT_GT(received, 300 * 1200);
  EXPECT_EQ(received, static_cast<double>(net.Counter("rx_bytes")));
  EXPECT_EQ(sent, static_cast<double>(net.Counter("tx_bytes")));
  EXPECT_FALSE(QFile::exists(program.Path(u"traffic.cache"_s)));
  QFile ini(program.Path(u"quorvel.ini"_s));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray options = ini.readAll();
  EXPECT_TRUE(options.contains("[Window]")) << options.constData();
  EXPECT_TRUE(options.contains("State=")) << options.constData();
  EXPECT_TRUE(options.contains("Visible=")) << options.constData();
}

// Killed after a timed snapshot, started again, ended normally: the snapshot and
// the exact continuation lose nothing and count nothing twice.
TEST(Program, SigkillAfterSnapshotLosesNothing) {
  VethPair net;
  if (!net.ok()) GTEST_SKIP() << net.Why();
  ProgramDir program("[General]\ndfu_engine=0\nCacheInterval=1\n");
  const QString cache = program.Path(u"traffic.cache"_s);
  {
    Running quorvel(net, program);
    ASSERT_TRUE(quorvel.Started());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(cache); }, 20)) << "the program did not start";
    const QDateTime first = QFileInfo(cache).lastModified();
    net.Traffic(200, 1000);
    // The timed snapshot comes a minute after the start.
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(cache).lastModified() != first; }, 90));
    net.Traffic(100, 900);  // counted after the snapshot, then lost from memory
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(quorvel.Stop(SIGKILL), 128 + SIGKILL);
  }
  ASSERT_TRUE(QFile::exists(cache));
  Running quorvel(net, program);
  ASSERT_TRUE(quorvel.Started());
  ASSERT_TRUE(WaitFor(
      [&] { return QFileInfo(cache).lastModified().secsTo(QDateTime::currentDateTime()) < 5; },
      20));
  net.Traffic(150, 800);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(quorvel.Stop(SIGTERM), 0);
  const auto [received, sent] = Stored(program.Path(u"traffic.db"_s), TableOf(net.IfIndex()));
  EXPECT_EQ(received, static_cast<double>(net.Counter("rx_bytes")));
  EXPECT_EQ(sent, static_cast<double>(net.Counter("tx_bytes")));
}

}  // namespace
