#pragma once

#include <QByteArray>
#include <QString>

namespace flintly::history {

// When a version of a note is taken, and how long it is kept.
namespace rules {
// A save takes a version when the note's newest one is at least this old.
inline constexpr qint64 kIntervalMs = 5 * 60 * 1000;
// A save that removes more than half of the saved text, or more than this many bytes of
// it, first keeps that saved text.
inline constexpr qint64 kLargeDeletionBytes = 1024;
// Versions older than this go, unless they are among their note's newest.
inline constexpr int kDaysKept = 90;
inline constexpr int kNewestAlwaysKept = 10;
// The whole history's share of the disk; the oldest versions go first past it.
inline constexpr qint64 kDefaultCapBytes = 500LL * 1024 * 1024;

// How many bytes of `before` are gone in `after`: what lies between the part both begin
// with and the part both end with. An edit in one place (a select-all and a keystroke,
// a deleted paragraph, a paste over a selection) measures exactly; edits in two far
// places between saves count what lies between them, which errs towards keeping more.
qint64 bytesRemoved(const QByteArray& before, const QByteArray& after);
bool removesMuch(const QByteArray& before, const QByteArray& after);
}  // namespace rules

// Why a version was taken, as the store and `flintly --history` spell it.
namespace reason {
inline const QString firstSave = QStringLiteral("first-save");
inline const QString interval = QStringLiteral("interval");
inline const QString beforeDeletion = QStringLiteral("before-deletion");
inline const QString beforeOutsideChange = QStringLiteral("before-outside-change");
inline const QString beforeRestore = QStringLiteral("before-restore");
// A note made elsewhere, as Flintly found it before its first save there.
inline const QString opened = QStringLiteral("opened");

// The words the history window shows for a reason.
QString label(const QString& reason);
}  // namespace reason

}  // namespace flintly::history
