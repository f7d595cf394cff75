#include "TOptions/IniFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "OptionsTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

class IniFileTest : public testing::Test {
 protected:
  QString Path(const QString& name = QStringLiteral("test.ini")) const {
    return dir_.filePath(name);
  }
  QTemporaryDir dir_;
};

// Comments, stray lines, duplicate sections and keys, odd spacing and case.
const QByteArray kCrafted =
    "key=before any section\n"
    "; a comment\n"
    "[Main]\n"
    "  Name  =  first value  \n"
    "a line without equals sign\n"
    "# another comment\n"
    "name=second value\n"
    "Count=12\n"
    "[Other]\n"
    "Name=other\n"
    "[MAIN]\n"
    "Extra=from the second occurrence\n"
    "Count=99\n";

TEST_F(IniFileTest, ReadsCraftedFile) {
  WriteBytes(Path(), kCrafted);
  const QString f = Path();
  EXPECT_EQ(IniReadString(u"main"_s, u"NAME"_s, u"-"_s, f), u"first value"_s);
  EXPECT_EQ(IniReadString(u"Main"_s, u"Extra"_s, u"-"_s, f), u"from the second occurrence"_s);
  EXPECT_EQ(IniReadInteger(u"Main"_s, u"Count"_s, 0, f), 12);
  EXPECT_EQ(IniReadString(u"Other"_s, u"name"_s, u"-"_s, f), u"other"_s);
  EXPECT_EQ(IniReadString(u"Main"_s, u"a line without equals sign"_s, u"-"_s, f), u"-"_s);
  EXPECT_EQ(IniReadString(u"Main"_s, u"; a comment"_s, u"-"_s, f), u"-"_s);
  EXPECT_EQ(IniReadString(QString(), u"key"_s, u"-"_s, f), u"-"_s);
  EXPECT_TRUE(IniSectionExists(u"main"_s, f));
  EXPECT_FALSE(IniSectionExists(u"Missing"_s, f));
  EXPECT_TRUE(IniValueExists(u"MAIN"_s, u"extra"_s, f));
  EXPECT_FALSE(IniValueExists(u"Other"_s, u"Extra"_s, f));
  EXPECT_EQ(IniReadSection(u"main"_s, f), (QStringList{u"Name"_s, u"Count"_s, u"Extra"_s}));
}

TEST_F(IniFileTest, RewriteKeepsUnrelatedLinesAndUpdatesFirstOccurrence) {
  WriteBytes(Path(), kCrafted);
  IniWriteString(u"main"_s, u"count"_s, u"13"_s, Path());
  IniWriteString(u"Main"_s, u"New"_s, u"added"_s, Path());
  EXPECT_EQ(ReadBytes(Path()), QByteArray("key=before any section\n"
                                          "; a comment\n"
                                          "[Main]\n"
                                          "  Name  =  first value  \n"
                                          "a line without equals sign\n"
                                          "# another comment\n"
                                          "name=second value\n"
                                          "Count=13\n"
                                          "New=added\n"
                                          "[Other]\n"
                                          "Name=other\n"
                                          "[MAIN]\n"
                                          "Extra=from the second occurrence\n"
                                          "Count=99\n"));
}

TEST_F(IniFileTest, EraseAndDeleteActOnEveryOccurrence) {
  WriteBytes(Path(), kCrafted);
  EXPECT_TRUE(IniDeleteKey(u"main"_s, u"count"_s, Path()));
  EXPECT_FALSE(IniValueExists(u"Main"_s, u"Count"_s, Path()));
  EXPECT_EQ(IniReadString(u"Main"_s, u"Name"_s, QString(), Path()), u"first value"_s);

  EXPECT_TRUE(IniEraseSection(u"MAIN"_s, Path()));
  EXPECT_EQ(ReadBytes(Path()), QByteArray("key=before any section\n"
                                          "; a comment\n"
                                          "[Other]\n"
                                          "Name=other\n"));
}

TEST_F(IniFileTest, CreatesFileAndSectionsOnWrite) {
  IniWriteString(u"A"_s, u"x"_s, u"1"_s, Path());
  IniWriteString(u"B"_s, u"y"_s, u"two words"_s, Path());
  IniWriteString(u"A"_s, u"z"_s, u"3"_s, Path());
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=two words\n"));
}

