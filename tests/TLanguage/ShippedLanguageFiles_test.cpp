#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <set>

#include "TLanguage/LanguageFile.h"
#include "TLanguage/TLanguage.h"
#include "VerInfo/Verinfo.h"

using namespace Qt::StringLiterals;

namespace {

// The language files as they ship: the source folder, or the copy beside the binaries.
QString DataDir() {
  const QString source = QDir::cleanPath(QStringLiteral(QUORVEL_TEST_DATA "/../../data"));
  if (QFileInfo::exists(QDir(source).filePath(u"deutsch.lan"_s))) return source;
  return QStringLiteral(QUORVEL_BIN_DIR);
}

const char* const kFiles[] = {"deutsch.lan", "english.lan"};

struct Key {
  const char* section;
  const char* key;
};

// Every key the program reads outside the translation of individual controls.
const Key kRequiredKeys[] = {
    {"TMainform", "Caption"},
    {"TMainform", "Helpfile_load_question->Message"},
    {"TMainform", "StrShortInfoBalloonTitle"},
    {"TMainform", "StrHelpNotFound"},
    {"TMainform", "StrAddressNotOpened"},
    {"TMainform", "StrOptionsNotSaved"},
    {"TMainform", "Livedata_StringGrid->Cells[0][0]"},
    {"TMainform", "Livedata_StringGrid->Cells[1][0]"},
    {"TMainform", "Livedata_StringGrid->Cells[2][0]"},
    {"TMainform", "Livedata_StringGrid->Cells[3][0]"},
    {"TMainform", "Livedata_StringGrid->Cells[4][0]"},
    {"TMainform", "Livedata_StringGrid->Cells[5][0]"},
    {"TMainform", "SearchType_ComboBox->Items"},
    {"TMainform", "DBAction_ComboBox->Items"},
    {"TMainform", "CertainCaseChooseCase_ComboBox->Items"},
    {"TMainform", "CertainCaseTimerInterval_ComboBox->Items"},
    {"TMainform", "CertainCaseAction_ComboBox->Items"},
    {"TGraphsform", "Caption"},
    {"TDateForm", "Caption"},
    {"TAboutBox", "Caption"},
    {"Strings", "Error"},
    {"Strings", "Warning"},
    {"Strings", "Question"},
    {"Strings", "Information"},
    {"Strings", "dfu"},
    {"Strings", "dfu_active"},
    {"Strings", "dfu_inactive"},
    {"Strings", "dfu_noconnection"},
    {"Strings", "StrDate"},
    {"Strings", "Case4Log"},
    {"Strings", "Case4MessageTitle"},
    {"Strings", "Case4Message"},
    {"Strings", "NewActionItemsName"},
    {"Errors", "Error3"},
    {"Errors", "Error4"},
    {"Errors", "Error8"},
    {"Errors", "Error10"},
    {"Errors", "Error10a"},
    {"Errors", "Error11"},
    {"Errors", "Error13"},
    {"Errors", "Error14"},
    {"Errors", "Error22"},
    {"Errors", "Error23"},
    {"Errors", "Error24"},
    {"Errors", "Error24a"},
    {"Errors", "Error25"},
    {"Errors", "Error26"},
    {"Errors", "Error27"},
    {"Errors", "Error28"},
    {"Errors", "Error32"},
    {"Errors", "Error33"},
    {"Errors", "Error34"},
    {"Errors", "Error35"},
    {"Errors", "Error36"},
    {"Errors", "Error37"},
    {"Errors", "Error38"},
    {"Errors", "Error39"},
    {"Errors", "Error40"},
    {"Errors", "Error41"},
    {"Errors", "Error42"},
    {"Errors", "Error43"},
    {"Errors", "Error44"},
    {"Errors", "Error45"},
    {"Errors", "Error46"},
    {"Errors", "Error47"},
    {"Errors", "Error48"},
    {"Errors", "Error49"},
    {"Errors", "Error50"},
    {"Errors", "Error52"},
    {"Errors", "Error53"},
    {"Errors", "Error54"},
    {"Errors", "Error55"},
    {"Filter", "OpenDialogFilter1"},
    {"Filter", "OpenDialogFilter2"},
    {"Filter", "OpenDialogFilter3"},
    {"Filter", "OpenDialogFilter4"},
    {"Filter", "OpenDialogFilter5"},
    {"Filter", "CCParameterDialog"},
    {"Proxy", "Proxy1"},
    {"Proxy", "Proxy2"},
    {"Proxy", "Proxy3"},
    {"Proxy", "Proxy4"},
    {"Proxy", "Proxy5"},
    {"Proxy", "Proxy6"},
    {"Proxy", "Proxy7"},
    {"Proxy", "Proxy8"},
    {"Proxy", "Proxy9"},
    {"Updates", "Update0"},
    {"Updates", "Update1"},
    {"Updates", "Update2"},
    {"Updates", "Update3"},
    {"Updates", "Update4"},
    {"Updates", "Update5"},
    {"Updates", "Update6"},
    {"Updates", "Update7"},
    {"Updates", "Update8"},
    {"Updates", "Update9"},
    {"Updates", "Update10"},
    {"Updates", "UpdatebuttonHint"},
    {"TReportThread", "StrTitle"},
    {"TReportThread", "StrDailyReport"},
    {"TReportThread", "StrDownload"},
    {"TReportThread", "StrUpload"},
    {"TReportThread", "StrUpDown"},
    {"TReportThread", "StrMonthReport"},
    {"TReportThread", "StrMonthAverage"},
    {"TReportThread", "StrDailyAverage"},
    {"TReportThread", "StrMonth"},
    {"TReportThread", "StrYearlyReport"},
    {"TReportThread", "StrYear"},
    {"TReportThread", "StrSummary"},
    {"TReportThread", "StrTotalTraffic"},
    {"TReportThread", "StrAverageTraffic_perDay"},
    {"TReportThread", "StrAverageTraffic_perMonth"},
    {"TReportThread", "StrAverageTraffic_perYear"},
    {"TReportThread", "StrTotal"},
    {"TReportThread", "StrReport"},
    {"TReportThread", "StrAt"},
    {"TReportThread", "StrFileWrote"},
    {"TReportThread", "StrOwnRange"},
    {"TReportThread", "StrRange"},
    {"TReportThread", "StrNoData"},
    {"TReportThread", "StrStartingReport"},
    {"TStatisticThread", "StrReceived"},
    {"TStatisticThread", "StrSent"},
    {"TStatisticThread", "StrAverage"},
    {"TStatisticThread", "StrTotal"},
    {"TStatisticThread", "StrUtilizationReceived"},
    {"TStatisticThread", "StrUtilizationSent"},
    {"TStatisticThread", "StrTotalUpDown"},
    {"Verinfo", "Version"},
    {"Verinfo", "Downward_compatible_to"},
    {"Verinfo", "Creator"},
    {"Verinfo", "URL"},
};

// Texts whose placeholder the program replaces.
struct Placeholder {
  const char* section;
  const char* key;
  const char* placeholder;
};
const Placeholder kPlaceholders[] = {
    {"Errors", "Error8", "%errorfile%"},
    {"Errors", "Error22", "%Shortdateformat%"},
    {"Errors", "Error45", "%configfile%"},
    {"Errors", "Error47", "%errormessage%"},
    {"Errors", "Error48", "%errormessage%"},
    {"Errors", "Error50", "%ccaction%"},
    {"Strings", "Case4Log", "%datetime%"},
    {"TMainform", "StrHelpNotFound", "%page%"},
    {"TMainform", "StrAddressNotOpened", "%address%"},
    {"TMainform", "StrAddressNotOpened", "%configfile%"},
    {"TMainform", "StrOptionsNotSaved", "%configfile%"},
    {"TAboutBox", "ProductName_Label->Caption", "%ProductName%"},
    {"TAboutBox", "Version_Label->Caption", "%Version%"},
    {"TAboutBox", "DBVersion_Label->Caption", "%dbversion%"},
    {"TAboutBox", "Languagefileversion_Label->Caption", "%languagefileversion%"},
};

// Texts the program continues directly with a name or number.
const Key kContinuedTexts[] = {
    {"Errors", "Error10"},
    {"Errors", "Error11"},
    {"Strings", "dfu_active"},
    {"TReportThread", "StrNoData"},
};

// Item lists whose length the program relies on.
struct ListLength {
  const char* key;
  qsizetype items;
};
const ListLength kListLengths[] = {
    {"SearchType_ComboBox->Items", 6},
    {"DBAction_ComboBox->Items", 8},
    {"CertainCaseChooseCase_ComboBox->Items", 17},
    {"CertainCaseAction_ComboBox->Items", 8},
};

QString Text(const char* s) { return QString::fromUtf8(s); }

LanguageFile ParseFile(const QString& name) {
  QFile f(QDir(DataDir()).filePath(name));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
  return LanguageFile::Parse(f.readAll());
}

class ShippedLanguageFile : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    language_ = std::make_unique<TLanguage>(DataDir());
    ASSERT_NO_THROW(ASSERT_TRUE(language_->Load(Text(GetParam()))));
  }

  std::unique_ptr<TLanguage> language_;
};

