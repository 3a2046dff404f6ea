#pragma once

#include "analytics/AnalyticsInstance.h"

#include <memory>
#include <string>

namespace flintly::analytics {

// The process's clients by instance name, and the main one the app uses.
namespace Analytics {

// Creates the client (or returns the one already made under that name) and makes it
// the main instance.
std::shared_ptr<AnalyticsInstance> initialize(InstanceOptions options);
// The main instance; one with an empty token (which stores and sends nothing) when
// none was initialised.
std::shared_ptr<AnalyticsInstance> mainInstance();
// Null, with a warning, when none was initialised.
std::shared_ptr<AnalyticsInstance> safeMainInstance();
std::shared_ptr<AnalyticsInstance> getInstance(const std::string& name);
void setMainInstance(const std::string& name);
// Forgets the client; it goes once the last holder lets go.
void removeInstance(const std::string& name);
// Ends every client now, on the calling thread: timers stop, a request in flight is
// abandoned and what is queued is stored. The process calls it on its way out, before
// anything the clients use (the logger's outputs among them) goes away.
void shutdown();

}  // namespace Analytics

}  // namespace flintly::analytics
