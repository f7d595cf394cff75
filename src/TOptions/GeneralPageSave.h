#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/MessageService.h"

class TOptions;

// What the general options page's save needs from the language and the
// message service.
struct GeneralPageUi {
  // Text of the language file by section and key.
  std::function<QString(const QString& section, const QString& key)> languageString;
  // The language's caption for a message box of this kind.
  std::function<QString(MessageIcon icon)> title;
  std::function<void(const QString& text, const QString& caption, MessageIcon icon)> showMessage;
};

// What the user typed into the query server controls of the page.
struct TcpServerInput {
  QStringList ipLines;         // TCPServerIPs_Memo, one address per line
  QString portText;            // TCPServerPort_Edit
  QString maxConnectionsText;  // TCPServerMaxConnections_Edit
  bool enable = false;         // EnableTCPServer_CheckBox
};

struct GeneralPageSaveResult {
  bool serverFailed = false;  // the page gives the focus to the address memo
  bool saved = false;
};

// The save button of the general options page: rebuilds the query server's
// bindings from the page, switches the server through the options' hook,
// then saves the options and tells the user how it went.
GeneralPageSaveResult SaveGeneralPage(TOptions& options, const TcpServerInput& input,
                                      const GeneralPageUi& ui);
