#include "TOptions/GeneralPageSave.h"

#include <stdexcept>

#include "TOptions/TOptions_Class.h"

namespace {

QString Language(const GeneralPageUi& ui, const QString& key) {
  return ui.languageString ? ui.languageString(QStringLiteral("Errors"), key) : key;
}

void Show(const GeneralPageUi& ui, const QString& text, MessageIcon icon) {
  if (ui.showMessage) ui.showMessage(text, ui.title ? ui.title(icon) : QString(), icon);
}

// Stops the server, rebuilds its bindings and starts it again when asked to.
// Throws with the reason when the server cannot be switched or the port is unusable.
void ApplyServerInput(TOptions& options, const TcpServerInput& input) {
  Settings::TcpServer& server = options.Model().tcpServer;
  const auto& switchServer = options.Hooks().switchServer;
  QString error;
  // Checked before anything changes, so a bad port keeps the server and its
  // addresses as they were (and so the options file keeps them too).
  bool ok = false;
  int port = input.portText.trimmed().toInt(&ok, 10);
  if (!ok) port = Settings::TcpServer::kDefaultPort;
  // A port outside 0..65535 would be cut to 16 bits and listen elsewhere.
  if (port < 0 || port > 65535) {
    throw std::runtime_error(
        QStringLiteral("Port %1 is not between 0 and 65535").arg(port).toStdString());
  }
  if (switchServer && server.active && !switchServer(server, false, &error)) {
    throw std::runtime_error(error.toStdString());
  }
  server.active = false;
  server.bindings.clear();

  for (const QString& line : input.ipLines) {
    const QString ip = line.trimmed();
    // Blank lines (a trailing line break, say) are no addresses.
    if (!ip.isEmpty()) server.bindings.push_back({ip, port});
  }
  const int limit = input.maxConnectionsText.trimmed().toInt(&ok, 10);
  server.maxConnections = ok ? limit : 0;

  if (!input.enable) return;
  if (switchServer && !switchServer(server, true, &error)) {
    throw std::runtime_error(error.toStdString());
  }
  server.active = true;
}

}  // namespace

GeneralPageSaveResult SaveGeneralPage(TOptions& options, const TcpServerInput& input,
                                      const GeneralPageUi& ui) {
  GeneralPageSaveResult result;
  try {
    ApplyServerInput(options, input);
  } catch (const std::exception& e) {
    result.serverFailed = true;
    QString text = Language(ui, QStringLiteral("Error47"));
    text.replace(QStringLiteral("%errormessage%"), QString::fromUtf8(e.what()));
    Show(ui, text, MessageIcon::Error);
  }

  result.saved = options.Save();
  if (result.saved) {
    Show(ui, Language(ui, QStringLiteral("Error13")), MessageIcon::Information);
  } else {
    Show(ui, Language(ui, QStringLiteral("Error14")), MessageIcon::Error);
  }
  return result;
}
