#!/usr/bin/env bash
# check-reproducible.sh [WORK_DIR]: builds memotack_setup.exe twice from this source tree, in two
# fresh build folders (WORK_DIR/a and WORK_DIR/b, default build/reproducible) and two time zones,
# with SOURCE_DATE_EPOCH set to the last commit's time, and checks that both are byte-identical,
# and that both, signed as tools/release.sh signs (a throw-away identity, with a time stamp when
# MEMOTACK_TIMESTAMP_URL is set), keep the unsigned file's Authenticode digest.
# Prints the SHA-256 sums; exits 1 when they differ, after saying which sections, resources or
# inputs (payload archives, help file, stand-in memotack.exe) differ.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
work="${1:-$root/build/reproducible}"

export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}"
echo "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"

# The minizip source package an earlier configure downloaded is reused instead of downloading it
# again for each fresh folder; the configure step checks it against the pin all the same.
downloads="$root/build/_deps/zlib-download"

for side in a b; do
    rm -rf "${work:?}/$side"
    mkdir -p "$work/$side"
    if [ -d "$downloads" ]; then
        mkdir -p "$work/$side/_deps"
        cp -r "$downloads" "$work/$side/_deps/"
    fi
    # The second build runs in another time zone: local time must not reach the output either.
    zone=UTC
    [ "$side" = b ] && zone=Pacific/Kiritimati
    echo "Building $work/$side (TZ=$zone) ..."
    TZ=$zone cmake -S "$root" -B "$work/$side" -DMEMOTACK_BUILD_TESTS=OFF >"$work/$side.log" 2>&1
    if ! TZ=$zone cmake --build "$work/$side" -j2 --target memotack_setup >>"$work/$side.log" 2>&1; then
        tail -n 30 "$work/$side.log" >&2
        echo "check-reproducible: build $side failed (log: $work/$side.log)" >&2
        exit 2
    fi
done

a="$work/a/memotack_setup.exe"
b="$work/b/memotack_setup.exe"
sha256sum "$a" "$b"
if cmp -s "$a" "$b"; then
    echo "reproducible: both builds are byte-identical ($(stat -c %s "$a") bytes)"
    # The release signs these bytes. A time stamp (MEMOTACK_TIMESTAMP_URL, when set) makes every
    # signed file differ, so what must stay is what the signature covers: each signed file's
    # Authenticode digest is the unsigned file's. A throw-away identity stands in for the vendor's.
    bash "$root/tools/make-test-cert.sh" "$work/identity"
    export MEMOTACK_SIGN_PKCS12="$work/identity/signer.p12" MEMOTACK_SIGN_CA="$work/identity/ca.pem" \
        MEMOTACK_SIGN_PASSWORD_FILE="$work/identity/signer.p12.password"
    unset MEMOTACK_SIGN_CERT MEMOTACK_SIGN_KEY MEMOTACK_SIGN_PKCS11_MODULE MEMOTACK_SIGN_PKCS11_KEY \
        MEMOTACK_SIGN_PKCS11_CERT MEMOTACK_SIGN_PIN_FILE
    source "$root/tools/sign-lib.sh"
    memotack_signing_identity </dev/null
    unsigned_digest=$(python3 "$root/tools/authenticode.py" digest "$a")
    for side in a b; do
        memotack_sign "$work/$side/memotack_setup.exe" "$work/$side/memotack_setup.signed.exe"
        memotack_verify "$work/$side/memotack_setup.signed.exe" >/dev/null ||
            { echo "check-reproducible: signed installer $side does not verify" >&2; exit 1; }
        digest=$(python3 "$root/tools/authenticode.py" digest "$work/$side/memotack_setup.signed.exe")
        if [ "$digest" != "$unsigned_digest" ]; then
            echo "NOT reproducible: signed installer $side has Authenticode digest $digest, unsigned $unsigned_digest" >&2
            exit 1
        fi
    done
    echo "reproducible: both signed installers carry the unsigned file's Authenticode digest $unsigned_digest"
    exit 0
fi

echo "NOT reproducible: the two builds differ" >&2
echo "First differing bytes (offset, octal a, octal b):" >&2
cmp -l "$a" "$b" | head -n 10 >&2 || true
# Which part of the file the differences fall in: a section, or a resource inside .rsrc.
python3 - "$a" "$b" "$root/tools" >&2 <<'EOF'
import sys
sys.path.insert(0, sys.argv[3])
import pe_resources

a, b = (open(path, 'rb').read() for path in sys.argv[1:3])
if len(a) != len(b):
    print(f'sizes differ: {len(a)} and {len(b)} bytes')
differing = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
_, _, sections = pe_resources.read_sections(a)
places = set()
resources = list(pe_resources.resources(a))
for offset in differing:
    place = 'headers'
    for name, _, _, raw_offset, raw_size in sections:
        if raw_offset <= offset < raw_offset + raw_size:
            place = f'section {name}'
    for kind, name, language, size, start in resources:
        if start <= offset < start + size:
            place = f'resource {kind} {name} (language {language})'
    places.add(place)
for place in sorted(places):
    print(f'differences in: {place}')
EOF
for input in res/payload/memotack_exe.zip res/payload/memotack_chm.zip product/help/memotack.chm \
    product/memotack/memotack.exe; do
    cmp -s "$work/a/$input" "$work/b/$input" || echo "input differs between the builds: $input" >&2
done
exit 1
