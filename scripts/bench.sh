#!/usr/bin/env bash
# Builds the benchmarks in build-bench and runs them: reading and writing configurations
# beside QSettings, the launcher's start-up beside minimal Qt windows (headless), and the
# window's work with 10,000 profiles. Figures are reported, never asserted; the exit status
# is non-zero only when something fails to build or run.
#   scripts/bench.sh           full run, a few minutes
#   scripts/bench.sh --short   a quick pass, so that the benchmarks cannot rot
set -euo pipefail
cd "$(dirname "$0")/.."

mode=()
if [ "${1:-}" = "--short" ]; then
    mode=(--short)
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--short]" >&2
    exit 2
fi

. scripts/lib/packages.sh
ensure_packages cmake g++ make qt6-base-dev libgl-dev libbenchmark-dev fonts-dejavu-core

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON \
    -DVELMORA_BENCH=ON -DBUILD_TESTING=OFF -DVELMORA_BUILD_EMULATOR=OFF
cmake --build "$build" --target bench_config bench_startup bench_mainwindow -j2

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
export QT_QPA_PLATFORM=offscreen
for bench in bench_config bench_startup bench_mainwindow; do
    echo
    echo "== $bench"
    "$build/bench/$bench" "${mode[@]}" --benchmark_color=false
done
