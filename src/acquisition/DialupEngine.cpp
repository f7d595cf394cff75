#include "acquisition/DialupEngine.h"

#include <exception>

namespace {

constexpr std::int32_t kPppType = 23;

}  // namespace

QString TDunEngine::Tick(TNic& record) {
  const QString strings = QStringLiteral("Strings");
  if (!table_.Read(rows_)) {
    // The connections cannot be enumerated.
    record.SetNewValue_Received(0);
    record.SetNewValue_Sent(0);
    record.SetStatus(2);
    return language_(strings, QStringLiteral("dfu_noconnection"));
  }
  for (const IfRow& row : rows_) {
    if (row.type != kPppType) continue;
    // Only the first connection counts; one still dialling is not connected.
    if (row.operStatus != kOperOperational) break;
    record.SetNewValue_Received(row.inOctets);
    record.SetNewValue_Sent(row.outOctets);
    record.SetStatus(0);
    return language_(strings, QStringLiteral("dfu_active")) +
           QString::fromStdString(row.description) + u'@' + QString::number(row.speed);
  }
  record.SetNewValue_Received(0);
  record.SetNewValue_Sent(0);
  record.SetStatus(3);
  return language_(strings, QStringLiteral("dfu_inactive"));
}

QString TDunEngine::DoDUNEngine(TNic& record) {
  try {
    QString label = Tick(record);
    lastError_.clear();
    return label;
  } catch (const std::exception& e) {
    const QString text = QStringLiteral("Error in Engine->DoDUNEngine (209) - Errormessage: ") +
                         QString::fromLocal8Bit(e.what());
    // The timer keeps running; a persisting error is shown once, not once a second.
    if (text != lastError_) {
      lastError_ = text;
      messages_.Show(text, language_(QStringLiteral("Strings"), QStringLiteral("Error")),
                     MessageIcon::Error);
    }
    return QString();
  }
}
