#!/usr/bin/env bash
# leave_no_trace.sh SETUP_EXE BUILD_DIR [--more | --full]: install, then uninstall, leaves the machine as it
# was, for users and install folders whose names hold what code pages and batch files trip over.
# Each case fills in the real dialog (read_rows -install), uninstalls with the 64-bit cmd as
# Programs and Features would, and compares the prefix with a snapshot taken before the first
# install (one case of the short set installs twice first, the second time into another folder for
# the other audience, and uninstalls once): the files of drive_c and the registry's machine and user Software keys (the 64-bit
# export holds the 32-bit view under Wow6432Node). One fresh prefix per profile and code page,
# reporting version 6.2 so that the Start Menu items are made too.
#
# Without an option, the short set that ctest runs as e2e_leave_no_trace; --more, two more profiles
# (e2e_leave_no_trace_more, which the Wine VM leaves out); --full runs every folder for every profile under
# both OEM code pages (437 and 866), each folder for both audiences.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
set="${3:-}"
[ "$set" != --more ] || skip_in_winevm "two more profiles, each a prefix of its own made by wineboot (minutes under" \
    "emulation); e2e_leave_no_trace keeps two profiles and both code pages"

# Wine's code pages follow the Unix locale: C.UTF-8 gives 1252/437. ru_RU.UTF-8 (1251/866) is
# compiled into the build folder, so that nothing is installed system-wide for it.
export LOCPATH="$BUILD_DIR/e2e/locales"
if [ ! -d "$LOCPATH/ru_RU.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i ru_RU -f UTF-8 "$LOCPATH/ru_RU.UTF-8" >/dev/null 2>&1 || true
fi
check "ru_RU.UTF-8 is there for code page 866 (Debian package locales)" test -d "$LOCPATH/ru_RU.UTF-8"
declare -A LANG_OF=([437]=C.UTF-8 [866]=ru_RU.UTF-8)

# Install folders. The long one lies four new folders deep: the uninstaller removes those too.
long_parent='C:\Shared documents of the whole family\Programs installed by hand in the year 2026\Tools for taking notes, one folder each\Kept apart from the other programs on purpose'
declare -A FOLDERS=(
    [percent]='C:\100% Notes %TEMP% 5%'
    [ampersand]='C:\Tom & Jerry ^ Co'
    [brackets]="C:\\Apps (x86) !Beta, O'Neil"
    [letters]='C:\Zażółć gęślą jaźń Записи Müller'
    [oem437]='C:\Büro Müller Äpfel'
    [oem866]='C:\Мои заметки'
    [long]="$long_parent\\Memotack & 100% ^ (mine)"
)
declare -A NEW_PARENTS=([long]=4)

# Ends the last profile's prefix and deletes it: each takes more than a gigabyte.
end_profile() {
    [ -n "${PROFILE_PREFIX:-}" ] || return 0
    WINEPREFIX="$PROFILE_PREFIX" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$PROFILE_PREFIX" "$PROFILE_PREFIX.lock"
    PROFILE_PREFIX=
}

# start_profile NAME CODE-PAGE: a fresh prefix for that user and code page, and its snapshot.
start_profile() {
    end_profile
    EARLIER=
    export USER="$1" LOGNAME="$1" LANG="${LANG_OF[$2]}"
    fresh_prefix "leave-no-trace-$2-$(printf '%s' "$1" | md5sum | cut -c1-8)"
    PROFILE_PREFIX="$WINEPREFIX"
    wine winecfg -v win8 >/dev/null 2>&1 </dev/null
    echo "--- profile \"$1\", OEM code page $2 ---"
    BASELINE="$BUILD_DIR/e2e/before.txt"
    snapshot "$BASELINE"
}

# install_into FOLDER-KEY everyone|justme: the dialog filled in and Install pressed, the folder typed
# over the one it offers. A second install before the removal goes over the earlier one, whose
# uninstaller lines its own then carries.
install_into() {
    local folder="${FOLDERS[$1]}" status_file="$BUILD_DIR/e2e/status.txt"
    WHAT="\"$USER\" $2 ${FOLDERS[$1]}"
    rm -f "$status_file"
    (
        run_setup
        echo "$SETUP_STATUS" >"$status_file"
    ) &
    local rows
    rows=$(wine "$READ_ROWS" -install "$folder" "$2" </dev/null 2>/dev/null | tr -d '\r' || true)
    wait
    check_eq "$WHAT: install exits 0" 0 "$(cat "$status_file" 2>/dev/null)"
    check_eq "$WHAT: eight rows, every one done" "button=&Finish 8 8" \
        "$(head -n 1 <<<"$rows") $(tail -n +2 <<<"$rows" | wc -l) $(grep -c '|4|$' <<<"$rows")"
    local uninstaller
    uninstaller="$(unix_path 'C:\windows\uninstallmemotack.bat')"
    [ -n "$EARLIER" ] || check_eq "$WHAT: the uninstaller has its sixteen lines and one per new parent folder" \
        $((16 + ${NEW_PARENTS[$1]:-0})) "$(grep -c $'\r$' "$uninstaller" 2>/dev/null)"
    # Every line in ASCII, whatever the console's code page: a path beyond ASCII is named by its
    # short form, which Wine gives every name on drive C:. The install folder's line, after the
    # registry lines, names an ASCII folder as it is.
    check_eq "$WHAT: the uninstaller's lines are ASCII" "" "$(tr -d '\r' <"$uninstaller" | LC_ALL=C grep -a '[^ -~]')"
    local rd_line
    rd_line=$(LC_ALL=C grep -a -A1 '^del "%TEMP%' "$uninstaller" | tail -n 1 | tr -d '\r')
    if LC_ALL=C grep -q '^[ -~]*$' <<<"$folder"; then
        check_eq "$WHAT: the folder's line names it as it is" "rd \"${folder//'%'/%%}\"" "$rd_line"
    else
        check "$WHAT: the folder's line names it by its short form" grep -q '^rd "C:\\[^\\]*~' <<<"$rd_line"
    fi
    EARLIER="$WHAT"
}

# remove_and_compare [cmd32]: the last install's uninstaller, with the 64-bit cmd or the 32-bit one,
# leaves the prefix as its snapshot.
remove_and_compare() {
    local cmd=(/usr/lib/wine/wine64 cmd) what="$WHAT"
    [ "${1:-}" = cmd32 ] && cmd=(wine cmd) && what+=" (32-bit cmd)"
    # Delayed expansion on, as a setting of the command processor can switch it on for every batch
    # file on Windows (Wine's cmd reads only the switch): the ! in folder names must survive it.
    timeout 120 "${cmd[@]}" /v:on /c 'C:\windows\uninstallmemotack.bat' >/dev/null 2>&1 </dev/null || true
    snapshot "$BUILD_DIR/e2e/after.txt"
    check_eq "$what: uninstall leaves the snapshot unchanged" "" \
        "$(diff "$BASELINE" "$BUILD_DIR/e2e/after.txt" | sed -n 's/^[<>] //p')"
    EARLIER=
}

install_and_remove() {  # install_and_remove FOLDER-KEY everyone|justme [cmd32]
    install_into "$1" "$2"
    remove_and_compare "${3:-}"
}

if [ -z "$set" ]; then
    start_profile '张伟' 437
    install_into letters everyone
    install_and_remove percent justme  # typed over the earlier install, for the user alone
    start_profile 'Jan & Ewa Kowalscy' 866
    install_and_remove brackets justme
    install_and_remove ampersand everyone cmd32
elif [ "$set" = --more ]; then
    start_profile 'müller' 437
    install_and_remove oem437 justme
    start_profile 'Łukasz' 866
    install_and_remove long justme
    install_and_remove oem866 justme
else
    for page in 437 866; do
        flip=0 count=0
        for user in 'müller' 'Łukasz' '张伟' 'Jan & Ewa Kowalscy'; do
            start_profile "$user" $page
            for key in percent ampersand brackets letters oem$page long; do
                audiences=(justme everyone)
                cmds=('' '' cmd32)
                install_and_remove "$key" "${audiences[$(((flip + page / 866) % 2))]}" ${cmds[$((count % 3))]}
                flip=$((1 - flip))
                count=$((count + 1))
            done
        done
    done
fi
# The last prefix stays for a look when something failed.
[ "$E2E_FAILURES" -ne 0 ] || end_profile
finish
