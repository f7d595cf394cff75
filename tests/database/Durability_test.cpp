#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <vector>

#include "acquisition/Nic.h"
#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"

using namespace Qt::StringLiterals;
using namespace store_test;

namespace {

// Save number n of the writer: its day and amounts follow from n alone.
TDateTime DayOf(qint32 n) { return EncodeDate(2024, 3, 1) + n % 5; }
qint64 Received(qint32 n) { return 1000 + n; }
qint64 Sent(qint32 n) { return 7 * (1000 + n); }

// The child: saves one day after the other and reports each completed save.
[[noreturn]] void RunWriter(const QString& path, qint32 first, int reportFd) {
  Connection conn(ConnectionString(path));
  int interval = 1000;
  bool guard = false;
  QString suffix = u"_prefs"_s;
  TNic nic(conn, interval, guard, suffix);
  nic.SetIndex(u"0003"_s);
  for (qint32 n = first;; ++n) {
    nic.SetTotal_Received(Received(n));
    nic.SetTotal_Sent(Sent(n));
    if (!nic.SaveToDbAndClear(DayOf(n))) _exit(2);
    if (write(reportFd, &n, sizeof n) != sizeof n) _exit(3);
  }
}

// Reads reported save numbers until the child's end of the pipe closes, or
// until `until` numbers have arrived.
void ReadReports(int fd, std::vector<qint32>& out, std::size_t until) {
  qint32 n = 0;
  while (out.size() < until) {
    const ssize_t got = read(fd, &n, sizeof n);
    if (got != sizeof n) return;
    out.push_back(n);
  }
}

TEST(Durability, EverySaveReportedBeforeAKillIsInTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(u"Datenbank.db"_s);
  {
    Connection conn(ConnectionString(path));
    ASSERT_TRUE(CreateTrafficTable(conn, u"0003"_s));
  }
  std::mt19937 random(20240303);
  std::map<TDateTime, std::pair<qint64, qint64>> expected;
  qint32 next = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      RunWriter(path, next, fds[1]);
    }
    close(fds[1]);
    std::vector<qint32> reported;
    ReadReports(fds[0], reported, 1 + random() % 5);
    usleep(random() % 20000);  // the kill lands anywhere in a save
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ReadReports(fds[0], reported, SIZE_MAX);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
    ASSERT_FALSE(reported.empty());

    for (const qint32 n : reported) {
      ASSERT_EQ(n, next) << "saves reported out of order";
      expected[DayOf(n)].first += Received(n);
      expected[DayOf(n)].second += Sent(n);
      ++next;
    }

    Connection conn(ConnectionString(path));
    EXPECT_EQ(RawRows(conn, u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
    std::map<TDateTime, std::pair<qint64, qint64>> stored;
    Query q(conn);
    q.SetSQL(u"SELECT * FROM 0003"_s);
    q.Open();
    for (; !q.Eof(); q.Next()) {
      auto& day = stored[q.AsDateTime(u"Datum"_s)];
      ASSERT_TRUE(day == std::make_pair(qint64(0), qint64(0))) << "two rows for one day";
      day = {q.AsInteger(u"received"_s), q.AsInteger(u"send"_s)};
    }
    // The save in flight at the kill may have been committed without being
    // reported; then it is there completely.
    if (stored != expected) {
      auto withInFlight = expected;
      withInFlight[DayOf(next)].first += Received(next);
      withInFlight[DayOf(next)].second += Sent(next);
      ASSERT_EQ(stored, withInFlight);
      expected = withInFlight;
      ++next;
    }
  }
  EXPECT_GT(next, 20);
}

}  // namespace
