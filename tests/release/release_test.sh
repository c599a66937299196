#!/usr/bin/env bash
# tools/release.sh with a throw-away signing identity (made here with openssl, never committed):
# the signed installer verifies against its CA and against no other, a copy with one byte changed
# fails verification, SHA256SUMS matches, and the password appears in no output. A second run
# without an identity says in one line that it is unsigned, and its installer, signed with the
# same key, gives the first run's bytes: two runs of one commit sign to the same file.
# Argument: BUILD_DIR.
set -uo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
work="$(readlink -f "$1")/release-test"
# The release's own work folder lives on between runs: its Wine prefix is made only once.
rm -rf "$work"/{id,signed,unsigned,*.exe,*.log}
mkdir -p "$work"
failures=0
check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
fails() { ! "$@"; }
verifies() { osslsigncode verify "$@" >/dev/null 2>&1; }  # verifies [-CAfile CA] -in FILE

password="test pass $RANDOM"
MEMOTACK_SIGN_PASSWORD="$password" bash "$root/tools/make-test-cert.sh" "$work/id" || exit 1
export MEMOTACK_SIGN_PKCS12="$work/id/signer.p12" MEMOTACK_SIGN_CA="$work/id/ca.pem" MEMOTACK_SIGN_PASSWORD="$password"
signed="$work/signed/memotack_setup.exe"

bash "$root/tools/release.sh" -o "$work/signed" -w "$work/work" >"$work/signed.log" 2>&1
status=$?
cat "$work/signed.log"
check "signed release: exit code 0" test $status -eq 0
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
bash "$root/tools/release.sh" -o "$work/unsigned" -w "$work/work" >"$work/unsigned.log" 2>&1
status=$?
cat "$work/unsigned.log"
check "unsigned release: exit code 0" test $status -eq 0
check "unsigned release: one line says so" test "$(grep -c 'is NOT signed' "$work/unsigned.log")" -eq 1
check "the unsigned installer has no signature" fails verifies -in "$work/unsigned/memotack_setup.exe"
export MEMOTACK_SIGN_PKCS12="$work/id/signer.p12"
source "$root/tools/sign-lib.sh"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
memotack_sign "$work/unsigned/memotack_setup.exe" "$work/resigned.exe"
check "the second run, signed, gives the first run's bytes" cmp "$signed" "$work/resigned.exe"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
