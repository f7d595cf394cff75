#include "acquisition/CounterState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "platform/AtomicFile.h"
#include "platform/FloatFormat.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kMagic = u"quorvel-counter-state 1"_s;

bool ToU64(const QString& text, std::uint64_t& out) {
  bool ok = false;
  const qulonglong v = text.toULongLong(&ok);
  if (!ok) return false;
  out = v;
  return true;
}

bool ToDay(const QString& text, TDateTime& out) {
  bool ok = false;
  const double v = text.toDouble(&ok);  // written in C notation, whatever the locale
  if (!ok || !std::isfinite(v)) return false;
  out = std::floor(v);
  return true;
}

QString DayText(TDateTime day) { return QString::number(std::floor(day), 'f', 0); }

}  // namespace

QString ReadBootId(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromLatin1(file.read(128)).trimmed();
}

QString CounterStatePath(const QString& cachePath) { return cachePath + u".state"_s; }

CounterState CaptureCounterState(const NicVector& v, const QString& bootId, TDateTime today,
                                 std::vector<PendingDay> pending) {
  CounterState state;
  state.bootId = bootId;
  state.day = std::floor(today);
  state.pending = std::move(pending);
  for (const auto& nic : v) {
    if (nic->GetIsDialup()) continue;
    long double sent = 0, received = 0;
    nic->GetOldValues(sent, received);
    state.entries.push_back({nic->GetIfIndex(), nic->GetMac(), static_cast<std::uint64_t>(received),
                             static_cast<std::uint64_t>(sent),
                             static_cast<std::uint64_t>(nic->GetTotal_Received()),
                             static_cast<std::uint64_t>(nic->GetTotal_Sent())});
  }
  return state;
}

bool WriteCounterState(const QString& path, const CounterState& state) {
  QString text = kMagic + u'\n';
  text += u"boot "_s + (state.bootId.isEmpty() ? u"-"_s : state.bootId) + u'\n';
  text += u"day "_s + DayText(state.day) + u'\n';
  for (const CounterStateEntry& e : state.entries) {
    text += u"nic "_s + QString::number(e.ifIndex) + u' ' + (e.mac.isEmpty() ? u"-"_s : e.mac) +
            u' ' + QString::number(e.lastReceived) + u' ' + QString::number(e.lastSent) + u' ' +
            QString::number(e.totalReceived) + u' ' + QString::number(e.totalSent) + u'\n';
  }
  for (const PendingDay& p : state.pending) {
    text += u"pending "_s + p.table + u' ' + DayText(p.day) + u' ' + QString::number(p.received) +
            u' ' + QString::number(p.sent) + u'\n';
  }
  return WriteFileAtomically(path, text.toUtf8());
}

bool ReadCounterState(const QString& path, CounterState& state) {
  QFile file(path);
  if (file.size() > 4 * 1024 * 1024 || !file.open(QIODevice::ReadOnly)) return false;
  const QStringList lines = SplitLines(file.readAll());
  if (lines.isEmpty() || lines.front() != kMagic) return false;
  state = CounterState{};
  bool haveBoot = false, haveDay = false;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList f = lines.at(i).split(u' ', Qt::SkipEmptyParts);
    if (f.isEmpty()) continue;
    if (f[0] == u"boot"_s && f.size() == 2) {
      state.bootId = f[1] == u"-"_s ? QString() : f[1];
      haveBoot = true;
    } else if (f[0] == u"day"_s && f.size() == 2) {
      if (!ToDay(f[1], state.day)) return false;
      haveDay = true;
    } else if (f[0] == u"nic"_s && f.size() == 7) {
      CounterStateEntry e;
      std::uint64_t index = 0;
      if (!ToU64(f[1], index) || index > 0xFFFFFFFFULL || !ToU64(f[3], e.lastReceived) ||
          !ToU64(f[4], e.lastSent) || !ToU64(f[5], e.totalReceived) || !ToU64(f[6], e.totalSent))
        return false;
      e.ifIndex = static_cast<std::uint32_t>(index);
      e.mac = f[2] == u"-"_s ? QString() : f[2];
      state.entries.push_back(e);
    } else if (f[0] == u"pending"_s && f.size() == 5) {
      PendingDay p;
      p.table = f[1];
      if (!ToDay(f[2], p.day) || !ToU64(f[3], p.received) || !ToU64(f[4], p.sent)) return false;
      state.pending.push_back(p);
    } else {
      return false;
    }
  }
  return haveBoot && haveDay;
}

int ApplyCounterState(const CounterState& state, const NicVector& v, const QString& bootId,
                      TDateTime today) {
  if (bootId.isEmpty() || state.bootId != bootId || state.day != std::floor(today)) return 0;
  int continued = 0;
  for (const auto& nic : v) {
    if (nic->GetIsDialup()) continue;
    for (const CounterStateEntry& e : state.entries) {
      if (e.ifIndex != nic->GetIfIndex() || e.mac != nic->GetMac()) continue;
      nic->SetTotal_Sent(static_cast<long double>(e.totalSent));
      nic->SetTotal_Received(static_cast<long double>(e.totalReceived));
      nic->SetOldValues(static_cast<long double>(e.lastSent),
                        static_cast<long double>(e.lastReceived));
      ++continued;
      break;
    }
  }
  return continued;
}
