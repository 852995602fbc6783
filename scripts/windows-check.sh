#!/usr/bin/env bash
# Builds the launcher, its tests and the emulator (which drives Chrome or Edge there) for
# 64-bit Windows (mingw-w64) and runs the launcher's tests under wine64; non-zero on any
# failure. The emulator's own tests need Chromium under X11 and run on Linux only.
#
# The first run cross-builds a small Qt (Core, Gui, Widgets, Network, Test) from Debian's own
# qt6-base source package, the same version as the installed host Qt whose moc, rcc and uic
# it uses, into build-windows/qt-<version>/ (about 20 minutes on 2 idle cores). Later runs
# reuse it while the version and the options below stay the same.
#
#   scripts/windows-check.sh            everything
#   scripts/windows-check.sh --qt-only  only the packages and the Qt cache
#
# VELMORA_JOBS (default 2) sets the build jobs; heavy steps run under nice.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$ROOT/build-windows
JOBS=${VELMORA_JOBS:-2}
NICE=(nice -n 15)

. scripts/lib/packages.sh
# dpkg-dev unpacks the source package; xvfb and xauth serve the start-up check on a display.
ensure_packages cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools \
    g++-mingw-w64-x86-64-posix wine64 xvfb xauth fonts-dejavu-core

step() { printf '\n== %s (%s)\n' "$*" "$(date -u +%H:%M:%S)"; }

# --- Qt for Windows, built once -----------------------------------------------------------

QT_DEB_VERSION=$(dpkg-query -W -f='${Version}' qt6-base-dev)
QT_OPTIONS=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    # Only what the launcher and its tests use.
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF
    -DFEATURE_icu=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_testlib=ON -DFEATURE_openssl=OFF -DFEATURE_jpeg=OFF
    # The windows plugin needs the DirectWrite font database whenever directwrite3 is on,
    # and QtGui builds it only with direct2d: both off.
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
    # Debian's source package leaves out the wintab header the tablet support needs.
    -DFEATURE_tabletevent=OFF
    # Debian's patches turn these on for every cross-build; they need more of Qt.
    -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF
    # No mingw builds of these in Debian: Qt's bundled copies.
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_zstd=OFF
)
QT_STAMP="$QT_DEB_VERSION $(cat cmake/mingw-w64-x86_64.cmake "${BASH_SOURCE[0]}" |
    sed -n '/^QT_OPTIONS=(/,/^)/p;/^set(/p' | sha256sum | cut -c1-16)"
QT_DIR=$OUT/qt-${QT_DEB_VERSION%%+*}

# Fetches the source package through a private apt configuration with a deb-src entry, so
# the system's sources and package lists stay as they are.
fetch_qt_source() {
    local apt=$OUT/apt
    rm -rf "$apt" "$OUT/qt-src"
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" \
        "$OUT/qt-src"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            >"$apt/sources.list.d/src.sources"
    else
        sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >"$apt/sources.list.d/src.list"
    fi
    local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
        -o APT::Sandbox::User="$(id -un)")
    apt-get "${opts[@]}" update
    (cd "$OUT/qt-src" && apt-get "${opts[@]}" source "qt6-base=$QT_DEB_VERSION")
    rm -rf "$apt"
}

build_qt() {
    local src build=$OUT/qt-build
    step "Fetching qt6-base $QT_DEB_VERSION"
    fetch_qt_source
    src=$(find "$OUT/qt-src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*')
    rm -rf "$build" "$QT_DIR"
    mkdir -p "$build" "$QT_DIR"
    # Qt's own toolchain file refers to this one: the copy keeps the cache self-contained.
    cp cmake/mingw-w64-x86_64.cmake "$QT_DIR/mingw-w64-x86_64.cmake"
    step "Configuring Qt for Windows"
    "${NICE[@]}" cmake -G Ninja -S "$src" -B "$build" \
        -DCMAKE_TOOLCHAIN_FILE="$QT_DIR/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$QT_DIR" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
        "${QT_OPTIONS[@]}"
    step "Building Qt for Windows ($JOBS jobs)"
    "${NICE[@]}" cmake --build "$build" -j "$JOBS"
    cmake --install "$build"
    echo "$QT_STAMP" >"$QT_DIR/velmora-stamp"
    rm -rf "$build" "$OUT/qt-src"
}

if [ "$(cat "$QT_DIR/velmora-stamp" 2>/dev/null)" != "$QT_STAMP" ]; then
    qt_start=$SECONDS
    build_qt
    step "Qt for Windows ready in $(((SECONDS - qt_start) / 60)) min $(((SECONDS - qt_start) % 60)) s"
else
    step "Reusing $QT_DIR"
fi
[ "${1:-}" = --qt-only ] && exit 0

# --- The launcher and its tests for Windows -------------------------------------------------

PROJECT=$OUT/project
step "Building the launcher and the emulator for Windows"
"$QT_DIR/bin/qt-cmake" -G Ninja -S "$ROOT" -B "$PROJECT" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$ROOT/scripts/lib/wine-run.sh;$QT_DIR"
"${NICE[@]}" cmake --build "$PROJECT" -j "$JOBS"

# --- Run under wine ----------------------------------------------------------------------

# A prefix of its own: whatever the tests do to the user's files there touches no one's.
export WINEPREFIX=$OUT/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    step "Creating the wine prefix"
    /usr/lib/wine/wine64 wineboot --init
    /usr/lib/wine/wineserver -w
fi
/usr/lib/wine/wineserver -k 2>/dev/null || true

# One virtual display for the whole run: the widget tests draw offscreen, and the process
# test starts the launcher on Qt's windows platform, which wine shows on this display.
step "Running the tests under wine"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir "$PROJECT" --output-on-failure -j "$JOBS" --timeout 300 || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
step "Done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
exit $status
