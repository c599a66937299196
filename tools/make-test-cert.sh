#!/usr/bin/env bash
# make-test-cert.sh DIR: a throw-away code-signing identity for tests, never for a release.
# Writes into DIR (created, mode 0700):
#   ca.pem                   a self-signed CA, the "vendor's CA" that verification trusts
#   signer.pem, signer.key   a code-signing certificate issued by that CA and its unencrypted key
#   signer.p12               the same certificate, key and CA in a PKCS#12 bundle, encrypted with
#                            the fresh random password in signer.p12.password
#   other-ca.pem             an unrelated CA, which must not verify anything signed here
#   tsa-ca.pem               the CA of a time-stamp authority (tests/release/tsa.py)
#   tsa.pem, tsa.key         that authority's certificate (extended key usage timeStamping only)
# Both certificates are valid from 2000-01-01 to 2099-12-31, so any SOURCE_DATE_EPOCH in between
# falls inside them. Keys are made fresh on each call; nothing here is ever committed.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
chmod 700 "$dir"
cd "$dir"
cat >ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
database = ca-db/index.txt
new_certs_dir = ca-db
serial = ca-db/serial
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
[code_signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[ca_cert]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
fresh_db() {  # fresh_db SERIAL: an empty database for openssl ca, issuing SERIAL next
    rm -rf ca-db
    mkdir ca-db
    : >ca-db/index.txt
    echo "$1" >ca-db/serial
}
ca() {  # ca NAME SUBJECT: a self-signed CA certificate NAME.pem with its key NAME.key
    openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -subj "/CN=$2" -out "$1.csr" 2>/dev/null
    fresh_db 01
    openssl ca -batch -config ca.cnf -selfsign -keyfile "$1.key" -in "$1.csr" -out "$1.pem" -notext \
        -extensions ca_cert -startdate 20000101000000Z -enddate 20991231235959Z 2>/dev/null
}
ca ca "Memotack Test CA"
ca other-ca "Unrelated Test CA"
ca tsa-ca "Memotack Test TSA CA"
issue() {  # issue NAME SUBJECT CA EXTENSIONS: NAME.pem and its key NAME.key, issued by CA
    openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -subj "/CN=$2" -out "$1.csr" 2>/dev/null
    fresh_db 02
    openssl ca -batch -config ca.cnf -cert "$3.pem" -keyfile "$3.key" -in "$1.csr" -out "$1.pem" -notext \
        -extensions "$4" -startdate 20000101000000Z -enddate 20991231235959Z 2>/dev/null
}
issue signer "Pelmo Software (test)" ca code_signing
issue tsa "Memotack Test TSA" tsa-ca time_stamping
(umask 077 && openssl rand -hex 12 >signer.p12.password)
openssl pkcs12 -export -in signer.pem -inkey signer.key -certfile ca.pem -name "Pelmo Software (test)" \
    -passout file:signer.p12.password -out signer.p12
rm -rf ./*.csr ca-db ca.cnf
