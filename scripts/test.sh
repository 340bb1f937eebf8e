#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds Vesk with warnings as errors, runs the whole
# suite in an AddressSanitizer + UndefinedBehaviorSanitizer build, fuzzes the parsers briefly,
# then runs the whole suite headless in the release build (Xvfb, private D-Bus session buses,
# xfwm4 and xfce4-panel).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# With ccache on the machine, builds reuse objects across clones: paths are seen relative to the
# checkout, so a fresh clone elsewhere hits the objects of an earlier run.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi

bash scripts/install-deps.sh

echo "== clang-format"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
if [ -n "$files" ]; then
  # shellcheck disable=SC2086
  clang-format --dry-run --Werror $files
fi
echo "formatting ok"

echo "== sanitizer build (whole suite under AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_WERROR=ON -DVESK_SANITIZE=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"
# GUI processes run without leak detection: fontconfig, GLib and GTK keep one-time caches and
# type tables until exit. Reports go to files, because the end-to-end scripts stop vesk with a
# signal and would not see an error exit of its own.
reports=$(mktemp -d /tmp/vesk-sanitizer-reports.XXXXXX)
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:log_path=$reports/asan \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan \
  ctest --test-dir build-asan -L 'ui|e2e' --output-on-failure -j "$jobs"
if [ -n "$(ls -A "$reports")" ]; then
  cat "$reports"/* >&2
  echo "sanitizer reports above" >&2
  exit 1
fi
rm -rf "$reports"

if [ -d tests/fuzz ] && [ "${VESK_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzzers (short run)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_FUZZ=ON \
    -DVESK_SANITIZE=ON "${launcher[@]}" >/dev/null
  cmake --build build-fuzz --target fuzzers -j "$jobs"
  bash tests/fuzz/run.sh build-fuzz "${VESK_FUZZ_SECONDS:-45}"
fi

echo "== full build and suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
