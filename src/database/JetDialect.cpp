#include "database/JetDialect.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

#include "platform/FloatFormat.h"

DbError::DbError(const QString& message, int code)
    : std::runtime_error(message.toStdString()), message_(message), code_(code) {}

using namespace Qt::StringLiterals;

namespace jet {

namespace {

constexpr qint64 kMsecsPerDay = 86400000;

enum class Tok { Space, Word, Number, String, Date, QuotedId, Param, Punct };

struct Token {
  Tok type;
  QString text;
  QString out;  // what is printed; starts as `text`
};

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }
bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QList<Token> Tokenize(const QString& sql) {
  QList<Token> tokens;
  const qsizetype n = sql.size();
  auto at = [&](qsizetype i) { return i < n ? sql[i] : QChar(); };
  qsizetype i = 0;
  while (i < n) {
    const qsizetype start = i;
    const QChar c = sql[i];
    Tok type = Tok::Punct;
    if (c.isSpace()) {
      while (i < n && sql[i].isSpace()) ++i;
      type = Tok::Space;
    } else if (c == u'-' && at(i + 1) == u'-') {
      while (i < n && sql[i] != u'\n') ++i;
      type = Tok::Space;
    } else if (c == u'/' && at(i + 1) == u'*') {
      const qsizetype close = sql.indexOf(u"*/", i + 2);
      i = close < 0 ? n : close + 2;
      type = Tok::Space;
    } else if (c == u'\'') {
      ++i;
      for (;;) {
        if (i >= n) throw DbError(QStringLiteral("Unterminated text literal in SQL: %1").arg(sql));
        if (sql[i] == u'\'') {
          if (at(i + 1) == u'\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      type = Tok::String;
    } else if (c == u'#') {
      const qsizetype close = sql.indexOf(u'#', i + 1);
      if (close < 0) throw DbError(QStringLiteral("Unterminated date literal in SQL: %1").arg(sql));
      i = close + 1;
      type = Tok::Date;
    } else if (c == u'"' || c == u'`' || c == u'[') {
      const QChar close = c == u'[' ? QChar(u']') : c;
      ++i;
      for (;;) {
        if (i >= n) throw DbError(QStringLiteral("Unterminated identifier in SQL: %1").arg(sql));
        if (sql[i] == close) {
          if (close != u']' && at(i + 1) == close) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      type = Tok::QuotedId;
    } else if (c == u':' && IsWordChar(at(i + 1))) {
      ++i;
      while (i < n && IsWordChar(sql[i])) ++i;
      type = Tok::Param;
    } else if (IsDigit(c) || (c == u'.' && IsDigit(at(i + 1)))) {
      while (IsDigit(at(i))) ++i;
      if (at(i) == u'.') {
        ++i;
        while (IsDigit(at(i))) ++i;
      }
      if ((at(i) == u'e' || at(i) == u'E') &&
          (IsDigit(at(i + 1)) ||
           ((at(i + 1) == u'+' || at(i + 1) == u'-') && IsDigit(at(i + 2))))) {
        i += 2;
        while (IsDigit(at(i))) ++i;
      }
      type = Tok::Number;
      // Table names such as 0003_prefs or 000a begin like a number.
      if (IsWordChar(at(i)) && !sql.mid(start, i - start).contains(u'.')) {
        while (i < n && IsWordChar(sql[i])) ++i;
        type = Tok::Word;
      }
    } else if (IsWordChar(c)) {
      while (i < n && IsWordChar(sql[i])) ++i;
      type = Tok::Word;
    } else {
      static const QStringList kPairs = {u"<="_s, u">="_s, u"<>"_s, u"!="_s, u"=="_s, u"||"_s};
      i += kPairs.contains(sql.mid(i, 2)) ? 2 : 1;
    }
    const QString text = sql.mid(start, i - start);
    tokens.append(Token{type, text, text});
  }
  return tokens;
}

QString UnquoteName(const Token& t) {
  if (t.type != Tok::QuotedId) return t.text;
  const QString inner = t.text.mid(1, t.text.size() - 2);
  if (t.text.startsWith(u'[')) return inner;
  const QString q = t.text.left(1);
  return QString(inner).replace(q + q, q);
}

bool IsName(const Token& t) {
  return t.type == Tok::Word || t.type == Tok::QuotedId || t.type == Tok::Number;
}

QString DateLiteral(const QString& text) {
  static const QRegularExpression kForm(QStringLiteral(R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})\s*$)"));
  const QString inner = text.mid(1, text.size() - 2);
  const auto m = kForm.match(inner);
  TDateTime value = 0;
  if (!m.hasMatch() ||
      !TryEncodeDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt(), value)) {
    throw DbError(QStringLiteral("Invalid date literal %1 (expected #month/day/year#)").arg(text));
  }
  return SqlLiteral(SqlValue::Text(IsoDateText(value)));
}

QString KindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Date:
      return QStringLiteral("date");
    case ColumnKind::Double:
      return QStringLiteral("number");
    case ColumnKind::Integer:
      return QStringLiteral("whole number");
    case ColumnKind::Text:
      break;
  }
  return QStringLiteral("text");
}

// One statement: its tokens and the positions of those that are not blank.
class Segment {
 public:
  explicit Segment(QList<Token> tokens) : tokens_(std::move(tokens)) {
    for (qsizetype i = 0; i < tokens_.size(); ++i) {
      if (tokens_[i].type != Tok::Space) sig_.append(i);
    }
  }

  bool Empty() const { return sig_.isEmpty(); }
  qsizetype Count() const { return sig_.size(); }
  Token& At(qsizetype k) { return tokens_[sig_[k]]; }
  bool Is(qsizetype k, QStringView word) const {
    return k < sig_.size() && tokens_[sig_[k]].type == Tok::Word &&
           tokens_[sig_[k]].text.compare(word, Qt::CaseInsensitive) == 0;
  }
  bool IsPunct(qsizetype k, QStringView p) const {
    return k < sig_.size() && tokens_[sig_[k]].type == Tok::Punct && tokens_[sig_[k]].text == p;
  }
  bool IsNameAt(qsizetype k) const { return k < sig_.size() && IsName(tokens_[sig_[k]]); }

  // Printed text from significant token k to the end.
  QString TextFrom(qsizetype k) const {
    QString s;
    if (k >= sig_.size()) return s;
    for (qsizetype i = sig_[k]; i < tokens_.size(); ++i) s += tokens_[i].out;
    return s.trimmed();
  }
  QString Text() const { return TextFrom(0); }

  // Date literals and table names that begin with a digit.
  void TranslateLiterals() {
    static const QStringList kTableKeywords = {u"FROM"_s,   u"INTO"_s, u"TABLE"_s,
                                               u"UPDATE"_s, u"JOIN"_s, u"EXISTS"_s};
    for (qsizetype k = 0; k < sig_.size(); ++k) {
      Token& t = tokens_[sig_[k]];
      if (t.type == Tok::Date) {
        t.out = DateLiteral(t.text);
      } else if (t.type == Tok::Word && IsDigit(t.text[0])) {
        t.out = QuoteIdentifier(t.text);
      } else if (t.type == Tok::Number && k > 0 && tokens_[sig_[k - 1]].type == Tok::Word &&
                 kTableKeywords.contains(tokens_[sig_[k - 1]].text.toUpper())) {
        t.out = QuoteIdentifier(t.text);
      }
    }
  }

  // Index of the next significant token at depth 0 that is `,`, `)` or a keyword
  // in `stops`, starting at k.
  qsizetype ValueEnd(qsizetype k, const QStringList& stops = {}) const {
    int depth = 0;
    for (; k < sig_.size(); ++k) {
      const Token& t = tokens_[sig_[k]];
      if (t.type == Tok::Punct && t.text == u"(") {
        ++depth;
      } else if (t.type == Tok::Punct && t.text == u")") {
        if (depth == 0) return k;
        --depth;
      } else if (depth == 0 && t.type == Tok::Punct && t.text == u",") {
        return k;
      } else if (depth == 0 && t.type == Tok::Word && stops.contains(t.text.toUpper())) {
        return k;
      }
    }
    return k;
  }

 private:
  QList<Token> tokens_;
  QList<qsizetype> sig_;
};

class Translator {
 public:
  Translator(const ColumnLookup& columns, const QLocale& locale)
      : columns_(columns), locale_(locale) {}

  Statement Run(Segment& s) {
    s.TranslateLiterals();
    Statement st;
    if (s.Is(0, u"ALTER") && s.Is(1, u"TABLE") && s.IsNameAt(2)) {
      if (s.Is(3, u"ALTER")) return AlterColumn(s);
      if (s.Is(3, u"DROP") && !s.Is(4, u"COLUMN") && !s.Is(4, u"CONSTRAINT")) {
        s.At(3).out = s.At(3).text + QStringLiteral(" COLUMN");
      }
    } else if (s.Is(0, u"SELECT") && s.IsPunct(1, u"*") && s.Is(2, u"INTO") && s.IsNameAt(3) &&
               s.Is(4, u"FROM") && s.IsNameAt(5)) {
      st.kind = Statement::Kind::SelectInto;
      st.target = UnquoteName(s.At(3));
      st.table = UnquoteName(s.At(5));
      st.sql = QStringLiteral("INSERT INTO ") + QuoteIdentifier(st.target) +
               QStringLiteral(" SELECT * FROM ") + s.TextFrom(5);
      return st;
    } else if (s.Is(0, u"INSERT") && s.Is(1, u"INTO") && s.IsNameAt(2)) {
      Insert(s);
    } else if (s.Is(0, u"UPDATE") && s.IsNameAt(1) && s.Is(2, u"SET")) {
      Update(s);
    }
    st.sql = s.Text();
    return st;
  }

 private:
  Statement AlterColumn(Segment& s) {
    qsizetype k = s.Is(4, u"COLUMN") ? 5 : 4;
    if (!s.IsNameAt(k) || k + 1 >= s.Count()) {
      throw DbError(QStringLiteral("ALTER COLUMN needs a column and a type: %1").arg(s.Text()));
    }
    Statement st;
    st.kind = Statement::Kind::AlterColumn;
    st.table = UnquoteName(s.At(2));
    st.column = UnquoteName(s.At(k));
    st.type = s.TextFrom(k + 1);
    return st;
  }

  void Insert(Segment& s) {
    const QList<ColumnDef> table = columns_(UnquoteName(s.At(2)));
    if (table.isEmpty()) return;  // the engine reports the missing table
    QList<ColumnKind> kinds;
    QStringList names;
    qsizetype k = 3;
    if (s.IsPunct(k, u"(")) {
      for (++k; k < s.Count() && !s.IsPunct(k, u")"); ++k) {
        if (s.IsNameAt(k)) {
          const QString name = UnquoteName(s.At(k));
          const ColumnDef* def = Find(table, name);
          kinds.append(def ? KindOfDeclaredType(def->type) : ColumnKind::Text);
          names.append(name);
        }
      }
      ++k;
    } else {
      for (const ColumnDef& def : table) {
        kinds.append(KindOfDeclaredType(def.type));
        names.append(def.name);
      }
    }
    if (!s.Is(k, u"VALUES")) return;
    ++k;
    while (s.IsPunct(k, u"(")) {
      ++k;
      for (qsizetype column = 0; k < s.Count(); ++column) {
        const qsizetype end = s.ValueEnd(k);
        if (end == k + 1 && column < kinds.size()) Convert(s.At(k), kinds[column], names[column]);
        k = end;
        if (!s.IsPunct(k, u",")) break;
        ++k;
      }
      if (!s.IsPunct(k, u")")) return;
      ++k;
      if (!s.IsPunct(k, u",")) return;
      ++k;
    }
  }

  void Update(Segment& s) {
    const QList<ColumnDef> table = columns_(UnquoteName(s.At(1)));
    if (table.isEmpty()) return;
    static const QStringList kStops = {u"WHERE"_s};
    qsizetype k = 3;
    while (k + 2 < s.Count() && s.IsNameAt(k) && s.IsPunct(k + 1, u"=")) {
      const QString name = UnquoteName(s.At(k));
      const qsizetype end = s.ValueEnd(k + 2, kStops);
      if (end == k + 3) {
        if (const ColumnDef* def = Find(table, name)) {
          Convert(s.At(k + 2), KindOfDeclaredType(def->type), def->name);
        }
      }
      k = end;
      if (!s.IsPunct(k, u",")) break;
      ++k;
    }
  }

  static const ColumnDef* Find(const QList<ColumnDef>& table, const QString& name) {
    for (const ColumnDef& def : table) {
      if (def.name.compare(name, Qt::CaseInsensitive) == 0) return &def;
    }
    return nullptr;
  }

  void Convert(Token& t, ColumnKind kind, const QString& column) {
    if (t.type != Tok::String || kind == ColumnKind::Text) return;
    const QString text = t.text.mid(1, t.text.size() - 2).replace(u"''"_s, u"'"_s);
    SqlValue value;
    if (!ConvertText(text, kind, locale_, value)) {
      throw DbError(
          QStringLiteral("'%1' is not a valid %2 for column %3").arg(text, KindName(kind), column));
    }
    t.out = SqlLiteral(value);
  }

  const ColumnLookup& columns_;
  const QLocale& locale_;
};

bool ToInteger(long double v, SqlValue& out) {
  if (!std::isfinite(v) || std::fabs(v) >= 9.2e18L) return false;
  out = SqlValue::Int(std::llround(v));
  return true;
}

}  // namespace

ColumnKind KindOfDeclaredType(const QString& declaredType) {
  const QString t = declaredType.trimmed().toUpper();
  for (const char* text : {"CHAR", "TEXT", "CLOB", "MEMO", "STRING"}) {
    if (t.contains(QLatin1StringView(text))) return ColumnKind::Text;
  }
  if (t.startsWith(u"DATE") || t.startsWith(u"TIME")) return ColumnKind::Date;
  for (const char* text : {"INT", "LONG", "COUNTER", "BYTE", "BIT", "YESNO"}) {
    if (t.contains(QLatin1StringView(text))) return ColumnKind::Integer;
  }
  for (const char* text : {"DOUB", "REAL", "FLOA", "SINGLE", "NUMERIC", "DECIMAL", "CURRENCY"}) {
    if (t.contains(QLatin1StringView(text))) return ColumnKind::Double;
  }
  return ColumnKind::Text;
}

QList<Statement> Translate(const QString& jetSql, const ColumnLookup& columns,
                           const QLocale& locale) {
  const QList<Token> tokens = Tokenize(jetSql);
  QList<Statement> out;
  Translator translator(columns, locale);
  QList<Token> current;
  auto flush = [&] {
    Segment s(std::move(current));
    current = {};
    if (!s.Empty()) out.append(translator.Run(s));
  };
  for (const Token& t : tokens) {
    if (t.type == Tok::Punct && t.text == u";") {
      flush();
    } else {
      current.append(t);
    }
  }
  flush();
  return out;
}

bool ConvertText(const QString& text, ColumnKind kind, const QLocale& locale, SqlValue& out) {
  if (kind == ColumnKind::Text) {
    out = SqlValue::Text(text);
    return true;
  }
  const QString t = text.trimmed();
  if (t.isEmpty()) {
    out = SqlValue::Null();
    return true;
  }
  switch (kind) {
    case ColumnKind::Integer: {
      bool ok = false;
      const qint64 v = t.toLongLong(&ok);
      if (ok) {
        out = SqlValue::Int(v);
        return true;
      }
      long double f = 0;
      return TryStrToFloat(t, f, locale) && ToInteger(f, out);
    }
    case ColumnKind::Double: {
      double f = 0;
      if (!TryStrToFloat(t, f, locale)) return false;
      out = SqlValue::Real(f);
      return true;
    }
    case ColumnKind::Date: {
      TDateTime d = 0;
      if (!TryStrToDate(t, d, locale) && !ParseIsoDate(t, d)) return false;
      out = SqlValue::Text(IsoDateText(d));
      return true;
    }
    case ColumnKind::Text:
      break;
  }
  return false;
}

bool ConvertValue(const SqlValue& value, ColumnKind kind, const QLocale& locale, SqlValue& out) {
  using T = SqlValue::Type;
  if (value.type == T::Null) {
    out = value;
    return true;
  }
  switch (kind) {
    case ColumnKind::Text:
      if (value.type == T::Integer) {
        out = SqlValue::Text(QString::number(value.integer));
      } else if (value.type == T::Real) {
        out = SqlValue::Text(FloatToStrShortest(value.real, locale));
      } else {
        out = value;
      }
      return true;
    case ColumnKind::Integer:
      if (value.type == T::Integer) {
        out = value;
        return true;
      }
      if (value.type == T::Real) return ToInteger(value.real, out);
      break;
    case ColumnKind::Double:
      if (value.type == T::Integer) {
        out = SqlValue::Real(double(value.integer));
        return true;
      }
      if (value.type == T::Real) {
        out = value;
        return true;
      }
      if (!ConvertText(value.text, kind, locale, out)) {
        // Text a number was turned into by a text column ("12.5"); not where '.'
        // groups thousands, as "1.500" would then be read wrongly.
        double f = 0;
        if (locale.groupSeparator() == u"." || !TryStrToFloat(value.text, f, QLocale::c())) {
          return false;
        }
        out = SqlValue::Real(f);
      }
      return true;
    case ColumnKind::Date:
      if (value.type != T::Text) {
        const double serial = value.type == T::Integer ? double(value.integer) : value.real;
        const QString iso = IsoDateText(serial);
        if (iso.isEmpty()) return false;
        out = SqlValue::Text(iso);
        return true;
      }
      break;
  }
  return ConvertText(value.text, kind, locale, out);
}

QString SqlLiteral(const SqlValue& value) {
  switch (value.type) {
    case SqlValue::Type::Null:
      break;
    case SqlValue::Type::Integer:
      return QString::number(value.integer);
    case SqlValue::Type::Real:
      return FloatToStrShortest(value.real, QLocale::c());
    case SqlValue::Type::Text:
      return u'\'' + QString(value.text).replace(u"'"_s, u"''"_s) + u'\'';
  }
  return QStringLiteral("NULL");
}

QString QuoteIdentifier(const QString& name) {
  return u'"' + QString(name).replace(u"\""_s, u"\"\""_s) + u'"';
}

// Works on the day number and the fraction directly: a local QDateTime would
// move times that fall into a daylight-saving gap.
QString IsoDateText(TDateTime value) {
  if (!std::isfinite(value)) return {};
  const double days = std::trunc(value);
  auto ms = static_cast<qint64>(std::llround(std::fabs(value - days) * double(kMsecsPerDay)));
  QDate d = QDateFromDateTime(days);
  if (ms >= kMsecsPerDay) {
    ms -= kMsecsPerDay;
    d = d.addDays(1);
  }
  if (!d.isValid() || d.year() < 1 || d.year() > 9999) return {};
  const QTime t = QTime::fromMSecsSinceStartOfDay(int(ms));
  const QChar zero(u'0');
  QString text = QStringLiteral("%1-%2-%3")
                     .arg(d.year(), 4, 10, zero)
                     .arg(d.month(), 2, 10, zero)
                     .arg(d.day(), 2, 10, zero);
  if (ms != 0) {
    text += QStringLiteral(" %1:%2:%3")
                .arg(t.hour(), 2, 10, zero)
                .arg(t.minute(), 2, 10, zero)
                .arg(t.second(), 2, 10, zero);
    if (t.msec() != 0) text += QStringLiteral(".%1").arg(t.msec(), 3, 10, zero);
  }
  return text;
}

bool ParseIsoDate(const QString& text, TDateTime& out) {
  static const QRegularExpression kIso(QStringLiteral(
      R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?$)"));
  const auto m = kIso.match(text.trimmed());
  if (!m.hasMatch()) return false;
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  QTime time(0, 0);
  if (m.hasCaptured(4)) {
    const QString ms = m.captured(7);
    time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                 ms.isEmpty() ? 0 : QString(ms + u"00"_s).left(3).toInt());
  }
  if (!date.isValid() || !time.isValid()) return false;
  const TDateTime days = DateFromQDate(date);
  if (std::isnan(days)) return false;
  const double fraction = double(time.msecsSinceStartOfDay()) / double(kMsecsPerDay);
  out = days < 0 ? days - fraction : days + fraction;
  return true;
}

}  // namespace jet
