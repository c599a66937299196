#!/usr/bin/env bash
# -extract writes memotack.exe and memotack.chm, as packed, into the current folder and creates
# nothing else; it overwrites older copies; a folder it cannot write to, or a damaged payload, gives
# exit code 1603.
source "$(dirname "$0")/lib.sh"
fresh_prefix extract
payload_dir="$BUILD_DIR/res/payload"
cwd="$BUILD_DIR/e2e/extract-cwd"

in_folder() {  # in_folder FOLDER ARGS...: runs the installer with FOLDER as its current folder
    local folder="$1"
    shift
    pushd "$folder" >/dev/null
    run_setup "$@"
    popd >/dev/null
}

rm -rf "$cwd" && mkdir -p "$cwd"
in_folder "$cwd" -extract
check_eq "-extract exit code" 0 "$SETUP_STATUS"
check_eq "exactly the two files" "memotack.chm memotack.exe" "$(ls -A "$cwd" | sort | tr '\n' ' ' | sed 's/ $//')"
check "memotack.exe as packed" cmp -s "$cwd/memotack.exe" <(unzip -p "$payload_dir/memotack_exe.zip")
check "memotack.chm as packed" cmp -s "$cwd/memotack.chm" <(unzip -p "$payload_dir/memotack_chm.zip")
check "no install folder" test ! -e "$(drive_c 'Program Files (x86)/Memotack')"
check_eq "no uninstall entry" "" \
    "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PelmoMemotack' DisplayName)"
check "no uninstaller" test ! -e "$(drive_c windows/uninstallmemotack.bat)"

# Older, longer copies are replaced completely.
head -c 3000000 /dev/urandom >"$cwd/memotack.exe"
echo stale >"$cwd/memotack.chm"
in_folder "$cwd" -extract '-log=C:\extract.log'
check_eq "-extract over old copies exit code" 0 "$SETUP_STATUS"
check_eq "the log of -extract" "$(printf '%s\n' 'Mode: extract only' "Folder: $(winepath -w "$cwd" 2>/dev/null | tr -d '\r')" \
    "Extract 'memotack.exe': done" "Extract 'memotack.chm': done" 'exit code 0')" \
    "$(tail -c +4 "$(drive_c extract.log)" | tr -d '\r' | grep -E '^(Mode|Folder|Extract|exit code)')"
check "old memotack.exe replaced" cmp -s "$cwd/memotack.exe" <(unzip -p "$payload_dir/memotack_exe.zip")
check "old memotack.chm replaced" cmp -s "$cwd/memotack.chm" <(unzip -p "$payload_dir/memotack_chm.zip")

# A folder that cannot be written (a read-only mount: this runs as root, which file modes do not stop).
ro="$BUILD_DIR/e2e/extract-readonly"
mkdir -p "$ro"
if mount -t tmpfs -o ro,size=1m tmpfs "$ro" 2>/dev/null; then
    trap 'umount "$ro" 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
    in_folder "$ro" -extract '-log=C:\extract-ro.log'
    check_eq "-extract into a read-only folder exit code" 1603 "$SETUP_STATUS"
    log=$(tr -d '\r' <"$(drive_c extract-ro.log)")
    check "the log has the failed extractions with their text" \
        test "$(grep -Ec "^Extract 'memotack\.(exe|chm)': failed: .+" <<<"$log")" == 2
    check_eq "the log ends with the exit code" "exit code 1603" "$(tail -n 1 <<<"$log")"
    check_eq "nothing written there" "" "$(ls -A "$ro")"
    umount "$ro"
else
    echo "skipped: read-only folder (mounting is not permitted here)"
fi

# An installer whose payload 134 records 1.5 GiB in both of its headers: a damaged payload, not a
# crash (which would be exit code 3).
damaged="$BUILD_DIR/e2e/damaged_setup.exe"
python3 - "$SETUP_EXE" "$payload_dir/memotack_exe.zip" "$damaged" <<'PY'
import struct, sys
setup, archive = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at = setup.find(archive)
assert at > 0 and setup.find(archive, at + 1) < 0, "payload 134 not found once in the installer"
patched = bytearray(archive)
central = struct.unpack_from("<I", archive, len(archive) - 6)[0]
for size_field in (22, central + 24):
    struct.pack_into("<I", patched, size_field, 3 << 29)
open(sys.argv[3], "wb").write(setup[:at] + patched + setup[at + len(archive):])
PY
SETUP_EXE="$damaged"
rm -rf "$cwd" && mkdir -p "$cwd"
in_folder "$cwd" -extract
check_eq "-extract with a damaged payload: exit code" 1603 "$SETUP_STATUS"
check_eq "only the help file written" "memotack.chm" "$(ls -A "$cwd")"
run_setup -silent
check_eq "-silent with a damaged payload: exit code" 1603 "$SETUP_STATUS"
check "no memotack.exe installed" test ! -e "$(drive_c 'Program Files (x86)/Memotack/memotack.exe')"
finish
