#include "TLanguage/TLanguage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <atomic>
#include <thread>
#include <vector>

#include "LanguageTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

const QString kNotFound = u"Languagestring not found!"_s;

class TLanguageBaseTest : public LanguageDirFixture {};

TEST_F(TLanguageBaseTest, ReadsBeforeAnyLoadRaiseLangfileNull) {
  const TLanguage language(Dir());
  const auto messageOf = [](const auto& read) -> QString {
    try {
      read();
    } catch (const LanguageError& e) {
      return e.message();
    }
    return u"no error"_s;
  };
  const QString textForm =
      u"Error in TLanguage_Base->TLanguage_Base::ReadFromLangfile (183) - Langfile = NULL!"_s;
  const QString listForm =
      u"Error in TLanguage_Base->TLanguage_Base::ReadFromLangfile (192) - Langfile = NULL!"_s;
  EXPECT_EQ(messageOf([&] { language.ReadFromLangfile(u"S"_s, u"k"_s, u"d"_s); }), textForm);
  EXPECT_EQ(messageOf([&] { language.GetString(u"S"_s, u"k"_s); }), textForm);
  EXPECT_EQ(messageOf([&] { language.GetStringReplaced(u"S"_s, u"k"_s, u"%a%"_s, u"b"_s); }),
            textForm);
  QStringList list{u"kept"_s};
  EXPECT_EQ(messageOf([&] { language.ReadFromLangfile(u"S"_s, u"k"_s, list); }), listForm);
  EXPECT_EQ(list, QStringList{u"kept"_s});

  EXPECT_TRUE(language.GetFileName().isEmpty());
  EXPECT_EQ(language.ErrorTitle(), u"Error"_s);
  EXPECT_EQ(language.InformationTitle(), u"Information"_s);
}

TEST_F(TLanguageBaseTest, MissingFileRaisesAndKeepsThePreviousFile) {
  Write(u"one.lan"_s, "[Strings]\nError=Fehler\n[S]\nk=from one\n");
  TLanguage language(Dir());
  language.SetFN(u"one.lan"_s);
  const QString loadedName = QDir(Dir()).filePath(u"one.lan"_s);
  ASSERT_EQ(language.GetFileName(), loadedName);

  const QString missing = QDir(Dir()).filePath(u"missing.lan"_s);
  try {
    language.SetFN(u"missing.lan"_s);
    FAIL() << "no error raised";
  } catch (const LanguageError& e) {
    EXPECT_EQ(e.message(), u"Error in TLanguage_Base->TLanguage_Base::SetFN (121) - File ("_s +
                               missing + u") not found!"_s);
  }
  EXPECT_EQ(language.GetString(u"S"_s, u"k"_s), u"from one"_s);
  EXPECT_EQ(language.ErrorTitle(), u"Fehler"_s);
  // The name must keep naming the file whose texts are in use.
  EXPECT_EQ(language.GetFileName(), loadedName);
}

TEST_F(TLanguageBaseTest, UnreadableFileRaisesAndKeepsThePreviousFile) {
  Write(u"one.lan"_s, "[S]\nk=from one\n");
  ASSERT_TRUE(QDir(Dir()).mkdir(u"folder.lan"_s));
  TLanguage language(Dir());
  language.SetFN(u"one.lan"_s);
  EXPECT_THROW(language.SetFN(u"folder.lan"_s), LanguageError);
  EXPECT_EQ(language.GetString(u"S"_s, u"k"_s), u"from one"_s);
  EXPECT_EQ(language.GetFileName(), QDir(Dir()).filePath(u"one.lan"_s));
}

TEST_F(TLanguageBaseTest, TextsAndDefaults) {
  Write(u"l.lan"_s, "[Strings]\nError=Fehler\nQuestion=Frage\n[S]\nk=Wert \xC3\xA4\nempty=\n");
  TLanguage language(Dir());
  language.SetFN(u"l.lan"_s);
  EXPECT_EQ(language.GetString(u"s"_s, u"K"_s), u"Wert ä"_s);
  EXPECT_EQ(language.GetString(u"S"_s, u"empty"_s), QString());
  EXPECT_EQ(language.GetString(u"S"_s, u"missing"_s), kNotFound);
  EXPECT_EQ(language.GetString(u"Missing"_s, u"k"_s), kNotFound);
  EXPECT_EQ(language.ReadFromLangfile(u"S"_s, u"missing"_s, u"dflt"_s), u"dflt"_s);
  // Titles come from the file, each missing one is its own key name.
  EXPECT_EQ(language.ErrorTitle(), u"Fehler"_s);
  EXPECT_EQ(language.WarningTitle(), u"Warning"_s);
  EXPECT_EQ(language.QuestionTitle(), u"Frage"_s);
  EXPECT_EQ(language.InformationTitle(), u"Information"_s);
}

