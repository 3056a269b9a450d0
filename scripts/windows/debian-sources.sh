# Sourced by the build scripts: Debian's source packages through apt-get source.
#
# apt-get source needs a deb-src entry; one is derived from the binary entries
# for Debian's archive when none exists.
ensure_deb_src() {
    if grep -Eqs '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
        return
    fi
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee /etc/apt/sources.list.d/glanceway-deb-src.sources >/dev/null
    else
        sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' /etc/apt/sources.list |
            $sudo tee /etc/apt/sources.list.d/glanceway-deb-src.list >/dev/null
    fi
    $sudo apt-get update -q
}

# Downloads a source package into the current folder. A security update's
# .dsc names the original tarball of the release, which mirrors keep only in
# the main pool; the earlier versions are then asked for in turn until the
# tarball is there. Usage: fetch_debian_source PACKAGE ORIG_TARBALL
fetch_debian_source() {
    ensure_deb_src
    apt-get source --download-only "$1" || true
    [ -f "$2" ] && return 0
    for v in $(apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -r -V); do
        apt-get source --download-only "$1=$v" || true
        [ -f "$2" ] && return 0
    done
    echo "Debian's sources of $1 do not hold $2" >&2
    return 1
}
