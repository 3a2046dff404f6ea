#pragma once

#include "analytics/AnalyticsUsageTracker.h"

#include "core/UsageTracker.h"

#include <cstdint>
#include <optional>
#include <string>

namespace flintly::analytics {

// The usage events the app records, with exactly their properties. App code calls these
// helpers (or uses the names) rather than spelling events itself.
namespace events {

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

// Once per launch, right after set-up (startAppAnalytics does it).
void appLaunch(UsageTracker& tracker = usageTracker());
// `noteId`: the note model's debug id, an upper-case hyphenated UUID.
void createNote(const std::string& noteId, UsageTracker& tracker = usageTracker());
// The save that creates a new note's file; `characters` counted as the user sees them.
void firstSave(const std::string& noteId, std::int64_t characters, UsageTracker& tracker = usageTracker());
// A file outside the notes folder was opened: its file name and its folder's path.
void openExternalNote(const std::string& fileName, const std::string& folderPath,
                      UsageTracker& tracker = usageTracker());
// `seconds` are cut to whole seconds.
void focusSessionEnd(const std::string& noteId, double seconds, const std::string& origin,
                     UsageTracker& tracker = usageTracker());
void importScanComplete(const std::string& folderPath, std::int64_t noteCount,
                        UsageTracker& tracker = usageTracker());

// Whether `path` lies inside `folder`, comparing whole path components: "/notes2/a.md"
// is not inside "/notes".
bool isInsideFolder(const std::string& path, const std::string& folder);

// "external" only for a saved note whose file is known and lies outside a known notes
// folder; "internal" otherwise.
const char* focusOrigin(bool isScratch, const std::optional<std::string>& notesFolder,
                        const std::optional<std::string>& filePath);

}  // namespace events

// The analytics values of the build (FLINTLY_ANALYTICS_TOKEN, FLINTLY_ANALYTICS_URL),
// each overridden by the environment variable of the same name when it is set.
struct AppAnalyticsConfig {
    std::string token;      // "AnalyticsToken"; empty: nothing stored, nothing requested
    std::string serverURL;  // empty: nothing sent, records wait in the store
    // FLINTLY_ANALYTICS_DEBUG=1: the log shows what each batch holds (folder paths of
    // the user among it), not only how many records went where.
    bool logBatchContents = false;
};
AppAnalyticsConfig appAnalyticsConfig();

// The app's start-up sequence: initialise the client (flush every 60 s, logging on),
// identify the user by the note model's debug id with people use on, record
// "app_launch". `tracker` becomes the process's usage tracker and must outlive its use.
void startAppAnalytics(AnalyticsUsageTracker& tracker, const std::string& debugId, const AppAnalyticsConfig& config);
// The same with a tracker of the process's own and the build's values.
AnalyticsUsageTracker& startAppAnalytics(const std::string& debugId, InstanceOptions base = {});
// The app's end of analytics, after its event loop and before main returns: events
// from now on go nowhere, and the client is shut down (Analytics::shutdown) while
// everything it logs to still exists.
void shutdownAppAnalytics();

}  // namespace flintly::analytics
