#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// The string list format of the options and variables files: all items in one
// value, separated by the byte 0xFE; an item holding a blank, a control byte,
// 0xFE or 0xFF is enclosed in 0xFF with inner 0xFF doubled. Neither byte occurs
// in UTF-8 text, so the structure stays unambiguous for any item text.

inline constexpr char kListDelimiter = '\xFE';
inline constexpr char kListQuote = '\xFF';

QByteArray ToDelimitedText(const QList<QByteArray>& items);
QList<QByteArray> FromDelimitedText(const QByteArray& text);

// The same for text items, each stored as UTF-8.
QByteArray ToDelimitedText(const QStringList& items);
QStringList StringsFromDelimitedText(const QByteArray& text);
