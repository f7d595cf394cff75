#include "database/Connection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/FloatFormat.h"

using namespace Qt::StringLiterals;
using jet::ColumnKind;
using jet::SqlValue;

namespace {

const QString kVersion = u"2.37"_s;

struct StatementCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementCloser>;

QString EngineMessage(sqlite3* db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

// The path behind "Data Source=" in a connection string; values may be quoted.
QString DataSource(const QString& connectionString) {
  QStringList parts;
  QString part;
  bool quoted = false;
  for (const QChar c : connectionString) {
    if (c == u'"') quoted = !quoted;
    if (c == u';' && !quoted) {
      parts.append(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.append(part);
  for (const QString& p : parts) {
    const qsizetype eq = p.indexOf(u'=');
    if (eq < 0 || p.left(eq).trimmed().compare(u"Data Source"_s, Qt::CaseInsensitive) != 0) {
      continue;
    }
    QString value = p.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) {
      value = value.mid(1, value.size() - 2);
    }
    return value;
  }
  return {};
}

// SQLite would take an empty file for a fresh database and write into it, and
// anything that is not a database must stay as it is: look before opening.
void CheckDatabaseFile(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir()) throw DbError(u"Database file %1 is a folder"_s.arg(path));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw DbError(u"Cannot read database file %1: %2"_s.arg(path, file.errorString()));
  }
  const QByteArray header = file.read(16);
  if (header.isEmpty()) {
    throw DbError(u"Database file %1 is empty; it is not a database"_s.arg(path), SQLITE_NOTADB);
  }
  if (header != QByteArray("SQLite format 3\0", 16)) {
    throw DbError(u"File %1 is not a database"_s.arg(path), SQLITE_NOTADB);
  }
}

int ExecRaw(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

StatementPtr Prepare(sqlite3* db, const QString& sql) {
  const QByteArray utf8 = sql.toUtf8();
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) throw DbError(EngineMessage(db), rc);
  return StatementPtr(stmt);
}

// Binds one value; text is copied by SQLite (destructor -1 = SQLITE_TRANSIENT,
// whose macro is an old-style cast).
void BindValue(sqlite3_stmt* stmt, int index, const SqlValue& v) {
  switch (v.type) {
    case SqlValue::Type::Null:
      sqlite3_bind_null(stmt, index);
      break;
    case SqlValue::Type::Integer:
      sqlite3_bind_int64(stmt, index, v.integer);
      break;
    case SqlValue::Type::Real:
      sqlite3_bind_double(stmt, index, v.real);
      break;
    case SqlValue::Type::Text: {
      const QByteArray utf8 = v.text.toUtf8();
      sqlite3_bind_text64(stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                          reinterpret_cast<sqlite3_destructor_type>(intptr_t(-1)), SQLITE_UTF8);
      break;
    }
  }
}

SqlValue ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
      return SqlValue::Int(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
      return SqlValue::Real(sqlite3_column_double(stmt, i));
    case SQLITE_NULL:
      return SqlValue::Null();
    default: {
      const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, i));
      return SqlValue::Text(QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)));
    }
  }
}

