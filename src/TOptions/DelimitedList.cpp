#include "TOptions/DelimitedList.h"

namespace {

// Blanks and control bytes end an unquoted item; NUL counts as one of them.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

bool NeedsQuotes(const QByteArray& item) {
  for (const char c : item) {
    if (IsBlank(c) || c == kListDelimiter || c == kListQuote) return true;
  }
  return false;
}

QByteArray Quoted(const QByteArray& item) {
  QByteArray out;
  out.reserve(item.size() + 2);
  out.append(kListQuote);
  for (const char c : item) {
    out.append(c);
    if (c == kListQuote) out.append(kListQuote);
  }
  out.append(kListQuote);
  return out;
}

// Reads a quoted item starting at text[pos] (the opening quote) and moves pos
// past the closing quote. Without a closing quote the item is the rest of the
// text, so nothing the user wrote is dropped.
QByteArray ReadQuoted(const QByteArray& text, qsizetype& pos) {
  QByteArray item;
  ++pos;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == kListQuote) {
      if (pos + 1 < text.size() && text[pos + 1] == kListQuote) {
        item.append(kListQuote);
        pos += 2;
        continue;
      }
      ++pos;
      return item;
    }
    item.append(c);
    ++pos;
  }
  return item;
}

void SkipBlanks(const QByteArray& text, qsizetype& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

}  // namespace

QByteArray ToDelimitedText(const QList<QByteArray>& items) {
  // A lone empty item must stay distinguishable from an empty list.
  if (items.size() == 1 && items.front().isEmpty()) return QByteArray(2, kListQuote);
  QByteArray out;
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (i > 0) out.append(kListDelimiter);
    out.append(NeedsQuotes(items[i]) ? Quoted(items[i]) : items[i]);
  }
  return out;
}

QList<QByteArray> FromDelimitedText(const QByteArray& text) {
  QList<QByteArray> items;
  qsizetype pos = 0;
  SkipBlanks(text, pos);
  while (pos < text.size()) {
    if (text[pos] == kListQuote) {
      items.append(ReadQuoted(text, pos));
    } else {
      const qsizetype start = pos;
      while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != kListDelimiter) ++pos;
      items.append(text.mid(start, pos - start));
    }
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == kListDelimiter) {
      // A trailing delimiter stands for a final empty item.
      if (pos + 1 == text.size()) items.append(QByteArray());
      ++pos;
      SkipBlanks(text, pos);
    }
  }
  return items;
}

QByteArray ToDelimitedText(const QStringList& items) {
  QList<QByteArray> bytes;
  bytes.reserve(items.size());
  for (const QString& item : items) bytes.append(item.toUtf8());
  return ToDelimitedText(bytes);
}

QStringList StringsFromDelimitedText(const QByteArray& text) {
  QStringList out;
  for (const QByteArray& item : FromDelimitedText(text)) out.append(QString::fromUtf8(item));
  return out;
}
