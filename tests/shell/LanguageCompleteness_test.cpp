// The shipped language files against the windows as the program builds them:
// every text a window asks for is there, in German and in English.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "TLanguage/TLanguage.h"
#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "acquisition/Nic.h"
#include "platform/MessageService.h"
#include "shell/AboutBox.h"
#include "shell/HelpViewer.h"
#include "shell/MainUnit.h"
#include "shell/MonitorAccess.h"
#include "shell/TranslateForm.h"

using namespace Qt::StringLiterals;

namespace {

// The language files as they ship: the source folder, or the copy beside the binaries.
QString ShippedDataDir() {
  const QString source = QDir::cleanPath(QStringLiteral(QUORVEL_TEST_DATA "/../../data"));
  if (QFileInfo::exists(QDir(source).filePath(u"deutsch.lan"_s))) return source;
  return QStringLiteral(QUORVEL_BIN_DIR);
}

const char* const kShippedFiles[] = {"deutsch.lan", "english.lan"};

// Installation names without a bug report address, so that the report item
// has to say it cannot open one.
const QByteArray kVariables =
    "[Variablen]\n"
    "Ini_General=General\n"
    "Ini_Window=Window\n"
    "Ini_Reports=Reports\n"
    "Ini_Tweaks=Tweaks\n"
    "Ini_TCPServer=TCPServer\n"
    "Ini_CertainCases=CertainCases\n"
    "tablenamepreferences=_prefs\n"
    "Database=traffic.db\n"
    "MaxSpeedEntries=Modem\xFE"
    "DSL\n"
    "MaxSpeedValues=4200\xFE"
    "7000\xFE"
    "16000\xFE"
    "128000\n"
    "URL=https://www.example.org/\n";

class FakeMonitor final : public MonitorAccess {
 public:
  FakeMonitor() {
    Add(u"eth0"_s, u"0002"_s, 6);
    Add(u"ppp0"_s, u"0003"_s, 23);
    Add(u"lo"_s, u"0001"_s, 24);
  }

  const NicVector& Records() const override { return v_; }
  QString DbVersion() const override { return u"7.4"_s; }
  bool InterfacePollRunning() const override { return true; }
  void StopTimers() override {}
  void SaveAtClose(const std::function<bool(TNic&)>&) override {}

 private:
  void Add(const QString& name, const QString& table, int type) {
    v_.push_back(std::make_unique<TNic>(1000, false, u"_prefs"_s));
    v_.back()->SetName(name);
    v_.back()->SetTableName(table);
    v_.back()->SetType(type);
  }

  NicVector v_;
};

// Neither help pages nor addresses can be opened, so every failure message shows.
class FailingHelp final : public HelpOpener {
 public:
  bool ShowHelp(const QString&) override { return false; }
  bool OpenUrl(const QUrl&) override { return false; }
};

// The accelerator letter of a caption ("&File" -> 'f'), or none; "&&" is a plain "&".
std::optional<QChar> Mnemonic(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] != u'&') return caption[i + 1].toCaseFolded();
    ++i;
  }
  return std::nullopt;
}

// Names of the captions that share an accelerator, as "a / b" per clash.
QStringList MnemonicClashes(const std::vector<std::pair<QString, QString>>& captions) {
  std::map<QChar, QString> owners;
  QStringList clashes;
  for (const auto& [name, caption] : captions) {
    const std::optional<QChar> letter = Mnemonic(caption);
    if (!letter) continue;
    const auto [it, inserted] = owners.emplace(*letter, name);
    if (!inserted) clashes.append(it->second + u" / "_s + name);
  }
  return clashes;
}

QString Joined(const QStringList& list) { return list.join(u", "_s); }

class ShippedLanguageWindows : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QFile variables(QDir(dir_.path()).filePath(u"variables.conf"_s));
    ASSERT_TRUE(variables.open(QIODevice::WriteOnly));
    ASSERT_EQ(variables.write(kVariables), kVariables.size());
    variables.close();
    ProgramLocation location;
    location.programDir = dir_.path();
    location.executableName = u"quorvel"_s;
    location.appDataRoot = [] { return QString(); };
    options_ = std::make_unique<TOptions>(location);
    ASSERT_TRUE(options_->Load());
    language_ = std::make_unique<TLanguage>(ShippedDataDir());
    ASSERT_TRUE(language_->Load(QString::fromLatin1(GetParam())));
    ver_.ProductName = u"Quorvel"_s;
    ver_.FileVersion = u"9.8.7.6"_s;
    ver_.LegalCopyright = u"(c) The makers"_s;
  }

  std::unique_ptr<TMainform> NewMainform() {
    return std::make_unique<TMainform>(*options_, *language_, ver_, messages_, monitor_, help_);
  }

  QString Text(const QString& section, const QString& key) const {
    return language_->GetString(section, key);
  }

  QTemporaryDir dir_;
  std::unique_ptr<TOptions> options_;
  std::unique_ptr<TLanguage> language_;
  TVerInfo ver_;
  RecordingMessageService messages_;
  FakeMonitor monitor_;
  FailingHelp help_;
};

