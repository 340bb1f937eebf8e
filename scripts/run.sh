#!/usr/bin/env bash
# Installs what is missing, builds Vesk into build-run/ and starts it (options are passed on,
# e.g. `bash scripts/run.sh --toggle`).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-run --target vesk -j "$(nproc)" >&2
exec build-run/src/app/vesk "$@"
