#!/usr/bin/env bash
# Times real key presses (XTEST) to the shortcut's action under a virtual X server and
# prints the median. Run from anywhere; BUILD names the build folder (default "build").
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
bin="$build/bin/shortcuts_bench"
if [ ! -x "$bin" ]; then
  echo "shortcuts bench: $bin is missing; build the target shortcuts_bench first" >&2
  exit 1
fi
xvfb-run -a -s "-screen 0 1920x1080x24" "$bin" "$@"