TEST_P(ShippedLanguageWindows, MainWindowHasEveryText) {
  const std::unique_ptr<TMainform> form = NewMainform();
  const QStringList missing = MissingLanguageKeys(form.get(), *language_);
  EXPECT_TRUE(missing.isEmpty()) << "missing: " << Joined(missing).toStdString();

  // Nothing on screen reads as a missing text, whoever put it there.
  const QString notFound = language_->NotFoundText();
  for (const QWidget* widget : form->findChildren<QWidget*>()) {
    EXPECT_NE(widget->toolTip(), notFound) << widget->objectName().toStdString();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
      EXPECT_NE(label->text(), notFound) << label->objectName().toStdString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      EXPECT_NE(button->text(), notFound) << button->objectName().toStdString();
    }
  }
  for (const QAction* action : form->findChildren<QAction*>())
    EXPECT_NE(action->text(), notFound) << action->objectName().toStdString();
  const auto* grid = form->findChild<QTableWidget*>(u"Livedata_StringGrid"_s);
  ASSERT_NE(grid, nullptr);
  for (int column = 0; column < grid->columnCount(); ++column)
    EXPECT_NE(grid->horizontalHeaderItem(column)->text(), notFound) << column;
}

TEST_P(ShippedLanguageWindows, PagesHaveDistinctNames) {
  const std::unique_ptr<TMainform> form = NewMainform();
  const auto* pages = form->findChild<QTabWidget*>(u"PageControl"_s);
  ASSERT_NE(pages, nullptr);
  QStringList names;
  for (int i = 0; i < pages->count(); ++i) {
    const QString name = pages->tabText(i);
    EXPECT_FALSE(name.trimmed().isEmpty()) << i;
    EXPECT_FALSE(names.contains(name)) << name.toStdString();
    names.append(name);
  }
}

TEST_P(ShippedLanguageWindows, EveryMenuItemHasItsOwnAccelerator) {
  const std::unique_ptr<TMainform> form = NewMainform();
  QList<QMenu*> menus = form->findChildren<QMenu*>();
  ASSERT_FALSE(menus.isEmpty());
  std::vector<std::pair<QString, QString>> bar;
  for (const QAction* action : form->menuBar()->actions()) {
    ASSERT_NE(action->menu(), nullptr);
    bar.emplace_back(action->menu()->objectName(), action->text());
  }
  std::vector<std::vector<std::pair<QString, QString>>> groups{bar};
  for (const QMenu* menu : menus) {
    std::vector<std::pair<QString, QString>> items;
    for (const QAction* action : menu->actions()) {
      // A hidden item cannot be chosen, by letter or otherwise.
      if (action->isSeparator() || !action->isVisible()) continue;
      items.emplace_back(action->objectName(), action->text());
    }
    groups.push_back(items);
  }
  for (const auto& group : groups) {
    for (const auto& [name, caption] : group)
      EXPECT_TRUE(Mnemonic(caption).has_value())
          << name.toStdString() << ": " << caption.toStdString();
    const QStringList clashes = MnemonicClashes(group);
    EXPECT_TRUE(clashes.isEmpty()) << Joined(clashes).toStdString();
  }
}

TEST_P(ShippedLanguageWindows, AcceleratorsOfAPageDoNotClashWithTheMenuBar) {
  const std::unique_ptr<TMainform> form = NewMainform();
  const auto* pages = form->findChild<QTabWidget*>(u"PageControl"_s);
  ASSERT_NE(pages, nullptr);
  std::vector<std::pair<QString, QString>> bar;
  for (const QAction* action : form->menuBar()->actions())
    bar.emplace_back(action->menu() ? action->menu()->objectName() : QString(), action->text());
  for (int i = 0; i < pages->count(); ++i) {
    // What one Alt+letter can reach while the page shows.
    std::vector<std::pair<QString, QString>> reachable = bar;
    for (const QWidget* widget : pages->widget(i)->findChildren<QWidget*>()) {
      if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        reachable.emplace_back(button->objectName(), button->text());
      const auto* label = qobject_cast<const QLabel*>(widget);
      if (label && label->buddy()) reachable.emplace_back(label->objectName(), label->text());
    }
    const QStringList clashes = MnemonicClashes(reachable);
    EXPECT_TRUE(clashes.isEmpty())
        << pages->widget(i)->objectName().toStdString() << ": " << Joined(clashes).toStdString();
  }
}

