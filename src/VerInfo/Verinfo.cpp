#include "VerInfo/Verinfo.h"

#include <limits>

#include "VerInfo/VersionData.h"

namespace {

bool IsSeparator(QChar c) { return c == u'.' || c.isSpace(); }

// Strictly decimal: no sign, no blanks, no hexadecimal; values beyond 32 bits give 0.
quint32 ItemValue(QStringView item) {
  if (item.isEmpty()) return 0;
  quint64 value = 0;
  for (const QChar c : item) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + static_cast<quint64>(c.unicode() - u'0');
    if (value > std::numeric_limits<quint32>::max()) return 0;
  }
  return static_cast<quint32>(value);
}

}  // namespace

std::optional<VersionNumbers> ParseVersion(const QString& text) {
  // Runs of white space count as one separator, so "3.0.1.608\r\n" and
  // "3 0 1 608" have four items; two dots in a row enclose an empty item.
  QList<QStringView> items;
  const QStringView view(text);
  qsizetype pos = 0;
  const auto skipBlanks = [&] {
    while (pos < view.size() && view[pos].isSpace()) ++pos;
  };
  skipBlanks();
  while (pos < view.size() && items.size() < 4) {
    const qsizetype start = pos;
    while (pos < view.size() && !IsSeparator(view[pos])) ++pos;
    items.append(view.mid(start, pos - start));
    skipBlanks();
    if (pos < view.size() && view[pos] == u'.') {
      ++pos;
      // A trailing dot stands for a final empty item.
      if (pos == view.size()) items.append(QStringView());
      skipBlanks();
    }
  }
  if (items.size() < 4) return std::nullopt;
  VersionNumbers numbers{};
  for (int i = 0; i < 4; ++i) numbers[static_cast<std::size_t>(i)] = ItemValue(items[i]);
  return numbers;
}

int CompareVersions(const VersionNumbers& a, const VersionNumbers& b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] < b[i]) return 2;
    if (a[i] > b[i]) return 1;
  }
  return 0;
}

bool TVerInfo::ReadVersionInfo() {
  CompanyName = QString::fromUtf8(QUORVEL_COMPANY_NAME);
  FileDescription = QString::fromUtf8(QUORVEL_FILE_DESCRIPTION);
  FileVersion = QString::fromUtf8(QUORVEL_FILE_VERSION);
  InternalName = QString::fromUtf8(QUORVEL_INTERNAL_NAME);
  LegalCopyright = QString::fromUtf8(QUORVEL_LEGAL_COPYRIGHT);
  LegalTrademarks = QString::fromUtf8(QUORVEL_LEGAL_TRADEMARKS);
  OriginalFilename = QString::fromUtf8(QUORVEL_ORIGINAL_FILENAME);
  ProductName = QString::fromUtf8(QUORVEL_PRODUCT_NAME);
  ProductVersion = QString::fromUtf8(QUORVEL_PRODUCT_VERSION);
  Comments = QString::fromUtf8(QUORVEL_COMMENTS);
  SpecialBuild = QString::fromUtf8(QUORVEL_SPECIAL_BUILD);
  Version = ParseVersion(FileVersion).value_or(VersionNumbers{});
  return true;
}

QString TVerInfo::MainWindowTitle() const {
  QString title = ProductName + u" (" + FileVersion + u')';
  if (!Comments.isEmpty()) title += u' ' + Comments;
  if (!SpecialBuild.isEmpty()) title += u' ' + SpecialBuild;
  return title;
}
