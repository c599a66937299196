#!/usr/bin/env bash
# tools/release.sh with a throw-away signing identity (made here with openssl, never committed):
# the signed installer verifies against its CA and against no other, a copy with one byte changed
# fails verification, SHA256SUMS matches, and the password appears in no output. A second run
# without an identity says in one line that it is unsigned, and its installer, signed with the
# same key, gives the first run's bytes: two runs of one commit sign to the same file.
source "$(dirname "$0")/../e2e/lib.sh"
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
work="$BUILD_DIR/release-test"
# The release's own work folder lives on between runs: its Wine prefix is made only once.
rm -rf "$work"/{id,signed,unsigned,*.exe,*.log}
mkdir -p "$work"
fails() { ! "$@"; }
verifies() { osslsigncode verify "$@" >/dev/null 2>&1; } # verifies [-CAfile CA] -in FILE
release() {  # release NAME: runs tools/release.sh into $work/NAME; its output is in $work/NAME.log
    local status=0
    bash "$root/tools/release.sh" -o "$work/$1" -w "$work/work" >"$work/$1.log" 2>&1 || status=$?
    cat "$work/$1.log"
    check_eq "$1 release: exit code" 0 $status
}

password="test pass $RANDOM"
MEMOTACK_SIGN_PASSWORD="$password" bash "$root/tools/make-test-cert.sh" "$work/id"
export MEMOTACK_SIGN_PKCS12="$work/id/signer.p12" MEMOTACK_SIGN_CA="$work/id/ca.pem" MEMOTACK_SIGN_PASSWORD="$password"
signed="$work/signed/memotack_setup.exe"

release signed
check "the password appears in no output" fails grep -qF "$password" "$work/signed.log"
check "the signature verifies against the CA" verifies -CAfile "$work/id/ca.pem" -in "$signed"
check "... and not against an unrelated CA" fails verifies -CAfile "$work/id/other-ca.pem" -in "$signed"
python3 - "$signed" "$work/tampered.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[2], 'wb').write(data)
PY
check "one byte changed: verification fails" fails verifies -CAfile "$work/id/ca.pem" -in "$work/tampered.exe"
check "SHA256SUMS matches" bash -c "cd '$work/signed' && sha256sum --quiet -c SHA256SUMS"

unset MEMOTACK_SIGN_PKCS12
release unsigned
check_eq "unsigned release: lines saying so" 1 "$(grep -c 'is NOT signed' "$work/unsigned.log")"
check "the unsigned installer has no signature" fails verifies -in "$work/unsigned/memotack_setup.exe"
export MEMOTACK_SIGN_PKCS12="$work/id/signer.p12"
source "$root/tools/sign-lib.sh"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
memotack_sign "$work/unsigned/memotack_setup.exe" "$work/resigned.exe"
check "the second run, signed, gives the first run's bytes" cmp "$signed" "$work/resigned.exe"
finish
