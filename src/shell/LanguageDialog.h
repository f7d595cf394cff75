#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class MessageService;
class QWidget;
class TLanguage;
class TOptions;
class TVerInfo;

// Asks the user for a file to open. The program shows a file dialog; tests
// script the answers.
class OpenFileChooser {
 public:
  virtual ~OpenFileChooser() = default;
  // Full path of the chosen file; empty when the user cancelled. `filter` is in
  // Qt's form, e.g. "Language files (*.lan)".
  virtual QString ChooseOpenFile(QWidget* parent, const QString& directory,
                                 const QString& filter) = 0;
};

class QtOpenFileChooser final : public OpenFileChooser {
 public:
  QString ChooseOpenFile(QWidget* parent, const QString& directory, const QString& filter) override;
};

// Answers with scripted paths in turn (empty: cancelled) and records each request.
class ScriptedOpenFileChooser final : public OpenFileChooser {
 public:
  struct Request {
    QString directory;
    QString filter;
  };
  QString ChooseOpenFile(QWidget*, const QString& directory, const QString& filter) override {
    requests.push_back({directory, filter});
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
  QStringList answers;
  std::vector<Request> requests;
};

// A file dialog filter from a language text and the pattern the program adds,
// e.g. ("Language files", "*.lan") -> "Language files (*.lan)". A text that
// already names the pattern in brackets is taken as it is.
QString FileDialogFilter(const QString& description, const QString& pattern);

// What the language dialog does to the rest of the program after a new file
// was loaded; each hook is optional.
struct LanguageDialogHooks {
  const TVerInfo* programVersion = nullptr;  // no version check without it
  // Gives the dial-up record and its graph window the new "Strings"/"dfu" name.
  std::function<void()> renameDialupRecord;
  // Translates every graph window into the new language.
  std::function<void()> translateGraphWindows;
  // Pattern of the help files offered after the language.
  QString helpFilePattern = QStringLiteral("*.chm");
};

struct LanguageDialogResult {
  bool languageChosen = false;
  bool languageLoaded = false;  // the chosen file was loaded through every step
  bool helpFileChosen = false;
};

// The language dialog: lets the user choose a language file of the program
// directory, loads it and warns when it does not fit the program's version
// ("Errors"/"Error41", "Errors"/"Error42"); with askForHelpFile it then offers
// to choose a help file as well, whatever happened before.
// A file that cannot be loaded (one outside the program directory, say) is
// reported with the loader's message; the previous language and its file name
// stay in force.
LanguageDialogResult RunLanguageDialog(TOptions& options, TLanguage& language,
                                       MessageService& messages, OpenFileChooser& chooser,
                                       const LanguageDialogHooks& hooks, bool askForHelpFile,
                                       QWidget* parent = nullptr);
