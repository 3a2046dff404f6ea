#!/usr/bin/env bash
# Statistics pass against the shell baseline, on the standard flat corpus (10,000 notes
# of 1-4 KB in one folder), then the peak memory of counting one 200 MB note.
#   BUILD       build folder holding bin/statistics_bench (default: build)
#   CORPUS_DIR  where the corpus lives (default: <temp>/flintly-corpus); reused if present
#   RUNS        timed runs of each side (default: 5), after one warm-up run
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../support/paths.sh"
bench=$build/bin/statistics_bench
runs=${RUNS:-5}

if [[ ! -f $tools/gen_corpus.py ]]; then
  echo "statistics bench: corpus generator not found at $tools/gen_corpus.py" >&2
  exit 1
fi
if [[ ! -x $bench ]]; then
  if [[ -f $build/CMakeCache.txt ]]; then
    cmake --build "$build" --target statistics_bench
  else
    echo "statistics bench: $bench is missing; build the project first (make build)" >&2
    exit 1
  fi
fi

flat=$corpus/flat
count=0
[[ -d $flat ]] && count=$(find "$flat" -maxdepth 1 -name '*.md' | wc -l)
if [[ $count -ne 10000 ]]; then
  echo "making the flat corpus in $flat ..."
  rm -rf "$flat"
  CORPUS_DIR=$corpus python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import gen_corpus; gen_corpus.flat()' "$tools"
fi

# One baseline run, as "wall_ms cpu_ms": every character and every ticked-to-do line,
# as the pass counts them (wc -m needs a UTF-8 locale to count characters, not bytes).
baseline_once() {
  local TIMEFORMAT='%3R %3U %3S' t
  t=$( { time (cd "$flat" && cat -- *.md | LC_ALL=C.UTF-8 wc -m >/dev/null \
       && cat -- *.md | LC_ALL=C.UTF-8 grep -c -F -e '- [x]' -e '- [X]' >/dev/null); } 2>&1 )
  awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$t"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "== statistics pass over $flat"
baseline_once >/dev/null   # warm the page cache
base_runs=$(for _ in $(seq "$runs"); do baseline_once; done)
base_ms=$(awk '{ print $1 }' <<<"$base_runs" | median)
base_cpu=$(awk '{ print $2 }' <<<"$base_runs" | median)
ours_out=$("$bench" "$flat" "$runs")
ours_ms=$(awk '/^median_ms/ { print $2 }' <<<"$ours_out")
ours_cpu=$(awk '/^median_cpu_ms/ { print $2 }' <<<"$ours_out")
echo "$ours_out" | head -1
echo "baseline (cat | wc -m, cat | grep -c): median wall ${base_ms} ms, processor ${base_cpu} ms"
echo "statistics pass:                       median wall ${ours_ms} ms, processor ${ours_cpu} ms"
awk -v o="$ours_ms" -v b="$base_ms" -v oc="$ours_cpu" -v bc="$base_cpu" 'BEGIN {
  printf "ratio %.2fx wall, %.2fx processor (target <= 3x)\n", o / (b > 0 ? b : 1), oc / (bc > 0 ? bc : 1) }'

echo "== peak memory counting one 200 MB note"
big=$corpus/stats-200mb
if [[ $(stat -c %s "$big/big.md" 2>/dev/null || echo 0) -lt 209715200 ]]; then
  mkdir -p "$big"
  python3 - "$flat" "$big/big.md" <<'PY'
import os, sys
src, dst = sys.argv[1], sys.argv[2]
names = sorted(n for n in os.listdir(src) if n.endswith(".md"))[:400]
block = b"".join(open(os.path.join(src, n), "rb").read() for n in names)
with open(dst, "wb") as f:
    written = 0
    while written < 200 * 1024 * 1024:
        f.write(block); written += len(block)
PY
fi
mem_out=$("$bench" --memory "$big")
echo "$mem_out"
awk '/increase_kib/ { printf "peak increase %.1f MiB (target < 64 MiB)\n", $6 / 1024 }' <<<"$mem_out"
