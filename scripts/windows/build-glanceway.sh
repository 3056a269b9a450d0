#!/bin/sh
# Cross-builds Glanceway.exe for 64-bit Windows against the static Qt that
# build-qt.sh made, and packages dist/Glanceway-<version>-win64.zip.
#
#   build-glanceway.sh            the program and the zip
#   build-glanceway.sh --tests    also every test program (for wintest.sh)
#
# Qt, its plug-ins and the compiler's runtime are linked into the executable;
# the DLL check below fails the build if anything else would have to ship.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
prefix=${GLANCEWAY_QT_PREFIX:-$HOME/.cache/glanceway/qt-6.4.2-mingw64}
build=${WIN_BUILD_DIR:-$repo/build-win}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
triple=x86_64-w64-mingw32

if [ ! -f "$prefix/.glanceway-complete" ]; then
    echo "No Qt for Windows in $prefix; run scripts/windows/build-qt.sh (make windows does)." >&2
    exit 1
fi

with_tests=no
[ "${1:-}" = "--tests" ] && with_tests=yes

mkdir -p "$build"
# qt-cmake chains the Qt toolchain onto ours and points at the host tools.
# -static takes libstdc++, libgcc and winpthread into the executables too.
"$prefix/bin/qt-cmake" -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_EXE_LINKER_FLAGS="-static -s" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh" \
    -DBUILD_TESTING=ON >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
# The test programs, not the benchmarks: those measure Linux and its peer tools.
targets=glanceway
if [ $with_tests = yes ]; then
    targets="$targets $(cmake --build "$build" --target help | sed -n 's/^\(tst_[a-z0-9_]*\):.*/\1/p' | grep -Ev '_autogen|_timestamp_deps' | sort -u)"
fi
cmake --build "$build" --parallel "$jobs" --target $targets

exe=$build/Glanceway.exe

# Every DLL the executable imports must be part of Windows itself.
allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|uxtheme|dwmapi|shlwapi|version|netapi32|userenv|wtsapi32|setupapi|d3d9|d3d11|dxgi|dwrite|msvcrt|mpr|authz|crypt32|secur32|bcrypt|ntdll|comctl32|winspool|shcore|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$($triple-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
unexpected=$(printf '%s\n' "$imports" | grep -Ev "$allowed" || true)
if [ -n "$unexpected" ]; then
    echo "Glanceway.exe needs DLLs that Windows does not have:" >&2
    printf '  %s\n' $unexpected >&2
    exit 1
fi

version=$(sed -n 's/^project(Glanceway VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
name=Glanceway-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage" "$repo/dist"
cp "$exe" "$stage/"
cp "$here/package-readme.txt" "$stage/README.txt"
rm -f "$repo/dist/$name.zip"
(cd "$build/package" && zip -q -r -X "$repo/dist/$name.zip" "$name")
ls -l "$repo/dist/$name.zip" | awk '{ printf "%s: %.1f MB\n", $NF, $5 / 1048576 }'
