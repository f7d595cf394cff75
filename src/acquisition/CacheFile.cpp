#include "acquisition/CacheFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "platform/AtomicFile.h"
#include "platform/ErrorFile.h"
#include "platform/FloatFormat.h"
#include "platform/MessageService.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// A snapshot of a few thousand records is a few hundred kilobytes; anything far
// larger cannot fit the records and is not read into memory.
constexpr qint64 kMaxCacheFileSize = 16 * 1024 * 1024;

// A stored total: a finite, non-negative number of at most 2^64 bytes.
bool ParseTotal(const QString& text, long double& out) {
  long double value = 0;
  if (!TryStrToFloat(text, value) || !std::isfinite(value) || value < 0 ||
      value > 18446744073709551615.0L)
    return false;
  out = value;
  return true;
}

}  // namespace

QStringList SplitLines(const QByteArray& content) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = content.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = content.at(i);
    if (c != '\r' && c != '\n') continue;
    lines.append(QString::fromUtf8(content.constData() + start, i - start));
    if (c == '\r' && i + 1 < n && content.at(i + 1) == '\n') ++i;
    start = i + 1;
  }
  if (start < n) lines.append(QString::fromUtf8(content.constData() + start, n - start));
  return lines;
}

bool WriteCacheToHDD(const QString& path, const NicVector& v, TDateTime today) {
  QByteArray data;
  const auto line = [&data](const QString& text) {
    data += text.toUtf8();
    data += "\r\n";
  };
  line(FloatToStrShortest(std::floor(today)));
  for (std::size_t k = 0; k < v.size(); ++k) {
    line(QString::number(k));
    line(FloatToStrShortest(v[k]->GetTotal_Sent()));
    line(FloatToStrShortest(v[k]->GetTotal_Received()));
  }
  return WriteFileAtomically(path, data);
}

int ReadCacheFromHDD(const QString& path, const NicVector& v, TDateTime today) {
  QFile file(path);
  if (!file.exists()) return kCacheMissing;
  if (file.size() > kMaxCacheFileSize) return kCacheWrongLength;
  if (!file.open(QIODevice::ReadOnly)) return kCacheFailed;
  const QStringList lines = SplitLines(file.readAll());
  file.close();

  const qsizetype count = lines.size();
  // Integer division as the format intends: (lines - 1) / 3 triples.
  if ((count - 1) / 3 != static_cast<qsizetype>(v.size())) return kCacheWrongLength;

  long double snapshotDay = 0;
  if (count < 1 || !TryStrToFloat(lines.at(0), snapshotDay) || !std::isfinite(snapshotDay) ||
      snapshotDay < -693593 || snapshotDay > 2958465)  // 1 Jan 0001 .. 31 Dec 9999
    return kCacheFailed;
  const TDateTime day = std::floor(static_cast<double>(snapshotDay));
  const TDateTime todayDay = std::floor(today);
  const bool earlierDay = day < todayDay;

  for (std::size_t k = 0; 1 + 3 * static_cast<qsizetype>(k) < count; ++k) {
    const qsizetype sentLine = 2 + 3 * static_cast<qsizetype>(k);
    long double sent = 0, received = 0;
    // A triple beyond the records, or one cut short, ends the read.
    if (k >= v.size() || sentLine + 1 >= count || !ParseTotal(lines.at(sentLine), sent) ||
        !ParseTotal(lines.at(sentLine + 1), received))
      return kCacheFailed;
    TNic& nic = *v[k];
    nic.SetTotal_Sent(sent);
    nic.SetTotal_Received(received);
    if (earlierDay) {
      // The snapshot belongs to a day that has ended: store it under that day.
      // A failed save is in the error file already; the counts then stay as
      // unsaved totals instead of being dropped.
      nic.SaveToDbAndClear(day);
    }
  }
  return kCacheApplied;
}

QString CacheBackupName(const QString& cacheFileName, const QDateTime& now) {
  QString time = QLocale().toString(now.time(), QLocale::ShortFormat);
  for (QChar& c : time) {
    if (c == u'/' || c == QChar(0)) c = u'-';
  }
  QString name = cacheFileName;
  name.replace(u'/', u'-');
  return u"backup_"_s + time + u'_' + name;
}

void ReactToCacheResult(int result, const CacheStartupContext& context) {
  if (result != kCacheWrongLength && result != kCacheFailed) return;
  const QDir dir(context.programDir);
  const QString cachePath = dir.filePath(context.cacheFileName);
  const QDateTime now =
      context.clock != nullptr ? context.clock->Now() : QDateTime::currentDateTime();
  // Keep the unusable file: it is overwritten by the next snapshot.
  const QString copyPath = dir.filePath(CacheBackupName(context.cacheFileName, now));
  if (!QFileInfo::exists(copyPath)) QFile::copy(cachePath, copyPath);

  const auto text = [&context](const QString& key) -> QString {
    return context.language ? context.language(u"Errors"_s, key) : key;
  };
  const QString warningTitle =
      context.language ? context.language(u"Strings"_s, u"Warning"_s) : u"Warning"_s;

  if (result == kCacheWrongLength) {
    if (context.errorFile != nullptr) {
      context.errorFile->WriteExceptionToErrorFile(
          u"Function \"MainUnit->AdditionalFunctions::ReadCacheFromHDD("_s + context.cacheFileName +
              u")\" (281) returned 2. The Cachefile(\""_s + cachePath + u"\") was saved to: \""_s +
              copyPath + u"\" "_s,
          u"Exception"_s);
    }
    if (context.messages != nullptr)
      context.messages->Show(text(u"Error37"_s), warningTitle, MessageIcon::Warning);
  } else if (context.messages != nullptr) {
    context.messages->Show(text(u"Error36"_s), warningTitle, MessageIcon::Warning);
  }
}
