#include "TOptions/DelimitedList.h"

#include <gtest/gtest.h>

#include "OptionsTestSupport.h"

namespace {

using Bytes = QList<QByteArray>;

QByteArray B(const char* s) { return QByteArray(s); }

struct RoundTripCase {
  const char* name;
  Bytes items;
};

class DelimitedRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(DelimitedRoundTrip, ReadsBackWhatWasWritten) {
  const Bytes& items = GetParam().items;
  EXPECT_EQ(FromDelimitedText(ToDelimitedText(items)), items);
}

INSTANTIATE_TEST_SUITE_P(
    Items, DelimitedRoundTrip,
    testing::Values(RoundTripCase{"Empty", {}}, RoundTripCase{"OneEmptyItem", {B("")}},
                    RoundTripCase{"TwoEmptyItems", {B(""), B("")}},
                    RoundTripCase{"EmptyFirst", {B(""), B("a")}},
                    RoundTripCase{"EmptyLast", {B("a"), B("")}},
                    RoundTripCase{"EmptyMiddle", {B("a"), B(""), B("b")}},
                    RoundTripCase{"Plain", {B("0.0.0.0"), B("192.168.1.1")}},
                    RoundTripCase{"Spaces", {B("DSL 16000"), B(" lead"), B("trail ")}},
                    RoundTripCase{"OnlyBlank", {B(" ")}},
                    RoundTripCase{"ControlBytes", {B("tab\there"), B("\x01"), B("a\nb")}},
                    RoundTripCase{"DelimiterInside", {B("x\xFEy"), B("\xFE")}},
                    RoundTripCase{"QuoteInside", {B("x\xFFy"), B("\xFF"), B("\xFF\xFF")}},
                    RoundTripCase{"QuoteAtStart",
                                  {B("\xFF"
                                     "abc")}},
                    RoundTripCase{"Utf8",
                                  {B("Gr\xC3\xBC\xC3\x9F"
                                     "e"),
                                   B("\xE2\x82\xAC 5")}},
                    RoundTripCase{"NulByte", {QByteArray("a\0b", 3)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DelimitedText, WritesTheDocumentedBytes) {
  EXPECT_EQ(ToDelimitedText(Bytes{}), B(""));
  EXPECT_EQ(ToDelimitedText(Bytes{B("")}), B("\xFF\xFF"));
  EXPECT_EQ(ToDelimitedText(Bytes{B("a"), B("b")}), B("a\xFE"
                                                      "b"));
  EXPECT_EQ(ToDelimitedText(Bytes{B("a b")}), B("\xFF"
                                                "a b\xFF"));
  EXPECT_EQ(ToDelimitedText(Bytes{B("x\xFFy")}), B("\xFFx\xFF\xFFy\xFF"));
  EXPECT_EQ(ToDelimitedText(Bytes{B("a"), B("")}), B("a\xFE"));
}

struct ReadCase {
  const char* name;
  QByteArray text;
  Bytes items;
};

class DelimitedRead : public testing::TestWithParam<ReadCase> {};

TEST_P(DelimitedRead, SplitsAsDocumented) {
  EXPECT_EQ(FromDelimitedText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DelimitedRead,
    testing::Values(ReadCase{"Empty", B(""), {}}, ReadCase{"OnlyBlanks", B("  \t "), {}},
                    ReadCase{"SpaceSplitsOutsideQuotes", B("a b"), {B("a"), B("b")}},
                    ReadCase{"BlanksAroundDelimiters", B("  a \xFE  b  "), {B("a"), B("b")}},
                    ReadCase{"TrailingDelimiterAddsEmptyItem", B("a\xFE"), {B("a"), B("")}},
                    ReadCase{"LoneDelimiter", B("\xFE"), {B(""), B("")}},
                    ReadCase{"TwoQuotesAreOneEmptyItem", B("\xFF\xFF"), {B("")}},
                    ReadCase{"UnbalancedQuoteTakesTheRest",
                             B("\xFF"
                               "ab c"),
                             {B("ab c")}},
                    ReadCase{"UnbalancedQuoteKeepsDoubledQuote",
                             B("\xFF"
                               "a\xFF\xFF"
                               "b"),
                             {B("a\xFF"
                                "b")}},
                    ReadCase{"TextAfterClosingQuoteIsNextItem",
                             B("\xFF"
                               "ab\xFF"
                               "cd"),
                             {B("ab"), B("cd")}},
                    ReadCase{"QuoteInsideUnquotedItemIsText",
                             B("a\xFF"
                               "b"),
                             {B("a\xFF"
                                "b")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DelimitedText, StringItemsTravelAsUtf8) {
  const QStringList items{QStringLiteral("Kabel 250"), QStringLiteral("Größe"), QString()};
  const QByteArray text = ToDelimitedText(items);
  EXPECT_EQ(StringsFromDelimitedText(text), items);
  // Structural bytes never occur inside UTF-8 text.
  EXPECT_EQ(text.count('\xFE'), 2);
}

}  // namespace
