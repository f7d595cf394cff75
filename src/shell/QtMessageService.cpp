#include "shell/QtMessageService.h"

#include <QMessageBox>

void QtMessageService::Show(const QString& text, const QString& caption, MessageIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::Information:
      boxIcon = QMessageBox::Information;
      break;
    case MessageIcon::Warning:
      boxIcon = QMessageBox::Warning;
      break;
    case MessageIcon::Error:
      boxIcon = QMessageBox::Critical;
      break;
    case MessageIcon::Question:
      boxIcon = QMessageBox::Question;
      break;
    case MessageIcon::None:
      break;
  }
  QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, owner_.data());
  box.exec();
}

bool QtMessageService::Ask(const QString& text, const QString& caption) {
  return QMessageBox::question(owner_.data(), caption, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}
