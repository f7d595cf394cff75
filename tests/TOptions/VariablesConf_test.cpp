// Checks the variables.conf that ships beside the executable.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "OptionsTestSupport.h"
#include "TOptions/IniFile.h"
#include "TOptions/TOptions_Class.h"

using namespace Qt::StringLiterals;

namespace {

class ShippedVariables : public testing::Test {
 protected:
  void SetUp() override {
    // Resolved by text: the test data folder need not exist.
    const QString shipped =
        QDir::cleanPath(QStringLiteral(QUORVEL_TEST_DATA "/../../data/variables.conf"));
    ASSERT_TRUE(QFile::exists(shipped)) << shipped.toStdString();
    WriteBytes(File(), ReadBytes(shipped));
  }
  QString File() const { return QDir(dir_.path()).filePath(u"variables.conf"_s); }
  ProgramLocation Location() const {
    return {dir_.path(), u"quorvel"_s, [] { return QString(); }};
  }
  QTemporaryDir dir_;
};

TEST_F(ShippedVariables, SectionNamesAreDistinctAndNotTheOldOnes) {
  TOptions options(Location());
  const QStringList names{options.GetGeneralSection(),   options.GetWindowSection(),
                          options.GetReportsSection(),   options.GetTweaksSection(),
                          options.GetTCPServerSection(), options.GetCaseSection()};
  QStringList seen{u"allgemein"_s, u"berichte"_s, u"fenster"_s};
  for (const QString& name : names) {
    EXPECT_FALSE(name.isEmpty());
    EXPECT_FALSE(seen.contains(name.toLower())) << name.toStdString();
    seen.append(name.toLower());
  }
  EXPECT_FALSE(options.GetPreferencesTableName().isEmpty());
}

TEST_F(ShippedVariables, SpeedPresetsHaveTwoWholeByteRatesEach) {
  TOptions options(Location(), true);
  const QStringList& labels = options.Model().general.maxSpeedEntries;
  const QStringList& values = options.GetMaxSpeedValues();
  ASSERT_FALSE(labels.isEmpty());
  EXPECT_NE(labels, QStringList{u"Error!"_s});
  ASSERT_EQ(values.size(), 2 * labels.size());
  for (const QString& v : values) {
    bool ok = false;
    const int rate = v.toInt(&ok);
    EXPECT_TRUE(ok && rate > 0) << v.toStdString();
  }
  EXPECT_TRUE(labels.contains(u"Modem 56k"_s));
  EXPECT_EQ(values.last(), u"1250000000"_s);
}

TEST_F(ShippedVariables, FileNamesAndAddressesAreSet) {
  for (const char16_t* key : {u"Errorfile", u"Database", u"CacheDateiname", u"bugreport", u"URL",
                              u"Update", u"Updater", u"urls"}) {
    EXPECT_FALSE(
        IniReadString(u"Variablen"_s, QString::fromUtf16(key), QString(), File()).isEmpty())
        << QString::fromUtf16(key).toStdString();
  }
}

}  // namespace
