#!/usr/bin/env bash
# Builds the benchmarks in build-bench and runs them: reading and writing configurations
# beside QSettings, the launcher's start-up beside minimal Qt windows (headless), the
# window's work with 10,000 profiles, and the emulator's start and memory beside a bare
# Chromium and five emulators following one another (on a virtual X server). Figures are
# reported, never asserted; the exit status is non-zero only when something fails to build
# or run.
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
ensure_packages cmake g++ make qt6-base-dev libgl-dev libbenchmark-dev fonts-dejavu-core \
    chromium libgl1-mesa-dri xvfb xauth xdotool

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON \
    -DVELMORA_BENCH=ON -DBUILD_TESTING=OFF
cmake --build "$build" --target bench_config bench_startup bench_mainwindow bench_emulator \
    bench_group -j2

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
export QT_QPA_PLATFORM=offscreen
for bench in bench_config bench_startup bench_mainwindow; do
    echo
    echo "== $bench"
    "$build/bench/$bench" "${mode[@]}" --benchmark_color=false
done

echo
echo "== bench_emulator"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$build/bench/bench_emulator" "${mode[@]}"

echo
echo "== bench_group"
xvfb-run -a -s "-screen 0 2800x1400x24 -nolisten tcp" "$build/bench/bench_group" "${mode[@]}"
