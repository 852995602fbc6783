#!/usr/bin/env bash
# Builds the Debian package from a configured build tree, validates its desktop metadata,
# installs it with apt-get, starts the installed launcher under a virtual X server, waits
# for its window, presses Launch and waits for the emulator's window; checks that velmora-shots
# is installed beside it. Non-zero on failure.
# The package stays installed afterwards.
#
# Usage: scripts/package-check.sh [build-dir]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
app_id=org.velmora.MobileEmulator
app_dir=/usr/lib/velmora-mobile-emulator

fail() {
    echo "package-check: FAILED: $*" >&2
    exit 1
}

. scripts/lib/packages.sh
ensure_packages dpkg-dev file binutils desktop-file-utils appstream xvfb xauth xdotool
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

echo "== metadata"
desktop-file-validate "packaging/linux/$app_id.desktop" || fail "desktop file"
appstreamcli validate --no-net "packaging/linux/$app_id.metainfo.xml" || fail "AppStream metadata"

echo "== package"
[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build tree"
cmake --build "$build" -j2
work=$(mktemp -d)
chmod 755 "$work" # apt reads the package as its own user
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/pkg")
debs=("$work"/pkg/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single .deb"; fi
deb=${debs[0]}
chmod 644 "$deb"
dpkg-deb --field "$deb"

contents=$(dpkg-deb --contents "$deb")
expected=(".$app_dir/velmora-launcher" ".$app_dir/LauncherDefault.ini"
          ".$app_dir/LauncherHelp.html" "./usr/bin/velmora-launcher -> "
          "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml"
          "./usr/share/icons/hicolor/48x48/apps/$app_id.png"
          "./usr/share/icons/hicolor/scalable/apps/$app_id.svg")
with_emulator=1
grep -q '^VELMORA_BUILD_EMULATOR:BOOL=OFF' "$build/CMakeCache.txt" && with_emulator=0
[ $with_emulator -eq 0 ] ||
    expected+=(".$app_dir/VelmoraMobileEmu" ".$app_dir/velmora-shots" "./usr/bin/velmora-shots -> ")
for path in "${expected[@]}"; do
    grep -qF " $path" <<<"$contents" || fail "the package lacks $path"
done
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "no computed dependencies"

echo "== install"
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --reinstall "$deb"; then
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --reinstall "$deb"
fi
[ "$(readlink -f "$(command -v velmora-launcher)")" = "$app_dir/velmora-launcher" ] ||
    fail "velmora-launcher on the PATH is not the installed one"
if [ $with_emulator -eq 1 ]; then
    [ "$(readlink -f "$(command -v velmora-shots)")" = "$app_dir/velmora-shots" ] ||
        fail "velmora-shots on the PATH is not the installed one"
    velmora-shots --help | grep -q '^Usage: velmora-shots URL' || fail "velmora-shots --help"
fi
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "installed desktop file"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "installed AppStream metadata"

echo "== run"
# The launcher and the emulator keep their files below XDG_DATA_HOME: a fresh one means the
# catalogue is read, and nothing of the user's is touched.
mkdir -p "$work/data"
cat >"$work/run.sh" <<'EOF'
set -euo pipefail
wait_window() { # title pattern; prints the first window's id
    timeout 90 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
velmora-launcher &
echo "launcher $!" >&3
window=$(wait_window '^Velmora Mobile Emulator$') || { echo "no launcher window" >&2; exit 1; }
echo "launcher window $window"
if [ -x /usr/lib/velmora-mobile-emulator/VelmoraMobileEmu ]; then
    # The first profile of the catalogue is "Phone"; Alt+L presses Launch.
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers alt+l
    emulator=$(wait_window '^Phone - Velmora Mobile Emulator$') ||
        { echo "no emulator window" >&2; exit 1; }
    echo "emulator window $emulator"
    echo "emulator $(xdotool getwindowpid "$emulator")" >&3
fi
EOF
started="$work/started"
# shellcheck disable=SC2016 # the inner shell expands its own arguments
XDG_DATA_HOME="$work/data" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    bash -c 'bash "$1" 3>"$2"; status=$?
             while read -r _ pid; do kill "$pid" 2>/dev/null || true; done <"$2"
             # Asked to stop, the emulator closes its browser, which writes its profile:
             # both are gone before the display, and before the folder is removed.
             for _ in $(seq 150); do
                 alive=0
                 while read -r _ pid; do kill -0 "$pid" 2>/dev/null && alive=1; done <"$2"
                 [ $alive -eq 0 ] && break
                 sleep 0.1
             done
             exit $status' _ "$work/run.sh" "$started" ||
    fail "the installed launcher did not show its window or did not launch the emulator"
echo "package-check: OK ($(basename "$deb"))"
