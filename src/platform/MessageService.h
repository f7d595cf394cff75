#pragma once

#include <QString>
#include <cstdio>
#include <vector>

enum class MessageIcon { None, Information, Warning, Error, Question };

// Message boxes go through this service: the program shows real dialogs, tests
// record what would have been shown and never block.
class MessageService {
 public:
  virtual ~MessageService() = default;
  virtual void Show(const QString& text, const QString& caption, MessageIcon icon) = 0;
  // A yes/no question with the question icon; true for yes.
  virtual bool Ask(const QString& text, const QString& caption) = 0;
};

// Messages of a program that runs without a display: written to standard error,
// questions answered "no".
class StderrMessageService final : public MessageService {
 public:
  void Show(const QString& text, const QString& caption, MessageIcon) override {
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
  }
  bool Ask(const QString& text, const QString& caption) override {
    std::fprintf(stderr, "%s: %s (answered no)\n", qUtf8Printable(caption), qUtf8Printable(text));
    return false;
  }
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
  bool Ask(const QString& text, const QString& caption) override {
    messages.push_back({text, caption, MessageIcon::Question});
    return answer;
  }
  std::vector<Message> messages;
  bool answer = false;  // what Ask replies
};
