#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <ostream>

#include "acquisition/CacheFile.h"
#include "acquisition/FormatQuantity.h"
#include "acquisition/Nic.h"

inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace display_test {

inline const int kInterval = 1000;
inline const bool kNoDoubleGuard = false;
inline const QString kSuffix = QStringLiteral("_prefs");

inline QuantityUnits Units() {
  return {{QStringLiteral("B"), QStringLiteral("kB"), QStringLiteral("MB"), QStringLiteral("GB"),
           QStringLiteral("TB"), QStringLiteral("PB"), QStringLiteral("EB"), QStringLiteral("ZB"),
           QStringLiteral("YB")},
          {QStringLiteral("B"), QStringLiteral("KiB"), QStringLiteral("MiB"), QStringLiteral("GiB"),
           QStringLiteral("TiB"), QStringLiteral("PiB"), QStringLiteral("EiB"),
           QStringLiteral("ZiB"), QStringLiteral("YiB")}};
}

// A record with a name, table name, rates (one reading from zero) and totals.
inline std::unique_ptr<TNic> MakeRecord(const QString& name, const QString& table,
                                        std::uint64_t sent, std::uint64_t received) {
  auto nic = std::make_unique<TNic>(kInterval, kNoDoubleGuard, kSuffix);
  nic->SetName(name);
  nic->SetTableName(table);
  nic->SetNewValue_Sent(0);
  nic->SetNewValue_Received(0);
  nic->SetNewValue_Sent(sent);
  nic->SetNewValue_Received(received);
  return nic;
}

}  // namespace display_test
