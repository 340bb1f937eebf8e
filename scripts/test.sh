#!/usr/bin/env bash
# Installs what is missing, builds Vesk with warnings as errors, checks formatting, runs the
# display-free unit tests in an AddressSanitizer + UndefinedBehaviorSanitizer build, then
# runs the whole suite headless (Xvfb, private D-Bus session buses, xfwm4 and xfce4-panel).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== clang-format"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
if [ -n "$files" ]; then
  # shellcheck disable=SC2086
  clang-format --dry-run --Werror $files
fi
echo "formatting ok"

echo "== sanitizer build (unit tests)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_WERROR=ON -DVESK_SANITIZE=ON >/dev/null
cmake --build build-asan --target unit_tests -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"

if [ -d tests/fuzz ] && [ "${VESK_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzzers (short run)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_FUZZ=ON \
    -DVESK_SANITIZE=ON >/dev/null
  cmake --build build-fuzz --target fuzzers -j "$jobs"
  bash tests/fuzz/run.sh build-fuzz "${VESK_FUZZ_SECONDS:-45}"
fi

echo "== full build and suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
