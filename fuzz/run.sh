#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them on their seed corpus.
#
#   fuzz/run.sh TARGET|all MINUTES
#
# TARGET is a fuzz program's name (fuzz_open, fuzz_riff, ...; `fuzz/run.sh list`
# names them). Each runs for MINUTES on a working corpus fuzz/corpus-TARGET/
# (not kept in git) that starts from the seeds in fuzz/corpus/TARGET/. Inputs
# that crash are written as fuzz/crash-TARGET-*; the script then ends with
# status 1. A summary line per target gives its executions and findings.
# The build folder is build-fuzz/ (VES_FUZZ_BUILD_DIR changes it).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${VES_FUZZ_BUILD_DIR:-$root/build-fuzz}"

targets_in_tree() {
  local f
  for f in "$here"/fuzz_*.cpp; do basename "$f" .cpp; done
}

usage() {
  echo "usage: fuzz/run.sh TARGET|all MINUTES   (targets: $(targets_in_tree | tr '\n' ' '))" >&2
  exit 2
}

[ "${1:-}" = list ] && { targets_in_tree; exit 0; }
[ $# -eq 2 ] || usage
what="$1"
minutes="$2"
[[ "$minutes" =~ ^[0-9]+([.][0-9]+)?$ ]] || usage
seconds="$(awk -v m="$minutes" 'BEGIN { s = int(m * 60); print (s < 1 ? 1 : s) }')"

if [ "$what" = all ]; then
  mapfile -t targets < <(targets_in_tree)
else
  [ -f "$here/$what.cpp" ] || { echo "fuzz/run.sh: no fuzz target $what" >&2; usage; }
  targets=("$what")
fi

command -v clang++ >/dev/null || { echo "fuzz/run.sh: clang++ is needed (Debian: apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVES_BUILD_FUZZ=ON -DVES_BUILD_TESTS=OFF -DVES_BUILD_APP=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  work="$here/corpus-$t"
  mkdir -p "$work"
  seeds=()
  [ -d "$here/corpus/$t" ] && seeds=("$here/corpus/$t")
  log="$build/$t.log"
  echo "==> $t for $minutes min (log $log)" >&2
  set +e
  ( cd "$build" && "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 \
      -rss_limit_mb=4096 -artifact_prefix="$here/crash-$t-" "$work" "${seeds[@]}" ) >"$log" 2>&1
  rc=$?
  set -e
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  found="$(find "$here" -maxdepth 1 -name "crash-$t-*" | wc -l)"
  corpus="$(find "$work" -type f | wc -l)"
  echo "$t: ${runs:-?} executions in $minutes min, corpus $corpus inputs, findings $found (exit $rc)"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    tail -n 40 "$log" >&2
  fi
done
exit "$status"
