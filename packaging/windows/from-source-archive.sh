#!/usr/bin/env bash
# Usage: packaging/windows/from-source-archive.sh
#
# The source archive is Kestrum's complete source: unpacked in an empty
# folder, without git, its ./scripts/release builds the very zip and bill of
# materials that ./scripts/release built here, from a fresh build whatever
# lies in build/windows. Also checks that bill against CycloneDX's schema, the
# notices and the exe it describes. Only a commit has a source archive, so a
# work tree with uncommitted changes is not checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd -P)
cd "$root"

fail() {
    echo "packaging/windows/from-source-archive.sh: $*" >&2
    exit 1
}

if [ -n "$(git status --porcelain)" ]; then
    echo "SKIPPED: the work tree has uncommitted changes, and only a commit has a source archive"
    exit 0
fi
# The release builds afresh: bytes appended to the developer's Kestrum.exe
# must not reach the zip (it is compared below with one built where they
# never were).
[ -f build/windows/Kestrum.exe ] || fail "build/windows/Kestrum.exe is missing; run scripts/windows first"
cp build/windows/Kestrum.exe "$root/build/Kestrum.exe.kept"
printf 'edited by hand' >>build/windows/Kestrum.exe
scripts/release || { mv "$root/build/Kestrum.exe.kept" build/windows/Kestrum.exe; exit 1; }
mv "$root/build/Kestrum.exe.kept" build/windows/Kestrum.exe
cmp build/windows/Kestrum.exe build/release-build/Kestrum.exe \
    || fail "the release's Kestrum.exe is not the one ./scripts/windows builds"
version=$(sed -n 's/^project(Kestrum VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
made=("Kestrum-$version-win64.zip" "Kestrum-$version.cdx.json")

# As in reproducible.sh, the copy's path sorts on the other side of the
# system libraries' folder.
base=/tmp
[ "$(printf '%s\n' "$root/" /usr/lib/gcc/ | LC_ALL=C sort | head -1)" = /usr/lib/gcc/ ] || base=/var/tmp
work=$(mktemp -d "$base/kestrum-archive.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The bill against the exe and the notices that ship with it; Debian's
# python3, which has python3-jsonschema.
/usr/bin/python3 -m zipfile -e "build/release/${made[0]}" "$work/zip"
/usr/bin/python3 packaging/windows/exetool check-sbom "build/release/${made[1]}" \
    "$work/zip/Kestrum.exe" "$work/zip/THIRD-PARTY-NOTICES.txt"
tar -xzf "build/release/Kestrum-$version-src.tar.gz" -C "$work"
unpacked=$work/kestrum-$version
[ ! -e "$unpacked/.git" ] || fail "the source archive holds a .git"
(cd "$unpacked" && env -u SOURCE_DATE_EPOCH ./scripts/release) >"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "./scripts/release in the unpacked source archive failed"; }

echo "== SHA256SUMS here:"
cat build/release/SHA256SUMS
echo "== SHA256SUMS of the release built from the source archive, without git:"
cat "$unpacked/build/release/SHA256SUMS"
for file in "${made[@]}"; do
    cmp "build/release/$file" "$unpacked/build/release/$file" \
        || fail "$file from the source archive differs from the one built here"
done
echo "The source archive builds the same ${made[*]}."
