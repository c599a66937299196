#!/usr/bin/env bash
# The uninstall entries of the twelve older versions: a silent install keeps them, an interactive
# one deletes them all, and an entry that is not one of them stays.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"

uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
versions=(4.0a 4.5a 4.5b 5.0a 5.1a 5.2a 5.2b 6.0a 6.0b 6.0c 6.5a 6.7a)

count_old_keys() {
    local version count=0
    for version in "${versions[@]}"; do
        if key_exists "$uninstall\\Memotack $version" 32; then count=$((count + 1)); fi
    done
    echo $count
}

fresh_prefix old-keys
# Where the 32-bit installer's own writes land, as the older (also 32-bit) versions' did.
for version in "${versions[@]}" 7.0a; do
    wine reg add "$uninstall\\Memotack $version" /v DisplayName /d "Memotack $version" /f /reg:32 \
        >/dev/null 2>&1 </dev/null
done
check_eq "the twelve old entries are there to begin with" 12 "$(count_old_keys)"

run_setup -silent
check_eq "silent install exit code" 0 "$SETUP_STATUS"
check_eq "a silent install keeps all twelve" 12 "$(count_old_keys)"

start_installer
press alt+m  # no Run Memotack
press alt+h  # no Show help file
press alt+i
check "the install ends with Finish" wait_install_done
finish_installer
check_eq "an interactive install deletes all twelve" 0 "$(count_old_keys)"
check "an entry that is not one of them stays" key_exists "$uninstall\\Memotack 7.0a" 32
check "the new entry stays" key_exists "$UNINSTALL_KEY" 32
finish
