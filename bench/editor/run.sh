#!/usr/bin/env bash
# Prints the bridge's figure: from the page finishing an edit to MarkdownModel.text
# holding it, for a 100 KB note, in Qt WebEngine with the built page.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
cmake --build "$build" --target editor_bench >/dev/null
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
export FLINTLY_RESOURCE_DIR="$build/share/flintly"
# The app's own log lines (model and bridge) are not part of the figures.
xvfb-run -a "$build/bin/editor_bench" </dev/null 2>/dev/null | grep -E '^(page edit|  median)'
