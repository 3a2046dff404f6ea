#pragma once

namespace flintly {

// Marks on the way to the editor's first paint, for the start-up benchmark
// (bench/app): with FLINTLY_TRACE_STARTUP set, "flintly-trace {mark} {ms since the
// epoch}" on standard error, so a script times them from exec like the bare web view.
// Costs one cached check otherwise.
void traceStartup(const char* mark);

}  // namespace flintly
