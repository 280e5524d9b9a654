#!/usr/bin/env bash
# Usage: scripts/release [--sign KEY [--sign-password-file FILE] [--timestamp-url URL]
#                        | --signature FILE | --unsigned] [--gpg-key ID]
#
# The download in build/release/, from a fresh build in build/release-build; what each file and
# option is: packaging/windows/README.md (its table, "Package" and "Sign"; recipes 5 and 6).
set -euo pipefail

fail() { echo "scripts/release: $*" >&2; exit 1; }

sign_key='' password_file='' timestamp_url='' signature='' unsigned='' gpg_key=''
value() { [ -n "${2:-}" ] || fail "$1 needs a value"; }
while [ $# -gt 0 ]; do
    case $1 in
        --sign) value "$@" && sign_key=$2 && shift ;;
        --sign-password-file) value "$@" && password_file=$2 && shift ;;
        --timestamp-url) value "$@" && timestamp_url=$2 && shift ;;
        --signature) value "$@" && signature=$2 && shift ;;
        --gpg-key) value "$@" && gpg_key=$2 && shift ;;
        --unsigned) unsigned=yes ;;
        *) fail "unknown argument $1; the usage is at the top of packaging/windows/release.sh" ;;
    esac
    shift
done
[ -n "$sign_key" ] || [ -z "$password_file$timestamp_url" ] \
    || fail "--sign-password-file and --timestamp-url go with --sign"
[ $(( ${sign_key:+1} + ${signature:+1} + ${unsigned:+1} + 0 )) -le 1 ] \
    || fail "--sign, --signature and --unsigned exclude each other"
# Files named on the command line, from where it was given; mistakes found before the build.
absolute() { if [ -n "$1" ] && [[ $1 != pkcs11:* ]]; then realpath -m -- "$1"; else echo "$1"; fi; }
sign_key=$(absolute "$sign_key") password_file=$(absolute "$password_file")
signature=$(absolute "$signature")
[[ -z $sign_key || $sign_key == pkcs11:* || -f $sign_key ]] || fail "the key file $sign_key does not exist"
[[ -z $password_file || -r $password_file ]] || fail "the password file $password_file cannot be read"
[[ -z $signature || -f $signature ]] || fail "the signature file $signature does not exist"
[ -z "$gpg_key" ] || gpg --list-secret-keys "$gpg_key" >/dev/null 2>&1 \
    || fail "gpg has no secret key $gpg_key to sign SHA256SUMS with"
cd "$(dirname "$0")/../.."
# A run that fails must leave no download that could be taken for its own.
rm -rf build/release

version=$(sed -n 's/^project(Kestrum VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "cannot read the version from project(Kestrum VERSION ...) in CMakeLists.txt"
repository=$(sed -n 's/^set(KESTRUM_REPOSITORY "\(.*\)")$/\1/p' CMakeLists.txt)

# Only a git work tree of its own says which commit: a source archive unpacked inside some other
# repository must not take that one's. Without git, archived-commit says (README.md, "Package").
here=$(pwd -P)
git='' changed='' commit='' commit_time=''
if [ -e .git ] && top=$(git rev-parse --show-toplevel 2>&1) && [ "$top" = "$here" ]; then
    git=yes
    commit=$(git rev-parse HEAD)
    commit_time=$(git log -1 --format=%ct)
    [ -z "$(git status --porcelain)" ] || changed="with uncommitted changes"
elif [ -e .git ]; then
    fail "git cannot read this work tree: $top"
else
    { read -r commit && read -r commit_time && read -r changed; } <packaging/windows/archived-commit || true
    [[ $commit =~ ^[0-9a-f]{40}$ && $commit_time =~ ^[0-9]+$ ]] || commit='' commit_time='' changed=''
fi
source="commit $commit${changed:+ $changed}"
[ -n "$commit" ] || source="a source tree without git"

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] \
        || fail "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a number of seconds since 1970"
    [ -z "$commit_time" ] || [ "$SOURCE_DATE_EPOCH" = "$commit_time" ] \
        || echo "scripts/release: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH comes from the environment," \
                "not from the last commit; only a build given the same value gives the same archive." >&2
elif [ -n "$commit_time" ]; then
    SOURCE_DATE_EPOCH=$commit_time
else
    fail "this source is neither a git work tree nor Kestrum's source archive, so the time of its" \
         "last commit is unknown. Set SOURCE_DATE_EPOCH to it (seconds since 1970; the zip's" \
         "BUILDINFO.txt names it), e.g. SOURCE_DATE_EPOCH=1767225600 ./scripts/release"
fi
export SOURCE_DATE_EPOCH

scripts/deps windows
qt=$(packaging/windows/static-qt.sh)
# Debian's python3, whichever comes first on the PATH: BUILDINFO.txt names it.
exetool() { /usr/bin/python3 packaging/windows/exetool "$@"; }

out=build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Made anew, so that no stale object and no hand-edited file of an earlier build can be packed.
fresh=build/release-build
rm -rf "$fresh"
cmake --preset windows -B "$fresh" -DKESTRUM_WINDOWS_QT="$qt" >"$work/log" 2>&1 \
    && cmake --build "$fresh" -j "$(nproc)" --target Kestrum >>"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "building Kestrum.exe in $fresh failed (above)"; }
cp "$fresh/Kestrum.exe" "$fresh/THIRD-PARTY-NOTICES.txt" "$work/"
exetool check "$work/Kestrum.exe" --link-map "$fresh/app/Kestrum.map" \
    --path "$here/$fresh" --path "$qt" \
    || fail "Kestrum.exe fails the release gate (above); no archive was made"

