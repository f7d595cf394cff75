#include "shell/LanguageDialog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "platform/MessageService.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray LanguageFileText(const char* version, const char* downward, const char* errorTitle) {
  return QByteArray("[Verinfo]\nVersion=") + version + "\nDownward_compatible_to=" + downward +
         "\n[Strings]\nError=" + errorTitle +
         "\nWarning=Careful\nQuestion=Asking\n"
         "[Errors]\nError41=File older\nError42=File too new\n"
         "[Filter]\nOpenDialogFilter3=Language files\nOpenDialogFilter4=Help files (*.chm)\n"
         "[TMainform]\nHelpfile_load_question->Message=Help too?\n";
}

class LanguageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    Write(u"variables.conf"_s, "[Variablen]\nIni_General=General\n");
    Write(u"current.lan"_s, LanguageFileText("3.0.1.608", "3.0.0.0", "Current error"));
    Write(u"fitting.lan"_s, LanguageFileText("3.0.1.608", "3.0.0.0", "Fitting error"));
    ProgramLocation location;
    location.programDir = dir_.path();
    location.executableName = u"quorvel"_s;
    location.appDataRoot = [] { return QString(); };
    options_ = std::make_unique<TOptions>(location, true);
    options_->SetLanguageFileName(u"current.lan"_s);
    ASSERT_TRUE(language_.Load(u"current.lan"_s));
    program_.Version = {3, 0, 1, 608};

    hooks_.programVersion = &program_;
    hooks_.renameDialupRecord = [this] { calls_.append(u"rename"_s); };
    hooks_.translateGraphWindows = [this] { calls_.append(u"graphs"_s); };
  }

  void Write(const QString& name, const QByteArray& content) {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
  }
  QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

  LanguageDialogResult Run(bool askForHelpFile) {
    return RunLanguageDialog(*options_, language_, messages_, chooser_, hooks_, askForHelpFile);
  }

  QTemporaryDir dir_;
  std::unique_ptr<TOptions> options_;
  TLanguage language_{dir_.path()};
  TVerInfo program_;
  RecordingMessageService messages_;
  ScriptedOpenFileChooser chooser_;
  LanguageDialogHooks hooks_;
  QStringList calls_;
};

TEST_F(LanguageDialogTest, CancellingChangesNothing) {
  const LanguageDialogResult result = Run(false);
  EXPECT_FALSE(result.languageChosen);
  EXPECT_FALSE(result.languageLoaded);
  EXPECT_EQ(options_->GetLanguageFileName(), u"current.lan"_s);
  EXPECT_EQ(language_.GetFileName(), Path(u"current.lan"_s));
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_TRUE(calls_.isEmpty());
  ASSERT_EQ(chooser_.requests.size(), 1u);
  EXPECT_EQ(chooser_.requests[0].directory, dir_.path());
  EXPECT_EQ(chooser_.requests[0].filter, u"Language files (*.lan)"_s);
}

TEST_F(LanguageDialogTest, ChosenFileBecomesTheLanguage) {
  chooser_.answers = {Path(u"fitting.lan"_s)};
  const LanguageDialogResult result = Run(false);
  EXPECT_TRUE(result.languageLoaded);
  EXPECT_EQ(options_->GetLanguageFileName(), u"fitting.lan"_s);
  EXPECT_EQ(language_.GetFileName(), Path(u"fitting.lan"_s));
  EXPECT_EQ(language_.ErrorTitle(), u"Fitting error"_s);
  EXPECT_EQ(calls_, (QStringList{u"rename"_s, u"graphs"_s}));
  EXPECT_TRUE(messages_.messages.empty());
}

struct VersionCase {
  const char* name;
  const char* version;
  const char* downward;
  std::vector<const char*> texts;  // messages shown, in order
};

class LanguageDialogVersionTest : public LanguageDialogTest,
                                  public ::testing::WithParamInterface<VersionCase> {};

