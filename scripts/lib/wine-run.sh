#!/usr/bin/env bash
# ctest's CMAKE_CROSSCOMPILING_EMULATOR for the Windows build: runs a Windows program under
# wine64 with the cross-built Qt and the mingw-w64 runtime on its DLL path.
#   wine-run.sh <Qt for Windows> <program.exe> [arguments...]
# The wine prefix is build-windows/wine, a private one, unless WINEPREFIX says otherwise.
set -euo pipefail
qt=$1
shift
own=$(cd "$(dirname "$0")/../.." && pwd)/build-windows/wine
export WINEPREFIX=${WINEPREFIX:-$own}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

runtime() { dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1")"; }
winpath=
for dir in "$qt/bin" "$(runtime libstdc++-6.dll)" "$(runtime libwinpthread-1.dll)"; do
    winpath+="${winpath:+;}Z:${dir//\//\\}"
done
export WINEPATH=$winpath

# Wine keeps Unix variables named QT_* out of a Windows program's environment and passes
# WINEQT_X as QT_X instead.
for v in $(compgen -e); do
    case $v in QT_*) export "WINE$v=${!v}" ;; esac
done
# Without a console, Qt logs through OutputDebugString, which nobody reads here.
export WINEQT_FORCE_STDERR_LOGGING=1
# The offscreen platform on Windows reads its fonts from a directory, by default an empty one.
export WINEQT_QPA_FONTDIR=${WINEQT_QPA_FONTDIR:-'Z:\usr\share\fonts\truetype\dejavu'}
# This prefix's user is no one's: the process tests may use its real data folder.
[ "$WINEPREFIX" -ef "$own" ] && export VELMORA_DISPOSABLE_USER=1
exec /usr/lib/wine/wine64 "$@"
