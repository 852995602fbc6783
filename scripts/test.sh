#!/usr/bin/env bash
# Sets everything up and runs the whole test suite headless; non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j2 --timeout 300
