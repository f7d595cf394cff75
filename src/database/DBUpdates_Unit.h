#pragma once

#include <QString>

#include "database/Connection.h"

class ErrorReporter;

// Brings an older database file to the current schema version "2.37".
// Returns 1 when the file already had it, 2 when at least one upgrade step ran
// and `db` now says "2.37", 3 when the version is none this program knows
// (nothing changed), 0 on an error, which is reported as
// "Exception in function 'DBUpdates_Unit->Check_and_Do_DBUpdate(332) | Message:"
// + the error's message.
//
// Each step runs in a transaction of its own that also writes the step's
// target version into `db`: a step either happens completely, version
// included, or not at all. A failure therefore leaves the file at the last
// completed step, and the next start goes on from there instead of repeating
// statements that were already applied (which would fail for good).
//
// `dbVersion` (optional) receives the version the file has afterwards.
int Check_and_Do_DBUpdate(Connection& conn, ErrorReporter* reporter, QString* dbVersion = nullptr);

// Renames a column by dropping it and adding the new one, then writes the old
// column's first value into every row. False when a statement fails; then the
// table is as it was (the statements run in one transaction).
bool RenameColumn(Connection& conn, const QString& table, const QString& oldName,
                  const QString& newName, const QString& type);
