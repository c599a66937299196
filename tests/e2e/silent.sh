#!/usr/bin/env bash
# -silent in a fresh 64-bit prefix: installs both payload files into the default folder, byte for
# byte as packed, shows nothing and returns 0. With -extract on the same command line the silent
# install wins and nothing is extracted.
source "$(dirname "$0")/lib.sh"
fresh_prefix silent
payload_dir="$BUILD_DIR/res/payload"
folder="$(drive_c 'Program Files (x86)/Memotack')"

run_setup -silent
check_eq "-silent exit code" 0 "$SETUP_STATUS"
check "memotack.exe installed as packed" cmp -s "$folder/memotack.exe" <(unzip -p "$payload_dir/memotack_exe.zip")
check "memotack.chm installed as packed" cmp -s "$folder/memotack.chm" <(unzip -p "$payload_dir/memotack_chm.zip")
check "nothing else in the install folder" test "$(ls -A "$folder" | sort | tr '\n' ' ')" == "memotack.chm memotack.exe "
check "no installer window left behind" \
    bash -c '! xdotool search --name "^Memotack Installer$" >/dev/null 2>&1'

cwd="$BUILD_DIR/e2e/silent-cwd"
rm -rf "$cwd" && mkdir -p "$cwd"
pushd "$cwd" >/dev/null
run_setup -extract -silent
popd >/dev/null
check_eq "-extract -silent exit code" 0 "$SETUP_STATUS"
check_eq "-extract -silent extracts nothing" "" "$(ls -A "$cwd")"
finish
