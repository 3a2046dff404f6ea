#include "platform/StartupTrace.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>

namespace flintly {

void traceStartup(const char* mark)
{
    static const bool enabled = std::getenv("FLINTLY_TRACE_STARTUP") != nullptr;
    if (!enabled)
        return;
    std::fprintf(stderr, "flintly-trace %s %lld\n", mark, static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
}

}  // namespace flintly
