#include "VerInfo/Verinfo.h"

#include <gtest/gtest.h>

#include "VerInfo/VersionData.h"

using namespace Qt::StringLiterals;

namespace {

struct ParseCase {
  const char* name;
  const char* text;
  std::optional<VersionNumbers> expected;
};

class ParseVersionTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseVersionTest, SplitsIntoFourNumbers) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(ParseVersion(QString::fromUtf8(c.text)), c.expected) << c.text;
}

constexpr quint32 kMax = 4294967295u;

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseVersionTest,
    ::testing::Values(ParseCase{"Plain", "3.0.1.608", VersionNumbers{3, 0, 1, 608}},
                      ParseCase{"TrailingLineBreak", "3.0.1.608\n", VersionNumbers{3, 0, 1, 608}},
                      ParseCase{"TrailingCrLf", "3.0.1.608\r\n", VersionNumbers{3, 0, 1, 608}},
                      ParseCase{"LineBreakInside", "3.0\n1.608", VersionNumbers{3, 0, 1, 608}},
                      ParseCase{"LeadingBlanks", "  2.37.0.0", VersionNumbers{2, 37, 0, 0}},
                      ParseCase{"BlanksAsSeparators", "3 0 1 608", VersionNumbers{3, 0, 1, 608}},
                      ParseCase{"NonNumberItemIsZero", "3.0.x.5", VersionNumbers{3, 0, 0, 5}},
                      ParseCase{"SignIsNotANumber", "-1.+2.3.4", VersionNumbers{0, 0, 3, 4}},
                      ParseCase{"EmptyItemBetweenDots", "3..1.2", VersionNumbers{3, 0, 1, 2}},
                      ParseCase{"TrailingDotMakesFourthItem", "3.0.1.", VersionNumbers{3, 0, 1, 0}},
                      ParseCase{"ExtraItemsIgnored", "1.2.3.4.5", VersionNumbers{1, 2, 3, 4}},
                      ParseCase{"TextAfterVersion", "1.2.3.4 beta", VersionNumbers{1, 2, 3, 4}},
                      ParseCase{"LargestNumber", "4294967295.0.0.1", VersionNumbers{kMax, 0, 0, 1}},
                      ParseCase{"OutOfRangeIsZero", "4294967296.1.99999999999999999999.2",
                                VersionNumbers{0, 1, 0, 2}},
                      ParseCase{"TwoItems", "3.1", std::nullopt},
                      ParseCase{"ThreeItems", "3.0.1", std::nullopt},
                      ParseCase{"ThreeItemsAndLineBreak", "3.0.1\n", std::nullopt},
                      ParseCase{"Empty", "", std::nullopt},
                      ParseCase{"OnlyBlanks", " \r\n ", std::nullopt},
                      ParseCase{"HtmlErrorPage", "<html>Not found</html>", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
  VersionNumbers a;
  VersionNumbers b;
  int expected;
};

TEST(CompareVersionsTest, FirstDifferenceDecides) {
  const CompareCase cases[] = {
      {{3, 0, 1, 608}, {3, 0, 1, 608}, 0},
      {{3, 0, 2, 100}, {3, 0, 1, 608}, 1},
      {{3, 0, 1, 608}, {3, 0, 2, 100}, 2},
      {{4, 0, 0, 0}, {3, 9, 9, 9}, 1},
      {{2, 37, 0, 0}, {3, 0, 0, 0}, 2},
      {{2, 38, 0, 0}, {2, 37, 99, 99}, 1},
      {{2, 37, 0, 1}, {2, 37, 0, 0}, 1},
      {{2, 37, 0, 0}, {2, 37, 0, 1}, 2},
      // Components are unsigned: the largest value is newer than anything below it.
      {{kMax, 0, 0, 0}, {1, 0, 0, 0}, 1},
      {{0, 0, 0, 0}, {0, 0, 0, kMax}, 2},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(CompareVersions(c.a, c.b), c.expected)
        << c.a[0] << '.' << c.a[1] << '.' << c.a[2] << '.' << c.a[3] << " vs " << c.b[0] << '.'
        << c.b[1] << '.' << c.b[2] << '.' << c.b[3];
  }
}

TEST(CompareVersionsTest, ServerTextsAgainstOwnVersion) {
  // How a check decides with what a server sends back.
  const VersionNumbers own{3, 0, 1, 608};
  EXPECT_EQ(CompareVersions(VersionNumbers{3, 0, 2, 100}, *ParseVersion(u"3.0.1.608"_s)), 1);
  EXPECT_EQ(CompareVersions(own, *ParseVersion(u"3.0.1.608\n"_s)), 0);
  EXPECT_EQ(CompareVersions(own, *ParseVersion(u"3.0.x.5"_s)), 1);
  EXPECT_EQ(CompareVersions(own, *ParseVersion(u"3.1.0.0"_s)), 2);
}

TEST(TVerInfoTest, StartsEmpty) {
  const TVerInfo info;
  EXPECT_TRUE(info.FileVersion.isEmpty());
  EXPECT_EQ(info.Version, (VersionNumbers{0, 0, 0, 0}));
  EXPECT_EQ(info.UpdateList, QStringList({QString(), QString(), QString()}));
}

TEST(TVerInfoTest, ReadsTheBuildTimeFields) {
  TVerInfo info;
  ASSERT_TRUE(info.ReadVersionInfo());
  EXPECT_EQ(info.CompanyName, QString::fromUtf8(QUORVEL_COMPANY_NAME));
  EXPECT_EQ(info.FileDescription, QString::fromUtf8(QUORVEL_FILE_DESCRIPTION));
  EXPECT_EQ(info.FileVersion, QString::fromUtf8(QUORVEL_FILE_VERSION));
  EXPECT_EQ(info.InternalName, QString::fromUtf8(QUORVEL_INTERNAL_NAME));
  EXPECT_EQ(info.LegalCopyright, QString::fromUtf8(QUORVEL_LEGAL_COPYRIGHT));
  EXPECT_EQ(info.LegalTrademarks, QString::fromUtf8(QUORVEL_LEGAL_TRADEMARKS));
  EXPECT_EQ(info.OriginalFilename, QString::fromUtf8(QUORVEL_ORIGINAL_FILENAME));
  EXPECT_EQ(info.ProductName, QString::fromUtf8(QUORVEL_PRODUCT_NAME));
  EXPECT_EQ(info.ProductVersion, QString::fromUtf8(QUORVEL_PRODUCT_VERSION));
  EXPECT_EQ(info.Comments, QString::fromUtf8(QUORVEL_COMMENTS));
  EXPECT_EQ(info.SpecialBuild, QString::fromUtf8(QUORVEL_SPECIAL_BUILD));
  // The build's file version must be a complete version, or every comparison
  // (updates, language files) would work with zeros.
  const auto parsed = ParseVersion(info.FileVersion);
  ASSERT_TRUE(parsed.has_value()) << info.FileVersion.toStdString();
  EXPECT_EQ(info.Version, *parsed);
  EXPECT_NE(info.Version, (VersionNumbers{0, 0, 0, 0}));
}

TEST(TVerInfoTest, TitleAndHint) {
  struct Case {
    const char* comments;
    const char* specialBuild;
    const char* title;
  };
  const Case cases[] = {
      {"", "", "Quorvel (2.37.0.0)"},
      {"beta", "", "Quorvel (2.37.0.0) beta"},
      {"", "nightly", "Quorvel (2.37.0.0) nightly"},
      {"beta", "nightly", "Quorvel (2.37.0.0) beta nightly"},
  };
  for (const Case& c : cases) {
    TVerInfo info;
    info.ProductName = u"Quorvel"_s;
    info.FileVersion = u"2.37.0.0"_s;
    info.Comments = QString::fromUtf8(c.comments);
    info.SpecialBuild = QString::fromUtf8(c.specialBuild);
    EXPECT_EQ(info.MainWindowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(info.TrayHint(), u"Quorvel"_s);
  }
}

}  // namespace
