#pragma once

namespace flintly::search {

// Lowers the calling thread to the lowest priority for the processor and the disk,
// so that indexing takes what others leave. Best effort: where the system refuses,
// the thread keeps its priority.
void makeCurrentThreadLowPriority();

// Gives the memory freed so far back to the system. The indexer frees many small
// strings at once (the paths read from the index file, once the scan's own are
// shared instead), which the allocator would otherwise keep for the process.
void returnFreedMemory();

}  // namespace flintly::search
