#!/usr/bin/env bash
# The after-install steps: "Run Memotack" starts the installed program (its window appears) and
# "Show help file" opens the installed help file in the help viewer;
# when the files could not be installed, both steps fail with "Unable to launch file".
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"

app_window() { xdotool search --name '^PelmoSoftwareMemotackMain$' >/dev/null 2>&1; }

wait_for_app_window() {
    local deadline=$((SECONDS + 30))
    until app_window; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

fresh_prefix after-install
start_installer
press alt+i
check "the install ends with Finish" wait_install_done
check_eq "the last rows" "$(printf '%s\n' '7|Run Memotack|4|' '8|Show help file|4|')" "$(tail -n 2 <<<"$ROWS")"
check "the installed program's window appears" wait_for_app_window
# The program's own way out, as the uninstaller uses it.
timeout 30 wine "$(unix_path "$INSTALL_PATH\\memotack.exe")" -close >/dev/null 2>&1 </dev/null || true
check "the program closed on -close" not app_window
# The installed help file opens in the help viewer, under the title it carries.
check "the help file's window appears" wait_for_window "Memotack Help" 30
help_window=$(xdotool search --onlyvisible --name '^Memotack Help$' | head -n 1)
if [ -n "$help_window" ]; then  # its close box, at the right end of the caption Wine draws
    sleep 1.5  # the viewer is still filling its panes
    eval "$(xdotool getwindowgeometry --shell "$help_window")"
    xdotool mousemove --window "$help_window" $((WIDTH - 10)) 11 click 1
fi
help_window_gone() {
    local deadline=$((SECONDS + 15))
    while xdotool search --onlyvisible --name '^Memotack Help$' >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}
check "the help window closed" help_window_gone
finish_installer

# An install folder on a drive that does not exist: nothing is copied, nothing can be launched.
start_installer
# The install path box sits at about the middle of the dialog's width and 0.48 of its height.
window=$(xdotool search --onlyvisible --name '^Memotack Installer$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH * 54 / 100)) $((HEIGHT * 48 / 100)) click 1
sleep 0.3
press Home shift+End
xdotool type --delay 50 'Q:\Memotack'
sleep 0.3
press alt+i
check "the install ends with Finish" wait_install_done
check_eq "the copy rows fail" "2" "$(grep -cE "^[23]\|Copy '.*'\|3\|" <<<"$ROWS")"
check_eq "Run Memotack fails" "7|Run Memotack|3|Unable to launch file" "$(sed -n 9p <<<"$ROWS")"
check_eq "Show help file fails" "8|Show help file|3|Unable to launch file" "$(sed -n 10p <<<"$ROWS")"
finish_installer
check "no program was started" not app_window
finish
