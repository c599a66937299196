# Sourced by the project's scripts: decides once whether Wine runs on this host or inside the
# project's Wine VM (tools/winevm/), for hosts that refuse 32-bit code, where Debian's 32-bit Wine
# loader cannot start. MEMOTACK_WINE_VM=1 takes the VM on any host. The decision is exported, so
# the scripts a run starts keep it. A script that needs Wine with a display runs itself again
# through memotack_run_again.

# memotack_wine_mode [quiet]: sets MEMOTACK_WINE_MODE to native or vm and, unless told quiet, says
# in one line which way Wine will run. Call it once Wine's packages are installed.
memotack_wine_mode() {
    [ -z "${MEMOTACK_WINE_MODE:-}" ] || return 0
    local why
    if [ "${MEMOTACK_WINE_VM:-}" = 1 ]; then
        MEMOTACK_WINE_MODE=vm why="MEMOTACK_WINE_VM=1"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        MEMOTACK_WINE_MODE=native why="this host runs 32-bit code"
    else
        MEMOTACK_WINE_MODE=vm why="this host cannot run 32-bit code"
    fi
    export MEMOTACK_WINE_MODE
    [ "${1:-}" = quiet ] && return 0
    if [ $MEMOTACK_WINE_MODE = vm ]; then
        echo "wine: runs inside the project's VM, tools/winevm ($why)"
    else
        echo "wine: runs natively ($why)"
    fi
}

# memotack_run_again [--share DIR]... [--local DIR]... -- COMMAND [ARGUMENT...]: for a script that
# starts Wine, runs COMMAND (the script itself, again) where Wine has a display, and returns its
# exit status: inside the project's Wine VM where Wine runs there (the options are those of
# tools/winevm/run), otherwise inside Xvfb (the options are then not used). COMMAND gets
# MEMOTACK_TEST_BUILT=1, the scripts' one switch for "already built": the first run built it.
memotack_run_again() {
    if [ "$MEMOTACK_WINE_MODE" = vm ]; then
        MEMOTACK_TEST_BUILT=1 "$(dirname "${BASH_SOURCE[0]}")/winevm/run" "$@"
        return
    fi
    while [ "$1" != -- ]; do shift; done
    shift
    MEMOTACK_TEST_BUILT=1 xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