TEST_F(IniFileTest, KeepsWindowsLineEndingsAndFinishesLastLine) {
  WriteBytes(Path(), "[A]\r\nx=1");
  IniWriteString(u"A"_s, u"y"_s, u"2"_s, Path());
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
}

TEST_F(IniFileTest, ByteOrderMarkDoesNotHideFirstSection) {
  WriteBytes(Path(), "\xEF\xBB\xBF[A]\nx=1\n");
  EXPECT_EQ(IniReadInteger(u"A"_s, u"x"_s, 0, Path()), 1);
  IniWriteString(u"A"_s, u"x"_s, u"2"_s, Path());
  EXPECT_EQ(ReadBytes(Path()), QByteArray("\xEF\xBB\xBF[A]\nx=2\n"));
}

struct IntegerCase {
  const char* text;
  int expected;  // with default -1
};

class IniIntegerRead : public IniFileTest, public testing::WithParamInterface<IntegerCase> {};

TEST_P(IniIntegerRead, AcceptsOnlyWholeDecimalNumbers) {
  WriteBytes(Path(), QByteArray("[S]\nk=") + GetParam().text + "\n");
  EXPECT_EQ(IniReadInteger(u"S"_s, u"k"_s, -1, Path()), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntegerRead,
                         testing::Values(IntegerCase{"12", 12}, IntegerCase{"  -7  ", -7},
                                         IntegerCase{"+3", 3}, IntegerCase{"0", 0},
                                         IntegerCase{"12abc", -1}, IntegerCase{"", -1},
                                         IntegerCase{"abc", -1}, IntegerCase{"1.5", -1},
                                         IntegerCase{"0x10", -1}, IntegerCase{"99999999999", -1}));

TEST_F(IniFileTest, BoolsAreIntegersAndNonZeroIsTrue) {
  WriteBytes(Path(), "[S]\none=1\nzero=0\ntwo=2\nminus=-1\nword=yes\n");
  const QString f = Path();
  EXPECT_TRUE(IniReadBool(u"S"_s, u"one"_s, false, f));
  EXPECT_FALSE(IniReadBool(u"S"_s, u"zero"_s, true, f));
  EXPECT_TRUE(IniReadBool(u"S"_s, u"two"_s, false, f));
  EXPECT_TRUE(IniReadBool(u"S"_s, u"minus"_s, false, f));
  EXPECT_TRUE(IniReadBool(u"S"_s, u"word"_s, true, f));
  EXPECT_FALSE(IniReadBool(u"S"_s, u"word"_s, false, f));
  EXPECT_TRUE(IniReadBool(u"S"_s, u"missing"_s, true, f));
  IniWriteBool(u"S"_s, u"two"_s, false, f);
  EXPECT_EQ(IniReadString(u"S"_s, u"two"_s, QString(), f), u"0"_s);
}

TEST_F(IniFileTest, FloatsUseTheLocaleDecimalSeparator) {
  const QLocale german(QLocale::German, QLocale::Germany);
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  WriteBytes(Path(), "[S]\ncomma=45000,25\npoint=45000.25\nbad=x1\n");
  const QString f = Path();
  EXPECT_DOUBLE_EQ(IniReadFloat(u"S"_s, u"comma"_s, -1, f, german), 45000.25);
  EXPECT_DOUBLE_EQ(IniReadFloat(u"S"_s, u"point"_s, -1, f, us), 45000.25);
  EXPECT_DOUBLE_EQ(IniReadFloat(u"S"_s, u"comma"_s, -1, f, us), -1);
  EXPECT_DOUBLE_EQ(IniReadFloat(u"S"_s, u"bad"_s, -1, f, german), -1);
  EXPECT_DOUBLE_EQ(IniReadFloat(u"S"_s, u"missing"_s, 7.5, f, german), 7.5);

  IniWriteFloat(u"S"_s, u"w"_s, 1.5, f, german);
  EXPECT_EQ(IniReadString(u"S"_s, u"w"_s, QString(), f), u"1,5"_s);
  IniWriteFloat(u"S"_s, u"w"_s, 1.5, f, us);
  EXPECT_EQ(IniReadString(u"S"_s, u"w"_s, QString(), f), u"1.5"_s);
}

TEST_F(IniFileTest, StringListsRoundTripThroughTheFile) {
  const QStringList items{u"DSL 16000"_s, QString(), u"\u00fcber"_s, u"a\u00a0b"_s};
  IniWriteStrings(u"S"_s, u"list"_s, items, Path());
  QStringList read;
  EXPECT_TRUE(IniReadStrings(u"s"_s, u"LIST"_s, read, Path()));
  EXPECT_EQ(read, items);

  QList<QByteArray> bytes{QByteArray("x\xFEy"), QByteArray("q\xFF")};
  IniWriteStrings(u"S"_s, u"raw"_s, bytes, Path());
  QList<QByteArray> readBytes;
  EXPECT_TRUE(IniReadStrings(u"S"_s, u"raw"_s, readBytes, Path()));
  EXPECT_EQ(readBytes, bytes);
}

TEST_F(IniFileTest, MissingListIsErrorAndEmptyListIsEmpty) {
  WriteBytes(Path(), "[S]\nempty=\n");
  QStringList list{u"old"_s};
  EXPECT_FALSE(IniReadStrings(u"S"_s, u"missing"_s, list, Path()));
  EXPECT_EQ(list, QStringList{u"Error!"_s});
  EXPECT_TRUE(IniReadStrings(u"S"_s, u"empty"_s, list, Path()));
  EXPECT_TRUE(list.isEmpty());
}

TEST_F(IniFileTest, StructureBreakingInputIsRefusedAndFileKept) {
  const QByteArray original = "[S]\nk=v\n";
  WriteBytes(Path(), original);
  const QString f = Path();
  EXPECT_THROW(IniWriteString(u"S"_s, u"k"_s, u"two\nlines"_s, f), IniError);
  EXPECT_THROW(IniWriteString(u"S"_s, u"a=b"_s, u"v"_s, f), IniError);
  EXPECT_THROW(IniWriteString(u"S"_s, u";k"_s, u"v"_s, f), IniError);
  EXPECT_THROW(IniWriteString(u"S]x"_s, u"k"_s, u"v"_s, f), IniError);
  EXPECT_THROW(IniWriteStrings(u"S"_s, u"k"_s, QStringList{u"a\r\nb"_s}, f), IniError);
  EXPECT_EQ(ReadBytes(f), original);
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreatedByNoOps) {
  const QString f = Path(u"missing.ini"_s);
  EXPECT_EQ(IniReadString(u"S"_s, u"k"_s, u"def"_s, f), u"def"_s);
  EXPECT_EQ(IniReadInteger(u"S"_s, u"k"_s, 4, f), 4);
  EXPECT_FALSE(IniSectionExists(u"S"_s, f));
  EXPECT_TRUE(IniReadSection(u"S"_s, f).isEmpty());
  EXPECT_TRUE(IniEraseSection(u"S"_s, f));
  EXPECT_TRUE(IniDeleteKey(u"S"_s, u"k"_s, f));
  EXPECT_FALSE(IniRenameKey(u"S"_s, u"T"_s, u"k"_s, u"k"_s, f));
  EXPECT_FALSE(IniRenameSection(u"S"_s, u"T"_s, f));
  EXPECT_FALSE(QFile::exists(f));
}

TEST_F(IniFileTest, DirectoryInPlaceOfFileReadsDefaultsAndRefusesWrites) {
  const QString f = Path(u"adir.ini"_s);
  ASSERT_TRUE(QDir().mkpath(f));
  EXPECT_EQ(IniReadString(u"S"_s, u"k"_s, u"def"_s, f), u"def"_s);
  EXPECT_THROW(IniWriteString(u"S"_s, u"k"_s, u"v"_s, f), IniError);
  EXPECT_FALSE(IniEraseSection(u"S"_s, f));
  EXPECT_FALSE(IniDeleteKey(u"S"_s, u"k"_s, f));
  EXPECT_TRUE(QFileInfo(f).isDir());
}

TEST_F(IniFileTest, MissingDirectoryMakesWriteFail) {
  EXPECT_THROW(IniWriteString(u"S"_s, u"k"_s, u"v"_s, Path(u"no/such/dir.ini"_s)), IniError);
}

TEST_F(IniFileTest, UnreadableFileIsNotOverwritten) {
  if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not restrict root";
  const QByteArray original = "[S]\nk=v\nother=keep\n";
  WriteBytes(Path(), original);
  QFile::setPermissions(Path(), QFile::WriteOwner);
  EXPECT_EQ(IniReadString(u"S"_s, u"k"_s, u"def"_s, Path()), u"def"_s);
  EXPECT_THROW(IniWriteString(u"S"_s, u"k"_s, u"new"_s, Path()), IniError);
  QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner);
  EXPECT_EQ(ReadBytes(Path()), original);
}

