#include "shell/LanguageDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <exception>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "platform/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

// A hook failing must not keep the dialog from finishing its own steps.
void RunHook(const std::function<void()>& hook) {
  if (!hook) return;
  try {
    hook();
  } catch (const std::exception&) {
  }
}

// Before any language file was loaded (start-up's fallback) there are no texts
// yet; the dialog then uses these.
QString Text(const TLanguage& language, const QString& section, const QString& key,
             const QString& fallback) {
  try {
    return language.GetString(section, key);
  } catch (const std::exception&) {
    return fallback;
  }
}

bool ChooseAndLoadLanguage(TOptions& options, TLanguage& language, MessageService& messages,
                           OpenFileChooser& chooser, QWidget* parent,
                           LanguageDialogResult& result) {
  const QString chosen = chooser.ChooseOpenFile(
      parent, language.ProgramDir(),
      FileDialogFilter(Text(language, u"Filter"_s, u"OpenDialogFilter3"_s, u"Language files"_s),
                       u"*.lan"_s));
  if (chosen.isEmpty()) return false;
  result.languageChosen = true;

  const QString previousName = options.GetLanguageFileName();
  const QString name = QFileInfo(chosen).fileName();
  options.SetLanguageFileName(name);
  try {
    return language.Load(name);
  } catch (const std::exception& e) {
    // Nothing was loaded: keep naming the file that is in use.
    options.SetLanguageFileName(previousName);
    const auto* languageError = dynamic_cast<const LanguageError*>(&e);
    messages.Show(languageError ? languageError->message() : QString::fromUtf8(e.what()),
                  language.ErrorTitle(), MessageIcon::Error);
    return false;
  }
}

void CheckVersion(const TLanguage& language, MessageService& messages, const TVerInfo& program) {
  const TLanguage_Verinfo file = language.Verinfo();
  if (CompareVersions(program.Version, file.Version) == 1) {
    messages.Show(language.GetString(u"Errors"_s, u"Error41"_s), language.WarningTitle(),
                  MessageIcon::Warning);
  }
  if (CompareVersions(program.Version, file.DownwardVersion) == 2) {
    messages.Show(language.GetString(u"Errors"_s, u"Error42"_s), language.ErrorTitle(),
                  MessageIcon::Error);
  }
}

}  // namespace

QString QtOpenFileChooser::ChooseOpenFile(QWidget* parent, const QString& directory,
                                          const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), directory, filter);
}

QString FileDialogFilter(const QString& description, const QString& pattern) {
  // Qt separates several patterns by blanks where the language texts may use ";".
  QString qtPattern = pattern;
  qtPattern.replace(u';', u' ');
  const QString bracketed = u"("_s + qtPattern + u")"_s;
  if (description.trimmed().isEmpty()) return bracketed;
  if (description.contains(bracketed)) return description;
  return description + u" "_s + bracketed;
}

LanguageDialogResult RunLanguageDialog(TOptions& options, TLanguage& language,
                                       MessageService& messages, OpenFileChooser& chooser,
                                       const LanguageDialogHooks& hooks, bool askForHelpFile,
                                       QWidget* parent) {
  LanguageDialogResult result;
  result.languageLoaded =
      ChooseAndLoadLanguage(options, language, messages, chooser, parent, result);
  if (result.languageLoaded) {
    RunHook(hooks.renameDialupRecord);
    RunHook(hooks.translateGraphWindows);
    if (hooks.programVersion) CheckVersion(language, messages, *hooks.programVersion);
  }

  if (askForHelpFile &&
      messages.Ask(Text(language, u"TMainform"_s, u"Helpfile_load_question->Message"_s,
                        u"Do you also want to choose a help file?"_s),
                   language.QuestionTitle())) {
    const QString help = chooser.ChooseOpenFile(
        parent, language.ProgramDir(),
        FileDialogFilter(Text(language, u"Filter"_s, u"OpenDialogFilter4"_s, u"Help files"_s),
                         hooks.helpFilePattern));
    if (!help.isEmpty()) {
      options.SetHelpFile(QFileInfo(help).fileName());
      result.helpFileChosen = true;
    }
  }
  return result;
}
