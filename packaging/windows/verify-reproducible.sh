#!/usr/bin/env bash
# Usage: scripts/verify-reproducible
#
# Step 5 of the download (README.md beside this file), the full check that anyone who builds this commit gets the download we
# publish: scripts/release here, then in a fresh clone of the commit in
# another folder, run by another user (a temporary one, when run as root) with
# another home, so with a static Qt of its own built anew there (about 15
# minutes on two cores), in another time zone and with another umask. Prints
# both SHA256SUMS and fails unless the two archives are the same bytes. This
# user's Qt cache is only read; the other build and its user are removed at
# the end, and its archive is kept in build/verify/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd -P)
cd "$root"

fail() {
    echo "scripts/verify-reproducible: $*" >&2
    exit 1
}

commit=$(git rev-parse HEAD 2>/dev/null) || fail "$root is not a git work tree"
if [ -n "$(git status --porcelain)" ]; then
    echo "scripts/verify-reproducible: the work tree has uncommitted changes; the clone builds" \
         "commit $commit without them, so the two archives match only if they do not matter." >&2
fi

scripts/release

# ld lays out some tables in the order of its input files' full names, so the
# clone goes where its path sorts on the other side of the system libraries'
# folder from this checkout's.
base=/tmp
[ "$(printf '%s\n' "$root/" /usr/lib/gcc/ | LC_ALL=C sort | head -1)" = /usr/lib/gcc/ ] || base=/var/tmp
work=$(mktemp -d "$base/kestrum-verify.XXXXXX")
chmod 755 "$work"
user=
cleanup() {
    if [ -n "$user" ]; then userdel "$user" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Copied, not hard-linked: the clone is handed to the other user.
clone=$work/kestrum
git clone --quiet --no-local --no-checkout "$root" "$clone"
git -C "$clone" checkout --quiet --detach "$commit" || fail "commit $commit is on no branch to clone"

home=$work/home
mkdir "$home"
environment=(HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8
             TZ=Asia/Tokyo)
if [ "$(id -u)" -eq 0 ]; then
    user=kestrum-verify-$$
    useradd --system --user-group --no-create-home --home-dir "$home" --shell /bin/bash "$user"
    chown -R "$user:" "$home" "$clone"
    run=(runuser -u "$user" -- env -i USER="$user" LOGNAME="$user" "${environment[@]}")
else
    echo "scripts/verify-reproducible: not root, so the other build runs as $(id -un) too," \
         "with another home ($home)." >&2
    run=(env -i USER="$(id -un)" LOGNAME="$(id -un)" "${environment[@]}")
fi

echo "== The same commit, cloned into $clone, built by ${user:-$(id -un)} with home $home"
"${run[@]}" bash -c 'umask 077 && cd "$1" && ./scripts/release' - "$clone"

mkdir -p build/verify
rm -f build/verify/*
cp "$clone"/build/release/* build/verify/

echo
echo "== SHA256SUMS here ($root, $(id -un), home $HOME):"
cat build/release/SHA256SUMS
echo "== SHA256SUMS of the clone ($clone, ${user:-$(id -un)}, home $home):"
cat build/verify/SHA256SUMS
echo
if cmp -s build/release/SHA256SUMS build/verify/SHA256SUMS; then
    for zip in build/release/*.zip; do
        cmp "$zip" "build/verify/$(basename "$zip")" || fail "the archives differ"
    done
    echo "Reproducible: both builds of commit $commit gave the same archive."
    exit 0
fi

# Which members differ, to say where to look.
for side in release verify; do
    /usr/bin/python3 -m zipfile -e build/"$side"/*.zip "$work/members-$side"
done
diff -r "$work/members-release" "$work/members-verify" >&2 || true
fail "the two builds differ; the other archive is in build/verify/"
