#!/usr/bin/env bash
# Usage: test_sign.sh KESTRUM_EXE OUT_DIR
#
# Signing Kestrum.exe (sign.sh), offline, with throwaway keys made here
# (throwaway-keys.sh): with a .pfx, with a SoftHSM token through PKCS#11 and
# with a timestamp from a local authority, each signature verified by
# osslsigncode against the throwaway root; a flipped byte fails verification;
# attaching the detached signature gives the signed bytes; every bad input
# stops signing with its cause and leaves nothing, an exe that removing the
# signature would not give back among them; Windows' WinVerifyTrust, under Wine,
# finds the signature, finds none on the unsigned exe and a bad digest on a
# tampered one; SHA256SUMS is signed with a throwaway OpenPGP key. Leaves the
# signed exe as OUT_DIR/Kestrum.exe for the end-to-end test.
#
# What Windows makes of a real certificate (whether it trusts it, a revoked
# one, SmartScreen's and Smart App Control's verdicts) Wine cannot show; that
# is checked by hand on Windows with each release.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
exe=$(realpath "$1")
out=$(realpath -m "$2")
rm -f "$out/Kestrum.exe"
for tool in osslsigncode openssl softhsm2-util pkcs11-tool gpg wine x86_64-w64-mingw32-gcc-posix; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps test)"; exit 1; }
done

