#include "display/TrayInfo.h"

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "VerInfo/Verinfo.h"

using namespace Qt::StringLiterals;
using namespace display_test;

namespace {

QString Line(const TNic& nic, const QString& name) {
  const QuantityUnits units = Units();
  return name + u"\tDL:"_s + FormatQuantity(nic.GetTotal_Received(), 1024, units, true) +
         u"\tUL:"_s + FormatQuantity(nic.GetTotal_Sent(), 1024, units, true) + u'\n';
}

TEST(ShortInfoTextTest, OneShortLinePerChosenRecord) {
  NicVector v;
  v.push_back(MakeRecord(u"Ethernet adapter"_s, u"0002"_s, 5000, 7000));
  v.push_back(MakeRecord(u"Loopback"_s, u"0001"_s, 1, 1));
  v.push_back(MakeRecord(u"Wireless"_s, u"0003"_s, 300, 2000000));
  v[0]->Show_BalloonInfo = true;
  v[0]->shortnamelength = 3;
  v[2]->Show_BalloonInfo = true;
  v[2]->shortnamelength = 50;  // longer than the name: the whole name

  EXPECT_EQ(ShortInfoText(v, 1024, Units()), Line(*v[0], u"Eth"_s) + Line(*v[2], u"Wireless"_s));
}

TEST(ShortInfoTextTest, NameLengthZeroStartsEveryLineWithTheTab) {
  NicVector v;
  for (const QString& name : {u"eth0"_s, u"wlan0"_s}) {
    v.push_back(MakeRecord(name, u"0002"_s, 1, 2));
    v.back()->Show_BalloonInfo = true;
    v.back()->shortnamelength = 0;
  }
  const QStringList lines = ShortInfoText(v, 1024, Units()).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  for (const QString& line : lines) EXPECT_TRUE(line.startsWith(u"\tDL:"_s)) << line.toStdString();
}

TEST(ShortInfoTextTest, StopsBeforeTheLineThatWouldPassTheLimit) {
  NicVector v;
  QString unlimited;
  for (int i = 0; i < 10; ++i) {
    v.push_back(MakeRecord(u"A rather long interface name number "_s + QString::number(i),
                           u"0002"_s, 123456789, 987654321));
    v.back()->Show_BalloonInfo = true;
    v.back()->shortnamelength = 10;
    unlimited += Line(*v.back(), v.back()->GetName().left(10));
  }
  const QString text = ShortInfoText(v, 1024, Units());
  const QString next = Line(*v[0], v[0]->GetName().left(10));  // every line has this length
  ASSERT_LT(text.size(), unlimited.size()) << "the fixture must pass the limit";
  EXPECT_LE(text.size(), kShortInfoMaxLength);
  EXPECT_GT(text.size() + next.size(), kShortInfoMaxLength);
  EXPECT_TRUE(unlimited.startsWith(text));
  EXPECT_TRUE(text.endsWith(u'\n'));
}

TEST(ShortInfoTextTest, NoChosenRecordGivesNoText) {
  NicVector v;
  v.push_back(MakeRecord(u"eth0"_s, u"0002"_s, 1, 2));
  EXPECT_TRUE(ShortInfoText(v, 1024, Units()).isEmpty());
}

TEST(TrayTextsTest, TitleAndToolTip) {
  TVerInfo ver;
  ver.ProductName = u"Quorvel"_s;
  ver.FileVersion = u"3.0.1.608"_s;
  EXPECT_EQ(ShortInfoTitle(u"Traffic today"_s, ver), u"Traffic today (Quorvel 3.0.1.608)"_s);

  EXPECT_EQ(TrayToolTip(u"Quorvel"_s, QString()), u"Quorvel"_s);
  EXPECT_EQ(TrayToolTip(u"Quorvel"_s, u"eth\tDL:1B\tUL:2B\n"_s), u"Quorvel\neth DL:1B UL:2B"_s);
}

TEST(TrayTextsTest, IconHasTraySizes) {
  const QIcon icon = QuorvelIcon();
  EXPECT_FALSE(icon.isNull());
  EXPECT_FALSE(icon.pixmap(22, 22).isNull());
}

}  // namespace
