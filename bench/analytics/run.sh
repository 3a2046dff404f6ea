#!/usr/bin/env bash
# Runs the analytics benchmarks beside their baselines and prints each ratio:
#   track() median call                 vs the 20 us budget
#   storing 10,000 events via the client vs sqlite3 inserting the same rows,
#                                          one transaction per row, WAL (budget 3x)
#   uploading and deleting 10,000 events vs the 10 s budget (200 requests of 50)
# Exits non-zero when a budget is missed. BUILD selects the build folder (default build).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${BUILD:-$here/../../build}/bin"
[[ "$bin" = /* ]] || bin="$here/../../$bin"
status=0
for b in analytics_track_latency_bench analytics_store_bench analytics_upload_bench; do
  if [ ! -x "$bin/$b" ]; then
    echo "analytics bench: $bin/$b is missing; build it first" >&2
    exit 1
  fi
  echo "== $b"
  "$bin/$b" || status=1
done
exit $status
