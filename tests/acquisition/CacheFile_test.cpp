#include "acquisition/CacheFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "database/SQLFunctions_Unit.h"
#include "database/StoreTestSupport.h"
#include "platform/ErrorFile.h"
#include "platform/MessageService.h"

using namespace Qt::Literals::StringLiterals;
using store_test::FixedClock;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteRaw(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

// Three records with traffic tables in a fresh database.
class CacheFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      auto nic = std::make_unique<TNic>(db.conn, interval, guard, suffix);
      nic->SetIndex(QString::asprintf("%8.8x", i + 1));
      nic->SetIfIndex(static_cast<std::uint32_t>(i + 1));
      ASSERT_TRUE(CreateTrafficTable(db.conn, nic->GetIndex()));
      nic->SetClock(&clock);
      v.push_back(std::move(nic));
    }
  }
  void SetTotals(std::initializer_list<std::pair<int, int>> totals) {
    std::size_t k = 0;
    for (const auto& [sent, received] : totals) {
      v[k]->SetTotal_Sent(sent);
      v[k]->SetTotal_Received(received);
      ++k;
    }
  }
  QString Path() const { return db.dir.filePath(u"traffic.cache"_s); }
  QStringList Rows(int k) {
    return store_test::RawRows(db.conn, u"SELECT * FROM "_s + v[k]->GetIndex());
  }

  store_test::TempDatabase db;
  FixedClock clock{store_test::At(2008, 11, 28)};  // day 39780
  int interval = 1000;
  bool guard = true;
  QString suffix = u"_prefs"_s;
  NicVector v;
};

TEST_F(CacheFileTest, WritesTenLinesForThreeRecords) {
  SetTotals({{100, 200}, {0, 0}, {5, 7}});
  ASSERT_TRUE(WriteCacheToHDD(Path(), v, 39780));
  EXPECT_EQ(ReadAll(Path()), "39780\r\n0\r\n100\r\n200\r\n1\r\n0\r\n0\r\n2\r\n5\r\n7\r\n");
  EXPECT_FALSE(QFile::exists(Path() + u".tmp"_s));
}

TEST_F(CacheFileTest, SameDayRestoresTotalsWithoutTouchingTheDatabase) {
  WriteRaw(Path(), "39780\r\n0\r\n100\r\n200\r\n1\r\n0\r\n0\r\n2\r\n5\r\n7\r\n");
  SetTotals({{9, 9}, {9, 9}, {9, 9}});
  EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39780), kCacheApplied);
  EXPECT_EQ(v[0]->GetTotal_Sent(), 100);
  EXPECT_EQ(v[0]->GetTotal_Received(), 200);
  EXPECT_EQ(v[1]->GetTotal_Sent(), 0);
  EXPECT_EQ(v[2]->GetTotal_Received(), 7);
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(Rows(k).isEmpty());
}

TEST_F(CacheFileTest, EarlierDayGoesIntoThatDaysRow) {
  WriteRaw(Path(), "39780\r\n0\r\n100\r\n200\r\n1\r\n0\r\n0\r\n2\r\n5\r\n7\r\n");
  clock.Set(store_test::At(2008, 11, 29));
  EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39781), kCacheApplied);
  EXPECT_EQ(Rows(0), QStringList{u"2008-11-28|200|100"_s});
  EXPECT_EQ(Rows(2), QStringList{u"2008-11-28|7|5"_s});
  for (const auto& nic : v) {
    EXPECT_EQ(nic->GetTotal_Sent(), 0);
    EXPECT_EQ(nic->GetTotal_Received(), 0);
  }
}

TEST_F(CacheFileTest, MalformedFiles) {
  struct Case {
    const char* name;
    QByteArray content;
    int result;
    std::array<long double, 3> sent;  // totals afterwards (start at 1)
  };
  const Case cases[] = {
      {"seven lines", "39780\r\n0\r\n1\r\n2\r\n1\r\n3\r\n4\r\n", kCacheWrongLength, {1, 1, 1}},
      {"eleven lines apply all three",
       "39780\r\n0\r\n10\r\n0\r\n1\r\n20\r\n0\r\n2\r\n30\r\n0\r\n3\r\n",
       kCacheFailed,
       {10, 20, 30}},
      {"text total",
       "39780\r\n0\r\n10\r\n0\r\n1\r\nabc\r\n0\r\n2\r\n30\r\n0\r\n",
       kCacheFailed,
       {10, 1, 1}},
      {"NaN total",
       "39780\r\n0\r\nNAN\r\n0\r\n1\r\n2\r\n0\r\n2\r\n3\r\n0\r\n",
       kCacheFailed,
       {1, 1, 1}},
      {"infinite total",
       "39780\r\n0\r\n1e999\r\n0\r\n1\r\n2\r\n0\r\n2\r\n3\r\n0\r\n",
       kCacheFailed,
       {1, 1, 1}},
      {"negative total",
       "39780\r\n0\r\n5\r\n0\r\n1\r\n-2\r\n0\r\n2\r\n3\r\n0\r\n",
       kCacheFailed,
       {5, 1, 1}},
      {"day is text",
       "today\r\n0\r\n5\r\n0\r\n1\r\n2\r\n0\r\n2\r\n3\r\n0\r\n",
       kCacheFailed,
       {1, 1, 1}},
      {"CR only line ends", "39780\r0\r5\r6\r1\r7\r8\r2\r9\r10\r", kCacheApplied, {5, 7, 9}},
      {"LF line ends", "39780\n0\n5\n6\n1\n7\n8\n2\n9\n10\n", kCacheApplied, {5, 7, 9}},
      {"empty file", "", kCacheWrongLength, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SetTotals({{1, 1}, {1, 1}, {1, 1}});
    WriteRaw(Path(), c.content);
    EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39780), c.result) << c.name;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(v[k]->GetTotal_Sent(), c.sent[k]) << c.name << " " << k;
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(Rows(k).isEmpty()) << c.name;
  }
}

