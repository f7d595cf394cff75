#include "acquisition/FatalErrorBlock.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

TEST(FatalErrorBlock, PartsBeforeAndAfterStartup) {
  FatalErrorInfo early;
  early.message = u"boom"_s;
  early.className = u"EngineError"_s;
  early.senderClassName = u"QApplication"_s;
  EXPECT_EQ(FatalErrorHead(early),
            (QStringList{u"Mainform->VerInfo = NULL"_s, u"Mainform->Lang->Verinfo = NULL"_s,
                         u"Fehlermeldung:boom"_s, u"E->ClassName():EngineError"_s,
                         u"Sender->ClassName():QApplication"_s, u"E->MethodName(E):"_s}));
  int interval = 1000;
  bool guard = false;
  QString suffix;
  NicVector v;
  EXPECT_TRUE(FatalErrorRecords(early, v).isEmpty());

  FatalErrorInfo info = early;
  info.version = ErrorFileVersion{u"2.37.0.0"_s, u"2.37"_s, u"beta"_s, u"Quorvel (2.37.0.0)"_s};
  info.dbVersion = u"2.37"_s;
  info.languageVersion = std::make_pair(u"2.37.0.0"_s, u"2.30.0.0"_s);
  info.window = FatalErrorInfo::Window{u"TabSheet1"_s, 0, 0};
  const QStringList head = FatalErrorHead(info);
  EXPECT_EQ(head.mid(0, 7),
            (QStringList{u"file_version:2.37.0.0"_s, u"product_version:2.37"_s,
                         u"Mainform->Caption:Quorvel (2.37.0.0)"_s, u"file_comment:beta"_s,
                         u"db_version:2.37"_s, u"Lang->Verinfo->Str_Version:2.37.0.0"_s,
                         u"Lang->Verinfo->Str_DownwardVersion:2.30.0.0"_s}));

  for (int i = 0; i < 2; ++i) v.push_back(std::make_unique<TNic>(interval, guard, suffix));
  v[1]->SetName(u"eth1"_s);
  v[1]->SetIndex(u"00000002"_s);
  v[1]->SetMac(u"00:11:22:33:44:55"_s);
  v[1]->SetNewValue_Sent(3000000000ULL);
  v[1]->SetNewValue_Received(12);
  const QStringList records = FatalErrorRecords(info, v);
  ASSERT_EQ(records.size(), 6 + 2 * 10);
  EXPECT_EQ(records.mid(0, 6), (QStringList{u"Mainform->PageControl->ActivePage->Name:TabSheet1"_s,
                                            u"Mainform->PageControl->TabIndex:0"_s, u" "_s,
                                            u"(int)v.size:2"_s, u"(int)g.size:0"_s, u" "_s}));
  EXPECT_EQ(records.mid(16, 10),
            (QStringList{
                u"v[1]->Name:eth1"_s, u"v[1]->Index:0002"_s, u"v[1]->Mac:00:11:22:33:44:55"_s,
                u"v[1]->GetOldValues(sent):3000000000"_s, u"v[1]->GetOldValues(received):12"_s,
                u"v[1]->GetTotal_Sent():3000000000"_s, u"v[1]->GetTotal_Received():12"_s,
                u"v[1]->GetRate_Send():3000000000"_s, u"v[1]->GetRate_Received():12"_s, u" "_s}));
  EXPECT_EQ(
      FatalErrorMessage(u"See error.txt"_s, info),
      u"See error.txt\n\n classname: EngineError\n message: boom\n help-id: 0\n methodname: "_s);
}

}  // namespace
