#!/usr/bin/env bash
# What an idle note costs: processor time of all the app's processes over 30 s with
# the note panel shown and the caret in the note, nobody typing, beside a bare web view
# with a focused <textarea> (bench/app/webview_baseline), measured the same way from
# /proc. Budget: the app at most the baseline. Exits non-zero when it is over budget or
# cannot measure. Runs itself under a virtual X server when none is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
secs="${IDLE_SECONDS:-30}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi
cmake --build "$build" --target flintly webview_baseline >/dev/null
for tool in xdotool pgrep; do
  command -v "$tool" >/dev/null || { echo "idle bench: $tool is missing" >&2; exit 1; }
done

export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

tree() {  # a process and all its descendants
  echo "$1"
  local c
  for c in $(pgrep -P "$1" || true); do tree "$c"; done
}
ticks() {  # user + system time of a process tree, in clock ticks
  local sum=0 p
  for p in $(tree "$1"); do
    [ -r "/proc/$p/stat" ] || continue
    # Fields after the command name, which may hold spaces: utime is the 12th, stime the 13th.
    set -- $(sed 's/^.*) //' "/proc/$p/stat" 2>/dev/null || true)
    [ $# -ge 13 ] && sum=$((sum + ${12} + ${13}))
  done
  echo "$sum"
}
wait_for() {  # file pattern seconds
  for _ in $(seq $(($3 * 20))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
  echo "idle bench: '$2' never appeared in $1" >&2; cat "$1" >&2; return 1
}
click_into() {  # window name: a click in the middle puts the caret there
  local win
  win=$(xdotool search --onlyvisible --name "$1" | head -1)
  [ -n "$win" ] || { echo "idle bench: no visible window named $1" >&2; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove --window "$win" $((WIDTH / 2)) $((HEIGHT / 3)) click 1
  # The pointer leaves the window, so hover effects cost nothing either.
  xdotool mousemove 1900 1060
}
measure() {  # pid label
  local a b
  sleep 2
  a=$(ticks "$1"); sleep "$secs"; b=$(ticks "$1")
  awk -v t=$((b - a)) -v hz="$hz" -v s="$secs" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
}

# The baseline: a bare web view, its <textarea> focused.
"$build/bin/webview_baseline" "$root/bench/app/baseline.html" 2>"$work/baseline.log" &
pids+=($!)
wait_for "$work/baseline.log" 'baseline-loaded' 30
sleep 1
click_into '^Flintly baseline$'
base=$(measure "${pids[0]}")
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true

# The app, with fresh settings, a notes folder chosen, the panel shown with a 10 KB note.
home="$work/home"
mkdir -p "$home/config/Flintly" "$home/Notes" "$home/data"
printf '[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=%s\nflintlySaveFolder=file://%s\n' \
  "$("$build/bin/flintly" --version | cut -d' ' -f2)" "$home/Notes" >"$home/config/Flintly/Flintly.conf"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
  XDG_RUNTIME_DIR="$home" FLINTLY_RESOURCE_DIR="$build/share/flintly" FLINTLY_TRACE_STARTUP=1 \
  "$build/bin/flintly" >"$work/app.out" 2>"$work/app.log" &
pids+=($!)
wait_for "$work/app.log" 'editor-loaded' 30
sleep 1
click_into '^Flintly$'
app=$(measure "${pids[1]}")

verdict=$(awk -v a="$app" -v b="$base" 'BEGIN { print (a <= b) ? "PASS" : "FAIL" }')
printf '%-58s %6s%% of a core   budget <= %s%% (bare web view, focused <textarea>)  %s\n' \
  "idle ${secs} s, panel shown, caret in the note: app" "$app" "$base" "$verdict"
[ "$verdict" = PASS ]
