#!/usr/bin/env bash
# The three-way merge of a 1 MB note edited at both ends on both sides, against its
# budget of 20 ms, with GNU diff3 -m on the same three files beside it.
#   BUILD       build folder holding bin/merge_bench (default: build)
#   CORPUS_DIR  where the note is made (default: <temp>/flintly-corpus); reused if present
#   RUNS        timed runs (default: 15), after one warm-up run
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../support/paths.sh"
runs=${RUNS:-15}
budget_ms=20

cmake --build "$build" --target merge_bench >/dev/null
note=$corpus/merge/note.md
if [[ ! -f $note ]]; then
  if [[ ! -f $tools/gen_corpus.py ]]; then
    echo "merge bench: corpus generator not found at $tools/gen_corpus.py" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$note")"
  # One 1 MB block of the standard corpus's big note, from its own seed.
  python3 -c 'import sys, random; sys.path.insert(0, sys.argv[1]); import gen_corpus
open(sys.argv[2], "w").write(gen_corpus.note(random.Random(3), 1 << 20))' "$tools" "$note"
fi

out=$("$build/bin/merge_bench" "$note" "$runs")
echo "$out" | head -1
ours=$(awk '/^merge_ms/ { print $2 }' <<<"$out")

baseline="n/a"
if command -v diff3 >/dev/null; then
  diff3 -m "$note.ours" "$note" "$note.theirs" >/dev/null || true  # warm-up
  baseline=$( { TIMEFORMAT='%3R'; time (for _ in $(seq "$runs"); do
      diff3 -m "$note.ours" "$note" "$note.theirs" >/dev/null || true; done); } 2>&1 )
  baseline=$(awk -v t="$baseline" -v n="$runs" 'BEGIN { printf "%.2f", t * 1000 / n }')
fi
echo "merge:            ${ours} ms (budget ${budget_ms} ms)"
echo "GNU diff3 -m:     ${baseline} ms per run, process start included"
if [[ $baseline != n/a ]]; then
  awk -v o="$ours" -v b="$baseline" 'BEGIN { printf "ratio %.2fx of diff3\n", o / (b > 0 ? b : 1) }'
fi
if awk -v o="$ours" -v b="$budget_ms" 'BEGIN { exit !(o > b) }'; then
  echo "merge bench: ${ours} ms is over the ${budget_ms} ms budget" >&2
  exit 1
fi
