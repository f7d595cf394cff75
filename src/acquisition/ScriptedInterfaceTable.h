#pragma once

#include <deque>
#include <vector>

#include "acquisition/InterfaceTable.h"

// An interface table whose content a test sets: either one fixed table, or a
// script of tables handed out one per read (the last one then stays).
class ScriptedInterfaceTable final : public InterfaceTable {
 public:
  void Set(std::vector<IfRow> rows) {
    script_.clear();
    current_ = std::move(rows);
  }
  void Push(std::vector<IfRow> rows) { script_.push_back(std::move(rows)); }
  void SetFailing(bool failing) { failing_ = failing; }
  std::vector<IfRow>& Current() { return current_; }
  int Reads() const { return reads_; }

  bool Read(std::vector<IfRow>& rows) override {
    ++reads_;
    if (failing_) return false;
    if (!script_.empty()) {
      current_ = std::move(script_.front());
      script_.pop_front();
    }
    rows = current_;
    return true;
  }

 private:
  std::vector<IfRow> current_;
  std::deque<std::vector<IfRow>> script_;
  bool failing_ = false;
  int reads_ = 0;
};
