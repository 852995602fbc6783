# Sourced by the scripts: ensure_packages installs the Debian packages among its arguments
# that are not installed yet. The package lists are read once per run of the outermost
# script, so several scripts in a row update them at most once.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [ -z "${VELMORA_APT_UPDATED:-}" ]; then
        $sudo apt-get update
        export VELMORA_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
