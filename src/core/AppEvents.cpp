#include "core/AppEvents.h"

#include <cmath>

namespace flintly::events {

void appLaunch(UsageTracker& tracker) { tracker.track(kAppLaunch); }

void createNote(UsageTracker& tracker, const std::string& noteId) { tracker.track(kCreateNote, {{kNoteId, noteId}}); }

void firstSave(UsageTracker& tracker, const std::string& noteId, std::int64_t characters)
{
    tracker.track(kFirstSave, {{kNoteId, noteId}, {kChars, characters}});
}

void openExternalNote(UsageTracker& tracker, const std::string& fileName, const std::string& folderPath)
{
    tracker.track(kOpenExternalNote, {{kNoteId, fileName}, {kFolderPath, folderPath}});
}

void focusSessionEnd(UsageTracker& tracker, const std::string& noteId, double seconds, bool external)
{
    const auto whole = std::isfinite(seconds) && seconds > 0 ? static_cast<std::int64_t>(seconds) : 0;
    tracker.track(kFocusSessionEnd,
                  {{kNoteId, noteId}, {kDurationSec, whole}, {kOrigin, external ? kOriginExternal : kOriginInternal}});
}

void importScanComplete(UsageTracker& tracker, const std::string& folderPath, std::int64_t noteCount)
{
    tracker.track(kImportScanComplete, {{kFolderPath, folderPath}, {kNoteCount, noteCount}});
}

}  // namespace flintly::events
