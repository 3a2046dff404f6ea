#pragma once

namespace flintly::search {

// Lowers the calling thread to the idle class for both the processor and the disk,
// so that indexing runs only when nothing else wants either. Best effort: where the
// system refuses, the thread keeps its priority.
void makeCurrentThreadIdle();

}  // namespace flintly::search
