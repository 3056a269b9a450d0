#!/bin/sh
# What Explorer shows of Glanceway.exe: the icon group, the version record and
# the manifest (no elevation, long paths), read from the file itself.
set -eu

exe=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(Glanceway VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
failed=0
check() { # what, condition result
    if [ "$2" = yes ]; then echo "ok    $1"; else echo "FAIL  $1"; failed=1; fi
}
has() { printf '%s\n' "$1" | grep -q -- "$2" && echo yes || echo no; }

resources=$(wrestool -l "$exe")
printf '%s\n' "$resources"
check "icon group" "$(has "$resources" 'type=group_icon')"
check "version record" "$(has "$resources" 'type=version')"

# The icon group must hold the sizes Explorer asks for.
icon=$(mktemp --suffix=.ico)
wrestool -x --type=group_icon "$exe" > "$icon"
sizes=$(icotool -l "$icon" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n -u | tr '\n' ' ')
rm -f "$icon"
echo "icon sizes: $sizes"
for size in 16 32 48 256; do
    check "icon $size px" "$(has " $sizes" " $size ")"
done

manifest=$(wrestool -x --raw --type=24 "$exe" | tr -d '\r')
check "manifest runs as invoker" "$(has "$manifest" 'level="asInvoker"')"
check "manifest is long-path aware" "$(has "$manifest" '<longPathAware[^>]*>true<')"

info=$(exiftool -s -FileVersion -ProductVersion -ProductName -CompanyName -OriginalFileName "$exe")
printf '%s\n' "$info"
check "file version $version" "$(has "$info" "FileVersion *: $version")"
check "product name" "$(has "$info" 'ProductName *: Quillmark Glanceway')"
check "original file name" "$(has "$info" 'OriginalFileName *: Glanceway.exe')"
exit $failed
