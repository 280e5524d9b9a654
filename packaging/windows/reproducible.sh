#!/usr/bin/env bash
# Usage: packaging/windows/reproducible.sh
#
# Builds Kestrum.exe once more from a copy of this source (the files git
# tracks or would track, as they are in the work tree) in a temporary folder,
# with its own build folder and the same cached static Qt, and fails unless it
# and its THIRD-PARTY-NOTICES.txt are byte for byte those in build/windows/,
# or when the release gate fails on either, which it does if the exe names a
# path of this machine (home, cache, checkout, the copy), the user or the
# host, or carries a link time. Then signs the first with a throwaway key and
# fails unless the detached signature, attached to the second, gives the same
# signed bytes (and the second without it its unsigned bytes, which sign.sh
# checks).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd -P)
cd "$root"

fail() {
    echo "packaging/windows/reproducible.sh: $*" >&2
    exit 1
}

scripts/windows
qt=$(packaging/windows/static-qt.sh)
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
for exe in build/windows/Kestrum.exe "$copy/build/windows/Kestrum.exe"; do
    scripts/check-exe "$exe" --path "$work" --path "$qt" || status=1
done

mkdir "$work/keys"
packaging/windows/throwaway-keys.sh "$work/keys"
packaging/windows/sign.sh sign build/windows/Kestrum.exe "$work/signed.exe" "$work/Kestrum.exe.sig" \
    --key "$work/keys/signer.pfx" --password-file "$work/keys/password" >/dev/null
if ! packaging/windows/sign.sh attach "$copy/build/windows/Kestrum.exe" "$work/Kestrum.exe.sig" \
    "$work/attached.exe" "$work/attached.sig" >/dev/null; then
    status=1
elif ! cmp -s "$work/signed.exe" "$work/attached.exe"; then
    echo "FAIL: the signature of build/windows/Kestrum.exe attached to the copy's gives other bytes" \
         "than the signed build/windows/Kestrum.exe" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "Kestrum.exe built again from a copy in another folder: the same bytes," \
    "no path of this machine, the same bytes once signed"
exit "$status"