TEST_F(CacheFileTest, MissingAndHugeFiles) {
  EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39780), kCacheMissing);
  WriteRaw(Path(), QByteArray(20 * 1024 * 1024, '1'));
  EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39780), kCacheWrongLength);
}

// A clock set back makes the snapshot's day lie in the future: it is taken as today.
TEST_F(CacheFileTest, FutureDayCountsAsToday) {
  WriteRaw(Path(), "39790\r\n0\r\n100\r\n200\r\n1\r\n0\r\n0\r\n2\r\n5\r\n7\r\n");
  EXPECT_EQ(ReadCacheFromHDD(Path(), v, 39780), kCacheApplied);
  EXPECT_EQ(v[0]->GetTotal_Received(), 200);
  EXPECT_TRUE(Rows(0).isEmpty());
}

TEST_F(CacheFileTest, UnwritablePlaceFailsAndKeepsOldSnapshot) {
  ASSERT_TRUE(WriteCacheToHDD(Path(), v, 39780));
  const QByteArray before = ReadAll(Path());
  EXPECT_FALSE(WriteCacheToHDD(db.dir.filePath(u"missing/dir/traffic.cache"_s), v, 39780));
  EXPECT_EQ(ReadAll(Path()), before);
}

TEST_F(CacheFileTest, StartupReactionKeepsACopyAndReports) {
  WriteRaw(Path(), "39780\r\n0\r\n1\r\n2\r\n1\r\n3\r\n4\r\n");
  RecordingMessageService messages;
  ErrorFile errors(db.dir.path(), u"error.txt"_s, clock);
  errors.SetVersion({u"2.37.0.0"_s, u"2.37.0.0"_s, QString(), QString()});
  CacheStartupContext context{
      db.dir.path(),
      u"traffic.cache"_s,
      &clock,
      &errors,
      &messages,
      [](const QString& section, const QString& key) -> QString { return section + u'/' + key; }};
  ReactToCacheResult(kCacheWrongLength, context);
  const QStringList copies =
      QDir(db.dir.path()).entryList({u"backup_*_traffic.cache"_s}, QDir::Files);
  ASSERT_EQ(copies.size(), 1);
  EXPECT_EQ(ReadAll(db.dir.filePath(copies[0])), ReadAll(Path()));
  const QString log = QString::fromUtf8(ReadAll(errors.Path()));
  EXPECT_TRUE(
      log.contains(u"Fehlermeldung:Function \"MainUnit->AdditionalFunctions::"
                   u"ReadCacheFromHDD(traffic.cache)\" (281) returned 2. The Cachefile(\""_s +
                   Path() + u"\") was saved to: \""_s + db.dir.filePath(copies[0]) + u"\" \n"_s))
      << log.toStdString();
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, u"Errors/Error37"_s);
  EXPECT_EQ(messages.messages[0].caption, u"Strings/Warning"_s);

  ReactToCacheResult(kCacheFailed, context);
  EXPECT_EQ(messages.messages.back().text, u"Errors/Error36"_s);
  ReactToCacheResult(kCacheApplied, context);
  ReactToCacheResult(kCacheMissing, context);
  EXPECT_EQ(messages.messages.size(), 2u);
}

TEST(CacheBackupName, ReplacesSlashes) {
  const QString name = CacheBackupName(u"a/b.cache"_s, store_test::At(2026, 1, 2, 13));
  EXPECT_TRUE(name.startsWith(u"backup_"_s));
  EXPECT_TRUE(name.endsWith(u"_a-b.cache"_s));
  EXPECT_FALSE(name.contains(u'/'));
}

}  // namespace
