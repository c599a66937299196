#!/usr/bin/env bash
# tools/release.sh with a throw-away identity (made here with openssl, never committed) whose key
# and certificate sit on a SoftHSM2 token, time-stamped by a local authority on 127.0.0.1
# (tsa.py), packing a vendor's unsigned memotack.exe given as a PATH: the installer and the
# memotack.exe that -extract writes from it verify against the CA and against no other, the time
# stamp against the authority's CA, that memotack.exe is the vendor's file signed, a copy with one
# byte changed fails, SHA256SUMS matches, and the PIN, read from a file, reaches no program the run
# starts (every execve traced, with its environment and command line) and appears in no output.
# A PIN in the environment, signing variables without a whole identity, a signed release without
# a time-stamp URL, -o inside -w and a -w folder holding other files each stop it before anything is
# built; a step that fails at the end leaves DIST_DIR as it was. A vendor's memotack.exe that is signed already
# keeps its signature (PKCS#12, its password through a file descriptor, --no-timestamp). A run
# without an identity says in one line that it is unsigned and carries exactly the vendor's file
# given as a STRING; its installer, signed twice with the PKCS#12 identity, gives the same bytes,
# with the unsigned file's Authenticode digest.
source "$(dirname "$0")/../e2e/lib.sh"
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
work="$BUILD_DIR/release-test"
# The release's own work folder lives on between runs: its Wine prefix is made only once.
rm -rf "$work"/{id,tokens,other,signed,unsigned,stopped,kept,*.exe,*.log,*.url,*.trace}
mkdir -p "$work"
fails() { ! "$@"; }
verifies() { osslsigncode verify "$@" >/dev/null 2>&1; } # verifies [-CAfile CA] -in FILE
digest() { python3 "$root/tools/authenticode.py" digest "$1"; }
release() {  # release NAME STATUS [OPTION...]: tools/release.sh into $work/NAME exits with STATUS
    local name="$1" expected="$2" status=0
    shift 2
    "${TRACE[@]}" bash "$root/tools/release.sh" -o "$work/$name" -w "$work/work" "$@" >"$work/$name.log" 2>&1 \
        </dev/null || status=$?
    cat "$work/$name.log"
    check_eq "$name release: exit code" "$expected" $status
}
TRACE=()

bash "$root/tools/make-test-cert.sh" "$work/id"
password=$(cat "$work/id/signer.p12.password") pin="pin-$RANDOM-$RANDOM"
(umask 077 && echo "$pin" >"$work/id/pin")
export SOFTHSM2_CONF="$work/id/softhsm2.conf"
module=/usr/lib/softhsm/libsofthsm2.so
mkdir "$work/tokens"
echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
openssl x509 -in "$work/id/signer.pem" -outform DER -out "$work/id/signer.der"
{
    softhsm2-util --init-token --free --label memotack --pin "$pin" --so-pin "so-$pin"
    softhsm2-util --import "$work/id/signer.key" --token memotack --label signer --id 01 --pin "$pin"
    pkcs11-tool --module "$module" --token-label memotack --login --pin "$pin" --write-object "$work/id/signer.der" \
        --type cert --id 01 --label signer
} >"$work/token.log" 2>&1 || { cat "$work/token.log"; exit 1; }
# A vendor's memotack.exe: the stand-in with bytes of its own after the image, unsigned.
{ cat "$BUILD_DIR/product/memotack/memotack.exe"; printf 'vendor build %s' "$RANDOM"; } >"$work/vendor.exe"

# --- Stops before anything is built or written.
export MEMOTACK_SIGN_PKCS11_MODULE="$module" MEMOTACK_SIGN_PKCS11_KEY="pkcs11:token=memotack;object=signer;type=private" \
    MEMOTACK_SIGN_PKCS11_CERT="pkcs11:token=memotack;object=signer;type=cert" MEMOTACK_SIGN_CA="$work/id/ca.pem"
MEMOTACK_SIGN_PIN="$pin" release stopped 2
check "a PIN in the environment stops it, saying what to use instead" grep -q 'MEMOTACK_SIGN_PIN_FILE=FILE' \
    "$work/stopped.log"
export MEMOTACK_SIGN_PIN_FILE="$work/id/pin"
release stopped 1
check "without a time-stamp URL a signed release stops" grep -q 'MEMOTACK_TIMESTAMP_URL.*--no-timestamp' "$work/stopped.log"
(
    unset MEMOTACK_SIGN_PKCS11_MODULE MEMOTACK_SIGN_PKCS11_KEY MEMOTACK_SIGN_PKCS11_CERT
    release stopped 2  # a PIN and a CA, and no key
    check "signing variables without an identity stop it" grep -q 'MEMOTACK_SIGN_PIN_FILE is set, but no signing identity' \
        "$work/stopped.log"
    MEMOTACK_SIGN_PKCS12="$work/id/signer.p12" release stopped 2
    check "a PIN beside a PKCS#12 bundle stops it" grep -q 'MEMOTACK_SIGN_PIN_FILE is for a token' "$work/stopped.log"
    exit "$E2E_FAILURES"
) || E2E_FAILURES=$((E2E_FAILURES + $?))
release stopped 1 -o "$work/work/dist" --no-timestamp
check "-o inside -w is refused" grep -q 'lies inside -w' "$work/stopped.log"
mkdir -p "$work/other/work/src"
release other 1 -w "$work/other/work" --no-timestamp
check "a -w folder with other files is refused, nothing deleted" grep -q 'holds files this script did not put there' \
    "$work/other.log"
