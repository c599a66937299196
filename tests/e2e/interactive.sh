#!/usr/bin/env bash
# The real installer under X: Escape on the options page ends it with 1602 and installs nothing;
# a folder typed at once lands in the folder box and nowhere else; Enter presses Install, the rows
# appear, Enter again presses Finish and the exit code is 0. An install onto a share ends with every
# row done; a relative folder and one below a long-path prefix are refused and install nothing.
# Leaves a screenshot of the finished page in build/e2e/finished-page.png.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
fresh_prefix interactive
folder="$(drive_c 'Program Files (x86)/Memotack')"
tools="$(dirname "$(readlink -f "$0")")/../../tools"

# start_setup: runs the installer in the background; its whole exit code goes to $status_file.
status_file="$BUILD_DIR/e2e/interactive.status"
start_setup() {
    rm -f "$status_file"
    wine "$BUILD_DIR/tests/e2e/exit_code.exe" "$(winepath -w "$SETUP_EXE" | tr -d '\r')" </dev/null 2>/dev/null |
        tr -d '\r' >"$status_file" &
    pid=$!
}

wait_exit() {  # wait_exit PID SECONDS: the installer's exit code, or 124 when it is still running
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    if kill -0 "$1" 2>/dev/null; then
        kill "$1"
        echo 124
        return
    fi
    wait "$1" || true
    cat "$status_file"
}

# log_lines NAME: the lines of C:\NAME, a log of this run, without byte-order mark and CR.
log_lines() { tail -c +4 "$(drive_c "$1")" 2>/dev/null | tr -d '\r'; }

# click_empty_part: activates the dialog without moving the focus (the strip between Cancel and
# Install holds no control); Xvfb has no window manager to give it the keyboard.
click_empty_part() {
    local window
    window=$(xdotool search --onlyvisible --name '^Memotack Installer$' | head -n 1) || true
    if [ -z "$window" ]; then
        echo "FAILED: no installer window to click: the dialog did not open"
        exit 1
    fi
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $((WIDTH / 2)) $((HEIGHT * 93 / 100)) click 1
    sleep 0.3
}

EXIT_CODE_MORE_ARGUMENTS='-log="C:\escape.log"' start_setup
check "the dialog opens" wait_for_window "Memotack Installer" 60
# A slow machine maps the window before it takes the keyboard.
sleep 0.5
click_empty_part
press Escape
check_eq "Escape on the options page: exit code" 1602 "$(wait_exit $pid 30)"
check "Escape installed nothing" test ! -e "$folder"
check "Escape: the log names the mode" grep -qx 'Mode: interactive' <<<"$(log_lines escape.log)"
check_eq "Escape: the log ends with the exit code" "exit code 1602" "$(log_lines escape.log | tail -n 1)"

visible_windows() { xdotool search --onlyvisible --name '.' 2>/dev/null | sort; }

# A folder typed right after the dialog opens replaces the one in the box and changes nothing else:
# no mnemonic of the page (e, j, m, h, w, i) acts on the letters.
EXIT_CODE_MORE_ARGUMENTS='-log="C:\install.log"' start_setup
wait_for_window "Memotack Installer" 120 || true
sleep 0.5
click_empty_part
windows_before=$(visible_windows)
typed='C:\100% Notes\Memotack'
xdotool type --delay 30 "$typed"
sleep 0.5
check_eq "the options page after typing" "$(printf '%s\n' "folder=$typed" everyone=0 justme=1 run=1 help=1 focus=1011)" \
    "$(wine "$READ_ROWS" --options </dev/null 2>/dev/null | tr -d '\r')"
