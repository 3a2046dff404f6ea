#!/usr/bin/env bash
# Size and speed of the editor page, measured in headless Chromium against budgets:
#   script + style of the built page   < 1 MB minified
#   setMarkdown of a 1 MB note          < 300 ms until laid out
#   a keystroke in a 1 MB note          < 16 ms of page work
# Prints the figures; exits non-zero when a budget is missed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
web="$here/../../web/editor"
if [ ! -d "$web/node_modules/playwright-core" ]; then
  echo "editor-page bench: web/editor/node_modules missing; run scripts/install-deps.sh" >&2
  exit 1
fi
node "$web/scripts/build.mjs" --if-stale >/dev/null
exec node "$here/bench.mjs" "$@"
