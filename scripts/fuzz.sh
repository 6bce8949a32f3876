#!/usr/bin/env bash
# Gives each libFuzzer target (or the ones named) SECONDS of fuzzing on its seed corpus.
#   scripts/fuzz.sh SECONDS [target...]
# Needs the targets built (see scripts/test.sh: build/fuzz, clang, -DTOVIK_FUZZ=ON). Inputs
# the fuzzer finds go to <build>/corpus/<target>/, never into the tree; a crash fails the run
# and leaves its input in <build>/crashes/<target>/: once the fault is fixed, keep that input
# in fuzz/corpus/<target>/, where every later run replays it first.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS [target...]}
shift
dir=${TOVIK_FUZZ_DIR:-build/fuzz}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(cd fuzz/corpus && ls))

status=0
for target in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$target" "$dir/crashes/$target"
  log="$dir/$target.log"
  if "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/crashes/$target/" "$dir/corpus/$target" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
    echo "fuzz: $target: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs in $seconds s, no crash"
  else
    status=1
    echo "fuzz: $target FAILED; its input is in $dir/crashes/$target/" >&2
    tail -n 40 "$log" >&2
  fi
done
exit "$status"
