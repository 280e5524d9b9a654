#!/usr/bin/env bash
# Usage:
#   sign.sh sign UNSIGNED SIGNED SIG --key KEY [--password-file FILE]
#           [--timestamp-url URL [--timestamp-timeout SECONDS]]
#   sign.sh attach UNSIGNED SIGIN SIGNED SIG
#   sign.sh checksums SUMS KEYID
#
# Kestrum.exe's Authenticode signature (README.md, "Sign"; KEY as --sign takes it there, its
# password or PIN in FILE). `sign` and `attach` leave SIGNED and its detached signature (PEM) as
# SIG only when finish's checks pass, otherwise neither, not even an earlier one. `checksums`
# writes SUMS.asc, detached and armoured, with the OpenPGP key KEYID.
#
# osslsigncode has had memory-safety faults when reading untrusted files, so it is given only
# Kestrum's own: the exe built here and the signature published with Kestrum's source.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)

fail() { echo "sign.sh: $*" >&2; exit 1; }

exetool() { /usr/bin/python3 "$here/exetool" "$@"; }

# Runs a command with its output kept in $work/log, shown only when it fails with the message $1.
logged() {
    local message=$1
    shift
    "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "$message"; }
}

# A folder beside the outputs for the work, so that they appear whole by a rename; removed at exit.
start() {
    rm -f -- "$@"
    work=$(mktemp -d "$(dirname "$1")/.signing.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# Moves $work/signed.exe to SIGNED $2 and its signature to SIG $3 only if the signature was made
# for UNSIGNED $1, removing it gives back $1 exactly, signing changed nothing else and, given KEY
# $5, the certificates it signed with are valid now; $4 names the signature in a refusal.
finish() {
    logged "cannot extract the signature (above)" \
        osslsigncode extract-signature -pem -in "$work/signed.exe" -out "$work/signature.pem"
    # Without a root it trusts, verify fails whatever the digests; they are
    # compared here, and the trust is Windows' to judge. Offline: no CRLs.
    osslsigncode verify -ignore-cdp -ignore-crl -in "$work/signed.exe" >"$work/log" 2>&1 || true
    local signs is
    signs=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' "$work/log" | head -1)
    is=$(sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' "$work/log" | head -1)
    [ -n "$signs" ] && [ -n "$is" ] \
        || { cat "$work/log" >&2; fail "osslsigncode cannot read $4 (above)"; }
    [ "$signs" = "$is" ] || fail "$4 is the signature of another build (another commit or" \
        "toolchain): it signs an exe whose Authenticode digest is $signs, $1's is $is"
    [ -z "${5:-}" ] || valid_now "$5"
    # The one check that the unsigned exe stays the artefact anyone rebuilds.
    logged "cannot remove the signature (above)" \
        osslsigncode remove-signature -in "$work/signed.exe" -out "$work/stripped.exe"
    cmp -s "$1" "$work/stripped.exe" \
        || fail "removing the signature does not give back $1 exactly"
    exetool signed "$1" "$work/signed.exe" --as "$2"
    mv "$work/signature.pem" "$3"
    mv "$work/signed.exe" "$2"
}

# Windows trusts no signature made outside its certificates' lives; osslsigncode makes one all
# the same. Checks every certificate that $work/signature.pem carries, made with KEY $1.
valid_now() {
    local now cert dates
    now=$(date -u +%Y%m%d%H%M%S)
    openssl pkcs7 -print_certs -in "$work/signature.pem" \
        | awk -v to="$work/certificate." '/BEGIN CERTIFICATE/ { n++ } n { print >(to n) }' \
        || fail "openssl cannot read the signature's certificates (above)"
    [ -e "$work/certificate.1" ] || fail "the signature made with $1 carries no certificate"
    for cert in "$work"/certificate.*; do
        mapfile -t dates < <(openssl x509 -in "$cert" -noout -subject -startdate -enddate \
                             -dateopt iso_8601 -nameopt oneline | cut -d= -f2-)
        [ "$now" -ge "$(tr -dc 0-9 <<<"${dates[1]}")" ] \
            || fail "the certificate \"${dates[0]}\" of $1 is not valid before ${dates[1]}"
        [ "$now" -le "$(tr -dc 0-9 <<<"${dates[2]}")" ] \
            || fail "the certificate \"${dates[0]}\" of $1 expired at ${dates[2]}"
    done
}

# osslsigncode's options for KEY $1.
key_options() {
    if [[ $1 != pkcs11:* ]]; then
        [ -f "$1" ] || fail "the key file $1 does not exist"
        options=(-pkcs12 "$1")
        return
    fi
    local path module=''
    [[ ! $1 =~ ^[^?]*\?(.*&)?module-path=([^&]*) ]] || module=${BASH_REMATCH[2]}
    [ -n "$module" ] \
        || module=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)/p11-kit-proxy.so
    [ -f "$module" ] || fail "the PKCS#11 module $module does not exist"
    # The path's attributes but its type: the certificate and the key are asked for by type.
    path=pkcs11:$(sed -E 's/^pkcs11://; s/(^|;)type=[^;]*//g; s/;+/;/g; s/^;|;$//g' <<<"${1%%\?*}")
    [ "$path" != pkcs11: ] || fail "the PKCS#11 URI $1 names no token or object"
    options=(-pkcs11module "$module" -pkcs11cert "$path;type=cert" -key "$path;type=private")
}

sign() {
    local unsigned=$1 signed=$2 sig=$3 key='' password='' url='' timeout=60
    shift 3
    while [ $# -gt 0 ]; do
        case $1 in
            --key) key=${2:-} ;;
            --password-file) password=${2:-} ;;
            --timestamp-url) url=${2:-} ;;
            --timestamp-timeout) timeout=${2:-} ;;
            *) fail "unknown argument $1" ;;
        esac
        shift 2 || fail "$1 needs a value"
    done
    [ -n "$key" ] || fail "sign needs --key"
    start "$signed" "$sig"
    key_options "$key"
    if [ -n "$password" ]; then
        [ -r "$password" ] || fail "the password file $password cannot be read"
        options+=(-readpass "$password")
    fi
    # osslsigncode waits for ever on a timestamp server that takes the
    # connection and never answers.
    local run=(osslsigncode) status=0
    [ -z "$url" ] || run=(timeout "$timeout" osslsigncode)
    "${run[@]}" sign "${options[@]}" -h sha256 -n Kestrum ${url:+-ts "$url"} \
        -in "$unsigned" -out "$work/signed.exe" >"$work/log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$work/log" >&2
        [ "$status" -ne 124 ] || fail "the timestamp server $url did not answer within $timeout seconds"
        found() { grep -q "$1" "$work/log"; }
        ! found 'Wrong password\|PIN incorrect' \
            || fail "the password in ${password:-(none given)} does not unlock $key"
        ! found 'No matching initialized token\|was not found at: pkcs11' \
            || fail "no token that is there holds $key: is it plugged in, is the URI right?"
        ! found 'timestamping failed' || fail "the timestamp server $url did not answer (above)"
        fail "osslsigncode could not sign $unsigned with $key (above)"
    fi
    finish "$unsigned" "$signed" "$sig" "the signature just made" "$key"
}

