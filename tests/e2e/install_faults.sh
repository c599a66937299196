#!/usr/bin/env bash
# Install steps on folders that fail: a folder under a read-only folder and a full disk. Both need
# mounts, which a test program inside Wine cannot make; this script mounts them, maps them into a
# fresh prefix and runs the install tests that wait for them. Exit code 77 (skipped) when mounting
# is not permitted.
source "$(dirname "$0")/lib.sh"
tests_exe="$BUILD_DIR/tests/install/install_tests.exe"
readonly_mount="$BUILD_DIR/e2e/faults-readonly"
full_mount="$BUILD_DIR/e2e/faults-full"
mkdir -p "$readonly_mount" "$full_mount"
umount "$readonly_mount" 2>/dev/null || true
umount "$full_mount" 2>/dev/null || true
if ! mount -t tmpfs -o ro,size=1m tmpfs "$readonly_mount" 2>/dev/null ||
    ! mount -t tmpfs -o size=64k tmpfs "$full_mount" 2>/dev/null; then
    umount "$readonly_mount" 2>/dev/null || true
    echo "skipped: mounting a tmpfs is not permitted here"
    exit 77
fi
fresh_prefix faults
trap 'wineserver -k >/dev/null 2>&1 || true; umount "$readonly_mount" 2>/dev/null || true; umount "$full_mount" 2>/dev/null || true' EXIT

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
# The installer itself onto the full disk: each payload's file opens but its writing fails, which
# the file class reports by throwing, and the installer catches that in its own code. The row fails
# with the system's text and the install goes on to its end.
EXIT_CODE_MORE_ARGUMENTS='-silent -path="T:\Memotack" -log="C:\full-disk.log"' run_setup
check_eq "installing onto a full disk: exit code" 1603 "$SETUP_STATUS"
full_log="$(iconv -f UTF-8 -t UTF-8 "$(drive_c full-disk.log)" | tr -d '\r')"
printf '%s\n' "$full_log"
check_eq "both files failed with the disk-full text" 2 \
    "$(grep -c '^.*: failed: .*\(space\|full\)' <<<"$full_log")"
check "no partial file stays on the full disk" test -z "$(ls -A "$full_mount/Memotack")"
check "the rows after them ran" grep -q '^exit code 1603$' <<<"$full_log"
finish
