#pragma once

#include "core/UsageTracker.h"

#include <cstdint>
#include <string>

namespace flintly::events {

// The usage events the app records, with exactly their properties. App code records
// through these helpers, so an event's name and properties are spelled in one place.
inline constexpr const char* kAppLaunch = "app_launch";
inline constexpr const char* kCreateNote = "create_note";
inline constexpr const char* kFirstSave = "first_save";
inline constexpr const char* kOpenExternalNote = "open_external_note";
inline constexpr const char* kFocusSessionEnd = "focus_session_end";
inline constexpr const char* kImportScanComplete = "import_scan_complete";

inline constexpr const char* kNoteId = "noteId";
inline constexpr const char* kChars = "chars";
inline constexpr const char* kFolderPath = "folderPath";
inline constexpr const char* kDurationSec = "durationSec";
inline constexpr const char* kOrigin = "origin";
inline constexpr const char* kNoteCount = "noteCount";

inline constexpr const char* kOriginInternal = "internal";
inline constexpr const char* kOriginExternal = "external";

// Once per launch, right after set-up.
void appLaunch(UsageTracker& tracker);
// `noteId`: the note model's debug id, an upper-case hyphenated UUID.
void createNote(UsageTracker& tracker, const std::string& noteId);
// The save that creates a new note's file; `characters` counted as the user sees them.
void firstSave(UsageTracker& tracker, const std::string& noteId, std::int64_t characters);
// A file outside the notes folder was opened: its file name and its folder's path.
void openExternalNote(UsageTracker& tracker, const std::string& fileName, const std::string& folderPath);
// `seconds` are cut to whole seconds; a clock set back never gives a negative duration.
void focusSessionEnd(UsageTracker& tracker, const std::string& noteId, double seconds, bool external);
void importScanComplete(UsageTracker& tracker, const std::string& folderPath, std::int64_t noteCount);

}  // namespace flintly::events
