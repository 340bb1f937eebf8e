#!/usr/bin/env bash
# Vesk's benchmarks, one command: installs the bench-only packages (bench/packages.txt), builds
# vesk and the bench tools in RelWithDebInfo, and runs every figure on a private headless
# desktop (Xvfb, xfwm4, xfce4-panel as tray host, private D-Bus session bus).
#   bench/run.sh [build-dir] [bench.py options, e.g. --only memory,browsers --presses 50]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  build=$(realpath -m "$1")
  shift
fi
cd "$root"
bash scripts/install-deps.sh
bash scripts/install-deps.sh bench/packages.txt
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vesk bench_tray_start bench_panel_latency bench_site_lists bench_settings_writes -j 2
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(uname -r)"
tests/harness/headless.sh --tray -- python3 bench/bench.py --build-dir "$build" "$@"
