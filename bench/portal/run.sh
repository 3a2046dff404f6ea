#!/usr/bin/env bash
# Times the hotkey's way to a shown panel: the desktop portal's activation (through the
# stand-in portal on a private bus) beside an X11 key (XTEST), 50 rounds each, median and
# max. Fails when the portal's median is over 10 ms. BUILD names the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
bin="$build/bin/portal_bench"
if [ ! -x "$bin" ]; then
  echo "portal bench: $bin is missing; build the target portal_bench first" >&2
  exit 1
fi
xvfb-run -a -s "-screen 0 1920x1080x24" "$bin" "$@"
