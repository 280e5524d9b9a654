#!/usr/bin/env bash
# Usage: tests/reproducible.sh
#
# Builds Kestrum.exe once more from a copy of this source (the files git
# tracks or would track, as they are in the work tree) in a temporary folder,
# with its own build folder and the same cached static Qt, and fails unless it
# and its THIRD-PARTY-NOTICES.txt are byte for byte those in build/windows/,
# or when either exe names a path of this machine (home, cache, checkout, the
# copy), the user or the host, or carries the link time or today's date.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
cd "$root"

fail() {
    echo "tests/reproducible.sh: $*" >&2
    exit 1
}

scripts/windows
qt=$(scripts/windows-qt)
# ld lays out some tables in the order of its input files' full names, so the
# copy goes where its path sorts on the other side of the system libraries'
# folder from this checkout's.
base=/tmp
[ "$(printf '%s\n' "$root/" /usr/lib/gcc/ | LC_ALL=C sort | head -1)" = /usr/lib/gcc/ ] || base=/var/tmp
work=$(mktemp -d "$base/kestrum-copy.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy=$work/source
mkdir "$copy"
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
    git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
        # A tracked file deleted in the work tree is not part of this build.
        if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
    done | tar -cf - --null -T - | tar -xf - -C "$copy"
else
    tar -cf - --exclude=./build . | tar -xf - -C "$copy"
fi

(cd "$copy" && cmake --preset windows -DKESTRUM_WINDOWS_QT="$qt" &&
    cmake --build --preset windows -j "$(nproc)" --target Kestrum) >"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "building Kestrum.exe in $copy failed"; }

status=0
for file in Kestrum.exe THIRD-PARTY-NOTICES.txt; do
    if ! cmp -s "build/windows/$file" "$copy/build/windows/$file"; then
        echo "FAIL: build/windows/$file and the one built from a copy of the source differ" \
             "in $(cmp -l "build/windows/$file" "$copy/build/windows/$file" 2>/dev/null | wc -l)" \
             "bytes; the first (offset from 1, the two bytes in octal):" >&2
        cmp -l "build/windows/$file" "$copy/build/windows/$file" 2>&1 | head -20 >&2 || true
        status=1
    fi
done

# The link time, if the linker wrote one: the PE header's TimeDateStamp.
for exe in build/windows/Kestrum.exe "$copy/build/windows/Kestrum.exe"; do
    pe=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
    stamp=$(od -An -t u4 -j $((pe + 8)) -N 4 "$exe" | tr -d ' ')
    if [ "$stamp" != 0 ] && [ "$stamp" != "${SOURCE_DATE_EPOCH:-0}" ]; then
        echo "FAIL: $exe carries a time stamp in its PE header: $(date -u -d "@$stamp")" >&2
        status=1
    fi
done

# Paths count only as whole path names (/root is not /rootfs, nor /qt/root);
# names as whole words, and only those long and rare enough to mean this
# machine.
paths=("$HOME" "$(cd "$(dirname "$0")/.." && pwd)" "$root" "$work" "$qt" "$(realpath "$qt")"
       "${XDG_CACHE_HOME:-$HOME/.cache}")
# __DATE__ and ISO dates of today.
words=("$(LC_ALL=C date '+%b %e %Y')" "$(date -u '+%Y-%m-%d')")
for name in "$(id -un)" "$(uname -n)"; do
    case $name in
    root | user | admin | build | builder | runner | test | debian | ubuntu | guest | docker \
        | localhost | local | kestrum) ;;
    *) [ ${#name} -le 3 ] || words+=("$name") ;;
    esac
done
found=$(for exe in build/windows/Kestrum.exe "$copy/build/windows/Kestrum.exe"; do
            strings -a -e S "$exe"
            strings -a -e l "$exe"
        done | PATHS=$(printf '%s\n' "${paths[@]}" | grep -vxE '[/]*') WORDS=$(printf '%s\n' "${words[@]}") awk '
    function whole(s, needle, inside,   at, before, after) {
        while ((at = index(s, needle)) > 0) {
            before = substr(s, at - 1, 1)
            after = substr(s, at + length(needle), 1)
            if (before !~ inside && after !~ inside) return 1
            s = substr(s, at + 1)
        }
        return 0
    }
    BEGIN { np = split(ENVIRON["PATHS"], path, "\n"); nw = split(ENVIRON["WORDS"], word, "\n") }
    {
        for (i = 1; i <= np; i++) if (whole($0, path[i], "[A-Za-z0-9._~+-]") && n[path[i]]++ < 3) print path[i] ": " $0
        for (i = 1; i <= nw; i++) if (whole($0, word[i], "[A-Za-z0-9_]") && n[word[i]]++ < 3) print word[i] ": " $0
    }')
if [ -n "$found" ]; then
    echo "FAIL: Kestrum.exe names this machine (what: the string it is in):" >&2
    echo "$found" | sed 's/^/    /' >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "Kestrum.exe built again from a copy in another folder: the same bytes, no path of this machine"
exit "$status"
