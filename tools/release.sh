#!/usr/bin/env bash
# release.sh [-o DIST_DIR] [-w WORK_DIR] [--no-timestamp] [-- CMAKE_OPTION...]: builds
# memotack_setup.exe from a clean clone of this repository's HEAD (in WORK_DIR, default
# build/release) and writes the release into DIST_DIR (default dist/):
#   memotack_setup.exe   signed with Authenticode when a signing identity is given (the
#                        MEMOTACK_SIGN_* variables, see tools/sign-lib.sh), unsigned otherwise;
#                        the memotack.exe it carries is signed with the same identity first (a
#                        vendor's memotack.exe that is signed already keeps its signature)
#   winget/              the winget manifest with the installer's SHA-256, when this commit has
#                        packaging/winget/make_manifest.py (MEMOTACK_RELEASE_URL: the download URL)
#   SHA256SUMS           the SHA-256 of every file above
# CMAKE_OPTIONs go to the configure step, e.g. -DMEMOTACK_PAYLOAD_EXE=... for the vendor's payload
# (a full path, given with any type or none).
# SOURCE_DATE_EPOCH defaults to the commit's time; it dates the archives and the signature, so two
# runs of one commit with one key give the same bytes, unless a time stamp is added. A signed
# release needs MEMOTACK_TIMESTAMP_URL (an RFC 3161 server) unless --no-timestamp is given.
# Before anything reaches DIST_DIR the script checks its own output: both signatures (and their
# time stamps) verify, the payload resources are those of the unsigned build, and the installer
# still runs: -extract under Wine writes both payload files byte for byte, the memotack.exe the
# vendor gave (or that file signed) and the help file. Exits non-zero when anything fails, and
# DIST_DIR is then as it was.
# WORK_DIR must be new, empty, or one this script marked before; each run deletes everything in it
# but its Wine prefix (kept to save making it again). DIST_DIR may not lie inside it.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
dist="$root/dist"
work="$root/build/release"
timestamp=1

say() { echo "release: $*"; }
fail() {
    echo "release: $*" >&2
    exit 1
}

while getopts o:w:-: option; do
    case $option in
    o) dist="$OPTARG" ;;
    w) work="$OPTARG" ;;
    -) [ "$OPTARG" = no-timestamp ] || fail "unknown option --$OPTARG"
       timestamp=0 ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $timestamp -eq 1 ] || unset MEMOTACK_TIMESTAMP_URL
# The identity, and its secret, before anything is touched.
source "$root/tools/sign-lib.sh"
signed=0
if memotack_signing_identity; then signed=1; fi

