#!/bin/sh
# Tests the Windows build on Linux: every test program as a Windows executable
# under Wine, the executable's own resources, a person's session with the
# portable Glanceway.exe in a real window (see wine_session.py), then the setup
# program: installed, used from Explorer's entries and removed (wine_install.py).
#
# Wine runs in a private prefix (build-win/wine) and a private X server, so it
# never touches the user's own Wine set-up or display.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${WIN_BUILD_DIR:-$repo/build-win}
qt=${GLANCEWAY_QT_PREFIX:-$HOME/.cache/glanceway/qt-6.4.2-mingw64-shared}
libraw=${GLANCEWAY_LIBRAW_PREFIX:-$HOME/.cache/glanceway/libraw-0.20.2-mingw64}
triple=x86_64-w64-mingw32

if [ -z "${GLANCEWAY_WINTEST_DISPLAY:-}" ]; then
    export GLANCEWAY_WINTEST_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$@"
fi

export WINEPREFIX="$build/wine"
export WINEARCH=win64
# UTF-8 on the Unix side, so that non-ASCII names survive Wine's command lines.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
export WINEDEBUG=-all
# Qt Test writes to the debugger when no console is attached; to stdout instead.
export QT_FORCE_STDERR_LOGGING=1
# The offscreen platform finds no fonts of its own on Windows: the host's DejaVu.
export QT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu
# No .NET or browser engine: nothing here needs them and Wine would offer to
# download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The test programs and glanceway-inspect run from the build folder, with
# Qt's, LibRaw's and the compiler's DLLs from where they were built. Only they:
# the packaged program must find every DLL in its own folder.
dll_path=
for dir in "$qt/bin" "$libraw/bin" "$(dirname "$($triple-g++-posix -print-file-name=libstdc++-6.dll)")" \
           "$(dirname "$($triple-g++-posix -print-file-name=libwinpthread-1.dll)")"; do
    dll_path="$dll_path${dll_path:+;}Z:$(cd "$dir" && pwd | tr / '\\')"
done
export GLANCEWAY_BUILD_WINEPATH="$dll_path"
unset WINEPATH

status=0
trap 'wineserver -k 2>/dev/null || true' EXIT

if [ ! -f "$WINEPREFIX/.glanceway-ready" ]; then
    echo "== Creating the Wine prefix (Windows 10)"
    rm -rf "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wine winecfg /v win10 >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.glanceway-ready"
fi
echo "Wine $(wine --version), reporting $(wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -i windows || echo 'an unknown Windows')"

echo "== The executable's resources"
sh "$here/check-exe.sh" "$build/Glanceway.exe" || status=1

echo "== Test programs under Wine"
# One at a time: the programs share the prefix's profile folders.
(cd "$build" && WINEPATH="$dll_path" ctest --output-on-failure -j 1) || status=1

echo "== A culling session with the packaged program"
python3 "$here/wine_session.py" --repo "$repo" --build "$build" || status=1

echo "== The setup program: install, Explorer's entries, a RAW at 100 %, upgrade, uninstall"
python3 "$here/wine_install.py" --repo "$repo" --build "$build" --inspect "$build/glanceway-inspect.exe" || status=1

exit $status