TEST_P(ShippedLanguageFile, HasEveryKeyWithText) {
  const LanguageFile file = ParseFile(Text(GetParam()));
  for (const Key& k : kRequiredKeys) {
    const auto value = file.Value(Text(k.section), Text(k.key));
    ASSERT_TRUE(value.has_value()) << k.section << "/" << k.key;
    EXPECT_FALSE(value->trimmed().isEmpty()) << k.section << "/" << k.key;
  }
}

TEST_P(ShippedLanguageFile, TextsAreUtf8) {
  const LanguageFile file = ParseFile(Text(GetParam()));
  for (const QString& section : file.Sections()) {
    for (const QString& key : file.Keys(section)) {
      QStringDecoder decoder(QStringDecoder::Utf8);
      const QString decoded = decoder(*file.Value(section, key));
      // Item lists hold the 0xFE/0xFF bytes; their items must be UTF-8.
      if (key.endsWith(u"->Items"_s, Qt::CaseInsensitive)) {
        QStringList items;
        ASSERT_TRUE(language_->ReadFromLangfile(section, key, items));
        for (const QString& item : items) {
          EXPECT_FALSE(item.contains(QChar::ReplacementCharacter)) << key.toStdString();
        }
      } else {
        EXPECT_FALSE(decoder.hasError()) << section.toStdString() << "/" << key.toStdString();
        EXPECT_FALSE(decoded.contains(QChar::ReplacementCharacter)) << key.toStdString();
      }
    }
  }
}

