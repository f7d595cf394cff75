#pragma once

#include <QByteArray>
#include <QString>

// Replaces `path` with `data` so that the file is, at every moment and after a
// crash or power loss, either the old content or the complete new one: the data
// goes to a temporary file beside it, is flushed to disk, and is renamed over
// the old file. Returns false with a reason in `error` (when given) on any
// failure (full disk, unwritable directory); the old file is then untouched.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// Appends `data` to `path` (created when missing) in one write. False on failure.
bool AppendToFile(const QString& path, const QByteArray& data, QString* error = nullptr);
