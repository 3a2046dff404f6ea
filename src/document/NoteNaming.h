#pragma once

#include <QString>

namespace flintly::NoteNaming {

inline constexpr int kNameLength = 20;
inline const QString kFallbackName = QStringLiteral("Untitled");
inline const QString kExtension = QStringLiteral("md");

// The first line with visible characters, trimmed; empty when there is none.
QString titleOf(const QString& text);

// A name that is safe as a file name in the notes folder: no path separators or the
// other characters some file systems refuse, no control characters, no bidirectional
// overrides or isolates (which make a name display as something it is not), no
// leading dots (a hidden note would vanish from the browser and the statistics),
// trimmed, and "Untitled" when nothing is left.
QString sanitize(const QString& name);

// The sanitised title cut to its first 20 characters.
QString baseNameOf(const QString& text);

// The title cut to 20 characters, or "Untitled": what the window shows while a new
// note's name follows its first line (display only, not sanitised).
QString displayNameOf(const QString& text);

// The name without its extension and without a trailing "-<digits>" counter.
QString withoutCounterSuffix(const QString& completeBaseName);

// Whether a file named `completeBaseName` (extension removed) is a name this app gives
// a note whose base name is `baseName`: the base itself, or the base shortened to fit
// the file-name limit, either with a "-<n>" counter.
bool nameFollowsBase(const QString& completeBaseName, const QString& baseName);

// `stem` + `tail`, with `stem` cut by whole characters until the name fits the 255-byte
// limit of Linux file systems ("Untitled" when nothing of it fits).
QString fitFileName(const QString& stem, const QString& tail);

// "<folder>/<base>.md", or "<base>-<n>.md" for the first n that is free. Creates the
// folder when missing (throws FileError when it cannot). The base is shortened by
// whole characters until the file name fits the 255-byte limit of Linux file systems.
QString uniqueFilePath(const QString& folder, const QString& baseName);

}  // namespace flintly::NoteNaming
