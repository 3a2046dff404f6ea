#pragma once

#include <QString>

namespace flintly::AppPaths {

// $XDG_CONFIG_HOME/Flintly (default ~/.config/Flintly).
QString configDir();
// $XDG_CACHE_HOME/Flintly (default ~/.cache/Flintly).
QString cacheDir();
// $XDG_DATA_HOME/Flintly (default ~/.local/share/Flintly).
QString dataDir();
// share/flintly beside bin/ of the running executable, in the build tree and the
// installed tree alike; FLINTLY_RESOURCE_DIR overrides it (tests, packagers).
QString resourceDir();
QString resource(const QString& relativePath);

}  // namespace flintly::AppPaths