dist="$(readlink -m "$dist")"
work="$(readlink -m "$work")"
case "$dist/" in "$work"/*) fail "-o $dist lies inside -w $work, which each run empties: give -o a folder outside it" ;; esac
marker=.memotack-release-work
if [ -e "$work" ] && [ ! -e "$work/$marker" ] && [ -n "$(ls -A "$work" 2>&1)" ]; then
    fail "$work holds files this script did not put there: give -w a new or empty folder (nothing was deleted)"
fi
# What an earlier release wrote into DIST_DIR is replaced at the end; anything else stops it now.
if [ -d "$dist/winget" ] && [ -n "$(find "$dist/winget" -mindepth 1 ! -name 'PelmoSoftware.Memotack*.yaml' -print -quit)" ]; then
    fail "$dist/winget holds files this script did not put there"
fi
mkdir -p "$work"
touch "$work/$marker"
find "$work" -mindepth 1 -maxdepth 1 ! -name "$marker" ! -name wineprefix -exec rm -rf {} +

if [ "$(id -u)" -eq 0 ]; then
    bash "$root/tools/setup.sh" >/dev/null
fi
command -v osslsigncode >/dev/null || [ $signed -eq 0 ] || fail "osslsigncode is missing: run tools/setup.sh"
if [ $signed -eq 1 ] && [ -z "${MEMOTACK_TIMESTAMP_URL:-}" ] && [ $timestamp -eq 1 ]; then
    fail "a signed release needs a time stamp, or its signature fails when the certificate expires: set" \
        "MEMOTACK_TIMESTAMP_URL to an RFC 3161 server (your certificate authority names one), or pass" \
        "--no-timestamp for a signature that is valid only while the certificate is"
fi
trusted="${MEMOTACK_SIGN_CA:-}"
[ -n "$trusted" ] || trusted="the system's CAs"

commit=$(git -C "$root" rev-parse HEAD)
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    say "uncommitted changes are left out: the release is commit ${commit:0:12} as committed"
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct "$commit")}"
say "commit $commit, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"

src="$work/src"
build="$work/build"
# The release is put together here and moves into DIST_DIR once every check has passed.
out="$work/out"
mkdir -p "$out"
git clone --quiet --no-checkout "$root" "$src"
git -C "$src" checkout --quiet --detach "$commit"
# The minizip source package a build of this tree already downloaded is reused; the configure step
# checks it against the pinned checksums all the same.
if [ -d "$root/build/_deps/zlib-download" ]; then
    mkdir -p "$build/_deps"
    cp -r "$root/build/_deps/zlib-download" "$build/_deps/"
fi
say "building $build ..."
: >"$work/build.log"
build_step() {  # build_step COMMAND...: runs one step of the build into build.log, or stops
    "$@" >>"$work/build.log" 2>&1 && return 0
    tail -n 30 "$work/build.log" >&2
    fail "the build failed (log: $work/build.log)"
}
# verified FILE WHAT: stops unless FILE's signature (and time stamp, when one was asked for)
# verifies; says who signed it.
verified() {
    memotack_verify "$1" >"$work/verify.log" 2>&1 || { cat "$work/verify.log" >&2; fail "$2 does not verify against $trusted"; }
    if [ -n "${MEMOTACK_TIMESTAMP_URL:-}" ]; then
        memotack_timestamped "$1" || fail "$2 carries no time stamp that verifies"
    fi
    say "$2: signed by $(sed -n 's/^[[:space:]]*Subject: //p' "$work/verify.log" | head -n 1); verified against $trusted"
}
# payload NAME: the vendor's file the configured build packs as NAME (MEMOTACK_PAYLOAD_EXE or
# MEMOTACK_PAYLOAD_CHM), whatever type its -D gave it; empty for the stand-in.
payload() {
    local value
    value=$(sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt")
    case "$value" in "" | /*) ;; *) fail "$1 must be a full path: $value" ;; esac
    printf '%s' "$value"
}
build_step cmake -S "$src" -B "$build" -DMEMOTACK_BUILD_TESTS=OFF "$@"
payload_exe=$(payload MEMOTACK_PAYLOAD_EXE)
payload_chm=$(payload MEMOTACK_PAYLOAD_CHM)
[ -z "$payload_exe" ] || say "memotack.exe: the vendor's $payload_exe"
[ -z "$payload_chm" ] || say "memotack.chm: the vendor's $payload_chm"
if [ -z "$payload_exe" ]; then
    build_step cmake --build "$build" -j2 --target memotack
    payload_exe="$build/product/memotack/memotack.exe"
fi
# The application is signed before it is packed, so that the installed memotack.exe carries its own
# signature; the signed file must be the given one with a signature added.
if [ $signed -eq 1 ] && python3 "$src/tools/authenticode.py" signed "$payload_exe"; then
    verified "$payload_exe" "$payload_exe (signed already; its signature is kept)"
elif [ $signed -eq 1 ]; then
    mkdir -p "$work/payload"
    memotack_sign "$payload_exe" "$work/payload/memotack.exe" Memotack || fail "signing memotack.exe failed"
    [ "$(python3 "$src/tools/authenticode.py" digest "$payload_exe")" == \
        "$(python3 "$src/tools/authenticode.py" digest "$work/payload/memotack.exe")" ] ||
        fail "the signed memotack.exe is not $payload_exe"
    payload_exe="$work/payload/memotack.exe"
    verified "$payload_exe" "memotack.exe"
    build_step cmake -S "$src" -B "$build" -DMEMOTACK_PAYLOAD_EXE="$payload_exe"
    [ "$(payload MEMOTACK_PAYLOAD_EXE)" == "$payload_exe" ] || fail "the build does not take the signed memotack.exe"
fi
build_step cmake --build "$build" -j2 --target memotack_setup
unsigned="$build/memotack_setup.exe"

installer="$out/memotack_setup.exe"
if [ $signed -eq 1 ]; then
    memotack_sign "$unsigned" "$installer" || fail "signing failed"
    verified "$installer" "memotack_setup.exe"
else
    cp "$unsigned" "$installer"
    say "no signing identity given (MEMOTACK_SIGN_PKCS11_*, MEMOTACK_SIGN_PKCS12, or MEMOTACK_SIGN_CERT and MEMOTACK_SIGN_KEY): memotack_setup.exe is NOT signed"
fi

# Signing appends the signature and changes only the header's checksum and certificate-table
# fields: every resource must still be where it was, with the same bytes.
python3 - "$unsigned" "$installer" "$src/tools" <<'PY' || fail "the payload resources of the release differ from the build's"
import sys
sys.path.insert(0, sys.argv[3])
import pe_resources

built, released = (open(path, 'rb').read() for path in sys.argv[1:3])
expected, actual = (list(pe_resources.resources(data)) for data in (built, released))
if not expected or expected != actual:
    sys.exit('resource directories differ')
for kind, name, language, size, start in expected:
    if built[start:start + size] != released[start:start + size]:
        sys.exit(f'resource {kind} {name} differs')
PY
say "resources unchanged ($(python3 "$src/tools/pe_resources.py" "$installer" | wc -l) resources)"

# The released file runs: -extract writes exactly the files the build packed.
payload_chm="${payload_chm:-$build/product/help/memotack.chm}"
# The installer makes its (hidden) window in every mode, so Wine needs a display: Xvfb when
# there is none. A 32-bit prefix is made in half the time of a 64-bit one, and extracting does
# not depend on the system's bitness.
export WINEPREFIX="$work/wineprefix" WINEARCH=win32
display=()
[ -n "${DISPLAY:-}" ] || display=(xvfb-run -a -s "-screen 0 1024x768x24")
mkdir -p "$work/extract"
extract_status=0
(cd "$work/extract" && "${display[@]}" "$src/tools/wine-run" "$WINEPREFIX" "$installer" -extract >/dev/null 2>&1) ||
    extract_status=$?
wineserver -k >/dev/null 2>&1 || true
[ $extract_status -eq 0 ] || fail "$installer -extract exited with $extract_status under Wine"
cmp -s "$payload_exe" "$work/extract/memotack.exe" || fail "-extract did not write $payload_exe byte for byte"
cmp -s "$payload_chm" "$work/extract/memotack.chm" || fail "-extract did not write $payload_chm byte for byte"
say "runs under Wine: -extract wrote memotack.exe and memotack.chm byte for byte"
[ $signed -eq 0 ] || verified "$work/extract/memotack.exe" "memotack.exe as -extract wrote it"

if [ -f "$src/packaging/winget/make_manifest.py" ]; then
    url_option=()
    [ -n "${MEMOTACK_RELEASE_URL:-}" ] && url_option=(--url "$MEMOTACK_RELEASE_URL")
    python3 "$src/packaging/winget/make_manifest.py" --installer "$installer" --out "$out/winget" "${url_option[@]}" ||
        fail "the winget manifest step failed"
    grep -rqi "$(sha256sum "$installer" | cut -d' ' -f1)" "$out/winget" ||
        fail "the winget manifest does not carry the installer's SHA-256"
else
    say "packaging/winget/make_manifest.py is not in this commit: the winget manifest step is skipped"
fi
(
    cd "$out"
    files=(memotack_setup.exe)
    [ -d winget ] && mapfile -t -O 1 files < <(find winget -type f | LC_ALL=C sort)
    sha256sum "${files[@]}" >SHA256SUMS
)

# Every check has passed: the release replaces what an earlier one wrote into DIST_DIR.
mkdir -p "$dist"
rm -f "$dist/memotack_setup.exe" "$dist/SHA256SUMS" "$dist"/winget/PelmoSoftware.Memotack*.yaml
[ ! -d "$dist/winget" ] || rmdir "$dist/winget"
mv "$out"/* "$dist/"
[ ! -d "$dist/winget" ] || say "winget manifest in $dist/winget"
say "$dist/memotack_setup.exe: $(stat -c %s "$dist/memotack_setup.exe") bytes, SHA-256 $(sha256sum "$dist/memotack_setup.exe" | cut -d' ' -f1)"
say "$dist/SHA256SUMS written"
