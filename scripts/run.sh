#!/usr/bin/env bash
# Sets everything up and starts the launcher from the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bin/velmora-launcher "$@"
