#pragma once

#include "history/HistoryStore.h"

#include <QString>

#include <cstdio>

namespace flintly::history {

// `flintly --history NOTE`: the versions of a note file, newest first, one per line:
// id, time (ISO 8601, local, with its offset), size in bytes and reason, separated by
// tabs. With `version`, that version's bytes exactly as the file held them instead.
// Reads the store directly, so it works without a display and beside a running app.
// Returns the process's exit code; errors go to `err`.
int runHistoryCommand(const QString& notePath, std::optional<qint64> version, std::FILE* out, std::FILE* err,
                      HistoryStore::Options options = {});

// One line of the listing, without its newline.
QByteArray versionLine(const VersionInfo& version);
void appendVersionLine(QByteArray& out, const VersionInfo& version);

}  // namespace flintly::history
