#!/usr/bin/env bash
# Runs every fuzzer for the given number of seconds each, starting from the checked-in corpus.
#   tests/fuzz/run.sh <build-dir> [seconds]
set -euo pipefail
build=$1 seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
for target in fuzz_address fuzz_sites_decode fuzz_shortcut_decode; do
  work=$(mktemp -d)
  cp -r "$here/corpus/$target/." "$work/"
  echo "fuzzing $target for ${seconds}s"
  status=0
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work" >"$work.log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units' "$work.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work.log" >&2
    echo "$target found a failure" >&2
    exit 1
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzzers: no findings"