TEST_P(ShippedLanguageFile, PlaceholdersArePresent) {
  for (const Placeholder& p : kPlaceholders) {
    const QString text = language_->GetString(Text(p.section), Text(p.key));
    EXPECT_TRUE(text.contains(Text(p.placeholder), Qt::CaseInsensitive))
        << p.section << "/" << p.key << ": " << text.toStdString();
  }
}

TEST_P(ShippedLanguageFile, ContinuedTextsEndInASpace) {
  // Values are trimmed of blanks, so these need a space that survives trimming.
  for (const Key& k : kContinuedTexts) {
    const QString text = language_->GetString(Text(k.section), Text(k.key));
    ASSERT_FALSE(text.isEmpty()) << k.key;
    EXPECT_TRUE(text.back().isSpace()) << k.key << ": \"" << text.toStdString() << "\"";
  }
}

TEST_P(ShippedLanguageFile, UnitListsHaveNineShortNames) {
  for (const QStringList& names : {language_->Quantities1000(), language_->Quantities1024()}) {
    ASSERT_EQ(names.size(), 9);
    // The short quantity form keeps the first character of name 0 and the
    // first three of the others; longer names would be cut.
    EXPECT_EQ(names[0].size(), 1) << names[0].toStdString();
    for (qsizetype i = 1; i < names.size(); ++i) {
      EXPECT_TRUE(names[i].size() >= 2 && names[i].size() <= 3) << names[i].toStdString();
    }
    EXPECT_EQ(std::set<QString>(names.cbegin(), names.cend()).size(), 9u);
  }
  const QuantityUnits units = language_->Units();
  EXPECT_EQ(FormatQuantity(1536.0L, 1024, units, true, QLocale::c()), u"1.50KiB"_s);
  EXPECT_EQ(FormatQuantity(2500.0L, 1000, units, false, QLocale::c()), u"2.50 kB"_s);
}

