#include "search/SystemHints.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace flintly::search {

void makeCurrentThreadLowPriority()
{
    // The lowest share of the processor, not the idle class: an idle-class thread gets
    // nothing at all while anything else runs (a build, a video), and indexing must
    // still finish on a busy desktop.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, thread, 19);
    // ioprio_set(IOPRIO_WHO_PROCESS, this thread, best effort at its lowest level, 7);
    // glibc has no wrapper.
    constexpr int kWhoProcess = 1;
    constexpr int kClassBestEffort = 2;
    constexpr int kClassShift = 13;
    syscall(SYS_ioprio_set, kWhoProcess, 0, (kClassBestEffort << kClassShift) | 7);
}

void returnFreedMemory() { malloc_trim(0); }

}  // namespace flintly::search