attach() {
    local unsigned=$1 published=$2 signed=$3 sig=$4
    [ -f "$published" ] || fail "the signature file $published does not exist"
    start "$signed" "$sig"
    # attach-signature also checks the signer's chain against this machine's
    # TLS roots, which need not hold a code-signing root, and then fails
    # though it attached; finish checks what it attached.
    osslsigncode attach-signature -sigin "$published" -in "$unsigned" -out "$work/signed.exe" \
        >"$work/log" 2>&1 || true
    [ -f "$work/signed.exe" ] || { cat "$work/log" >&2; fail "osslsigncode could not attach $published (above)"; }
    finish "$unsigned" "$signed" "$sig" "$published"
}

checksums() {
    local sums=$1 key=$2
    start "$sums.asc"
    gpg --batch --yes --armor --detach-sign --local-user "$key" --output "$work/sums.asc" "$sums" \
        || fail "gpg could not sign $sums with the key $key (above)"
    logged "gpg cannot verify the signature it made of $sums (above)" \
        gpg --batch --verify "$work/sums.asc" "$sums"
    mv "$work/sums.asc" "$sums.asc"
}

usage() { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }

command=${1:-}
[ $# -eq 0 ] || shift
case $command in
    sign) [ $# -ge 3 ] || usage; sign "$@" ;;
    attach) [ $# -eq 4 ] || usage; attach "$@" ;;
    checksums) [ $# -eq 2 ] || usage; checksums "$@" ;;
    *) usage ;;
esac