TEST_P(LanguageDialogVersionTest, WarnsWhenTheFileDoesNotFit) {
  const VersionCase& c = GetParam();
  Write(u"chosen.lan"_s, LanguageFileText(c.version, c.downward, "Chosen error"));
  chooser_.answers = {Path(u"chosen.lan"_s)};
  Run(false);
  ASSERT_EQ(messages_.messages.size(), c.texts.size());
  for (std::size_t i = 0; i < c.texts.size(); ++i) {
    const auto& m = messages_.messages[i];
    EXPECT_EQ(m.text, QString::fromLatin1(c.texts[i]));
    // The captions come from the file just loaded.
    if (m.text == u"File older"_s) {
      EXPECT_EQ(m.icon, MessageIcon::Warning);
      EXPECT_EQ(m.caption, u"Careful"_s);
    } else {
      EXPECT_EQ(m.icon, MessageIcon::Error);
      EXPECT_EQ(m.caption, u"Chosen error"_s);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageDialogVersionTest,
    ::testing::Values(
        VersionCase{"Equal", "3.0.1.608", "3.0.1.608", {}},
        VersionCase{"OlderFile", "2.0.0.0", "2.0.0.0", {"File older"}},
        VersionCase{
            "OlderFileForNewerProgram", "2.0.0.0", "3.1.0.0", {"File older", "File too new"}},
        VersionCase{"NewerFileForNewerProgram", "4.0.0.0", "3.1.0.0", {"File too new"}},
        // Fewer than four parts: the block reads as zeros.
        VersionCase{"UnreadableVersion", "3.0", "3.0.1.608", {"File older"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LanguageDialogTest, NoVersionCheckWithoutProgramVersion) {
  Write(u"old.lan"_s, LanguageFileText("1.0.0.0", "9.0.0.0", "Old error"));
  hooks_.programVersion = nullptr;
  chooser_.answers = {Path(u"old.lan"_s)};
  EXPECT_TRUE(Run(false).languageLoaded);
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(LanguageDialogTest, FileOutsideTheProgramDirectoryIsReportedAndNothingChanges) {
  QTemporaryDir elsewhere;
  ASSERT_TRUE(elsewhere.isValid());
  const QString outside = QDir(elsewhere.path()).filePath(u"elsewhere.lan"_s);
  {
    QFile f(outside);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LanguageFileText("3.0.1.608", "3.0.0.0", "Elsewhere"));
  }
  chooser_.answers = {outside};
  const LanguageDialogResult result = Run(false);

  EXPECT_TRUE(result.languageChosen);
  EXPECT_FALSE(result.languageLoaded);
  EXPECT_EQ(options_->GetLanguageFileName(), u"current.lan"_s);
  EXPECT_EQ(language_.GetFileName(), Path(u"current.lan"_s));
  EXPECT_TRUE(calls_.isEmpty());
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(messages_.messages[0].caption, u"Current error"_s);
  EXPECT_TRUE(messages_.messages[0].text.contains(Path(u"elsewhere.lan"_s)));
  EXPECT_TRUE(messages_.messages[0].text.contains(u"not found"_s));
}

TEST_F(LanguageDialogTest, HelpQuestionFollowsTheLanguageChoice) {
  struct Case {
    const char* name;
    QStringList answers;
    bool yes;
    const char* helpFile;
  };
  const Case cases[] = {
      {"YesAndChosen",
       {Path(u"fitting.lan"_s), u"/somewhere/Hilfe-en.chm"_s},
       true,
       "Hilfe-en.chm"},
      {"LanguageCancelledStillAsks", {QString(), u"/x/help.chm"_s}, true, "help.chm"},
      {"YesButCancelled", {Path(u"fitting.lan"_s), QString()}, true, "Hilfe.chm"},
      {"No", {Path(u"fitting.lan"_s)}, false, "Hilfe.chm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    options_->SetHelpFile(u"Hilfe.chm"_s);
    messages_.messages.clear();
    messages_.answer = c.yes;
    chooser_.requests.clear();
    chooser_.answers = c.answers;
    Run(true);
    ASSERT_FALSE(messages_.messages.empty());
    EXPECT_EQ(messages_.messages.back().icon, MessageIcon::Question);
    EXPECT_EQ(messages_.messages.back().text, u"Help too?"_s);
    EXPECT_EQ(options_->GetHelpFile(), QString::fromLatin1(c.helpFile));
    ASSERT_EQ(chooser_.requests.size(), c.yes ? 2u : 1u);
    if (c.yes) {
      EXPECT_EQ(chooser_.requests[1].filter, u"Help files (*.chm)"_s);
    }
  }
}

TEST_F(LanguageDialogTest, NoHelpQuestionWhenNotAsked) {
  messages_.answer = true;
  chooser_.answers = {Path(u"fitting.lan"_s), u"/x/help.chm"_s};
  Run(false);
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(chooser_.requests.size(), 1u);
}

TEST_F(LanguageDialogTest, WorksBeforeAnyFileWasLoaded) {
  // Start-up's fallback: the stored language file could not be loaded.
  TLanguage fresh(dir_.path());
  chooser_.answers = {Path(u"fitting.lan"_s)};
  const LanguageDialogResult result =
      RunLanguageDialog(*options_, fresh, messages_, chooser_, hooks_, false);
  EXPECT_TRUE(result.languageLoaded);
  EXPECT_EQ(chooser_.requests[0].filter, u"Language files (*.lan)"_s);
  EXPECT_EQ(fresh.GetFileName(), Path(u"fitting.lan"_s));

  // A failing choice is reported with the built-in caption.
  TLanguage stillNone(dir_.path());
  chooser_.answers = {Path(u"missing.lan"_s)};
  messages_.messages.clear();
  EXPECT_FALSE(
      RunLanguageDialog(*options_, stillNone, messages_, chooser_, hooks_, false).languageLoaded);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].caption, u"Error"_s);
}

TEST(FileDialogFilter, BuildsQtFilters) {
  struct Case {
    QString description;
    QString pattern;
    QString expected;
  };
  const Case cases[] = {
      {u"Language files"_s, u"*.lan"_s, u"Language files (*.lan)"_s},
      {u"Language files (*.lan)"_s, u"*.lan"_s, u"Language files (*.lan)"_s},
      {u"Reports"_s, u"*.htm;*.html"_s, u"Reports (*.htm *.html)"_s},
      {u""_s, u"*.chm"_s, u"(*.chm)"_s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileDialogFilter(c.description, c.pattern), c.expected)
        << c.description.toStdString();
  }
}

}  // namespace