struct TableColumn {
  QString name;
  QString type;
  bool notNull = false;
  QString defaultSql;  // empty: none
  int pk = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Connection

Connection::Connection(const QString& connectionString) { SetConnectionString(connectionString); }

Connection::~Connection() { Close(); }

void Connection::SetConnectionString(const QString& connectionString) {
  std::lock_guard lock(mutex_);
  Close();
  connectionString_ = connectionString;
  path_ = DataSource(connectionString);
}

QString Connection::ConnectionString() const {
  std::lock_guard lock(mutex_);
  return connectionString_;
}

QString Connection::DatabasePath() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void Connection::SetBusyTimeout(int ms) {
  std::lock_guard lock(mutex_);
  busyTimeoutMs_ = ms;
  if (db_) sqlite3_busy_timeout(db_, ms);
}

void Connection::Open() {
  std::lock_guard lock(mutex_);
  EnsureOpenLocked();
}

void Connection::EnsureOpenLocked() {
  if (!db_) OpenLocked();
}

namespace {

// Builds the new file under a temporary name and links it into place, so that a
// failure leaves nothing half made and a file that appeared meanwhile is kept.
void CreateDatabase(const QString& path) {
  const QFileInfo info(path);
  if (!info.absoluteDir().exists()) {
    throw DbError(u"Cannot create database file %1: the folder does not exist"_s.arg(path),
                  SQLITE_CANTOPEN);
  }
  QTemporaryFile temp(info.absoluteFilePath() + u".XXXXXX.new"_s);
  if (!temp.open()) {
    throw DbError(u"Cannot create database file %1: %2"_s.arg(path, temp.errorString()),
                  SQLITE_CANTOPEN);
  }
  const QString tempPath = temp.fileName();
  temp.close();  // SQLite's locks would be dropped when another descriptor closes

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(tempPath).constData(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    rc = ExecRaw(db,
                 "BEGIN; CREATE TABLE db (DBVersion CHAR(50)); "
                 "INSERT INTO db VALUES ('2.37'); COMMIT;");
  }
  const QString message = db ? EngineMessage(db) : QString();
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    throw DbError(u"Cannot create database file %1: %2"_s.arg(path, message), rc);
  }
  const QByteArray target = QFile::encodeName(path);
  if (::link(QFile::encodeName(tempPath).constData(), target.constData()) != 0) {
    const int error = errno;
    if (error == EEXIST) return;  // someone else made it; it is opened as it stands
    // File systems without hard links: a plain rename, which cannot refuse an
    // existing target, after checking once more.
    if (QFileInfo::exists(path) || !QFile::rename(tempPath, path)) {
      throw DbError(u"Cannot create database file %1: %2"_s.arg(
                        path, QString::fromLocal8Bit(std::strerror(error))),
                    SQLITE_CANTOPEN);
    }
  }
}

}  // namespace

void Connection::OpenLocked() {
  if (path_.isEmpty()) {
    throw DbError(u"The connection string names no database file (Data Source=...)"_s);
  }
  if (!QFileInfo::exists(path_)) CreateDatabase(path_);
  CheckDatabaseFile(path_);

  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(QFile::encodeName(path_).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  auto fail = [&](const QString& message, int code) {
    sqlite3_close(db);
    throw DbError(u"Cannot open database file %1: %2"_s.arg(path_, message), code);
  };
  if (rc != SQLITE_OK) fail(db ? EngineMessage(db) : QString(), rc);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyTimeoutMs_);
  if (sqlite3_db_readonly(db, "main") == 1) fail(u"the file is read-only"_s, SQLITE_READONLY);
  // Reading the schema first proves the file is sound before anything is written.
  rc = ExecRaw(db, "SELECT count(*) FROM sqlite_master");
  if (rc == SQLITE_OK) rc = ExecRaw(db, "PRAGMA journal_mode=WAL");
  if (rc == SQLITE_OK) rc = ExecRaw(db, "PRAGMA synchronous=FULL");
  if (rc != SQLITE_OK) fail(EngineMessage(db), rc);
  db_ = db;
  ++generation_;
  connected_ = true;
}

void Connection::Close() {
  std::lock_guard lock(mutex_);
  if (!db_) return;
  sqlite3_close_v2(db_);  // rolls back a transaction left open
  db_ = nullptr;
  connected_ = false;
}

[[noreturn]] void Connection::Fail() const {
  throw DbError(EngineMessage(db_), sqlite3_extended_errcode(db_));
}

QList<jet::Statement> Connection::TranslateLocked(const QString& sql) {
  const jet::ColumnLookup lookup = [this](const QString& table) {
    ResultSet info;
    RunLocked(u"PRAGMA table_info("_s + jet::QuoteIdentifier(table) + u')', nullptr, &info);
    QList<jet::ColumnDef> columns;
    for (const auto& row : info.rows) columns.append({row[1].text, row[2].text});
    return columns;
  };
  return jet::Translate(sql, lookup, QLocale());
}

void Connection::Execute(const QString& sql) { Execute(sql, {}); }

void Connection::Execute(const QString& sql, const Params& params) {
  std::lock_guard lock(mutex_);
  EnsureOpenLocked();
  const QList<jet::Statement> statements = TranslateLocked(sql);
  if (statements.size() == 1) {
    RunStatementLocked(statements.front(), &params);
    return;
  }
  // Several statements in one text succeed or fail together.
  Transaction transaction(*this);
  for (const jet::Statement& st : statements) RunStatementLocked(st, &params);
  transaction.Commit();
}

ResultSet Connection::Select(const QString& sql, const Params& params) {
  std::lock_guard lock(mutex_);
  EnsureOpenLocked();
  const QList<jet::Statement> statements = TranslateLocked(sql);
  if (statements.size() != 1 || statements.front().kind != jet::Statement::Kind::Sql) {
    throw DbError(u"Only one statement that returns rows can be opened: %1"_s.arg(sql));
  }
  ResultSet result;
  RunLocked(statements.front().sql, &params, &result);
  return result;
}

