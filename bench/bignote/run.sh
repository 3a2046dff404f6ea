#!/usr/bin/env bash
# From the last key typed into a big note to the note on disk holding it, for 1, 10
# and 30 MB notes, through the real engine, the page, the web channel, the model and
# its save (which waits for a half-second pause in typing, as it always does).
# Runs under a virtual X server; exits non-zero when the 30 MB note misses 1 s.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
cmake --build "$build" --target bignote_bench >/dev/null
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
export FLINTLY_RESOURCE_DIR="$build/share/flintly"
# The app's own log lines (model and bridge) are not part of the figures.
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/bignote_bench" "$@" </dev/null 2>/dev/null |
  grep -E '^(last key|  *[0-9]+ MB note|bignote bench)'
