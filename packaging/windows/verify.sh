#!/usr/bin/env bash
# Usage: packaging/windows/verify.sh [--elsewhere]
#
# Anyone who builds this source gets the download built here, signed or not: a release here with
# throwaway keys and one from its unpacked source archive must be the same bytes (README.md,
# "Verify"). --elsewhere: the second runs with another home (so another static Qt), time zone and
# a clean environment, as a temporary user when run as root, and gets the signature by --signature.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd -P)
cd "$root"
[[ $# -eq 0 || $* == --elsewhere ]] || { echo "usage: $0 [--elsewhere]" >&2; exit 2; }
elsewhere=${1:-}

fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^project(Kestrum VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
dev=build/windows/Kestrum.exe
scripts/windows >/dev/null
qt=$(packaging/windows/static-qt.sh)

# ld lays out some tables in the order of its input files' full names, so the
# other tree goes where its path sorts on the other side of the system
# libraries' folder from this one.
base=/tmp
[ "$(printf '%s\n' "$root/" /usr/lib/gcc/ | LC_ALL=C sort | head -1)" = /usr/lib/gcc/ ] || base=/var/tmp
work=$(mktemp -d "$base/kestrum-verify.XXXXXX")
chmod 755 "$work"
user=
cleanup() {
    [ ! -e "$work/dev.exe" ] || mv "$work/dev.exe" "$dev"
    # A real release made before stays; the one signed with throwaway keys goes.
    rm -rf build/release
    [ ! -e "$work/kept-release" ] || mv "$work/kept-release" build/release
    [ -z "$user" ] || userdel "$user" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
[ ! -e build/release ] || mv build/release "$work/kept-release"
# The release must build build/windows' Kestrum.exe afresh, not pack it: these bytes appended
# to it must not reach the zip (cleanup takes them off again).
cp -p "$dev" "$work/dev.exe"
printf 'edited by hand' >>"$dev"

mkdir "$work/keys"
packaging/windows/throwaway-keys.sh "$work/keys"
export GNUPGHOME=$work/keys/gnupg

echo "== The release here, signed with throwaway keys"
scripts/release --sign "$work/keys/signer.pfx" --sign-password-file "$work/keys/password" \
    --gpg-key test@kestrum.invalid | tee "$work/here.log"
here=build/release
grep -q "^Kestrum.exe is signed with " "$work/here.log" || fail "the release does not say it is signed"
gpg --batch --verify "$here/SHA256SUMS.asc" "$here/SHA256SUMS" 2>"$work/gpg.log" \
    || { cat "$work/gpg.log" >&2; fail "gpg does not verify SHA256SUMS.asc"; }
cmp -s build/release-build/Kestrum.exe "$work/dev.exe" \
    || fail "the release packed another Kestrum.exe than scripts/windows built in build/windows"
/usr/bin/python3 -m zipfile -e "$here/Kestrum-$version-win64.zip" "$work/zip"
if cmp -s "$work/zip/Kestrum.exe" "$dev"; then fail "the edited build/windows/Kestrum.exe reached the zip"; fi
/usr/bin/python3 packaging/windows/exetool check-sbom "$here/Kestrum-$version.cdx.json" \
    "$work/zip/Kestrum.exe" "$qt/notices" build/release-build/app/Kestrum.map

echo "== The release from its source archive, unpacked in $work without git"
tar -xzf "$here/Kestrum-$version-src.tar.gz" -C "$work"
tree=$work/kestrum-$version
[ ! -e "$tree/.git" ] || fail "the source archive holds a .git"
cp "$here/Kestrum.exe.sig" "$work/Kestrum.exe.sig"
run=(env -u SOURCE_DATE_EPOCH)
options=()
if [ -n "$elsewhere" ]; then
    home=$work/home
    mkdir "$home"
    environment=(HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 TZ=Asia/Tokyo)
    if [ "$(id -u)" -eq 0 ]; then
        user=kestrum-verify-$$
        useradd --system --user-group --no-create-home --home-dir "$home" --shell /bin/bash "$user"
        chown -R "$user:" "$home" "$tree"
        run=(runuser -u "$user" -- env -i USER="$user" LOGNAME="$user" "${environment[@]}")
    else
        echo "verify.sh: not root, so the other release runs as $(id -un) too, with home $home" >&2
        run=(env -i USER="$(id -un)" LOGNAME="$(id -un)" "${environment[@]}")
    fi
    options=(--signature "$work/Kestrum.exe.sig")
else
    mkdir -p "$tree/packaging/windows/signatures"
    cp "$work/Kestrum.exe.sig" "$tree/packaging/windows/signatures/Kestrum-$version.exe.sig"
fi
"${run[@]}" bash -c 'umask 077 && cd "$1" && shift && ./scripts/release "$@"' - "$tree" \
    "${options[@]}" >"$work/there.log" 2>&1 \
    || { cat "$work/there.log" >&2; fail "./scripts/release in the unpacked source archive failed"; }
grep "^Kestrum.exe is " "$work/there.log"
grep -q "^Kestrum.exe is signed" "$work/there.log" || fail "the signature was not attached there"

status=0
there=$tree/build/release
for name in "Kestrum-$version-win64.zip" "Kestrum-$version.cdx.json" Kestrum.exe.sig; do
    if cmp -s "$here/$name" "$there/$name"; then
        echo "same: $name"
    else
        echo "FAIL: $name differs between the two releases; diffoscope:" >&2
        diffoscope --no-progress --text - "$here/$name" "$there/$name" 2>&1 | head -60 >&2 || true
        status=1
    fi
done
grep -v -- "-src\.tar\.gz$" "$here/SHA256SUMS" | cmp -s - "$there/SHA256SUMS" \
    || { echo "FAIL: the two SHA256SUMS differ" >&2; status=1; }
[ "$status" -eq 0 ] || exit 1
echo "Reproducible: the release here and the one from its source archive${elsewhere:+, built by another user with another Qt,} are the same bytes, signed alike."