TEST_F(IniFileTest, UnwritableDirectoryLeavesFileUnchanged) {
  if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not restrict root";
  const QByteArray original = "[S]\nk=v\n";
  WriteBytes(Path(), original);
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner);
  bool threw = false;
  try {
    IniWriteString(u"S"_s, u"k"_s, u"new"_s, Path());
  } catch (const IniError&) {
    threw = true;
  }
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadBytes(Path()), original);
}

TEST_F(IniFileTest, FullDiskLeavesFileUnchanged) {
  const QByteArray original = "[S]\nk=" + QByteArray(200, 'v') + "\n";
  WriteBytes(Path(), original);
  bool threw = false;
  {
    FileSizeLimit limit(64);
    try {
      IniWriteString(u"S"_s, u"k2"_s, u"more"_s, Path());
    } catch (const IniError&) {
      threw = true;
    }
  }
  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadBytes(Path()), original);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{u"test.ini"_s});
}

TEST_F(IniFileTest, RenameKeyMovesTheStoredBytes) {
  WriteBytes(Path(),
             "[Old]\nlist=a\xFE"
             "b c\nkeep=1\n");
  const QString f = Path();
  EXPECT_TRUE(IniRenameKey(u"old"_s, u"New"_s, u"LIST"_s, u"items"_s, f));
  EXPECT_FALSE(IniValueExists(u"Old"_s, u"list"_s, f));
  QList<QByteArray> items;
  EXPECT_TRUE(IniReadStrings(u"New"_s, u"items"_s, items, f));
  EXPECT_EQ(items, (QList<QByteArray>{"a", "b", "c"}));

  EXPECT_TRUE(IniRenameKey(u"Old"_s, QString(), u"keep"_s, u"kept"_s, f));
  EXPECT_EQ(IniReadInteger(u"Old"_s, u"kept"_s, 0, f), 1);
  EXPECT_FALSE(IniRenameKey(u"Old"_s, QString(), u"keep"_s, u"again"_s, f));
}

