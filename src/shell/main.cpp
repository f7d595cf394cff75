// Entry point. At this stage the program polls every interface on the polling
// timer and prints live rates and the totals counted since start; SIGINT,
// SIGTERM and SIGHUP end it after a last report.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <limits>
#include <memory>
#include <vector>

#include "TOptions/TOptions_Class.h"
#include "acquisition/Engine.h"
#include "acquisition/NetlinkInterfaceTable.h"
#include "platform/FloatFormat.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  // Only async-signal-safe work here: wake the event loop.
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

QString StatusText(int status) {
  switch (status) {
    case 0:
      return QStringLiteral("up");
    case 1:
      return QStringLiteral("gone");
    case 2:
      return QStringLiteral("down");
    case 3:
      return QStringLiteral("unreachable");
    case 4:
      return QStringLiteral("connecting");
    case 5:
      return QStringLiteral("connected");
    default:
      return QStringLiteral("-");
  }
}

void Report(QTextStream& out, const std::vector<std::unique_ptr<TNic>>& v) {
  static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  if (terminal) out << "\033[H\033[2J";  // redraw in place on a terminal
  out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
             .arg(QStringLiteral("interface"), -16)
             .arg(QStringLiteral("status"), -11)
             .arg(QStringLiteral("recv B/s"), 12)
             .arg(QStringLiteral("sent B/s"), 12)
             .arg(QStringLiteral("received B"), 16)
             .arg(QStringLiteral("sent B"), 16);
  for (const auto& nic : v) {
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg(nic->GetName().left(16), -16)
               .arg(StatusText(nic->GetStatus()), -11)
               .arg(FloatToStrGeneral(nic->GetRate_Received()), 12)
               .arg(FloatToStrGeneral(nic->GetRate_Send()), 12)
               .arg(FloatToStrShortest(nic->GetTotal_Received()), 16)
               .arg(FloatToStrShortest(nic->GetTotal_Sent()), 16);
  }
  out.flush();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);

  TOptions options(ProgramLocation::FromApplication());
  if (!options.Load()) err << "Warning: the options could not be loaded completely.\n";
  if (app.arguments().contains(QStringLiteral("-n"))) options.SetBewareOfTrafficDouble(true);
  const Settings::General& general = options.Model().general;

  NetlinkInterfaceTable table;
  if (!table.IsOpen()) {
    err << "Cannot read the interface table: " << table.ErrorText() << '\n';
    return 1;
  }
  TNicEngine engine(table);

  int interval = general.NicEngineIntervalMs();
  std::vector<std::unique_ptr<TNic>> v;
  if (general.nicEngine) {
    std::vector<IfRow> rows;
    if (!engine.ReadTable(rows)) rows.clear();
    for (const IfRow& row : rows) {
      auto nic = std::make_unique<TNic>(interval, *options.BewareOfTrafficDoublePtr(),
                                        options.GetPreferencesTableName());
      InitNicFromRow(*nic, row);
      // Until stored preferences exist: shown, and the link speed as maximum.
      nic->ShowLivedata = true;
      const auto bytesPerSecond = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(row.speed / 8, std::numeric_limits<std::uint32_t>::max()));
      nic->maxspeeddown = bytesPerSecond;
      nic->maxspeedup = bytesPerSecond;
      v.push_back(std::move(nic));
    }
  }

  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
      char c;
      [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
      app.quit();
    });
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, OnSignal);
  }

  QTimer timer;
  timer.setInterval(interval);
  QObject::connect(&timer, &QTimer::timeout, &app, [&] {
    try {
      engine.DoNicEngine(v);
    } catch (const EngineError& e) {
      err << e.what() << '\n';
      app.exit(2);
      return;
    }
    Report(out, v);
  });
  if (general.nicEngine) {
    engine.DoNicEngine(v);  // the first reading, so the first tick shows rates
    timer.start();
  } else {
    out << "Interface polling is switched off in the options.\n";
  }

  const int rc = app.exec();
  Report(out, v);
  return rc;
}
