#!/usr/bin/env bash
# The whole app's figures: start-up to the editor loaded, Ctrl+J to the panel mapped,
# and the resident memory of all its processes idle with a 10 KB note.
# Runs itself under a virtual X server when none is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build}"
runs="${RUNS:-5}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi
cmake --build "$build" --target flintly hotkey_map_bench >/dev/null

export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# share/flintly with a 10 KB note in place of the quick guide, which start-up opens.
cp -r "$build/share/flintly" "$work/share"
python3 - "$work/share/Guide.md" <<'PY'
import sys
line = "- [ ] a line of a ten kilobyte note, with **some** markdown in it\n"
text = "# Ten kilobytes\n\n" + line * (10240 // len(line))
open(sys.argv[1], "w").write(text[:10240])
PY

fresh_home() {
  local home="$work/home-$1"
  rm -rf "$home"; mkdir -p "$home/config/Flintly" "$home/Notes"
  printf '[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=%s\nflintlySaveFolder=file://%s\n' \
    "$("$build/bin/flintly" --version | cut -d' ' -f2)" "$home/Notes" > "$home/config/Flintly/Flintly.conf"
  echo "$home"
}

launch() {  # $1 home; prints the pid
  HOME="$1" XDG_CONFIG_HOME="$1/config" XDG_CACHE_HOME="$1/cache" XDG_RUNTIME_DIR="$1" \
    FLINTLY_RESOURCE_DIR="$work/share" FLINTLY_TRACE_STARTUP=1 \
    "$build/bin/flintly" >"$1/out.log" 2>"$1/err.log" &
  echo $!
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

startups=()
for i in $(seq "$runs"); do
  home="$(fresh_home "$i")"
  t0=$(date +%s%3N)
  pid=$(launch "$home")
  for _ in $(seq 300); do grep -q 'editor-loaded' "$home/err.log" 2>/dev/null && break; sleep 0.05; done
  t1=$(grep 'editor-loaded' "$home/err.log" | awk '{print $3}')
  startups+=($((t1 - t0)))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
echo "process start to panel with the editor loaded: median $(printf '%s\n' "${startups[@]}" | median) ms over $runs runs (${startups[*]})   (target < 1500 ms)"

home="$(fresh_home hot)"
pid=$(launch "$home")
for _ in $(seq 300); do grep -q 'editor-loaded' "$home/err.log" 2>/dev/null && break; sleep 0.05; done
sleep 3  # idle
total_rss=0; total_pss=0; procs=0
for p in $pid $(pgrep -P "$pid" || true) $(for c in $(pgrep -P "$pid" || true); do pgrep -P "$c" || true; done); do
  [ -r "/proc/$p/smaps_rollup" ] || continue
  rss=$(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup"); pss=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup")
  total_rss=$((total_rss + rss)); total_pss=$((total_pss + pss)); procs=$((procs + 1))
done
echo "resident memory idle with a 10 KB note, $procs processes: RSS $((total_rss / 1024)) MiB, PSS $((total_pss / 1024)) MiB   (target < 250 MB)"

win=$(xdotool search --onlyvisible --name '^Flintly$' | head -1)
"$build/bin/hotkey_map_bench" "$win" 20 || true
kill "$pid"; wait "$pid" 2>/dev/null || true
