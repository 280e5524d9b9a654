#!/usr/bin/env bash
# Steps 4 and 5 of the download (README.md beside this file): builds
# Kestrum.exe afresh in a build folder of its own (build/release-build; the
# cached static Qt reused), runs the release gate on the very file it is
# about to pack, and only then writes build/release/Kestrum-<version>-win64.zip
# (Kestrum.exe, a read-me, BUILDINFO.txt naming the source and the tools, the
# third-party notices, the bill of materials), the bill beside it, Kestrum's
# source archive and build/release/SHA256SUMS. Nothing in build/windows
# reaches the zip. The same commit built with the same Debian packages gives
# the same bytes whoever builds it, wherever and whenever: the members come in
# a fixed order, with fixed permissions, dated at the time of the last commit
# (SOURCE_DATE_EPOCH, if set, instead).
#
# Usage: scripts/release [--sign KEY [--sign-password-file FILE] [--timestamp-url URL]
#                        | --signature FILE | --unsigned] [--gpg-key ID]
# Kestrum.exe is signed (sign.sh) after it passed the gate and before it is
# zipped: --sign signs it with KEY, a .pfx file or a PKCS#11 URI, and writes
# the detached signature as build/release/Kestrum.exe.sig; --signature
# attaches a published one, and without either the one published for this
# version in packaging/windows/signatures/, if there is one (--unsigned: not
# even that). --gpg-key signs SHA256SUMS as SHA256SUMS.asc.
set -euo pipefail

fail() {
    echo "scripts/release: $*" >&2
    exit 1
}

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
# Files named on the command line, from where it was given; mistakes in them
# found before the build.
absolute() {
    if [ -n "$1" ] && [[ $1 != pkcs11:* ]]; then realpath -m -- "$1"; else echo "$1"; fi
}
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
published=packaging/windows/signatures/Kestrum-$version.exe.sig
if [ -z "$sign_key$signature$unsigned" ] && [ -e "$published" ]; then
    signature=$published
    echo "scripts/release: attaching the signature published for $version, $published" >&2
fi

repository=$(sed -n 's/^set(KESTRUM_REPOSITORY "\(.*\)")$/\1/p' CMakeLists.txt)

# Only a git work tree of its own says which commit this is; a source archive
# unpacked inside some other repository must not take that one's. Kestrum's
# own source archive names its commit and time in archived-commit (git
# archive fills it in), so a release built from it, without git, is the same.
here=$(pwd -P)
git=
if [ -e .git ] && top=$(git rev-parse --show-toplevel 2>&1) && [ "$top" = "$here" ]; then
    git=yes
    commit=$(git rev-parse HEAD)
    commit_time=$(git log -1 --format=%ct)
elif [ -e .git ]; then
    fail "git cannot read this work tree: $top"
elif { read -r commit && read -r commit_time; } <packaging/windows/archived-commit \
        && [[ $commit =~ ^[0-9a-f]{40}$ && $commit_time =~ ^[0-9]+$ ]]; then
    :
else
    commit= commit_time=
fi

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] \
        || fail "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a number of seconds since 1970"
    if [ -n "$commit_time" ] && [ "$SOURCE_DATE_EPOCH" != "$commit_time" ]; then
        echo "scripts/release: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH comes from the environment, not" \
             "from the last commit; only a build given the same value gives the same archive." >&2
    fi
elif [ -n "$commit_time" ]; then
    SOURCE_DATE_EPOCH=$commit_time
else
    fail "this source is neither a git work tree nor Kestrum's source archive, so the time of its" \
         "last commit is unknown. Set SOURCE_DATE_EPOCH to it (seconds since 1970; the zip's" \
         "BUILDINFO.txt names it), e.g. SOURCE_DATE_EPOCH=1767225600 ./scripts/release"
fi
export SOURCE_DATE_EPOCH

if [ -n "$git" ]; then
    source="commit $commit"
    changed=$(git status --porcelain)
    if [ -n "$changed" ]; then
        source="$source with uncommitted changes"
        {
            echo "scripts/release: the work tree has uncommitted changes, so nobody else can build"
            echo "this archive or match its SHA256SUMS, and no source archive is made. Changed or"
            echo "new files:"
            echo "$changed" | sed 's/^/    /'
        } >&2
    fi
elif [ -n "$commit" ]; then
    source="commit $commit"
else
    source="a source tree without git"
fi

scripts/deps windows
qt=$(packaging/windows/static-qt.sh)

# Debian's python3, whichever python3 comes first on the PATH: the zip is
# written by the version BUILDINFO.txt names.
python=/usr/bin/python3
[ -x "$python" ] || fail "$python is missing (Debian's python3 package; scripts/deps windows installs it)"

out=build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A build folder made anew, so that no stale object and no hand-edited file
# of an earlier build can be packed.
fresh=build/release-build
rm -rf "$fresh"
cmake --preset windows -B "$fresh" -DKESTRUM_WINDOWS_QT="$qt" >"$work/log" 2>&1 \
    && cmake --build "$fresh" -j "$(nproc)" --target Kestrum >>"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "building Kestrum.exe in $fresh failed (above)"; }
cp "$fresh/Kestrum.exe" "$fresh/THIRD-PARTY-NOTICES.txt" "$work/"
"$python" packaging/windows/exetool check "$work/Kestrum.exe" --link-map "$fresh/app/Kestrum.map" \
    --path "$(pwd -P)/$fresh" --path "$qt" \
    || fail "Kestrum.exe fails the release gate (above); no archive was made"