work=$(mktemp -d)
servers=()
cleanup() {
    for server in "${servers[@]}"; do kill "$server" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
failures=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
sign=("$here/sign.sh")

# Splits a row of the tables below at '|' into the array `field`, without
# the blanks at either end of each.
split_row() {
    local raw part
    IFS='|' read -ra raw <<<"$1"
    field=()
    for part in "${raw[@]}" "" "" "" "" ""; do
        part=${part#"${part%%[![:space:]]*}"}
        field+=("${part%"${part##*[![:space:]]}"}")
    done
}

mkdir keys
"$here/throwaway-keys.sh" keys
cp "$exe" unsigned.exe
# Signing pads an exe to 8 bytes, which removing the signature keeps.
cp "$exe" unpadded.exe
printf 'odd' >>unpadded.exe
echo "not the password" >wrong-password

# A SoftHSM token of its own holding the signer's key and certificate.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$work" >"$SOFTHSM2_CONF"
module=/usr/lib/softhsm/libsofthsm2.so
echo 246810 >pin
softhsm2-util --init-token --free --label kestrum-test --so-pin 13579 --pin 246810 >/dev/null
openssl pkcs8 -topk8 -nocrypt -in keys/signer.key -out signer.p8
softhsm2-util --import signer.p8 --token kestrum-test --label signer --id 01 --pin 246810 >/dev/null
openssl x509 -in keys/signer.pem -outform DER -out signer.der
pkcs11-tool --module "$module" --token-label kestrum-test --login --pin 246810 \
    --write-object signer.der --type cert --id 01 --label signer >/dev/null
token="pkcs11:token=kestrum-test;object=signer"

# serve NAME [--silent]: a local timestamp server; its URL in $url.
serve() {
    python3 "$here/timestamp-server.py" keys "$1.port" "${@:2}" &
    servers+=($!)
    for _ in $(seq 100); do [ -s "$1.port" ] && break; sleep 0.05; done
    url="http://127.0.0.1:$(cat "$1.port")/"
}
serve authority
authority=$url
serve silent --silent
silent=$url
closed=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

verify() {
    osslsigncode verify -CAfile keys/root.pem -TSA-CAfile keys/root.pem -in "$1" >"$1.verify" 2>&1
}

# name | key | password file | further arguments
while IFS= read -r row; do
    split_row "$row"
    name=${field[0]}
    read -ra more <<<"${field[3]}"
    if "${sign[@]}" sign unsigned.exe "$name.exe" "$name.sig" --key "${field[1]}" \
        --password-file "${field[2]}" "${more[@]}" >"$name.log" 2>&1 </dev/null \
        && verify "$name.exe"; then
        ok "signed with $name: osslsigncode verifies it against the throwaway root"
    else
        cat "$name.log" "$name.exe.verify" >&2 2>/dev/null || true
        bad "signing with $name"
    fi
done <<EOF
pfx       | keys/signer.pfx                              | keys/password |
token     | $token?module-path=$module                   | pin           |
p11-kit   | $token                                       | pin           |
typed     | $token;type=private?module-path=$module      | pin           |
timestamp | keys/signer.pfx                              | keys/password | --timestamp-url $authority
EOF
grep -q 'Timestamp Server Signature verification: ok' timestamp.exe.verify \
    && ok "the timestamp verifies against the throwaway authority" || bad "no verified timestamp"

cp pfx.exe flipped.exe
printf '\x55' | dd of=flipped.exe bs=1 seek=$((0x1000)) conv=notrunc status=none
cmp -s pfx.exe flipped.exe && bad "the byte was not changed"
verify flipped.exe && bad "osslsigncode verifies a signed exe with one byte changed" \
    || ok "one changed byte fails verification: $(grep -o 'MISMATCH' flipped.exe.verify | head -1)"

for name in pfx token timestamp; do
    cp unsigned.exe again.exe
    if "${sign[@]}" attach again.exe "$name.sig" "$name.attached.exe" "$name.attached.sig" \
        >/dev/null </dev/null && cmp -s "$name.exe" "$name.attached.exe" \
        && cmp -s "$name.sig" "$name.attached.sig"; then
        ok "$name: attaching its detached signature gives the signed bytes"
    else
        bad "$name: attaching its detached signature does not give the signed bytes"
    fi
done

# Every bad input stops signing, names its cause and leaves nothing, not even
# an earlier run's output.
# cause | expected message | exe | key | password file | further arguments
while IFS= read -r row; do
    split_row "$row"
    cause=${field[0]} message=${field[1]}
    read -ra more <<<"${field[5]}"
    echo "an earlier run" >out.exe
    echo "an earlier run" >out.sig
    if "${sign[@]}" sign "${field[2]}" out.exe out.sig --key "${field[3]}" \
        --password-file "${field[4]}" "${more[@]}" >failed.log 2>&1 </dev/null; then
        bad "$cause: signed"
    elif ! grep -qF "$message" failed.log; then
        cat failed.log >&2
        bad "$cause: the message does not say \"$message\""
    elif [ -e out.exe ] || [ -e out.sig ] || ls -d .signing.* >/dev/null 2>&1; then
        bad "$cause: something was left: $(ls -a)"
    else
        ok "$cause: $(grep -o 'sign.sh: .*' failed.log)"
    fi
done <<EOF
wrong password      | does not unlock keys/signer.pfx     | unsigned.exe | keys/signer.pfx  | wrong-password |
missing key         | the key file keys/absent.pfx does not exist | unsigned.exe | keys/absent.pfx | keys/password |
expired key         | "CN = Kestrum Test Signer" of keys/expired.pfx expired at 2021-01-01 | unsigned.exe | keys/expired.pfx | keys/password |
absent token        | no token that is there holds         | unsigned.exe | pkcs11:token=absent;object=signer?module-path=$module | pin |
wrong PIN           | does not unlock pkcs11:              | unsigned.exe | $token?module-path=$module | wrong-password |
no token or object  | names no token or object             | unsigned.exe | pkcs11:type=cert;?module-path=$module | pin |
refused timestamp   | did not answer                       | unsigned.exe | keys/signer.pfx  | keys/password  | --timestamp-url http://127.0.0.1:$closed/
silent timestamp    | did not answer within 2 seconds      | unsigned.exe | keys/signer.pfx  | keys/password  | --timestamp-url $silent --timestamp-timeout 2
not given back      | removing the signature does not give back unpadded.exe exactly | unpadded.exe | keys/signer.pfx | keys/password |
EOF

# A signature made for another build is refused, naming both digests.
cp unsigned.exe other.exe
printf '\x90' | dd of=other.exe bs=1 seek=$((0x1000)) conv=notrunc status=none
echo "an earlier run" >out.exe
signs=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' pfx.exe.verify)
if "${sign[@]}" attach other.exe pfx.sig out.exe out.sig >failed.log 2>&1; then
    bad "a signature of another build was attached"
elif grep -q "pfx.sig is the signature of another build .*digest is $signs, other.exe's is [0-9A-F]\{64\}" \
        failed.log && ! grep -q "other.exe's is $signs" failed.log && [ ! -e out.exe ]; then
    ok "a signature of another build: $(cat failed.log)"
else
    cat failed.log >&2
    bad "a signature of another build: not refused naming both digests, or something left"
fi

# Windows' own verdict. A test root is trusted by Windows no more than by
# Wine, so Windows says CERT_E_UNTRUSTEDROOT (800b0109) of the signed exe;
# Wine 8 checks no chain and says 0 (what it returned here). Either way
# WinVerifyTrust must find our signer, find no signature on the unsigned exe
# (TRUST_E_NOSIGNATURE, 800b0100) and a bad digest on a tampered one
# (TRUST_E_BAD_DIGEST, 80096010).
x86_64-w64-mingw32-gcc-posix -municode -O2 "$here/trust.c" -o trust.exe -lwintrust -lcrypt32
# file | what Windows may say | the signer it must find
while IFS= read -r row; do
    split_row "$row"
    read -r result signer < <(wine trust.exe "${field[0]}" </dev/null | tr -d "\r")
    if [[ " ${field[1]} " == *" $result "* ]] && [[ $signer == ${field[2]} ]]; then
        ok "WinVerifyTrust on ${field[0]}: $result, signer: $signer"
    else
        bad "WinVerifyTrust on ${field[0]}: $result, signer: $signer; not one of" \
            "${field[1]}, signer: ${field[2]}"
    fi
done <<'EOF'
pfx.exe       | 800b0109 00000000 | Kestrum Test Signer
token.exe     | 800b0109 00000000 | Kestrum Test Signer
unsigned.exe  | 800b0100          | -
flipped.exe   | 80096010          | *
EOF

# SHA256SUMS signed with a throwaway OpenPGP key.
export GNUPGHOME=$work/keys/gnupg
sha256sum pfx.exe pfx.sig >SHA256SUMS
"${sign[@]}" checksums SHA256SUMS test@kestrum.invalid
gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>gpg.log \
    && ok "gpg --verify accepts SHA256SUMS.asc" || { cat gpg.log >&2; bad "gpg --verify refuses it"; }
sed -i '1s/^./x/' SHA256SUMS
gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>gpg.log \
    && bad "gpg --verify accepts an edited SHA256SUMS" \
    || ok "gpg --verify refuses an edited SHA256SUMS: $(grep -o 'BAD signature.*' gpg.log)"
if "${sign[@]}" checksums SHA256SUMS nobody@kestrum.invalid >failed.log 2>&1 \
    || [ -e SHA256SUMS.asc ]; then
    bad "SHA256SUMS signed with a key that is not there, or an old SHA256SUMS.asc left"
else
    ok "no such OpenPGP key: $(grep -o 'sign.sh: .*' failed.log)"
fi

mkdir -p "$out"
cp pfx.exe "$out/Kestrum.exe"
[ "$failures" -eq 0 ] || { echo "FAIL: $failures of the checks above" >&2; exit 1; }