void Connection::RunStatementLocked(const jet::Statement& st, const Params* params) {
  switch (st.kind) {
    case jet::Statement::Kind::Sql:
      RunLocked(st.sql, params, nullptr);
      break;
    case jet::Statement::Kind::AlterColumn:
      AlterColumnLocked(st);
      break;
    case jet::Statement::Kind::SelectInto:
      SelectIntoLocked(st);
      break;
  }
}

void Connection::RunLocked(const QString& sqliteSql, const Params* params, ResultSet* result) {
  StatementPtr stmt = Prepare(db_, sqliteSql);
  if (!stmt) {
    if (result) throw DbError(u"The SQL is empty"_s);
    return;
  }
  sqlite3_stmt* s = stmt.get();
  const int paramCount = sqlite3_bind_parameter_count(s);
  for (int i = 1; i <= paramCount; ++i) {
    const char* raw = sqlite3_bind_parameter_name(s, i);
    const QString name = raw ? QString::fromUtf8(raw + 1).toLower() : QString();
    const auto it = params ? params->constFind(name) : Params::const_iterator();
    if (!params || it == params->constEnd()) {
      throw DbError(u"No value given for parameter %1"_s.arg(raw ? QString::fromUtf8(raw)
                                                                 : QString::number(i)));
    }
    BindValue(s, i, *it);
  }
  const int columns = sqlite3_column_count(s);
  if (result) {
    // Checked before the first step: nothing has run yet.
    if (columns == 0) throw DbError(u"The statement returns no rows: %1"_s.arg(sqliteSql));
    result->names.clear();
    result->kinds.clear();
    result->rows.clear();
    for (int i = 0; i < columns; ++i) {
      result->names.append(QString::fromUtf8(sqlite3_column_name(s, i)));
      const char* declared = sqlite3_column_decltype(s, i);
      result->kinds.append(declared ? jet::KindOfDeclaredType(QString::fromUtf8(declared))
                                    : ColumnKind::Text);
    }
  }
  QList<bool> typed;
  for (int i = 0; i < columns; ++i) typed.append(sqlite3_column_decltype(s, i) != nullptr);
  for (;;) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) Fail();
    if (!result) continue;
    QList<SqlValue> row;
    row.reserve(columns);
    for (int i = 0; i < columns; ++i) {
      row.append(ColumnValue(s, i));
      // Computed columns have no declared type: the first value tells.
      if (!typed[i] && row[i].type != SqlValue::Type::Null) {
        typed[i] = true;
        if (row[i].type == SqlValue::Type::Integer) result->kinds[i] = ColumnKind::Integer;
        if (row[i].type == SqlValue::Type::Real) result->kinds[i] = ColumnKind::Double;
      }
    }
    result->rows.append(std::move(row));
  }
}

namespace {

QList<TableColumn> TableInfo(sqlite3* db, const QString& table) {
  StatementPtr stmt = Prepare(db, u"PRAGMA table_info("_s + jet::QuoteIdentifier(table) + u')');
  QList<TableColumn> columns;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    TableColumn c;
    c.name = ColumnValue(stmt.get(), 1).text;
    c.type = ColumnValue(stmt.get(), 2).text;
    c.notNull = sqlite3_column_int(stmt.get(), 3) != 0;
    c.defaultSql = ColumnValue(stmt.get(), 4).text;
    c.pk = sqlite3_column_int(stmt.get(), 5);
    columns.append(c);
  }
  if (rc != SQLITE_DONE) throw DbError(EngineMessage(db), rc);
  return columns;
}

QString CreateTableSql(const QString& name, const QList<TableColumn>& columns) {
  QStringList defs;
  QList<std::pair<int, QString>> keys;
  for (const TableColumn& c : columns) {
    QString def = jet::QuoteIdentifier(c.name);
    if (!c.type.isEmpty()) def += u' ' + c.type;
    if (c.notNull) def += u" NOT NULL"_s;
    if (!c.defaultSql.isEmpty()) def += u" DEFAULT "_s + c.defaultSql;
    defs.append(def);
    if (c.pk > 0) keys.append({c.pk, jet::QuoteIdentifier(c.name)});
  }
  if (!keys.isEmpty()) {
    std::sort(keys.begin(), keys.end());
    QStringList names;
    for (const auto& k : keys) names.append(k.second);
    defs.append(u"PRIMARY KEY ("_s + names.join(u", "_s) + u')');
  }
  return u"CREATE TABLE "_s + jet::QuoteIdentifier(name) + u" ("_s + defs.join(u", "_s) + u')';
}

}  // namespace

