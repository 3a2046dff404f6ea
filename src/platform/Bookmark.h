#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace flintly {

// There is no sandbox on Linux, so a bookmark only has to find the item again in a
// later run: versioned bytes holding the absolute path, plus the device and inode it
// had, so a folder that was replaced by another one at the same path reads as stale.
struct ResolvedBookmark {
    QString path;
    bool isStale = false;
};

namespace Bookmark {

// Fails (with a reason in `error`) when nothing exists at the path.
std::optional<QByteArray> create(const QString& path, QString* error = nullptr);
// Fails when the bytes are not a bookmark of ours or nothing exists at the path.
std::optional<ResolvedBookmark> resolve(const QByteArray& bytes, QString* error = nullptr);

// The path a bookmark of ours was made for, whether or not anything is there now.
std::optional<QString> storedPath(const QByteArray& bytes);

// Access is granted when the item exists and can be read; stopping has nothing to undo.
bool startAccessing(const QString& path);
void stopAccessing(const QString& path);

}  // namespace Bookmark
}  // namespace flintly
