#!/usr/bin/env bash
# Usage: throwaway-keys.sh DIR
#
# For tests only: a code-signing authority of its own in DIR, made anew each
# time and trusted by nothing. root.pem is its root; signer.pfx holds a
# code-signing certificate it issued, valid from yesterday to the day after
# tomorrow, with its key (the password is in DIR/password), and signer.pem
# and signer.key the same for a token; expired.pfx one that expired in 2021
# (same password); tsa.pem and tsa.key an RFC 3161 timestamp authority's, and
# tsa.cnf openssl's settings for it; gnupg/, a GNUPGHOME whose one OpenPGP
# key, test@kestrum.invalid, signs for a day.
set -euo pipefail
cd "$1"

cat >ca.cnf <<'EOF'
[ca]
default_ca = throwaway
[throwaway]
database = index.txt
serial = serial
new_certs_dir = .
certificate = root.pem
private_key = root.key
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[root]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = critical,timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
cat >tsa.cnf <<'EOF'
[tsa]
default_tsa = throwaway
[throwaway]
serial = tsa-serial
signer_cert = tsa.pem
signer_key = tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.0.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
: >index.txt
echo 01 >serial
echo 01 >tsa-serial
echo "throwaway password" >password

openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3 \
    -subj "/CN=Kestrum Test Root" -config ca.cnf -extensions root 2>/dev/null

# issue NAME SUBJECT EXTENSIONS [openssl ca's dates...]
issue() {
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
    openssl ca -batch -config ca.cnf -extensions "$3" -notext -in "$1.csr" -out "$1.pem" "${@:4}" \
        2>/dev/null
}
yesterday=$(date -u -d yesterday +%Y%m%d%H%M%SZ)
issue signer "Kestrum Test Signer" code_signing -startdate "$yesterday" -days 3
issue expired "Kestrum Test Signer" code_signing -startdate 20200101000000Z -enddate 20210101000000Z
issue tsa "Kestrum Test Timestamps" time_stamping -startdate "$yesterday" -days 3
for name in signer expired; do
    openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -certfile root.pem \
        -passout file:password -out "$name.pfx"
done

mkdir -m 700 gnupg
GNUPGHOME=$PWD/gnupg gpg --batch --quiet --passphrase '' \
    --quick-generate-key "Kestrum Test <test@kestrum.invalid>" ed25519 sign 1d 2>/dev/null