# Signed after it passed the gate and before it is zipped.
published=packaging/windows/signatures/Kestrum-$version.exe.sig
sign() { packaging/windows/sign.sh "$@"; }
attach() { sign attach "$work/Kestrum.exe" "$1" "$work/signed.exe" "$work/Kestrum.exe.sig"; }
if [ -n "$sign_key" ]; then
    sign sign "$work/Kestrum.exe" "$work/signed.exe" "$work/Kestrum.exe.sig" --key "$sign_key" \
        ${password_file:+--password-file "$password_file"} ${timestamp_url:+--timestamp-url "$timestamp_url"} \
        || fail "Kestrum.exe could not be signed with $sign_key (above); no archive was made"
    signing="signed with $sign_key"
elif [ -n "$signature" ]; then
    attach "$signature" \
        || fail "$signature cannot be attached to the Kestrum.exe built here (above); no archive was made"
    signing="signed: $signature attached"
elif [ -n "$unsigned" ]; then
    signing="unsigned, as --unsigned asked"
elif [ ! -e "$published" ]; then
    signing="unsigned: no --sign or --signature was given, and no signature is published for"
    signing+=" $version ($published)"
elif attach "$published" 2>"$work/attach.log"; then
    signing="signed: the signature published for $version ($published) attached"
else
    signing="unsigned: the signature published for $version ($published) was not made for this"
    signing+=" build: $(tail -1 "$work/attach.log")"
fi
[ ! -e "$work/signed.exe" ] || mv "$work/signed.exe" "$work/Kestrum.exe"

# The source archive (README.md, "Package"): the same order, owner, modes, times (the commit's)
# and line ends whoever's git configuration.
src=Kestrum-$version-src.tar.gz
archived=$src # what the bill of materials names
if [ -n "$git" ]; then
    tree=HEAD
    if [ -n "$changed" ]; then
        # The work tree as a commit of its own, in objects and an index kept
        # apart from the repository's.
        objects=$(git rev-parse --path-format=absolute --git-path objects)
        mkdir "$work/objects"
        export GIT_INDEX_FILE=$work/index GIT_OBJECT_DIRECTORY=$work/objects
        export GIT_ALTERNATE_OBJECT_DIRECTORIES=$objects
        git read-tree HEAD && git add -A
        filled=$(printf '%s\n%s\n%s\n' "$commit" "$commit_time" "$changed" | git hash-object -w --stdin)
        git update-index --cacheinfo "100644,$filled,packaging/windows/archived-commit"
        tree=$(GIT_AUTHOR_NAME=Kestrum GIT_AUTHOR_EMAIL= GIT_COMMITTER_NAME=Kestrum GIT_COMMITTER_EMAIL= \
               GIT_AUTHOR_DATE="@$commit_time +0000" GIT_COMMITTER_DATE="@$commit_time +0000" \
               git commit-tree "$(git write-tree)" -p HEAD -m "$source")
    fi
    git -c tar.umask=0022 -c core.autocrlf=false -c core.eol=lf \
        archive --format=tar --prefix="kestrum-$version/" "$tree" | gzip -9n >"$work/$src"
    unset GIT_INDEX_FILE GIT_OBJECT_DIRECTORY GIT_ALTERNATE_OBJECT_DIRECTORIES
else
    src='' # only git makes it; a release built from it names it all the same
    [ -n "$commit" ] || archived=''
fi

{
    echo "Kestrum $version for 64-bit Windows (x86-64)"
    echo
    echo "Source:            $source"
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"
    echo "Static Qt:         $(sed -n 's/^package //p' "$qt/notices/qt-source")" \
         "$(sed -n 's/^version //p' "$qt/notices/qt-source") (Debian source package)," \
         "built by packaging/windows/static-qt.sh, recipe $(cat "$qt/recipe")"
    echo
    exetool package-state packaging/windows/packages.txt
} >"$work/BUILDINFO.txt" || fail "cannot tell which Debian packages built it (above)"
sed "s/@VERSION@/$version/g" packaging/windows/zip-readme.txt >"$work/README.txt"

# The bill of materials describes the Kestrum.exe that ships, and the source.
sbom=Kestrum-$version.cdx.json
exetool sbom "$qt/notices" "$fresh/app/Kestrum.map" "$work/Kestrum.exe" "$work/$sbom" \
    --version "$version" --epoch "$SOURCE_DATE_EPOCH" --repository "$repository" \
    --source-archive "$archived" \
    || fail "the bill of materials cannot be made (above); no archive was made"

zip=Kestrum-$version-win64.zip
exetool zip "$work/$zip" "$SOURCE_DATE_EPOCH" \
    Kestrum.exe="$work/Kestrum.exe" README.txt="$work/README.txt" \
    BUILDINFO.txt="$work/BUILDINFO.txt" THIRD-PARTY-NOTICES.txt="$work/THIRD-PARTY-NOTICES.txt" \
    "$sbom=$work/$sbom"
shipped=("$zip" "$sbom" ${src:+"$src"})
[ ! -e "$work/Kestrum.exe.sig" ] || shipped+=(Kestrum.exe.sig)
(cd "$work" && sha256sum "${shipped[@]}" >SHA256SUMS)
[ -z "$gpg_key" ] || sign checksums "$work/SHA256SUMS" "$gpg_key" \
    || fail "SHA256SUMS could not be signed (above); no archive was made"

rm -rf "$out"
mkdir -p "$out"
mv "${shipped[@]/#/$work/}" "$work/SHA256SUMS" ${gpg_key:+"$work/SHA256SUMS.asc"} "$out/"
echo "Built in $out: ${shipped[*]} and SHA256SUMS${gpg_key:+ with SHA256SUMS.asc}:"
cat "$out/SHA256SUMS"
echo "Kestrum.exe is $signing."
[ -z "$changed" ] || [ -z "$git" ] \
    || echo "scripts/release: built from uncommitted changes; the source archive holds them." >&2
