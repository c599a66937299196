#!/usr/bin/env bash
# Install steps on folders that fail: a folder under a read-only folder and a full disk. Both need
# tmpfs mounts, which a test program inside Wine cannot make; this script mounts them, maps them
# into a fresh prefix and runs the install tests that wait for them, and the installer itself. The
# tests run as root, where mounting is permitted: where it is not, that is a failure, not a skip,
# and the installer's own full-disk run still takes place on files linked to /dev/full.
source "$(dirname "$0")/lib.sh"
tests_exe="$BUILD_DIR/tests/install/install_tests.exe"
readonly_mount="$BUILD_DIR/e2e/faults-readonly"
full_mount="$BUILD_DIR/e2e/faults-full"
mkdir -p "$readonly_mount" "$full_mount"
umount "$readonly_mount" 2>/dev/null || true
umount "$full_mount" 2>/dev/null || true
fresh_prefix faults
trap 'wineserver -k >/dev/null 2>&1 || true; umount "$readonly_mount" 2>/dev/null || true; umount "$full_mount" 2>/dev/null || true' EXIT
mounted=no
mount -t tmpfs -o ro,size=1m tmpfs "$readonly_mount" && mount -t tmpfs -o size=64k tmpfs "$full_mount" && mounted=yes
check_eq "tmpfs mounted for the read-only folder and the full disk" yes "$mounted"

if [ "$mounted" = yes ]; then
    # The full disk is drive T:; it is filled to the last block.
    ln -sfn "$full_mount" "$WINEPREFIX/dosdevices/t:"
    dd if=/dev/zero of="$full_mount/filler" bs=4k 2>/dev/null || true
    check_eq "drive T: is full" 0 "$(df --output=avail -B1 "$full_mount" | tail -1 | tr -d ' ')"
    # The read-only folder is C:\ReadOnly.
    ln -sfn "$readonly_mount" "$(drive_c ReadOnly)"

    out="$BUILD_DIR/e2e/faults-output.txt"
    set +e
    MEMOTACK_READONLY_FOLDER='C:\ReadOnly' MEMOTACK_FULL_DISK_FOLDER='T:' \
        wine "$tests_exe" --gtest_filter='*ReadOnly*:*FullDisk*' >"$out" 2>&1 </dev/null
    status=$?
    set -e
    tr -d '\r' <"$out"
    check_eq "install tests on the failing folders" 0 "$status"
    check "none of them skipped" bash -c "! grep -q '^\[  SKIPPED \]' '$out'"
    # A log asked for in the read-only folder cannot be written: the install goes on as without it.
    EXIT_CODE_MORE_ARGUMENTS='-silent -log="C:\ReadOnly\memotack.log"' run_setup
    check_eq "-log= in a read-only folder: exit code" 0 "$SETUP_STATUS"
    check "-log= in a read-only folder: installed" test -f "$(drive_c 'Program Files (x86)/Memotack/memotack.exe')"
    check "nothing created under the read-only folder" test -z "$(ls -A "$readonly_mount")"
fi

# The installer itself onto a full disk: each payload's file opens but its writing fails, which the
# file class reports by throwing, and the installer catches that in its own code. The row fails with
# the system's text, the file is deleted and the install goes on to its end. Without the mounts, two
# files linked to /dev/full stand in for the full disk, so the throw is still tested.
if [ "$mounted" = yes ]; then
    full_folder="$full_mount/Memotack" full_path='T:\Memotack'
else
    full_folder="$(drive_c Full/Memotack)" full_path='C:\Full\Memotack'
    mkdir -p "$full_folder"
    ln -s /dev/full "$full_folder/memotack.exe"
    ln -s /dev/full "$full_folder/memotack.chm"
fi
EXIT_CODE_MORE_ARGUMENTS="-silent -path=\"$full_path\" -log=\"C:\\full-disk.log\"" run_setup
check_eq "installing onto a full disk: exit code" 1603 "$SETUP_STATUS"
full_log="$(iconv -f UTF-8 -t UTF-8 "$(drive_c full-disk.log)" | tr -d '\r')"
printf '%s\n' "$full_log"
check_eq "both files failed with the disk-full text" 2 \
    "$(grep -c '^.*: failed: .*\(space\|full\)' <<<"$full_log")"
[ "$mounted" = no ] || check "no partial file stays on the full disk" test -z "$(ls -A "$full_folder")"
check "the rows after them ran" grep -q '^exit code 1603$' <<<"$full_log"

# The common controls that cannot be loaded, in an extraction: the unattended run ends before it
# writes anything, with 1603 and a log that says why (fault_run.exe makes the loads fail).
mkdir -p "$(drive_c extract-fatal)"
status=$(cd "$(drive_c extract-fatal)" && MEMOTACK_FAULT=LoadLibraryW:2+ \
    EXIT_CODE_MORE_ARGUMENTS='-extract -log="C:\extract-fatal.log"' \
    wine "$BUILD_DIR/tests/faults/fault_run.exe" - - "$(winepath -w "$SETUP_EXE" | tr -d '\r')" 2>/dev/null </dev/null |
    tr -d '\r')
check_eq "-extract without the common controls: exit code" 1603 "$status"
check_eq "-extract without the common controls: the log ends with why" \
    "$(printf '%s\n' 'Fatal error: the common controls (comctl32.dll, version 6) could not be loaded' 'exit code 1603')" \
    "$(tr -d '\r' <"$(drive_c extract-fatal.log)" | tail -n 2)"
check "-extract without the common controls: nothing extracted" test -z "$(ls -A "$(drive_c extract-fatal)")"

# A broken shell extension: the shortcut step loads a COM server that aborts inside the installer.
# The unattended run ends at once with 1603 (a box would keep it waiting for an answer), and its log
# says why. (app_tests meets the other fatal errors.) Its own folder: the earlier install's, on the
# full disk, would be the default.
wine reg add 'HKLM\Software\Classes\CLSID\{00021401-0000-0000-C000-000000000046}\InprocServer32' /ve /f /reg:32 \
    /d "$(winepath -w "$BUILD_DIR/tests/e2e/faulty_server.dll" | tr -d '\r')" >/dev/null 2>&1 </dev/null
started=$SECONDS
EXIT_CODE_MORE_ARGUMENTS='-silent -path="C:\Fatal\Memotack" -log="C:\fatal.log"' run_setup
echo "a fatal error: the run took $((SECONDS - started)) s"
check_eq "a fatal error: exit code" 1603 "$SETUP_STATUS"
check_eq "a fatal error: the log ends with it" "$(printf '%s\n' "Copy 'memotack.exe': done" 'Fatal error: abort' 'exit code 1603')" \
    "$(tr -d '\r' <"$(drive_c fatal.log)" | tail -n 3)"
finish