check "... nothing deleted" test -d "$work/other/work/src" -a ! -e "$work/other/work/build"
check "nothing reached DIST_DIR" test ! -e "$work/stopped/memotack_setup.exe" -a ! -e "$work/other/memotack_setup.exe"

# --- Signed with the token, time-stamped, the vendor's unsigned memotack.exe given as a PATH, every execve traced.
# The authority answers for as long as a release may take and then stops by itself.
python3 "$root/tests/release/tsa.py" "$work/id" 900 >"$work/tsa.url" &
tsa=$!
for _ in $(seq 50); do [ -s "$work/tsa.url" ] && break || sleep 0.1; done
export MEMOTACK_TIMESTAMP_URL="$(head -n 1 "$work/tsa.url")" MEMOTACK_TIMESTAMP_CA="$work/id/tsa-ca.pem"
TRACE=(strace -f --seccomp-bpf -e trace=execve -v -s 4096 -o "$work/signed.trace")
release signed 0 -- -DMEMOTACK_PAYLOAD_EXE:PATH="$work/vendor.exe"
TRACE=()
kill "$tsa"
signed="$work/signed/memotack_setup.exe" extracted="$work/work/extract/memotack.exe"
check "the trace shows each program's environment" grep -q '^[0-9]* *execve(.*"MEMOTACK_SIGN_PIN_FILE=' "$work/signed.trace"
check "... and osslsigncode reading its secret from a pipe" \
    grep -q 'execve("[^"]*osslsigncode", \[.*"-readpass", "/dev/fd/' "$work/signed.trace"
check "the PIN reaches no program the release starts" fails grep -qF "$pin" "$work/signed.trace"
check "the PIN appears in no output" fails grep -qF "$pin" "$work/stopped.log" "$work/other.log" "$work/signed.log"
check_eq "the memotack.exe it carries is the vendor's, signed" "$(digest "$work/vendor.exe")" "$(digest "$extracted")"
source "$root/tools/sign-lib.sh"
for file in "$signed" "$extracted"; do
    check "$file verifies against the CA" verifies -CAfile "$work/id/ca.pem" -in "$file"
    check "... and not against an unrelated CA" fails verifies -CAfile "$work/id/other-ca.pem" -in "$file"
    check "... its time stamp verifies against the authority's CA" memotack_timestamped "$file"
    check "... and not against an unrelated CA" fails env MEMOTACK_TIMESTAMP_CA="$work/id/other-ca.pem" \
        bash -c "source '$root/tools/sign-lib.sh' && memotack_timestamped '$file'"
done
python3 - "$signed" "$work/tampered.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[2], 'wb').write(data)
PY
check "one byte changed: verification fails" fails verifies -CAfile "$work/id/ca.pem" -in "$work/tampered.exe"
check "SHA256SUMS matches" bash -c "cd '$work/signed' && sha256sum --quiet -c SHA256SUMS"

unset MEMOTACK_SIGN_PKCS11_MODULE MEMOTACK_SIGN_PKCS11_KEY MEMOTACK_SIGN_PKCS11_CERT MEMOTACK_SIGN_PIN_FILE \
    MEMOTACK_TIMESTAMP_URL
# A vendor's memotack.exe that is signed already is packed as it is, not signed again.
cp "$extracted" "$work/vendor-signed.exe"
MEMOTACK_SIGN_PKCS12="$work/id/signer.p12" MEMOTACK_SIGN_PASSWORD_FILE=/dev/fd/3 \
    release vendor 0 --no-timestamp -- -DMEMOTACK_PAYLOAD_EXE="$work/vendor-signed.exe" 3<"$work/id/signer.p12.password"
check "a signed vendor memotack.exe keeps its signature" cmp "$work/vendor-signed.exe" "$extracted"
check "the password appears in no output" fails grep -qF "$password" "$work/vendor.log"

unset MEMOTACK_SIGN_CA MEMOTACK_TIMESTAMP_CA
# A step that fails last, once the installer is built, signed and checked (the manifest's download
# URL is refused), leaves DIST_DIR as it was.
mkdir -p "$work/kept" && echo "an earlier release" >"$work/kept/memotack_setup.exe"
MEMOTACK_RELEASE_URL=ftp://downloads.example/ release kept 1
check "the last step failed" grep -q 'the winget manifest step failed' "$work/kept.log"
check_eq "a failed step: DIST_DIR as it was" "memotack_setup.exe: an earlier release" \
    "$(ls -A "$work/kept"): $(cat "$work/kept/memotack_setup.exe")"
release unsigned 0 -- -DMEMOTACK_PAYLOAD_EXE:STRING="$work/vendor.exe"
unsigned="$work/unsigned/memotack_setup.exe"
check_eq "unsigned release: lines saying so" 1 "$(grep -c 'is NOT signed' "$work/unsigned.log")"
check "the unsigned installer has no signature" fails verifies -in "$unsigned"
check "it carries exactly the vendor's memotack.exe, given as a STRING" cmp "$work/vendor.exe" "$extracted"
export MEMOTACK_SIGN_PKCS12="$work/id/signer.p12" MEMOTACK_SIGN_PASSWORD_FILE="$work/id/signer.p12.password"
source "$root/tools/sign-lib.sh"
memotack_signing_identity </dev/null
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
memotack_sign "$unsigned" "$work/p12-a.exe"
memotack_sign "$unsigned" "$work/p12-b.exe"
check "signed twice with the PKCS#12 identity: the same bytes" cmp "$work/p12-a.exe" "$work/p12-b.exe"
check "... which verify" verifies -CAfile "$work/id/ca.pem" -in "$work/p12-a.exe"
check_eq "... with the unsigned file's Authenticode digest" "$(digest "$unsigned")" "$(digest "$work/p12-a.exe")"
finish
