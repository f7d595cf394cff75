#include "acquisition/FatalErrorBlock.h"

#include "platform/FloatFormat.h"

using namespace Qt::Literals::StringLiterals;

QStringList FatalErrorHead(const FatalErrorInfo& info) {
  QStringList lines;
  if (info.version) {
    lines << u"file_version:"_s + info.version->fileVersion
          << u"product_version:"_s + info.version->productVersion
          << u"Mainform->Caption:"_s + info.version->mainformCaption
          << u"file_comment:"_s + info.version->comments << u"db_version:"_s + info.dbVersion;
  } else {
    lines << u"Mainform->VerInfo = NULL"_s;
  }
  if (info.languageVersion) {
    lines << u"Lang->Verinfo->Str_Version:"_s + info.languageVersion->first
          << u"Lang->Verinfo->Str_DownwardVersion:"_s + info.languageVersion->second;
  } else {
    lines << u"Mainform->Lang->Verinfo = NULL"_s;
  }
  lines << u"Fehlermeldung:"_s + info.message << u"E->ClassName():"_s + info.className
        << u"Sender->ClassName():"_s + info.senderClassName << u"E->MethodName(E):"_s;
  return lines;
}

QStringList FatalErrorRecords(const FatalErrorInfo& info, const NicVector& v) {
  QStringList lines;
  if (!info.window) return lines;
  lines << u"Mainform->PageControl->ActivePage->Name:"_s + info.window->activePageName
        << u"Mainform->PageControl->TabIndex:"_s + QString::number(info.window->tabIndex) << u" "_s
        << u"(int)v.size:"_s + QString::number(v.size())
        << u"(int)g.size:"_s + QString::number(info.window->graphWindows) << u" "_s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const TNic& nic = *v[i];
    const QString p = u"v["_s + QString::number(i) + u"]->"_s;
    long double lastSent = 0, lastReceived = 0;
    nic.GetOldValues(lastSent, lastReceived);
    lines << p + u"Name:"_s + nic.GetName() << p + u"Index:"_s + nic.GetIndex()
          << p + u"Mac:"_s + nic.GetMac()
          << p + u"GetOldValues(sent):"_s + FloatToStrShortest(lastSent)
          << p + u"GetOldValues(received):"_s + FloatToStrShortest(lastReceived)
          << p + u"GetTotal_Sent():"_s + FloatToStrShortest(nic.GetTotal_Sent())
          << p + u"GetTotal_Received():"_s + FloatToStrShortest(nic.GetTotal_Received())
          << p + u"GetRate_Send():"_s + FloatToStrShortest(nic.GetRate_Send())
          << p + u"GetRate_Received():"_s + FloatToStrShortest(nic.GetRate_Received()) << u" "_s;
  }
  return lines;
}

QString FatalErrorMessage(const QString& error8Text, const FatalErrorInfo& info) {
  return error8Text + u"\n\n classname: "_s + info.className + u"\n message: "_s + info.message +
         u"\n help-id: 0\n methodname: "_s;
}
