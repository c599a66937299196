# Sourced by the project's scripts: the Wine settings of a private prefix and how to start it.
# Callers set WINEPREFIX to a folder of the build tree; the user's own ~/.wine is never used.

export WINEDEBUG=-all
# No Mono or Gecko download prompts; no menu entries written into the real home folder.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH="${WINEARCH:-win64}"

# Makes sure the prefix exists and one persistent wineserver with its helper processes runs for
# it, all with their output on /dev/null. Wine's helpers inherit the standard handles of the
# process that started them and keep them open; started here, they hold nothing a caller waits on.
# Serialised with flock, so parallel callers share one prefix and one server.
# Where MEMOTACK_WINE_TEMPLATES names a folder of prefixes made by wineboot, one per kind and user
# (WINEARCH-USER: the Wine VM's image holds win64-root and win32-root), a new prefix starts as a
# copy of its template, which takes half a minute where wineboot takes minutes in the VM. A copy
# made for another user would keep that user's folders in the registry's Shell Folders, so any
# other $USER gets a prefix made by wineboot.
memotack_wine_start() {
    : "${WINEPREFIX:?WINEPREFIX must be set}"
    # wineserver refuses a prefix folder that does not exist yet.
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        local template="${MEMOTACK_WINE_TEMPLATES:-}/$WINEARCH-${USER:-}"
        if [ -n "${MEMOTACK_WINE_TEMPLATES:-}" ] && [ -d "$template" ] && [ -z "$(ls -A "$WINEPREFIX")" ]; then
            cp -a "$template/." "$WINEPREFIX/"
        fi
        # wineserver -p exits 0 when it started a server and non-zero when one already runs.
        if wineserver -p 9>&- >/dev/null 2>&1 </dev/null; then
            if [ ! -f "$WINEPREFIX/.memotack-ready" ]; then
                # -i makes the prefix; a copy of a template is made already.
                local init=-i
                [ -f "$WINEPREFIX/system.reg" ] && init=
                wine wineboot $init 9>&- >/dev/null 2>&1 </dev/null
                # Without a window manager (Xvfb) every hide and close waits for one; let Wine
                # manage its own windows instead.
                wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f 9>&- >/dev/null 2>&1 </dev/null
                touch "$WINEPREFIX/.memotack-ready"
            else
                wine wineboot 9>&- >/dev/null 2>&1 </dev/null
            fi
            memotack_wine_fonts
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Gives the prefix Wine's Marlett, the glyph font that caption buttons are drawn with (without it
# they show as the letters "0 1 r"). Debian's Wine looks for its own fonts in a folder that does
# not resolve (/usr/share/wine/../fonts), so none of the fonts-wine files are ever loaded; every
# Wine process does load each file in C:\windows\Fonts. Only Marlett is added: Wine's Tahoma
# would change the dialog font the tests measure.
memotack_wine_fonts() {
    local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ]; then
        cp "$marlett" "$fonts/marlett.ttf"
    fi
}

memotack_wine_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}