TEST_F(TLanguageBaseTest, ListForm) {
  Write(u"l.lan"_s,
        "[TMainform]\nA->Items=1\xFE"
        "2\xFE\xFFLast week\xFF\n"
        "Blank->Items=\n");
  TLanguage language(Dir());
  language.SetFN(u"l.lan"_s);
  QStringList items{u"old"_s};
  EXPECT_TRUE(language.ReadFromLangfile(u"TMainform"_s, u"a->items"_s, items));
  EXPECT_EQ(items, QStringList({u"1"_s, u"2"_s, u"Last week"_s}));
  EXPECT_TRUE(language.ReadFromLangfile(u"TMainform"_s, u"Blank->Items"_s, items));
  EXPECT_TRUE(items.isEmpty());
  EXPECT_FALSE(language.ReadFromLangfile(u"TMainform"_s, u"Missing->Items"_s, items));
  EXPECT_EQ(items, QStringList{u"Error!"_s});
}

TEST_F(TLanguageBaseTest, GetStringReplacedIgnoresCase) {
  struct Case {
    const char* value;
    const char* placeholder;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {"Action \"%ccaction%\" failed", "%ccaction%", "Beep", "Action \"Beep\" failed"},
      {"Action \"%CCAction%\" failed", "%ccaction%", "Beep", "Action \"Beep\" failed"},
      {"Use %ShortDateFormat%", "%Shortdateformat%", "dd.MM.yyyy", "Use dd.MM.yyyy"},
      {"%datetime% and %DATETIME%", "%datetime%", "now", "now and now"},
      // A replacement holding the placeholder is not replaced again.
      {"%a%", "%a%", "%A%%a%", "%A%%a%"},
      {"100% sure %x", "%datetime%", "now", "100% sure %x"},
      {"Fehler in %Errorfile%", "%errorfile%", "/tmp/ä.txt", "Fehler in /tmp/ä.txt"},
      // An empty placeholder matches nothing.
      {"abc", "", "x", "abc"},
  };
  for (const Case& c : cases) {
    Write(u"l.lan"_s, "[Errors]\nk=" + QByteArray(c.value) + '\n');
    TLanguage language(Dir());
    language.SetFN(u"l.lan"_s);
    EXPECT_EQ(language.GetStringReplaced(u"Errors"_s, u"k"_s, QString::fromUtf8(c.placeholder),
                                         QString::fromUtf8(c.replacement)),
              QString::fromUtf8(c.expected))
        << c.value;
  }
  Write(u"l.lan"_s, "[Errors]\n");
  TLanguage language(Dir());
  language.SetFN(u"l.lan"_s);
  EXPECT_EQ(language.GetStringReplaced(u"Errors"_s, u"k"_s, u"%x%"_s, u"y"_s), kNotFound);
}

class TLanguageTest : public LanguageDirFixture {};

TEST_F(TLanguageTest, StartsEmpty) {
  const TLanguage language(Dir());
  EXPECT_EQ(language.NotFoundText(), kNotFound);
  EXPECT_TRUE(language.Quantities1000().isEmpty());
  EXPECT_TRUE(language.Quantities1024().isEmpty());
  EXPECT_EQ(language.Verinfo(), TLanguage_Verinfo{});
  EXPECT_TRUE(language.GetFileName().isEmpty());
}

