#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "database/Connection.h"

class TNic;

// Runs one statement without a result set. On failure throws DbError whose
// message is "Error in SQLFunctions_Unit->DoSQL (420) - Errormessage: " + the
// engine's message (the engine's result code is kept).
void DoSQL(Connection& conn, const QString& sql);

// Create an interface's traffic table, or a preferences table (the caller joins
// name and suffix); false when the statement fails.
bool CreateTrafficTable(Connection& conn, const QString& name);
bool CreatePrefsTable(Connection& conn, const QString& name);

// Makes sure the record's preferences table exists: 1 when it already did (its
// contents untouched), 0 when it was created with the default row, 2 on
// failure (then nothing was created). `maxSpeed` is the link speed in bytes per
// second, `interfaceType` the IANA interface type number.
int EnsurePrefsTable(Connection& conn, const TNic& nic, long double maxSpeed, int interfaceType);
// The same for the traffic table: 1 existed, 0 created, 2 failure.
int EnsureTrafficTable(Connection& conn, const TNic& nic);

// Names of all user tables. DbError when the file cannot be read.
QStringList ListTables(Connection& conn);

// Table names come from the last four hex digits of the interface index, so
// two interfaces whose indices agree there (3 and 65539) would share tables and
// mix their traffic. Called once the records have their indices set: the
// record with the lowest interface index among those sharing a name keeps the
// four-digit name (so existing tables keep their owner); every other one gets
// the full eight hex digits of its index, which no four-digit name and no
// other index can equal. The dial-up record ("dfu") is left alone.
void AssignTableNames(const std::vector<std::unique_ptr<TNic>>& records);
