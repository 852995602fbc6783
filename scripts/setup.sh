#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then configures and
# builds into build/. Safe to run again; does little when nothing changed.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/packages.sh
ensure_packages cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev \
    libxcb1-dev chromium libgl1-mesa-dri fonts-dejavu-core xvfb xauth xdotool

if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON
fi
cmake --build build -j2
