#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/MessageService.h"

// Message boxes of the running program: a modal QMessageBox over the owner window.
class QtMessageService final : public MessageService {
 public:
  explicit QtMessageService(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  void Show(const QString& text, const QString& caption, MessageIcon icon) override;
  bool Ask(const QString& text, const QString& caption) override;

 private:
  QPointer<QWidget> owner_;
};
