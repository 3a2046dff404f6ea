#pragma once

#include <QByteArray>
#include <QString>

namespace flintly {

// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either
// the old note or the new one, never a torn file: the bytes go to a hidden temporary
// file in the same folder, which is flushed to disk and renamed over the target, and
// then the folder entry itself is flushed. The target's permissions are kept. A missing
// parent folder is created. Throws FileError with the system's reason (a full disk, a
// read-only folder); the target is then untouched and no temporary file is left.
void writeFileDurably(const QString& path, const QByteArray& bytes);

}  // namespace flintly
