// One interface poll tick (netlink table read + feeding every record) against
// reading and parsing /proc/net/dev, for 10 and 1000 dummy interfaces in a
// network namespace of the benchmark's own.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/support/Netns.h"
#include "acquisition/Engine.h"
#include "acquisition/NetlinkInterfaceTable.h"

namespace {

std::string DeviceBatch(int count, const char* kind) {
  std::string batch;
  for (int i = 0; i < count; ++i) {
    // Appended piece by piece: GCC 12 misreports chained std::string '+' (-Wrestrict).
    const std::string index = std::to_string(i);
    batch.append("link add d").append(index).append(" type ").append(kind);
    batch.append("\nlink set d").append(index).append(" up\n");
  }
  return batch;
}

// A namespace holding `count` up interfaces without traffic, made once per size
// and removed when the benchmark program ends. Dummy devices where the kernel
// has them, otherwise ifb devices, which are just as passive.
const qvtest::ScopedNetns* NamespaceWith(int count, std::string& kind, std::string& error) {
  struct Made {
    std::unique_ptr<qvtest::ScopedNetns> ns;
    std::string kind;
  };
  static std::map<int, Made> made;
  if (const auto it = made.find(count); it != made.end()) {
    kind = it->second.kind;
    return it->second.ns.get();
  }
  auto ns = std::make_unique<qvtest::ScopedNetns>(
      qvtest::UniqueName(std::string("bn").append(std::to_string(count))));
  if (!ns->ok()) {
    error = ns->error();
    return nullptr;
  }
  // A batch stops at its first failing line, so a refused kind leaves nothing behind.
  for (const char* candidate : {"dummy", "ifb"}) {
    if (qvtest::RunIpBatch(ns->name(), DeviceBatch(count, candidate)) == 0) {
      kind = candidate;
      return made.emplace(count, Made{std::move(ns), kind}).first->second.ns.get();
    }
  }
  error = "cannot create dummy or ifb interfaces (`ip -batch` failed)";
  return nullptr;
}

// Enters the namespace for `count` on the benchmark thread; false (and the
// benchmark marked as failed) when that is not possible.
bool Enter(benchmark::State& state, int count, std::unique_ptr<qvtest::NetnsEntry>& entry) {
  std::string error, kind;
  const qvtest::ScopedNetns* ns = NamespaceWith(count, kind, error);
  if (ns == nullptr) {
    state.SkipWithError(error.c_str());
    return false;
  }
  entry = std::make_unique<qvtest::NetnsEntry>(ns->name());
  if (!entry->ok()) {
    state.SkipWithError("cannot enter the benchmark's network namespace");
    return false;
  }
  state.SetLabel(kind);
  return true;
}

void BM_NetlinkPollTick(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::unique_ptr<qvtest::NetnsEntry> entry;
  if (!Enter(state, count, entry)) return;

  NetlinkInterfaceTable table;
  if (!table.IsOpen()) {
    state.SkipWithError(table.ErrorText().toStdString().c_str());
    return;
  }
  TNicEngine engine(table);
  const int interval = 1000;
  const bool doubleTraffic = true;
  const QString prefsSuffix = QStringLiteral("_prefs");
  std::vector<IfRow> rows;
  if (!engine.ReadTable(rows)) {
    state.SkipWithError("cannot read the interface table");
    return;
  }
  std::vector<std::unique_ptr<TNic>> v;
  for (const IfRow& row : rows) {
    auto nic = std::make_unique<TNic>(interval, doubleTraffic, prefsSuffix);
    InitNicFromRow(*nic, row);
    nic->ShowLivedata = true;
    nic->maxspeeddown = nic->maxspeedup = 125000000;
    v.push_back(std::move(nic));
  }
  for (auto _ : state) {
    engine.DoNicEngine(v);
  }
  state.counters["rows"] = static_cast<double>(rows.size());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
}

// The table read alone, in its steady state: the first read has taken the full
// link dump, every later one applies link notices and takes the statistics dump.
void BM_NetlinkRead(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::unique_ptr<qvtest::NetnsEntry> entry;
  if (!Enter(state, count, entry)) return;

  NetlinkInterfaceTable table;
  std::vector<IfRow> rows;
  if (!table.IsOpen() || !table.Read(rows)) {
    state.SkipWithError(table.ErrorText().toStdString().c_str());
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.Read(rows));
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

struct DevLine {
  std::string_view name;
  std::uint64_t rx = 0, tx = 0;
};

// Parses /proc/net/dev: two header lines, then "name: rx_bytes <7 more> tx_bytes ...".
bool ParseProcNetDev(std::string_view text, std::vector<DevLine>& out) {
  out.clear();
  std::size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (lineNo++ < 2) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    DevLine dev;
    dev.name = line.substr(0, colon);
    dev.name.remove_prefix(std::min(dev.name.find_first_not_of(' '), dev.name.size()));
    const char* p = line.data() + colon + 1;
    const char* const stop = line.data() + line.size();
    std::uint64_t field[9] = {};
    for (auto& f : field) {
      while (p < stop && *p == ' ') ++p;
      const auto [next, ec] = std::from_chars(p, stop, f);
      if (ec != std::errc()) return false;
      p = next;
    }
    dev.rx = field[0];
    dev.tx = field[8];
    out.push_back(dev);
  }
  return true;
}

void BM_ProcNetDev(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::unique_ptr<qvtest::NetnsEntry> entry;
  if (!Enter(state, count, entry)) return;

  // /proc/self/net follows the main thread; this thread's namespace is here.
  std::string text;
  std::vector<char> chunk(256 * 1024);
  std::vector<DevLine> lines;
  for (auto _ : state) {
    const int fd = ::open("/proc/thread-self/net/dev", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      state.SkipWithError("cannot open /proc/thread-self/net/dev");
      return;
    }
    text.clear();
    ssize_t n;
    while ((n = ::read(fd, chunk.data(), chunk.size())) > 0) {
      text.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ParseProcNetDev(text, lines)) {
      state.SkipWithError("unexpected /proc/net/dev format");
      return;
    }
    benchmark::DoNotOptimize(lines.data());
  }
  state.counters["rows"] = static_cast<double>(lines.size());
}

BENCHMARK(BM_NetlinkPollTick)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NetlinkRead)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcNetDev)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
