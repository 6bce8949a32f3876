#!/usr/bin/env bash
# Runs the tests N times in a row, never retrying, and counts the failures of each case.
#   scripts/flake.sh N [label]     e.g. scripts/flake.sh 20 x11
# The build tree is build/release unless TOVIK_BUILD_DIR names another; it is brought up to
# date first. Each run's output is kept under <build>/flake/ for the failures' details.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:?usage: scripts/flake.sh N [label]}
label=${2:-}
dir=${TOVIK_BUILD_DIR:-build/release}
jobs=$(nproc)
[ -f "$dir/CTestTestfile.cmake" ] || { echo "flake: $dir is not a configured build tree" >&2; exit 2; }
cmake --build "$dir" -j "$jobs" >/dev/null

logs="$dir/flake"
rm -rf "$logs" && mkdir -p "$logs"
filter=()
[ -n "$label" ] && filter=(-L "^${label}\$")
failed_runs=0
for run in $(seq "$runs"); do
  start=$SECONDS
  if ctest --test-dir "$dir" "${filter[@]}" -j "$jobs" --output-on-failure >"$logs/run-$run.log" 2>&1; then
    echo "run $run/$runs: passed ($((SECONDS - start)) s)"
  else
    failed_runs=$((failed_runs + 1))
    # Lines of "<index>:<test name>"; a run that failed without a list (a crash of ctest
    # itself, a build error) counts as one failure of "(run)".
    if [ -s "$dir/Testing/Temporary/LastTestsFailed.log" ]; then
      cut -d: -f2- "$dir/Testing/Temporary/LastTestsFailed.log" >>"$logs/failures"
    else
      echo "(run)" >>"$logs/failures"
    fi
    echo "run $run/$runs: FAILED ($((SECONDS - start)) s): $(cut -d: -f2- "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | paste -sd' ')"
  fi
done

echo
if [ "$failed_runs" -eq 0 ]; then
  echo "flake: ${label:-all} passed $runs of $runs runs"
  exit 0
fi
echo "flake: ${label:-all} failed in $failed_runs of $runs runs; failures per case:"
sort "$logs/failures" | uniq -c | sort -rn | awk -v n="$runs" '{c=$1; $1=""; printf "  %3d/%d %s\n", c, n, substr($0, 2)}'
echo "details: $logs/run-<n>.log"
exit 1
