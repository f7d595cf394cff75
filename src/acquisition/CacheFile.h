#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "acquisition/Nic.h"
#include "platform/DateTime.h"

class ErrorFile;
class MessageService;

using NicVector = std::vector<std::unique_ptr<TNic>>;

// The cache file keeps a snapshot of the unsaved day totals so that a crash loses
// at most one snapshot interval. Text, one value per line, CR LF line ends:
// the snapshot's day number, then per record its position, sent total and
// received total, all numbers in shortest form.

// Writes the snapshot of `today` atomically (a crash while writing keeps the old
// snapshot). False when the file cannot be written.
bool WriteCacheToHDD(const QString& path, const NicVector& v, TDateTime today);

// Result of ReadCacheFromHDD.
enum CacheReadResult {
  kCacheApplied = 0,      // read and applied
  kCacheMissing = 1,      // no such file; nothing changed
  kCacheWrongLength = 2,  // the line count does not fit the records; nothing changed
  kCacheFailed = -1,      // reading or parsing failed part-way; earlier triples applied
};

// Applies a snapshot: the totals replace the records' totals; when the snapshot
// is of an earlier day, each record's totals are added to that day's row and
// cleared. A snapshot day after today (the clock was set back) is taken as today.
// Numbers that are not finite, negative or beyond 2^64 count as parse failures.
int ReadCacheFromHDD(const QString& path, const NicVector& v, TDateTime today);

// Splits file content into lines at CR LF, LF or CR; a final line break adds no line.
QStringList SplitLines(const QByteArray& content);

// Name of the copy of an unusable cache file: "backup_" + time of day in the
// user's time format + "_" + cache file name, with characters a file name
// cannot hold replaced by "-".
QString CacheBackupName(const QString& cacheFileName, const QDateTime& now);

// What start-up does with the result of reading the cache file: a copy of an
// unusable file (wrong length or unreadable), the entry in the error file, and
// the warning. `language` gives texts by section and key.
struct CacheStartupContext {
  QString programDir;
  QString cacheFileName;
  const Clock* clock = nullptr;
  ErrorFile* errorFile = nullptr;
  MessageService* messages = nullptr;
  std::function<QString(const QString&, const QString&)> language;
};
void ReactToCacheResult(int result, const CacheStartupContext& context);
