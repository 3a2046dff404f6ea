#!/usr/bin/env bash
# Prints the note document's figures: keystroke cost in a 5 MB note, save() of 1 MB with
# fsync, and the save's distance from the half-second pause.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
cmake --build "$build" --target document_bench >/dev/null
cd "$build"
QT_QPA_PLATFORM=offscreen "$build/bin/document_bench" 2>&1 </dev/null