TEST_F(IniFileTest, RenameOntoItselfKeepsTheValue) {
  WriteBytes(Path(), "[A]\nk=v\n");
  EXPECT_TRUE(IniRenameKey(u"A"_s, QString(), u"k"_s, QString(), Path()));
  EXPECT_TRUE(IniRenameKey(u"A"_s, u"a"_s, u"k"_s, u"K"_s, Path()));
  EXPECT_TRUE(IniRenameSection(u"A"_s, u"a"_s, Path()));
  EXPECT_TRUE(IniRenameSection(u"A"_s, QString(), Path()));
  EXPECT_EQ(IniReadString(u"A"_s, u"k"_s, QString(), Path()), u"v"_s);
}

TEST_F(IniFileTest, RenameSectionMergesIntoTarget) {
  WriteBytes(Path(), "[Old]\nx=1\ny=2\n[New]\ny=old target\nz=3\n[old]\nw=4\n");
  const QString f = Path();
  EXPECT_TRUE(IniRenameSection(u"OLD"_s, u"New"_s, f));
  EXPECT_FALSE(IniSectionExists(u"Old"_s, f));
  EXPECT_EQ(IniReadSection(u"New"_s, f), (QStringList{u"y"_s, u"z"_s, u"x"_s, u"w"_s}));
  EXPECT_EQ(IniReadString(u"New"_s, u"y"_s, QString(), f), u"2"_s);
  EXPECT_EQ(IniReadInteger(u"New"_s, u"w"_s, 0, f), 4);
  EXPECT_FALSE(IniRenameSection(u"Old"_s, u"New"_s, f));
}

}  // namespace
