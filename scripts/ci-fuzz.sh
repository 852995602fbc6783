#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a bounded time
# (FUZZ_SECONDS, default 60) from the seed corpus in tests/data/fuzz. Any finding (a
# broken rule, a sanitizer report, a crash, a hang) fails the run; the input that caused
# it is kept in build-fuzz/artifacts/ and printed.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/packages.sh
ensure_packages cmake make pkg-config qt6-base-dev libxcb1-dev clang-14 libclang-rt-14-dev

build=build-fuzz
seconds=${FUZZ_SECONDS:-60}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_WERROR=ON -DVELMORA_FUZZ=ON -DBUILD_TESTING=OFF -DVELMORA_BUILD_EMULATOR=OFF
cmake --build "$build" --target fuzz_configreader fuzz_arguments fuzz_groupmessage \
    fuzz_emulatorarguments -j2

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p "$build/artifacts"
status=0
for target in configreader arguments groupmessage emulatorarguments; do
    # The corpus grows in the build tree; the committed seeds stay as they are.
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    # Without -len_control=0 libFuzzer grows inputs slowly and a short run stays below a
    # few kilobytes; with it, multi-kilobyte files are tried from the start.
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384
             -len_control=0 -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1)
    dict="tests/data/fuzz/$target.dict"
    [ -f "$dict" ] && options+=(-dict="$dict")
    log="$build/fuzz-$target.log"
    echo "== fuzz_$target for ${seconds}s"
    if "$build/fuzz/fuzz_$target" "${options[@]}" "$corpus" "tests/data/fuzz/$target" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done' "$log" || true
    else
        echo "fuzz_$target found a problem:"
        grep -B2 -A40 -E 'RULE BROKEN|ERROR:|SUMMARY' "$log" | head -80 || tail -40 "$log"
        grep -E 'Test unit written to' "$log" || true
        status=1
    fi
done
exit $status