TEST_P(ShippedLanguageWindows, AboutBoxHasEveryTextAndFillsItsPlaceholders) {
  const QString dbVersion = monitor_.DbVersion();
  TAboutBox box(ver_, *language_, dbVersion, u"https://www.example.org/"_s, help_);
  QStringList missing = MissingLanguageKeys(&box, *language_);
  // A label showing a picture has no caption: one would replace the picture.
  for (const QLabel* label : box.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull())
      missing.removeAll(u"TAboutBox/"_s + label->objectName() + u"->Caption"_s);
  }
  EXPECT_TRUE(missing.isEmpty()) << "missing: " << Joined(missing).toStdString();

  const auto* logo = box.findChild<QLabel*>(u"ProgramIcon"_s);
  ASSERT_NE(logo, nullptr);
  EXPECT_FALSE(logo->pixmap().isNull());
  EXPECT_EQ(box.windowTitle(), Text(u"TAboutBox"_s, u"Caption"_s));

  struct Filled {
    const char* label;
    QString value;
  };
  const Filled filled[] = {
      {"ProductName_Label", ver_.ProductName},
      {"Version_Label", ver_.FileVersion},
      {"DBVersion_Label", dbVersion},
      {"Languagefileversion_Label", language_->Verinfo().Str_Version},
      {"Copyright_Label", ver_.LegalCopyright},
  };
  for (const Filled& f : filled) {
    const auto* label = box.findChild<QLabel*>(QString::fromLatin1(f.label));
    ASSERT_NE(label, nullptr) << f.label;
    EXPECT_TRUE(label->text().contains(f.value)) << f.label << ": " << label->text().toStdString();
    EXPECT_FALSE(label->text().contains(u'%')) << f.label << ": " << label->text().toStdString();
  }
}

// A message the main window words with a text of the file, and the
// placeholders it fills in.
struct MessageCase {
  const char* key;
  std::function<std::vector<std::pair<QString, QString>>(TMainform&, TOptions&)> show;
};

const MessageCase kMessages[] = {
    {"StrHelpNotFound",
     [](TMainform& form, TOptions&) -> std::vector<std::pair<QString, QString>> {
       form.ShowHelp(u"statistics.htm"_s);
       return {{u"%page%"_s, u"statistics.htm"_s}};
     }},
    {"StrAddressNotOpened",
     [](TMainform& form, TOptions& options) -> std::vector<std::pair<QString, QString>> {
       form.findChild<QAction*>(u"Reportbug1"_s)->trigger();
       return {{u"%address%"_s, QString()}, {u"%configfile%"_s, options.GetVariablesFile()}};
     }},
    {"StrOptionsNotSaved",
     [](TMainform& form, TOptions& options) -> std::vector<std::pair<QString, QString>> {
       // A folder in the place of the options file cannot be written.
       QFile::remove(options.OptionsFilePath());
       QDir().mkpath(options.OptionsFilePath());
       form.CloseProcedure();
       return {{u"%configfile%"_s, options.OptionsFilePath()}};
     }},
};

TEST_P(ShippedLanguageWindows, MessagesAreWordedByTheFile) {
  for (const MessageCase& c : kMessages) {
    SCOPED_TRACE(c.key);
    messages_.messages.clear();
    const std::unique_ptr<TMainform> form = NewMainform();
    const auto placeholders = c.show(*form, *options_);

    QString expected = Text(u"TMainform"_s, QString::fromLatin1(c.key));
    for (const auto& [placeholder, value] : placeholders) {
      EXPECT_TRUE(expected.contains(placeholder, Qt::CaseInsensitive)) << placeholder.toStdString();
      expected.replace(placeholder, value, Qt::CaseInsensitive);
    }
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0].text.toStdString(), expected.toStdString());
    EXPECT_FALSE(messages_.messages[0].text.contains(u'%'))
        << messages_.messages[0].text.toStdString();
    EXPECT_EQ(messages_.messages[0].caption, language_->ErrorTitle());
  }
}

TEST_P(ShippedLanguageWindows, ShortInfoTitleIsTheFilesText) {
  const std::unique_ptr<TMainform> form = NewMainform();
  form->ShowShortInfo();
  const QString title = Text(u"TMainform"_s, u"StrShortInfoBalloonTitle"_s);
  EXPECT_NE(title, language_->NotFoundText());
  EXPECT_TRUE(form->LastShortInfoTitle().startsWith(title))
      << form->LastShortInfoTitle().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguageWindows, ::testing::ValuesIn(kShippedFiles),
                         [](const auto& info) {
                           return QString::fromUtf8(info.param).section(u'.', 0, 0).toStdString();
                         });

}  // namespace
