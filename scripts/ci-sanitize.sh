#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and
# runs the whole test suite there. Any sanitizer report ends the process that made it
# with an error, so the run fails; the exit status is non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/packages.sh
ensure_packages cmake g++ make pkg-config qt6-base-dev libgl-dev libxcb1-dev xvfb xauth xdotool \
    fonts-dejavu-core

build=build-asan
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON \
    -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_EMULATOR=OFF
cmake --build "$build" -j2

suppressions="$PWD/tests/data/sanitizers/lsan.supp"
# Every process the tests start (the launcher, helpers) inherits these.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=86:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
# The emulator's core, its protocol pipe and the group's messages need no browser: they are
# built above and their tests must run here too.
for t in tst_emulatorcore tst_config tst_groupmessage tst_devtoolspipe; do
    ctest --test-dir "$build" -N -R "^$t\$" | grep -q "Total Tests: 1" ||
        { echo "$t is not built under the sanitizers" >&2; exit 1; }
done
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