TEST_F(TLanguageTest, LoadReadsUnitListsAndMarksMissingNames) {
  QByteArray file = "[Quantities_1000]\n";
  for (int n = 0; n <= 8; ++n) file += QByteArray::number(n) + "=u" + QByteArray::number(n) + '\n';
  file += "[Quantities_1024]\n0=B\n1=KiB\n";
  Write(u"l.lan"_s, file);
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"l.lan"_s));

  const QStringList expected1000{u"u0"_s, u"u1"_s, u"u2"_s, u"u3"_s, u"u4"_s,
                                 u"u5"_s, u"u6"_s, u"u7"_s, u"u8"_s};
  EXPECT_EQ(language.Quantities1000(), expected1000);
  QStringList expected1024{u"B"_s, u"KiB"_s};
  while (expected1024.size() < 9) expected1024.append(kNotFound);
  EXPECT_EQ(language.Quantities1024(), expected1024);
  const QuantityUnits units = language.Units();
  EXPECT_EQ(units.names1000, expected1000);
  EXPECT_EQ(units.names1024, expected1024);

  // A second load replaces the lists instead of adding to them.
  ASSERT_TRUE(language.Load(u"l.lan"_s));
  EXPECT_EQ(language.Quantities1000().size(), 9);
}

struct VerinfoCase {
  const char* name;
  QByteArray block;
  TLanguage_Verinfo expected;
};

TLanguage_Verinfo Block(VersionNumbers version, const char* strVersion, VersionNumbers downward,
                        const char* strDownward, const char* creator, const char* url) {
  return {version,
          QString::fromUtf8(strVersion),
          downward,
          QString::fromUtf8(strDownward),
          QString::fromUtf8(creator),
          QString::fromUtf8(url)};
}

class VerinfoTest : public LanguageDirFixture, public ::testing::WithParamInterface<VerinfoCase> {};

TEST_P(VerinfoTest, ReadsTheVersionBlock) {
  const VerinfoCase& c = GetParam();
  Write(u"l.lan"_s, "[Verinfo]\n" + c.block);
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"l.lan"_s));
  EXPECT_EQ(language.Verinfo(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, VerinfoTest,
    ::testing::Values(
        VerinfoCase{
            "Complete",
            "Version=2.37.0.0\nDownward_compatible_to=2.30.1.5\nCreator=Ann\nURL=http://x/\n",
            Block({2, 37, 0, 0}, "2.37.0.0", {2, 30, 1, 5}, "2.30.1.5", "Ann", "http://x/")},
        VerinfoCase{"NonNumberItemIsZero",
                    "Version=2.x.0.1\nDownward_compatible_to=1.0.0.0\nCreator=Ann\n",
                    Block({2, 0, 0, 1}, "2.x.0.1", {1, 0, 0, 0}, "1.0.0.0", "Ann", "")},
        VerinfoCase{"ShortVersionStopsTheBlock",
                    "Version=2.37\nDownward_compatible_to=1.0.0.0\nCreator=Ann\nURL=u\n",
                    Block({0, 0, 0, 0}, "0", {0, 0, 0, 0}, "0", "", "")},
        VerinfoCase{"ShortDownwardStopsTheRest",
                    "Version=2.37.0.0\nDownward_compatible_to=1.0.0\nCreator=Ann\nURL=u\n",
                    Block({2, 37, 0, 0}, "2.37.0.0", {0, 0, 0, 0}, "0", "", "")},
        // The default "0" of a missing key has one item only.
        VerinfoCase{"MissingVersion", "Creator=Ann\n",
                    Block({0, 0, 0, 0}, "0", {0, 0, 0, 0}, "0", "", "")},
        VerinfoCase{"MissingCreatorAndUrl", "Version=1.2.3.4\nDownward_compatible_to=1.2.3.4\n",
                    Block({1, 2, 3, 4}, "1.2.3.4", {1, 2, 3, 4}, "1.2.3.4", "", "")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TLanguageTest, BrokenVersionBlockDoesNotKeepTheOldFilesVersions) {
  Write(u"good.lan"_s,
        "[Verinfo]\nVersion=2.0.0.0\nDownward_compatible_to=3.1.0.0\nCreator=Ann\nURL=u\n");
  Write(u"broken.lan"_s, "[Verinfo]\nVersion=2\nDownward_compatible_to=1.0.0.0\n");
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"good.lan"_s));
  ASSERT_EQ(language.Verinfo().DownwardVersion, (VersionNumbers{3, 1, 0, 0}));
  ASSERT_TRUE(language.Load(u"broken.lan"_s));
  EXPECT_EQ(language.Verinfo(), Block({0, 0, 0, 0}, "0", {0, 0, 0, 0}, "0", "", ""));
}

TEST_F(TLanguageTest, VersionChecksOfTheLanguageDialog) {
  Write(u"old.lan"_s, "[Verinfo]\nVersion=2.0.0.0\nDownward_compatible_to=3.1.0.0\n");
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"old.lan"_s));
  const VersionNumbers program{3, 0, 1, 608};
  // Program newer than the file: the first warning; older than the file supports: the second.
  EXPECT_EQ(CompareVersions(program, language.Verinfo().Version), 1);
  EXPECT_EQ(CompareVersions(program, language.Verinfo().DownwardVersion), 2);
}

