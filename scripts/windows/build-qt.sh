#!/bin/sh
# Builds Qt 6.4.2 as DLLs for 64-bit Windows (x86_64-w64-mingw32) from Debian's
# source packages, once, and installs it outside the repository:
#
#   qtbase           Core, Gui, Widgets, Xml, Test, the windows platform plug-in,
#                    the JPEG, GIF and ICO image-format plug-ins
#   qtimageformats   the TIFF plug-in only
#
# Qt is linked dynamically so that users can replace its DLLs with their own
# build, as Qt's LGPL asks of a program under another licence.
#
# The host's Qt (Debian's qt6-base-dev and qt6-tools-dev) supplies moc, rcc, uic
# and lrelease. Every step leaves a stamp in the work folder, so an interrupted
# run picks up where it stopped; delete the work folder to start over.
#
# Environment: GLANCEWAY_QT_PREFIX (install prefix), GLANCEWAY_QT_WORK (sources
# and build trees), JOBS (parallel compile jobs).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
version=6.4.2
# A prefix and work folder of their own: an earlier static build in
# qt-$version-mingw64 is never taken for this one.
prefix=${GLANCEWAY_QT_PREFIX:-$HOME/.cache/glanceway/qt-$version-mingw64-shared}
work=${GLANCEWAY_QT_WORK:-$HOME/.cache/glanceway/work-qt-shared}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
toolchain=$here/mingw-w64-x86_64.cmake
host_prefix=/usr
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

if [ -f "$prefix/.glanceway-complete" ]; then
    echo "Qt $version for Windows is ready in $prefix"
    exit 0
fi

log() { printf '\n== %s\n' "$*"; }
stamp() { touch "$work/.stamp-$1"; }
done_() { [ -f "$work/.stamp-$1" ]; }

mkdir -p "$work"
cd "$work"
started=$(date +%s)

# Sources: Debian's orig tarballs. Debian's own patches are for its Linux
# packaging; only its backported security fixes are applied here.
. "$here/debian-sources.sh"

have_sources() {
    [ -f qt6-base_$version+dfsg.orig.tar.xz ] && [ -f qt6-imageformats_$version.orig.tar.xz ] &&
        ls qt6-base_$version+dfsg-*.debian.tar.xz >/dev/null 2>&1
}

if ! done_ fetch; then
    log "Fetching qt6-base and qt6-imageformats $version sources"
    if ! have_sources; then
        ensure_deb_src
        apt-get source --download-only qt6-base qt6-imageformats
    fi
    have_sources || { echo "Debian's sources are not Qt $version; see $work" >&2; exit 1; }
    stamp fetch
fi

base_src=$work/qtbase-everywhere-src-$version
formats_src=$work/qtimageformats-everywhere-src-$version
if ! done_ extract; then
    log "Unpacking and patching"
    rm -rf "$base_src" "$formats_src" debian
    tar xf qt6-base_$version+dfsg.orig.tar.xz
    tar xf qt6-imageformats_$version.orig.tar.xz
    mkdir debian-base && tar xf qt6-base_$version+dfsg-*.debian.tar.xz -C debian-base
    for p in $(grep -E '^cve-' debian-base/debian/patches/series); do
        echo "applying $p"
        patch -d "$base_src" -p1 --forward --quiet < "debian-base/debian/patches/$p"
    done
    rm -rf debian-base
    for p in "$here"/patches/*.patch; do
        echo "applying $(basename "$p")"
        patch -d "$base_src" -p1 --forward --quiet < "$p"
    done
    stamp extract
fi

# Debian's tarball leaves out src/3rdparty/wintab, the headers of the legacy
# WinTab tablet API; Windows Ink still delivers pen input without it.
if ! done_ configure-base; then
    log "Configuring qtbase"
    rm -rf qtbase-build && mkdir qtbase-build && cd qtbase-build
    "$base_src/configure" -prefix "$prefix" \
        -xplatform win32-g++ -qt-host-path "$host_prefix" \
        -release -shared -nomake tests -nomake examples \
        -no-opengl -no-dbus -no-feature-sql -no-feature-network -no-feature-vulkan \
        -no-feature-printsupport -no-feature-concurrent -no-feature-direct2d \
        -no-feature-tabletevent -no-zstd \
        -qt-zlib -qt-libjpeg -qt-libpng -qt-pcre -qt-harfbuzz -qt-freetype \
        -- -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
    cd "$work"
    stamp configure-base
fi

if ! done_ build-base; then
    log "Building qtbase ($jobs jobs)"
    cmake --build qtbase-build --parallel "$jobs"
    stamp build-base
fi

if ! done_ install-base; then
    log "Installing qtbase into $prefix"
    cmake --install qtbase-build
    stamp install-base
fi

# qtimageformats: the TIFF reader with its bundled libtiff, nothing else.
if ! done_ configure-formats; then
    log "Configuring qtimageformats"
    rm -rf formats-build
    "$prefix/bin/qt-cmake" -S "$formats_src" -B formats-build -G Ninja \
        -DCMAKE_BUILD_TYPE=Release \
        -DFEATURE_tiff=ON -DFEATURE_system_tiff=OFF \
        -DFEATURE_webp=OFF -DFEATURE_wbmp=OFF -DFEATURE_icns=OFF -DFEATURE_tga=OFF \
        -DFEATURE_mng=OFF -DFEATURE_jasper=OFF -DFEATURE_macheif=OFF
    stamp configure-formats
fi

if ! done_ build-formats; then
    log "Building qtimageformats"
    cmake --build formats-build --parallel "$jobs"
    cmake --install formats-build
    stamp build-formats
fi

touch "$prefix/.glanceway-complete"
log "Qt $version for Windows ready in $prefix after $(( ($(date +%s) - started) / 60 )) minutes"