TEST_P(ShippedLanguageFile, ItemListsFollowTheProgramsOrders) {
  for (const ListLength& l : kListLengths) {
    QStringList items;
    ASSERT_TRUE(language_->ReadFromLangfile(u"TMainform"_s, Text(l.key), items)) << l.key;
    EXPECT_EQ(items.size(), l.items) << l.key;
    for (const QString& item : items) EXPECT_FALSE(item.isEmpty()) << l.key;
  }
  // Interval items are whole numbers of seconds, ascending.
  QStringList intervals;
  ASSERT_TRUE(language_->ReadFromLangfile(
      u"TMainform"_s, u"CertainCaseTimerInterval_ComboBox->Items"_s, intervals));
  ASSERT_FALSE(intervals.isEmpty());
  int previous = 0;
  for (const QString& item : intervals) {
    bool ok = false;
    const int seconds = item.toInt(&ok);
    EXPECT_TRUE(ok && seconds > previous) << item.toStdString();
    previous = seconds;
  }
}

TEST_P(ShippedLanguageFile, FitsTheProgramVersion) {
  TVerInfo program;
  ASSERT_TRUE(program.ReadVersionInfo());
  const TLanguage_Verinfo block = language_->Verinfo();
  ASSERT_TRUE(ParseVersion(block.Str_Version).has_value());
  ASSERT_TRUE(ParseVersion(block.Str_DownwardVersion).has_value());
  // Otherwise start-up and the language dialog warn about the shipped file.
  EXPECT_EQ(CompareVersions(program.Version, block.Version), 0) << block.Str_Version.toStdString();
  EXPECT_NE(CompareVersions(program.Version, block.DownwardVersion), 2);
  EXPECT_FALSE(block.Creator.isEmpty());
  EXPECT_FALSE(block.URL.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguageFile, ::testing::ValuesIn(kFiles),
                         [](const auto& info) {
                           return QString::fromUtf8(info.param).section(u'.', 0, 0).toStdString();
                         });

TEST(ShippedLanguageFiles, HaveTheSameKeys) {
  const LanguageFile german = ParseFile(u"deutsch.lan"_s);
  const LanguageFile english = ParseFile(u"english.lan"_s);
  const auto keySet = [](const LanguageFile& file) {
    std::set<QString> keys;
    for (const QString& section : file.Sections()) {
      for (const QString& key : file.Keys(section)) {
        keys.insert(section.toCaseFolded() + u'/' + key.toCaseFolded());
      }
    }
    return keys;
  };
  const std::set<QString> a = keySet(german);
  const std::set<QString> b = keySet(english);
  for (const QString& k : a) EXPECT_TRUE(b.count(k)) << "only in deutsch.lan: " << k.toStdString();
  for (const QString& k : b) EXPECT_TRUE(a.count(k)) << "only in english.lan: " << k.toStdString();

  // Lists must have the same length in both, or a stored index would mean
  // different things in different languages.
  TLanguage de(DataDir());
  TLanguage en(DataDir());
  ASSERT_TRUE(de.Load(u"deutsch.lan"_s));
  ASSERT_TRUE(en.Load(u"english.lan"_s));
  for (const QString& key : german.Keys(u"TMainform"_s)) {
    if (!key.endsWith(u"->Items"_s, Qt::CaseInsensitive)) continue;
    QStringList deItems;
    QStringList enItems;
    de.ReadFromLangfile(u"TMainform"_s, key, deItems);
    en.ReadFromLangfile(u"TMainform"_s, key, enItems);
    EXPECT_EQ(deItems.size(), enItems.size()) << key.toStdString();
  }
}

}  // namespace
