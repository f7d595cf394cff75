#include "shell/ProcessPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QString>
#include <cerrno>

using namespace Qt::StringLiterals;

std::optional<int> NiceValueForPosition(int position) {
  static constexpr int kNice[] = {-20, -10, -5, 0, 10, 19};
  if (position < 1 || position > 6) return std::nullopt;
  return kNice[position - 1];
}

bool LinuxProcessPriority::SetProcessPriority(int position) {
  const std::optional<int> nice = NiceValueForPosition(position);
  if (!nice) return false;

  const pid_t pid = pid_ != 0 ? pid_ : ::getpid();
  const QStringList tasks =
      QDir(u"/proc/%1/task"_s.arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  if (tasks.isEmpty()) {
    // Without /proc at least the process's main thread is set.
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), *nice) == 0;
  }
  bool ok = true;
  for (const QString& task : tasks) {
    bool isNumber = false;
    const uint tid = task.toUInt(&isNumber);
    if (!isNumber) continue;
    // A thread that ended since the listing needs no priority any more.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), *nice) != 0 && errno != ESRCH) {
      ok = false;
    }
  }
  return ok;
}