check_eq "no other window opened" "$windows_before" "$(visible_windows)"
check_eq "nothing installed yet" "button=&Install" "$(dialog_rows)"
# Clear "Run &Memotack" and "Show &help file" by their mnemonics: the windows they would open
# would take the keyboard focus from the finished page.
press alt+m
press alt+h
press Return
check "the install reaches the finished page" wait_install_done
check "Memotack was not started" bash -c '! xdotool search --onlyvisible --name "^PelmoSoftwareMemotackMain$" >/dev/null 2>&1'
# The README's picture: its caption buttons are drawn with the prefix's Marlett, not as "0 1 r".
check "the prefix has Wine's Marlett" cmp -s /usr/share/wine/fonts/marlett.ttf "$(drive_c windows/Fonts/marlett.ttf)"
"$tools/screenshot.sh" "$BUILD_DIR/e2e/finished-page.png" "Memotack Installer" >/dev/null
check "still open on the finished page" kill -0 $pid
focus_installer
press Return
check_eq "Install then Finish: exit code" 0 "$(wait_exit $pid 30)"
check "memotack.exe installed in the typed folder" test -s "$(drive_c '100% Notes/Memotack/memotack.exe')"
check "memotack.chm installed in the typed folder" test -s "$(drive_c '100% Notes/Memotack/memotack.chm')"
check "nothing in the default folder" test ! -e "$folder"
check_eq "the log: the choices made in the dialog, one line per row, the exit code last" "$(printf '%s\n' \
    'Options: install for the current user, run Memotack no, show help file no' \
    'Folder: C:\100% Notes\Memotack' 'Close Memotack: done' 'Create directory: done' \
    "Copy 'memotack.chm': done" "Copy 'memotack.exe': done" 'Create Startup shortcut: done' \
    'Create Add/Remove Programs entry: done' 'Create uninstaller: done' 'exit code 0')" \
    "$(log_lines install.log | sed -n '/^Options: /,$p')"

# install_into FOLDER: types FOLDER, installs without the after-install steps and checks that every
# row is done before pressing Finish.
install_into() {
    start_setup
    wait_for_window "Memotack Installer" 120 || true
    sleep 0.5
    click_empty_part
    xdotool type --delay 30 "$1"
    press alt+m
    press alt+h
    press Return
    check "$1: the install reaches the finished page" wait_install_done
    check_eq "$1: rows not done" "" "$(grep -vxE 'button=&Finish|[0-9]+\|[^|]*\|4\|' <<<"$ROWS")"
    focus_installer
    press Return
    check_eq "$1: exit code" 0 "$(wait_exit $pid 30)"
}

# A share that exists: Wine serves \\fileserver\notes from the prefix's dosdevices/unc folder.
share="$BUILD_DIR/e2e/interactive-share"
rm -rf "$share" && mkdir -p "$share" "$WINEPREFIX/dosdevices/unc/fileserver"
ln -sfn "$share" "$WINEPREFIX/dosdevices/unc/fileserver/notes"
install_into '\\fileserver\notes\Memotack'
check "memotack.exe on the share" test -s "$share/Memotack/memotack.exe"

# Folders that -path= refuses, typed: Install says why in a message box, and the options page stays
# with the typed folder in the box, which has the focus. Nothing is made, relative to the current
# folder or anywhere.
start_setup
wait_for_window "Memotack Installer" 120 || true
sleep 0.5
click_empty_part
for typed in 'Notes\Memotack' '\\?\C:\Long Path\Memotack'; do
    # The box's text is selected: typing replaces it.
    xdotool type --delay 30 "$typed"
    press Return
    check "$typed: Install shows why it refuses the folder" wait_for_window memotack_setup 30
    press Return
    click_empty_part
    check_eq "$typed: the options page stays" "$(printf '%s\n' "folder=$typed" everyone=0 justme=1 run=1 help=1 focus=1011)" \
        "$(wine "$READ_ROWS" --options </dev/null 2>/dev/null | tr -d '\r')"
done
press Escape
check_eq "refused folders, then Escape: exit code" 1602 "$(wait_exit $pid 30)"
check "nothing made for the relative folder" test ! -e Notes
check "nothing made for the long-path folder" test ! -e "$(drive_c 'Long Path')"
echo "screenshot: $BUILD_DIR/e2e/finished-page.png"
finish
