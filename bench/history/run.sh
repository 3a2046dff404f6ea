#!/usr/bin/env bash
# The local history's figures beside their budgets:
#   a version of a 1 MB note, as the GUI thread pays for it     < 2 ms
#   10,000 versions of one note listed, as `flintly --history`  < 50 ms
# Exits non-zero when a figure is over its budget. BUILD selects the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
cmake --build "$build" --target history_bench >/dev/null
cd "$build"
QT_QPA_PLATFORM=offscreen "$build/bin/history_bench" </dev/null