TEST_F(TLanguageTest, FailedLoadKeepsEverything) {
  Write(u"one.lan"_s,
        "[Verinfo]\nVersion=1.2.3.4\nDownward_compatible_to=1.0.0.0\n[Quantities_1000]\n0=B\n");
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"one.lan"_s));
  const TLanguage_Verinfo verinfo = language.Verinfo();
  const QStringList units = language.Quantities1000();
  int translations = 0;
  language.SetWindowTranslation([&](TLanguage&) { ++translations; });

  EXPECT_THROW(language.Load(u"missing.lan"_s), LanguageError);
  EXPECT_EQ(language.Verinfo(), verinfo);
  EXPECT_EQ(language.Quantities1000(), units);
  EXPECT_EQ(language.GetFileName(), QDir(Dir()).filePath(u"one.lan"_s));
  EXPECT_EQ(translations, 0);
}

TEST_F(TLanguageTest, WindowTranslationRunsAfterTheUnitsAndItsErrorGivesFalse) {
  Write(u"l.lan"_s, "[Quantities_1000]\n1=kB\n[TMainform]\nCaption=Quorvel\n");
  TLanguage language(Dir());
  QString seenUnit;
  QString seenCaption;
  language.SetWindowTranslation([&](TLanguage& l) {
    seenUnit = l.Quantities1000().value(1);
    seenCaption = l.GetString(u"TMainform"_s, u"Caption"_s);
  });
  EXPECT_TRUE(language.Load(u"l.lan"_s));
  EXPECT_EQ(seenUnit, u"kB"_s);
  EXPECT_EQ(seenCaption, u"Quorvel"_s);

  language.SetWindowTranslation([](TLanguage&) { throw std::runtime_error("no window"); });
  EXPECT_FALSE(language.Load(u"l.lan"_s));
  // The file itself is loaded all the same.
  EXPECT_EQ(language.GetString(u"TMainform"_s, u"Caption"_s), u"Quorvel"_s);
}

TEST_F(TLanguageTest, ReadersOnOtherThreadsSeeWholeFiles) {
  // Two files whose texts all differ; a reader must always get the texts of
  // one of them, never a mix from a half-replaced file.
  Write(u"a.lan"_s,
        "[Strings]\nError=A\n[S]\nk=A\n[Verinfo]\nVersion=1.1.1.1\n"
        "Downward_compatible_to=1.1.1.1\nCreator=A\n[Quantities_1000]\n0=A\n");
  Write(u"b.lan"_s,
        "[Strings]\nError=B\n[S]\nk=B\n[Verinfo]\nVersion=2.2.2.2\n"
        "Downward_compatible_to=2.2.2.2\nCreator=B\n[Quantities_1000]\n0=B\n");
  TLanguage language(Dir());
  ASSERT_TRUE(language.Load(u"a.lan"_s));

  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const QString text = language.GetString(u"S"_s, u"k"_s);
        const QString title = language.ErrorTitle();
        const TLanguage_Verinfo verinfo = language.Verinfo();
        const QString unit = language.Units().names1000.value(0);
        const QString file = language.GetFileName();
        const bool ok =
            (text == u"A"_s || text == u"B"_s) && (title == u"A"_s || title == u"B"_s) &&
            verinfo.Str_Version == verinfo.Str_DownwardVersion &&
            verinfo.Creator == (verinfo.Str_Version == u"1.1.1.1"_s ? u"A"_s : u"B"_s) &&
            (unit == u"A"_s || unit == u"B"_s) &&
            (file.endsWith(u"a.lan"_s) || file.endsWith(u"b.lan"_s));
        if (!ok) ++bad;
      }
    });
  }
  for (int i = 0; i < 300; ++i) {
    EXPECT_TRUE(language.Load(i % 2 == 0 ? u"b.lan"_s : u"a.lan"_s));
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
