#!/bin/sh
# Cross-builds Glanceway.exe for 64-bit Windows against the Qt and LibRaw DLLs
# that build-qt.sh and build-libraw.sh made, lays the program out as a deployed
# Qt program, and packages it twice:
#
#   dist/Glanceway-<version>-win64.zip     portable: unpack anywhere and start
#   dist/Glanceway-<version>-setup.exe     the setup program (resources/windows/installer.nsi)
#
#   build-glanceway.sh            the program and both packages
#   build-glanceway.sh --tests    also every test program (for wintest.sh)
#
# The folder holds the executable, every DLL it needs beside it (Qt, LibRaw,
# the MinGW runtime), Qt's plug-ins in their folders, Qt's German catalogue and
# the licences. Every DLL any of them imports is either in the folder or part of
# Windows; the build fails otherwise.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
prefix=${GLANCEWAY_QT_PREFIX:-$HOME/.cache/glanceway/qt-6.4.2-mingw64-shared}
libraw=${GLANCEWAY_LIBRAW_PREFIX:-$HOME/.cache/glanceway/libraw-0.20.2-mingw64}
build=${WIN_BUILD_DIR:-$repo/build-win}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
triple=x86_64-w64-mingw32

for dep in "$prefix" "$libraw"; do
    if [ ! -f "$dep/.glanceway-complete" ]; then
        echo "Nothing built in $dep; run scripts/windows/build-qt.sh and build-libraw.sh (make windows does)." >&2
        exit 1
    fi
done

with_tests=no
[ "${1:-}" = "--tests" ] && with_tests=yes

mkdir -p "$build"
# qt-cmake chains the Qt toolchain onto ours and points at the host tools; the
# LibRaw prefix joins the places searched for the target, with its pkg-config
# files instead of the host's.
PKG_CONFIG_LIBDIR="$libraw/lib/pkgconfig" PKG_CONFIG_PATH="" \
"$prefix/bin/qt-cmake" -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DQT_ADDITIONAL_PACKAGES_PREFIX_PATH="$libraw" \
    -DCMAKE_EXE_LINKER_FLAGS="-s" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh" \
    -DBUILD_TESTING=ON >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
# The test programs, not the benchmarks: those measure Linux and its peer tools.
# glanceway-inspect renders what 100 % shows, for the RAW check under Wine.
targets=glanceway
if [ $with_tests = yes ]; then
    targets="$targets glanceway-inspect $(cmake --build "$build" --target help | sed -n 's/^\(tst_[a-z0-9_]*\):.*/\1/p' | grep -Ev '_autogen|_timestamp_deps' | sort -u)"
fi
cmake --build "$build" --parallel "$jobs" --target $targets

version=$(sed -n 's/^project(Glanceway VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
name=Glanceway-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage" "$repo/dist"

cp "$build/Glanceway.exe" "$stage/"
# Qt's plug-ins the program loads: the Windows platform, the native widget
# style, and the image readers that are not part of Qt6Gui (PNG and BMP are):
# JPEG, TIFF, and ICO for the window icon.
for plugin in platforms/qwindows styles/qwindowsvistastyle \
              imageformats/qjpeg imageformats/qtiff imageformats/qico; do
    mkdir -p "$stage/$(dirname $plugin)"
    cp "$prefix/plugins/$plugin.dll" "$stage/$plugin.dll"
done
# The program's own catalogues are inside the executable; Qt's come with Qt's
# DLLs, so that a replaced Qt can bring its own.
mkdir -p "$stage/translations"
cp "$(qtpaths6 --query QT_INSTALL_TRANSLATIONS)/qtbase_de.qm" "$stage/translations/"

# Every DLL that a file in the folder imports: from the folder, or from Windows.
system_dlls='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|uxtheme|dwmapi|shlwapi|version|netapi32|userenv|wtsapi32|setupapi|d3d9|d3d11|d3d12|dxgi|dwrite|msvcrt|mpr|authz|crypt32|secur32|bcrypt|ntdll|comctl32|winspool|shcore|dcomp|api-ms-win-[a-z0-9-]+)\.dll$'
runtime_dirs="$prefix/bin $libraw/bin $(dirname "$($triple-g++-posix -print-file-name=libstdc++-6.dll)") \
              $(dirname "$($triple-g++-posix -print-file-name=libwinpthread-1.dll)")"
imports() { $triple-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
added=yes
while [ $added = yes ]; do
    added=no
    for binary in $(find "$stage" -name '*.exe' -o -name '*.dll'); do
        for dll in $(imports "$binary"); do
            printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls" && continue
            [ -f "$stage/$dll" ] && continue
            found=
            for dir in $runtime_dirs; do
                [ -f "$dir/$dll" ] && { found=$dir/$dll; break; }
            done
            if [ -z "$found" ]; then
                echo "$(basename "$binary") needs $dll, which is neither built here nor part of Windows" >&2
                exit 1
            fi
            cp "$found" "$stage/"
            added=yes
        done
    done
done
find "$stage" -name '*.dll' -exec $triple-strip --strip-unneeded {} +

mkdir -p "$stage/licenses"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/LGPL-3.0.txt"
cp /usr/share/common-licenses/LGPL-2.1 "$stage/licenses/LGPL-2.1.txt"
cp "$libraw/share/doc/libraw/LICENSE.CDDL" "$stage/licenses/LibRaw-CDDL-1.0.txt"
cp "$libraw/share/doc/libraw/COPYRIGHT" "$stage/licenses/LibRaw-COPYRIGHT.txt"
cp "$here/package-readme.txt" "$stage/README.txt"
echo "Deployed $(find "$stage" -type f | wc -l) files:"
(cd "$stage" && find . -type f | sort | sed 's|^\./|  |')

rm -f "$repo/dist/$name.zip"
(cd "$build/package" && zip -q -r -X "$repo/dist/$name.zip" "$name")
ls -l "$repo/dist/$name.zip" | awk '{ printf "%s: %.1f MB\n", $NF, $5 / 1048576 }'

sh "$here/make-installer.sh" "$stage" "$version" "$repo/dist/Glanceway-$version-setup.exe"
