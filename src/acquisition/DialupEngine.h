#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "acquisition/InterfaceTable.h"
#include "acquisition/Nic.h"
#include "platform/MessageService.h"

// Language lookup: (section, key) -> text.
using LanguageLookup = std::function<QString(const QString& section, const QString& key)>;

// The dial-up poller. On Linux the dial-up connection is the first PPP interface
// of the interface table; it is connected when that interface is up and running.
// All dial-up connections share the one dial-up record.
class TDunEngine {
 public:
  TDunEngine(InterfaceTable& table, LanguageLookup language, MessageService& messages)
      : table_(table), language_(std::move(language)), messages_(messages) {}

  // One tick: feeds the dial-up record and returns the text of the state label.
  // An error inside the tick is shown in a message box (once while it persists);
  // the tick then ends and the label keeps its previous text (an empty result).
  QString DoDUNEngine(TNic& record);

 private:
  QString Tick(TNic& record);

  InterfaceTable& table_;
  LanguageLookup language_;
  MessageService& messages_;
  std::vector<IfRow> rows_;
  QString lastError_;
};
