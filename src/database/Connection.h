#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>

#include "database/JetDialect.h"
#include "platform/DateTime.h"

struct sqlite3;

// The rows of a query, read completely while the connection's lock is held.
struct ResultSet {
  QStringList names;
  QList<jet::ColumnKind> kinds;  // from the declared types, else from the first value
  QList<QList<jet::SqlValue>> rows;
};

// Named parameter values (":name" in the SQL), keyed by the lower-case name
// without the colon.
using Params = QHash<QString, jet::SqlValue>;

// One database file, shared by all threads of the program. Every statement runs
// under the connection's lock; queries copy their rows out, so reading them
// needs no lock. The SQL given to it is the Jet dialect (see JetDialect.h).
class Connection {
 public:
  Connection() = default;
  explicit Connection(const QString& connectionString);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // "Provider=...;Data Source=<path>;..." - only the path counts. Closes an open
  // connection.
  void SetConnectionString(const QString& connectionString);
  QString ConnectionString() const;
  QString DatabasePath() const;

  // Opens the file, creating it with table db at version 2.37 when it does not
  // exist. An existing file that is not a database is left untouched: DbError.
  void Open();
  void Close();
  bool Connected() const { return connected_.load(); }

  // Live Query objects bound to this connection.
  int AttachedQueryCount() const { return attached_.load(); }

  // Runs statements without a result set; reopens a closed connection.
  void Execute(const QString& sql);
  void Execute(const QString& sql, const Params& params);
  // Runs one statement that returns rows.
  ResultSet Select(const QString& sql, const Params& params = {});

  // User tables, without SQLite's own.
  QStringList ListTables();

  // Milliseconds a statement waits for another process's lock before failing.
  void SetBusyTimeout(int ms);

  // Writes a compacted copy of the source database to the destination path
  // (both as connection strings). 0 on success, else an SQLite result code. An
  // existing non-empty destination is never overwritten. The source must not be
  // open anywhere, so that replacing it by the copy loses nothing.
  static int Compact(const QString& sourceConnectionString,
                     const QString& destinationConnectionString);

  // Groups statements: holds the connection's lock from construction to Commit
  // or destruction, so other threads' statements cannot slip in between.
  // Destroyed without Commit, it rolls back. May nest (savepoints).
  class Transaction {
   public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

   private:
    Connection& connection_;
    std::unique_lock<std::recursive_mutex> lock_;
    QString savepoint_;  // empty for the outermost transaction
    int generation_;
    bool done_ = false;
  };

 private:
  friend class Query;
  friend class Transaction;

  void OpenLocked();
  void EnsureOpenLocked();
  QList<jet::Statement> TranslateLocked(const QString& sql);
  void RunLocked(const QString& sqliteSql, const Params* params, ResultSet* result);
  void RunStatementLocked(const jet::Statement& st, const Params* params);
  void AlterColumnLocked(const jet::Statement& st);
  void SelectIntoLocked(const jet::Statement& st);
  [[noreturn]] void Fail() const;

  mutable std::recursive_mutex mutex_;
  QString connectionString_;
  QString path_;
  sqlite3* db_ = nullptr;
  std::atomic<bool> connected_{false};
  std::atomic<int> attached_{0};
  int busyTimeoutMs_ = 5000;
  int generation_ = 0;      // counts opens, so a transaction notices a close
  int savepointCount_ = 0;  // names nested transactions
};

// A statement on a connection, the way the program's code uses it: set the SQL,
// bind parameters, then Open (rows) or ExecSQL (none). Navigation and field
// reads work on the copied rows and never touch the connection. One Query
// belongs to one thread at a time; it must not outlive its connection.
class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Setting the SQL closes the query and forgets bound parameters.
  void SetSQL(const QString& sql);
  QString SQL() const { return sql_; }
  void Clear() { SetSQL({}); }

  // Parameter names without the colon, in any case.
  void BindDate(const QString& name, TDateTime value);
  void BindText(const QString& name, const QString& value);
  void BindInteger(const QString& name, qint64 value);
  void BindFloat(const QString& name, double value);
  void BindNull(const QString& name);

  void Open();     // DbError when the statement fails or returns no rows
  void ExecSQL();  // DbError when it fails
  void Close();
  bool Active() const { return active_; }

  int RecordCount() const { return int(rows_.rows.size()); }
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  void First();
  void Next();
  void Prior();
  void Last();  // current row = last row; Eof stays false while there are rows
  int RecNo() const { return current_; }

  int FieldCount() const { return int(rows_.names.size()); }
  QString FieldName(int index) const;
  // Column index by name in any case, -1 when there is no such column.
  int FieldIndex(const QString& name) const;

  // Field reads of the current row; DbError for an unknown column, no current
  // row, or text that is no number/date. NULL reads as "", 0 and 0.
  QString AsString(const QString& field) const;
  qint64 AsInteger(const QString& field) const;
  double AsFloat(const QString& field) const;
  TDateTime AsDateTime(const QString& field) const;
  bool IsNull(const QString& field) const;
  QString AsString(int index) const;
  qint64 AsInteger(int index) const;
  double AsFloat(int index) const;
  TDateTime AsDateTime(int index) const;
  bool IsNull(int index) const;

 private:
  const jet::SqlValue& Value(int index) const;
  int IndexOrThrow(const QString& field) const;

  Connection& connection_;
  QString sql_;
  Params params_;
  ResultSet rows_;
  bool active_ = false;
  bool eof_ = true;
  bool bof_ = true;
  int current_ = -1;
};
