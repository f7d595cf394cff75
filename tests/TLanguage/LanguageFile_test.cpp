#include "TLanguage/LanguageFile.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct LookupCase {
  const char* name;
  QByteArray file;
  const char* section;
  const char* key;
  std::optional<QByteArray> expected;
};

class LanguageFileLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LanguageFileLookup, FollowsTheIniRules) {
  const LookupCase& c = GetParam();
  const LanguageFile file = LanguageFile::Parse(c.file);
  EXPECT_EQ(file.Value(QString::fromUtf8(c.section), QString::fromUtf8(c.key)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LanguageFileLookup,
    ::testing::Values(
        LookupCase{"Plain", "[S]\nk=v\n", "S", "k", QByteArray("v")},
        LookupCase{"SectionCaseIgnored", "[Strings]\nk=v\n", "sTRINGS", "k", QByteArray("v")},
        LookupCase{"KeyCaseIgnored", "[S]\nError3=v\n", "S", "ERROR3", QByteArray("v")},
        LookupCase{"NonAsciiCaseIgnored", "[Über]\nkey=v\n", "über", "KEY", QByteArray("v")},
        LookupCase{"Trimmed", "  [ S ]  \n\t k \t=  a b  \n", "S", "k", QByteArray("a b")},
        LookupCase{"CrLf", "[S]\r\nk=v\r\nl=w\r\n", "S", "k", QByteArray("v")},
        LookupCase{"ByteOrderMark", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", QByteArray("v")},
        LookupCase{"NoFinalLineBreak", "[S]\nk=v", "S", "k", QByteArray("v")},
        LookupCase{"FirstOccurrenceWins", "[S]\nk=first\nK=second\n", "S", "k",
                   QByteArray("first")},
        LookupCase{"RepeatedSectionAdds", "[S]\na=1\n[T]\nb=2\n[s]\nc=3\n", "S", "c",
                   QByteArray("3")},
        LookupCase{"RepeatedSectionKeepsFirst", "[S]\na=1\n[s]\na=2\n", "S", "a", QByteArray("1")},
        LookupCase{"EqualsInValue", "[S]\nk=a=b\n", "S", "k", QByteArray("a=b")},
        LookupCase{"BracketsInKey", "[TMainform]\nGrid->Cells[1][0]=Rate\n", "TMainform",
                   "grid->cells[1][0]", QByteArray("Rate")},
        LookupCase{"EmptyValue", "[S]\nk=\n", "S", "k", QByteArray()},
        LookupCase{"ListBytesKept",
                   "[S]\nk=a\xFE\xFF"
                   "b c\xFF\n",
                   "S", "k",
                   QByteArray("a\xFE\xFF"
                              "b c\xFF")},
        LookupCase{"SemicolonComment", "[S]\n;k=v\n", "S", ";k", std::nullopt},
        LookupCase{"HashComment", "[S]\n#k=v\n", "S", "#k", std::nullopt},
        LookupCase{"KeyBeforeAnySection", "k=v\n[S]\n", "S", "k", std::nullopt},
        LookupCase{"LineWithoutEquals", "[S]\nnothing here\n", "S", "nothing here", std::nullopt},
        LookupCase{"OtherSection", "[S]\nk=v\n[T]\n", "T", "k", std::nullopt},
        LookupCase{"MissingSection", "[S]\nk=v\n", "X", "k", std::nullopt},
        LookupCase{"Empty", "", "S", "k", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageFileTest, ListsSectionsAndKeysOnceInFileOrder) {
  const LanguageFile file =
      LanguageFile::Parse("[Strings]\nb=1\na=2\nB=3\n[Errors]\nx=1\n[STRINGS]\nc=4\n");
  EXPECT_EQ(file.Sections(), QStringList({u"Strings"_s, u"Errors"_s}));
  EXPECT_EQ(file.Keys(u"strings"_s), QStringList({u"b"_s, u"a"_s, u"c"_s}));
  EXPECT_TRUE(file.Keys(u"Missing"_s).isEmpty());
}

}  // namespace
