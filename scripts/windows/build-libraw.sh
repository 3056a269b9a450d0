#!/bin/sh
# Builds LibRaw as a DLL for 64-bit Windows (x86_64-w64-mingw32) from Debian's
# source package, once, and installs it outside the repository beside the Qt
# build, with the same pkg-config files (libraw, libraw_r) as Debian's
# libraw-dev, so the program's CMake finds it as it does on Linux.
#
# A DLL, not a static library: LibRaw is under the LGPL (or the CDDL), and
# users may replace it with their own build. Every one of Debian's patches is
# applied: they are all fixes of the library, none is packaging.
# Lossy DNG (libjpeg), RedCine (JasPer), LCMS and OpenMP are left out, as is
# every sample program.
#
# Environment: GLANCEWAY_LIBRAW_PREFIX (install prefix), GLANCEWAY_LIBRAW_WORK
# (sources and build tree), JOBS (parallel compile jobs).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
version=0.20.2
prefix=${GLANCEWAY_LIBRAW_PREFIX:-$HOME/.cache/glanceway/libraw-$version-mingw64}
work=${GLANCEWAY_LIBRAW_WORK:-$HOME/.cache/glanceway/work-libraw}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
triple=x86_64-w64-mingw32

if [ -f "$prefix/.glanceway-complete" ]; then
    echo "LibRaw $version for Windows is ready in $prefix"
    exit 0
fi

log() { printf '\n== %s\n' "$*"; }
mkdir -p "$work"
cd "$work"
started=$(date +%s)

orig=libraw_$version.orig.tar.gz
if ! ls libraw_$version-*.debian.tar.xz >/dev/null 2>&1 || [ ! -f "$orig" ]; then
    log "Fetching the libraw $version source package"
    . "$here/debian-sources.sh"
    fetch_debian_source libraw "$orig"
fi
# The newest Debian revision downloaded carries the most fixes.
debian_tar=$(ls libraw_$version-*.debian.tar.xz | sort -V | tail -1)

log "Unpacking $orig with the patches of $debian_tar"
src=$work/LibRaw-$version
rm -rf "$src" debian-libraw build
tar xzf "$orig"
mkdir debian-libraw && tar xf "$debian_tar" -C debian-libraw
grep -v '^[[:space:]]*\(#\|$\)' debian-libraw/debian/patches/series | while read -r p _; do
    echo "applying $p"
    patch -d "$src" -p1 --forward --quiet < "debian-libraw/debian/patches/$p"
done
rm -rf debian-libraw

log "Configuring"
(cd "$src" && autoreconf -fi) >autoreconf.log 2>&1 || { cat autoreconf.log; exit 1; }
mkdir build && cd build
# Winsock (byte order) is named by a #pragma only MSVC reads.
"$src/configure" --host=$triple --prefix="$prefix" \
    --enable-shared --disable-static --disable-examples \
    --disable-openmp --disable-jpeg --disable-jasper --disable-lcms \
    CC=$triple-gcc-posix CXX=$triple-g++-posix \
    CFLAGS=-O2 CXXFLAGS=-O2 LIBS=-lws2_32 >configure.log 2>&1 || { cat configure.log; exit 1; }

log "Building ($jobs jobs)"
make -j"$jobs" >make.log 2>&1 || { tail -40 make.log; exit 1; }
rm -rf "$prefix"
make install >install.log 2>&1 || { tail -40 install.log; exit 1; }
rm -f "$prefix"/lib/*.la
$triple-strip --strip-unneeded "$prefix"/bin/*.dll

touch "$prefix/.glanceway-complete"
log "LibRaw $version for Windows ready in $prefix after $(( ($(date +%s) - started) / 60 )) minutes"
