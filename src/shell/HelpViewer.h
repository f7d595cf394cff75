#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// Opens help pages and web addresses. The program uses the desktop's handlers;
// tests record the requests instead.
class HelpOpener {
 public:
  virtual ~HelpOpener() = default;
  // Opens the help at a topic page ("livedata.htm"); an empty topic opens the
  // help's index. False when the page does not exist or could not be opened.
  virtual bool ShowHelp(const QString& topic) = 0;
  // Opens an address with the system's default handler; false on failure.
  virtual bool OpenUrl(const QUrl& url) = 0;
};

// The help folder shipped beside the program.
inline const QString kDefaultHelpFolder = QStringLiteral("help");
inline const QString kHelpIndexPage = QStringLiteral("index.htm");

// The help page file for a topic. The help file option names either a folder
// of pages or one page (its folder holding the others), relative to the
// program directory. A compiled Windows help file ("*.chm", the default
// "Hilfe.chm") cannot be shown here, so it, and an empty option, mean the
// shipped "help" folder. An empty topic means the index page; a topic that is
// not a plain file name is refused. When the page is missing from a chosen
// folder, the shipped folder's page is used. Empty when no page exists.
QString HelpPagePath(const QString& programDir, const QString& helpFileOption,
                     const QString& topic);

// Opens pages in the desktop's browser (file:// URLs) and addresses with the
// default handler. The help file option is read at every call, so a changed
// option applies at once.
class DesktopHelpOpener final : public HelpOpener {
 public:
  DesktopHelpOpener(QString programDir, std::function<QString()> helpFileOption);
  bool ShowHelp(const QString& topic) override;
  bool OpenUrl(const QUrl& url) override;

 private:
  QString programDir_;
  std::function<QString()> helpFileOption_;
};
