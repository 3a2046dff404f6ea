# Sourced by the benchmarks' run.sh: where the repository, the build, the corpus
# generator and the corpora are.
#   BUILD       build folder (default: build), relative to the repository or absolute
#   CORPUS_DIR  where the corpora live (default: <temp>/flintly-corpus); reused if present
repo=$(cd "$(dirname "${BASH_SOURCE[1]}")/../.." && pwd)
build=${BUILD:-$repo/build}
[[ $build = /* ]] || build=$repo/$build
tools=$repo/../shared/tools
corpus=${CORPUS_DIR:-${TMPDIR:-/tmp}/flintly-corpus}
