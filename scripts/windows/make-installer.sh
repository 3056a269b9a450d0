#!/bin/sh
# Makes the setup program from a deployed program folder with makensis:
#   make-installer.sh STAGE VERSION OUTFILE
# The installer installs exactly the files of STAGE, and its uninstaller
# removes exactly those: both lists are written here from the folder.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
stage=$(cd "$1" && pwd)
version=$2
outfile=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "${KEEP_NSIS_LISTS:-}" ] && trap 'cp "$work"/*.nsh "$KEEP_NSIS_LISTS"/; rm -rf "$work"' EXIT

# makensis reads $ as the start of a variable.
nsis_escape() { sed 's/\$/$$/g'; }
windows_path() { tr '/' '\\'; }

(cd "$stage" && find . -type d | sort | sed 's|^\./\{0,1\}||') > "$work/dirs"
: > "$work/files.nsh"
: > "$work/unfiles.nsh"
while IFS= read -r dir; do
    files=$(cd "$stage/${dir:-.}" && find . -maxdepth 1 -type f | sed 's|^\./||' | sort)
    [ -n "$files" ] || continue
    printf 'SetOutPath "$INSTDIR%s"\n' "$( [ -n "$dir" ] && printf '\\%s' "$dir" | windows_path | nsis_escape)" >> "$work/files.nsh"
    printf '%s\n' "$files" | while IFS= read -r file; do
        printf 'File "%s"\n' "$(printf '%s' "$stage/${dir:+$dir/}$file" | nsis_escape)" >> "$work/files.nsh"
        printf 'Delete "$INSTDIR\\%s"\n' "$(printf '%s' "${dir:+$dir/}$file" | windows_path | nsis_escape)" >> "$work/unfiles.nsh"
    done
done < "$work/dirs"
# Folders deepest first, each removed only when it is empty.
sort -r "$work/dirs" | while IFS= read -r dir; do
    if [ -n "$dir" ]; then
        printf 'RMDir "$INSTDIR\\%s"\n' "$(printf '%s' "$dir" | windows_path | nsis_escape)" >> "$work/unfiles.nsh"
    fi
done

mkdir -p "$(dirname "$outfile")"
makensis -V2 -INPUTCHARSET UTF8 \
    -DVERSION="$version" -DOUTFILE="$outfile" \
    -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
    -DICON="$repo/resources/icons/quillmark-glanceway.ico" \
    "$repo/resources/windows/installer.nsi"
ls -l "$outfile" | awk '{ printf "%s: %.1f MB\n", $NF, $5 / 1048576 }'
