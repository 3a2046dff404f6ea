#pragma once

#include <string>

namespace flintly::analytics {

// Where the client keeps its files when the app does not say otherwise:
// $XDG_CACHE_HOME/Flintly (default ~/.cache/Flintly) for the record database and
// $XDG_CONFIG_HOME/Flintly (default ~/.config/Flintly) for the "Analytics" suite.
// Empty when neither the variable nor HOME is set.
std::string defaultCacheDirectory();
std::string defaultConfigDirectory();

// Creates the folder and its parents; false when it does not exist afterwards.
bool makeDirectories(const std::string& path);

}  // namespace flintly::analytics
