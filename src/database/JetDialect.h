#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/DateTime.h"

// Any failure of the database layer: the engine's own message, or a clear text
// of ours for input the engine never sees (a date literal that is no date, text
// that is no number for a DOUBLE column, a file that is not a database).
class DbError : public std::runtime_error {
 public:
  explicit DbError(const QString& message, int code = 0);
  QString Message() const { return message_; }
  // The SQLite result code, or 0 for errors found before SQLite ran.
  int Code() const { return code_; }

 private:
  QString message_;
  int code_;
};

// Translation of the Jet SQL the program writes into SQLite SQL. Not a parser:
// a tokenizer plus recognisers for the few statement shapes that differ.
namespace jet {

// How values of a column are stored and printed, from its declared type.
enum class ColumnKind { Text, Integer, Double, Date };
ColumnKind KindOfDeclaredType(const QString& declaredType);

struct ColumnDef {
  QString name;
  QString type;  // as declared
};

// Columns of a table in their order; empty when the table does not exist.
using ColumnLookup = std::function<QList<ColumnDef>(const QString& table)>;

// One value as SQLite stores it.
struct SqlValue {
  enum class Type { Null, Integer, Real, Text };
  Type type = Type::Null;
  qint64 integer = 0;
  double real = 0;
  QString text;

  static SqlValue Null() { return {}; }
  static SqlValue Int(qint64 v) { return {Type::Integer, v, 0, {}}; }
  static SqlValue Real(double v) { return {Type::Real, 0, v, {}}; }
  static SqlValue Text(QString v) { return {Type::Text, 0, 0, std::move(v)}; }
};

struct Statement {
  enum class Kind {
    Sql,          // `sql` runs as it stands
    AlterColumn,  // rebuild `table` with `column` declared as `type`
    SelectInto,   // create `target` with the columns of `table`, then run `sql` (the copy)
  };
  Kind kind = Kind::Sql;
  QString sql;
  QString table;
  QString column;
  QString type;
  QString target;
};

// Translates one text that may hold several statements separated by ';'.
// Text assigned to DATE, DOUBLE and integer columns is converted with `locale`;
// DbError for a date literal or a value that does not convert.
QList<Statement> Translate(const QString& jetSql, const ColumnLookup& columns,
                           const QLocale& locale);

// Text as the user types it (short date, locale decimal separator) converted for
// a column of `kind`; an empty or blank text is NULL. False when it does not fit.
bool ConvertText(const QString& text, ColumnKind kind, const QLocale& locale, SqlValue& out);

// Any stored value converted for a column of `kind` (used when a column changes
// its type). False when the value cannot be kept sensibly in the new type.
bool ConvertValue(const SqlValue& value, ColumnKind kind, const QLocale& locale, SqlValue& out);

// The SQL literal of a value: numbers in C notation, text quoted.
QString SqlLiteral(const SqlValue& value);

// Identifier in double quotes, inner quotes doubled.
QString QuoteIdentifier(const QString& name);

// DATE columns hold 'yyyy-mm-dd' (plus ' hh:mm:ss' when a time of day is set).
QString IsoDateText(TDateTime value);
bool ParseIsoDate(const QString& text, TDateTime& out);

}  // namespace jet