// SQLite cannot change a column's type in place: the table is rebuilt under a
// new name with the values of that column converted, then takes the old name.
void Connection::AlterColumnLocked(const jet::Statement& st) {
  Transaction transaction(*this);
  QList<TableColumn> columns = TableInfo(db_, st.table);
  if (columns.isEmpty()) throw DbError(u"no such table: %1"_s.arg(st.table), SQLITE_ERROR);
  qsizetype target = -1;
  for (qsizetype i = 0; i < columns.size(); ++i) {
    if (columns[i].name.compare(st.column, Qt::CaseInsensitive) == 0) target = i;
  }
  if (target < 0) {
    throw DbError(u"no such column: %1 in table %2"_s.arg(st.column, st.table), SQLITE_ERROR);
  }
  columns[target].type = st.type;
  const ColumnKind kind = jet::KindOfDeclaredType(st.type);

  QString temp = st.table + u"_rebuild"_s;
  while (!TableInfo(db_, temp).isEmpty()) temp += u'_';
  RunLocked(CreateTableSql(temp, columns), nullptr, nullptr);

  ResultSet rows;
  RunLocked(u"SELECT * FROM "_s + jet::QuoteIdentifier(st.table) + u" ORDER BY rowid"_s, nullptr,
            &rows);
  QStringList marks;
  for (qsizetype i = 0; i < columns.size(); ++i) marks.append(u"?"_s);
  StatementPtr insert = Prepare(db_, u"INSERT INTO "_s + jet::QuoteIdentifier(temp) +
                                         u" VALUES ("_s + marks.join(u',') + u')');
  const QLocale locale;
  for (const QList<SqlValue>& row : rows.rows) {
    for (qsizetype i = 0; i < row.size(); ++i) {
      SqlValue value = row[i];
      if (i == target && !jet::ConvertValue(row[i], kind, locale, value)) {
        throw DbError(
            u"Cannot change column %1 of table %2 to %3: the value '%4' does not fit"_s.arg(
                st.column, st.table, st.type, jet::SqlLiteral(row[i])),
            SQLITE_MISMATCH);
      }
      BindValue(insert.get(), int(i + 1), value);
    }
    if (sqlite3_step(insert.get()) != SQLITE_DONE) Fail();
    sqlite3_reset(insert.get());
  }
  insert.reset();
  RunLocked(u"DROP TABLE "_s + jet::QuoteIdentifier(st.table), nullptr, nullptr);
  RunLocked(u"ALTER TABLE "_s + jet::QuoteIdentifier(temp) + u" RENAME TO "_s +
                jet::QuoteIdentifier(st.table),
            nullptr, nullptr);
  transaction.Commit();
}

void Connection::SelectIntoLocked(const jet::Statement& st) {
  Transaction transaction(*this);
  const QList<TableColumn> columns = TableInfo(db_, st.table);
  if (columns.isEmpty()) throw DbError(u"no such table: %1"_s.arg(st.table), SQLITE_ERROR);
  QList<TableColumn> plain;
  for (TableColumn c : columns) {
    c.pk = 0;  // a copy, as Jet makes it: declared columns only
    plain.append(c);
  }
  RunLocked(CreateTableSql(st.target, plain), nullptr, nullptr);
  RunLocked(st.sql, nullptr, nullptr);
  transaction.Commit();
}

QStringList Connection::ListTables() {
  std::lock_guard lock(mutex_);
  EnsureOpenLocked();
  ResultSet rows;
  RunLocked(
      u"SELECT name FROM sqlite_master WHERE type = 'table' "
      u"AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name"_s,
      nullptr, &rows);
  QStringList names;
  for (const auto& row : rows.rows) names.append(row[0].text);
  return names;
}

