#pragma once

#include <QString>
#include <vector>

enum class MessageIcon { None, Information, Warning, Error, Question };

// Message boxes go through this service: the program shows real dialogs, tests
// record what would have been shown and never block.
class MessageService {
 public:
  virtual ~MessageService() = default;
  virtual void Show(const QString& text, const QString& caption, MessageIcon icon) = 0;
};

class RecordingMessageService final : public MessageService {
 public:
  struct Message {
    QString text;
    QString caption;
    MessageIcon icon;
  };
  void Show(const QString& text, const QString& caption, MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  std::vector<Message> messages;
};