if [ -n "$sign_key" ]; then
    packaging/windows/sign.sh sign "$work/Kestrum.exe" "$work/signed.exe" "$work/Kestrum.exe.sig" \
        --key "$sign_key" ${password_file:+--password-file "$password_file"} \
        ${timestamp_url:+--timestamp-url "$timestamp_url"} \
        || fail "Kestrum.exe could not be signed (above); no archive was made"
elif [ -n "$signature" ]; then
    packaging/windows/sign.sh attach "$work/Kestrum.exe" "$signature" "$work/signed.exe" \
        "$work/Kestrum.exe.sig" \
        || fail "$signature cannot be attached to the Kestrum.exe built here (above); no archive" \
                "was made. Is this the commit it was published for? --unsigned builds without it."
fi
[ ! -e "$work/signed.exe" ] || mv "$work/signed.exe" "$work/Kestrum.exe"

# Kestrum's complete source, for whoever gets the zip: git archive of the
# commit, with archived-commit filled in. Fixed order, owner, modes and times
# (the commit's), whoever's git configuration; a dirty tree has no commit
# that holds what was built, so it gets none.
# A release built from that archive names it too, so that its bill of
# materials and zip are the same.
src=Kestrum-$version-src.tar.gz
archived=$src
if [ -n "$git" ] && [ -z "$changed" ]; then
    git -c tar.umask=0022 -c core.autocrlf=false -c core.eol=lf \
        archive --format=tar --prefix="kestrum-$version/" HEAD | gzip -9n >"$work/$src"
else
    src=
    [ -z "$git" ] && [ -n "$commit" ] || archived=
fi

# The versions of everything whose bytes end up in the archive: compilers,
# assembler and linker, the Windows runtime and headers, the resource
# compiler, Qt's host tools and source, the zip writer, what attaches the
# signature.
packages=(binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
          gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev mingw-w64-common llvm-14
          qt6-base-dev qt6-base-dev-tools cmake ninja-build python3 zlib1g git gzip
          osslsigncode)
state=$("$python" packaging/windows/exetool package-state "${packages[@]}") \
    || fail "cannot tell which state of Debian's archive the packages come from (above)"
{
    echo "Kestrum $version for 64-bit Windows (x86-64)"
    echo
    echo "Source:            $source"
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"
    echo "Static Qt:         $(sed -n 's/^package //p' "$qt/notices/qt-source")" \
         "$(sed -n 's/^version //p' "$qt/notices/qt-source") (Debian source package)," \
         "built by packaging/windows/static-qt.sh, recipe $(cat "$qt/recipe")"
    echo
    echo "Built on Debian ($(dpkg --print-architecture)) with these packages:"
    for package in "${packages[@]}"; do
        installed=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || true
        printf '    %-38s %s\n' "$package" "${installed:-(not installed)}"
    done
    echo
    echo "Debian's archive held these versions as its Release files of $state"
    echo "date it. Debian's snapshot archive serves the archive as it was at any time; with"
    echo "it as of that time in apt's sources, apt-get install <package>=<version> installs"
    echo "exactly these versions (README.md of the source, \"Verifying a download\")."
} >"$work/BUILDINFO.txt"
sed "s/@VERSION@/$version/g" packaging/windows/zip-readme.txt >"$work/README.txt"

# The bill of materials describes the Kestrum.exe that ships, and the source.
sbom=Kestrum-$version.cdx.json
"$python" packaging/windows/exetool sbom "$qt/notices" "$fresh/app/Kestrum.map" "$work/Kestrum.exe" \
    "$work/$sbom" --version "$version" --epoch "$SOURCE_DATE_EPOCH" --repository "$repository" \
    --source-archive "$archived" \
    || fail "the bill of materials cannot be made (above); no archive was made"

zip=Kestrum-$version-win64.zip
"$python" packaging/windows/exetool zip "$work/$zip" "$SOURCE_DATE_EPOCH" \
    Kestrum.exe="$work/Kestrum.exe" README.txt="$work/README.txt" \
    BUILDINFO.txt="$work/BUILDINFO.txt" THIRD-PARTY-NOTICES.txt="$work/THIRD-PARTY-NOTICES.txt" \
    "$sbom=$work/$sbom"
sig=
[ ! -e "$work/Kestrum.exe.sig" ] || sig=Kestrum.exe.sig
shipped=("$zip" "$sbom" ${src:+"$src"} ${sig:+"$sig"})
(cd "$work" && sha256sum "${shipped[@]}" >SHA256SUMS)
if [ -n "$gpg_key" ]; then
    packaging/windows/sign.sh checksums "$work/SHA256SUMS" "$gpg_key" \
        || fail "SHA256SUMS could not be signed (above); no archive was made"
fi

rm -rf "$out"
mkdir -p "$out"
mv "${shipped[@]/#/$work/}" "$work/SHA256SUMS" ${gpg_key:+"$work/SHA256SUMS.asc"} "$out/"
echo "Built in $out: ${shipped[*]} and SHA256SUMS${gpg_key:+ with SHA256SUMS.asc}:"
cat "$out/SHA256SUMS"
[ -n "$src" ] || [ -z "$git" ] \
    || echo "scripts/release: no source archive: the work tree has uncommitted changes." >&2
if [ -n "${changed:-}" ]; then
    echo "scripts/release: built from uncommitted changes (listed above); nobody else can match it." >&2
fi