int Connection::Compact(const QString& sourceConnectionString,
                        const QString& destinationConnectionString) {
  const QString source = DataSource(sourceConnectionString);
  const QString destination = DataSource(destinationConnectionString);
  if (source.isEmpty() || destination.isEmpty() || !QFileInfo::exists(source)) {
    return SQLITE_CANTOPEN;
  }
  try {
    CheckDatabaseFile(source);
  } catch (const DbError& e) {
    return e.Code() != 0 ? e.Code() : SQLITE_CANTOPEN;
  }
  const QFileInfo existing(destination);
  const bool destinationExisted = existing.exists();
  if (destinationExisted && (!existing.isFile() || existing.size() > 0)) return SQLITE_CANTOPEN;

  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(QFile::encodeName(source).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      BindValue(stmt, 1, SqlValue::Text(destination));
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  // The last connection to close removes the write-ahead log; if it is still
  // there, the source is open elsewhere and replacing it would lose that work.
  if (rc == SQLITE_OK && QFileInfo::exists(source + u"-wal"_s)) rc = SQLITE_BUSY;
  if (rc == SQLITE_OK) {
    const int fd = ::open(QFile::encodeName(destination).constData(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) rc = SQLITE_IOERR;
    if (fd >= 0) ::close(fd);
  }
  if (rc != SQLITE_OK && !destinationExisted) QFile::remove(destination);
  return rc;
}

// ---------------------------------------------------------------------------
// Transaction

Connection::Transaction::Transaction(Connection& connection)
    : connection_(connection), lock_(connection.mutex_) {
  connection_.EnsureOpenLocked();
  sqlite3* db = connection_.db_;
  if (sqlite3_get_autocommit(db)) {
    // IMMEDIATE takes the write lock now, waiting out other processes, instead
    // of failing later when a read turns into a write.
    if (ExecRaw(db, "BEGIN IMMEDIATE") != SQLITE_OK) connection_.Fail();
  } else {
    savepoint_ = u"quorvel_sp"_s + QString::number(++connection_.savepointCount_);
    if (ExecRaw(db, (u"SAVEPOINT "_s + savepoint_).toUtf8().constData()) != SQLITE_OK) {
      connection_.Fail();
    }
  }
  generation_ = connection_.generation_;
}

Connection::Transaction::~Transaction() {
  if (done_ || !connection_.db_ || generation_ != connection_.generation_) return;
  if (savepoint_.isEmpty()) {
    ExecRaw(connection_.db_, "ROLLBACK");
  } else {
    const QByteArray sql = (u"ROLLBACK TO "_s + savepoint_ + u"; RELEASE "_s + savepoint_).toUtf8();
    ExecRaw(connection_.db_, sql.constData());
  }
}

void Connection::Transaction::Commit() {
  if (done_) throw DbError(u"The transaction has already ended"_s);
  if (!connection_.db_ || generation_ != connection_.generation_) {
    done_ = true;
    lock_.unlock();
    throw DbError(u"The connection was closed during the transaction; nothing was saved"_s);
  }
  const QByteArray sql =
      savepoint_.isEmpty() ? QByteArray("COMMIT") : (u"RELEASE "_s + savepoint_).toUtf8();
  if (ExecRaw(connection_.db_, sql.constData()) != SQLITE_OK) {
    const DbError error(EngineMessage(connection_.db_), sqlite3_extended_errcode(connection_.db_));
    // The destructor rolls back what could not be committed.
    throw error;
  }
  done_ = true;
  lock_.unlock();
}

// ---------------------------------------------------------------------------
// Query

Query::Query(Connection& connection) : connection_(connection) { ++connection_.attached_; }

Query::~Query() { --connection_.attached_; }

void Query::SetSQL(const QString& sql) {
  Close();
  sql_ = sql;
  params_.clear();
}

void Query::BindDate(const QString& name, TDateTime value) {
  const QString iso = jet::IsoDateText(value);
  if (iso.isEmpty()) throw DbError(u"Parameter %1: not a valid date"_s.arg(name));
  params_.insert(name.toLower(), SqlValue::Text(iso));
}

void Query::BindText(const QString& name, const QString& value) {
  params_.insert(name.toLower(), SqlValue::Text(value));
}

void Query::BindInteger(const QString& name, qint64 value) {
  params_.insert(name.toLower(), SqlValue::Int(value));
}

void Query::BindFloat(const QString& name, double value) {
  params_.insert(name.toLower(), SqlValue::Real(value));
}

void Query::BindNull(const QString& name) { params_.insert(name.toLower(), SqlValue::Null()); }

void Query::Open() {
  Close();
  rows_ = connection_.Select(sql_, params_);
  active_ = true;
  First();
}

void Query::ExecSQL() {
  Close();
  connection_.Execute(sql_, params_);
}

void Query::Close() {
  active_ = false;
  rows_ = {};
  eof_ = bof_ = true;
  current_ = -1;
}

void Query::First() {
  bof_ = true;
  eof_ = rows_.rows.isEmpty();
  current_ = eof_ ? -1 : 0;
}

void Query::Next() {
  if (current_ + 1 < RecordCount()) {
    ++current_;
    bof_ = false;
  } else {
    eof_ = true;
  }
}

void Query::Prior() {
  if (current_ > 0) {
    --current_;
    eof_ = false;
  } else {
    bof_ = true;
  }
}

void Query::Last() {
  if (rows_.rows.isEmpty()) return;
  current_ = RecordCount() - 1;
  eof_ = false;
  bof_ = current_ == 0;
}

QString Query::FieldName(int index) const {
  return index >= 0 && index < FieldCount() ? rows_.names[index] : QString();
}

int Query::FieldIndex(const QString& name) const {
  for (int i = 0; i < FieldCount(); ++i) {
    if (rows_.names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

int Query::IndexOrThrow(const QString& field) const {
  const int index = FieldIndex(field);
  if (index < 0) throw DbError(u"Field '%1' not found"_s.arg(field));
  return index;
}

const SqlValue& Query::Value(int index) const {
  if (!active_) throw DbError(u"The query is not open"_s);
  if (index < 0 || index >= FieldCount()) {
    throw DbError(u"Field index %1 out of range"_s.arg(index));
  }
  if (current_ < 0) throw DbError(u"No current record"_s);
  return rows_.rows[current_][index];
}

QString Query::AsString(int index) const {
  const SqlValue& v = Value(index);
  switch (v.type) {
    case SqlValue::Type::Null:
      return {};
    case SqlValue::Type::Integer:
      return QString::number(v.integer);
    case SqlValue::Type::Real:
      return FloatToStrShortest(v.real, QLocale());
    case SqlValue::Type::Text:
      break;
  }
  TDateTime date = 0;
  if (rows_.kinds[index] == ColumnKind::Date && jet::ParseIsoDate(v.text, date)) {
    return FormatDateTime(u"c"_s, date, QLocale());  // short date, time only when set
  }
  return v.text;
}

qint64 Query::AsInteger(int index) const {
  const SqlValue& v = Value(index);
  TDateTime date = 0;
  if (v.type == SqlValue::Type::Text && rows_.kinds[index] == ColumnKind::Date &&
      jet::ParseIsoDate(v.text, date)) {
    return qint64(std::trunc(date));
  }
  SqlValue out;
  if (!jet::ConvertValue(v, ColumnKind::Integer, QLocale(), out)) {
    throw DbError(u"Field '%1': '%2' is not a whole number"_s.arg(FieldName(index), v.text));
  }
  return out.integer;
}

double Query::AsFloat(int index) const {
  const SqlValue& v = Value(index);
  TDateTime date = 0;
  if (v.type == SqlValue::Type::Text && rows_.kinds[index] == ColumnKind::Date &&
      jet::ParseIsoDate(v.text, date)) {
    return date;
  }
  SqlValue out;
  if (!jet::ConvertValue(v, ColumnKind::Double, QLocale(), out)) {
    throw DbError(u"Field '%1': '%2' is not a number"_s.arg(FieldName(index), v.text));
  }
  return out.real;
}

TDateTime Query::AsDateTime(int index) const {
  const SqlValue& v = Value(index);
  switch (v.type) {
    case SqlValue::Type::Null:
      return 0;
    case SqlValue::Type::Integer:
      return double(v.integer);
    case SqlValue::Type::Real:
      return v.real;
    case SqlValue::Type::Text:
      break;
  }
  TDateTime date = 0;
  if (jet::ParseIsoDate(v.text, date) || TryStrToDate(v.text, date, QLocale())) return date;
  throw DbError(u"Field '%1': '%2' is not a date"_s.arg(FieldName(index), v.text));
}

bool Query::IsNull(int index) const { return Value(index).type == SqlValue::Type::Null; }

QString Query::AsString(const QString& field) const { return AsString(IndexOrThrow(field)); }
qint64 Query::AsInteger(const QString& field) const { return AsInteger(IndexOrThrow(field)); }
double Query::AsFloat(const QString& field) const { return AsFloat(IndexOrThrow(field)); }
TDateTime Query::AsDateTime(const QString& field) const { return AsDateTime(IndexOrThrow(field)); }
bool Query::IsNull(const QString& field) const { return IsNull(IndexOrThrow(field)); }
