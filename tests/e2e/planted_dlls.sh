#!/usr/bin/env bash
# A DLL lying beside the installer (a Downloads folder) under the name of a system DLL is never
# loaded: not by -extract, not by -silent, not by an interactive install with the folder picker
# opened and closed. Also: the installer and Memotack import only known DLLs and carry
# DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32 in their load configuration.
#
# Planted: the DLLs these runs load under Wine (WINEDEBUG=+loaddll) that are not known DLLs on
# Windows: uxtheme (the common controls load it), comctl32 (the manifest binds version 6 from the
# side-by-side store), msimg32 (the theme library imports it late, when it first draws) and
# browseui (the path box's auto-complete, loaded through its COM registration).
# Wine prefers its own DLLs; forced native first, they are searched for as Windows would.
# Left out, because Wine loads them while it starts any GUI process, before the program's first
# instruction, and Windows does not: version.dll and zlib1.dll, both imported by Wine's own
# user32.dll (Windows' user32 imports neither), and winex11.drv, Wine's display driver. Every
# other DLL these runs load is a known DLL on Windows or one that those import.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
fresh_prefix planted_dlls
planted="uxtheme comctl32 msimg32 browseui"
# The KnownDLLs of Windows 10 that a program may import.
known_dlls=" advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt "
known_dlls+="normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32 "
folder="$(drive_c 'Program Files (x86)/Memotack')"

# imports FILE: the DLLs FILE imports, lower case, without ".dll", one a line.
imports() {
    i686-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: \(.*\)\.[dD][lL][lL]$/\1/p' | tr 'A-Z' 'a-z' | sort
}
only_known_dlls() {  # only_known_dlls FILE
    local dll list unknown=""
    list=$(imports "$1") || return 1
    for dll in $list; do [[ "$known_dlls" == *" $dll "* ]] || unknown="$unknown $dll"; done
    [ -z "$unknown" ] || echo "  imports DLLs that are not known DLLs:$unknown"
    [ -z "$unknown" ]
}
load_flags() { python3 "$(dirname "$0")/../../tools/pe_load_config.py" show "$1" | sed -n 's/.*DependentLoadFlags //p'; }

memotack_exe="$BUILD_DIR/product/memotack/memotack.exe"
echo "installer imports: $(imports "$SETUP_EXE" | tr '\n' ' ')"
check "the installer imports only known DLLs" only_known_dlls "$SETUP_EXE"
check "Memotack imports only known DLLs" only_known_dlls "$memotack_exe"
check_eq "the installer's DependentLoadFlags" 0x800 "$(load_flags "$SETUP_EXE")"
check_eq "Memotack's DependentLoadFlags" 0x800 "$(load_flags "$memotack_exe")"

downloads="$BUILD_DIR/e2e/planted_dlls-downloads"
rm -rf "$downloads" && mkdir -p "$downloads"
cp "$SETUP_EXE" "$downloads/"
SETUP_EXE="$downloads/$(basename "$SETUP_EXE")"
for dll in $planted; do cp "$BUILD_DIR/tests/e2e/planted_dll.dll" "$downloads/$dll.dll"; done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${planted// /,}=n,b"

# The installer runs with the planted folder as its current folder too, as when started from
# Explorer; the test's own helper programs (read_rows.exe) run elsewhere, since they do not
# restrict their DLL search. exit_code.exe, which starts the installer, imports only known DLLs.
in_downloads() {
    local status=0
    pushd "$downloads" >/dev/null
    "$@" || status=$?
    popd >/dev/null
    return $status
}

markers() { (cd "$downloads" && ls -- *.ran 2>/dev/null | tr '\n' ' '); }

in_downloads run_setup -extract
check_eq "-extract exit code" 0 "$SETUP_STATUS"
check "-extract wrote memotack.exe" test -s "$downloads/memotack.exe"
check_eq "no planted DLL ran in -extract" "" "$(markers)"
rm -f "$downloads"/*.ran "$downloads"/memotack.{exe,chm}

in_downloads run_setup -silent
check_eq "-silent exit code" 0 "$SETUP_STATUS"
check "-silent installed memotack.exe" test -s "$folder/memotack.exe"
check_eq "no planted DLL ran in -silent" "" "$(markers)"
rm -f "$downloads"/*.ran
rm -rf "$folder"

opened=no
in_downloads start_installer || true
wait_for_window "Memotack Installer" 1 && opened=yes
check_eq "the installer's dialog opens" yes "$opened"
if [ "$opened" = yes ]; then
    focus_installer
    press alt+w
    check "the folder picker opens" wait_for_window "Browse for Folder" 30
    picker=$(xdotool search --onlyvisible --name '^Browse for Folder$' 2>/dev/null | head -n 1 || true)
    [ -n "$picker" ] && xdotool windowfocus "$picker" 2>/dev/null
    press Escape
    check "the folder picker closes" bash -c '! xdotool search --onlyvisible --name "^Browse for Folder$" >/dev/null 2>&1'
    focus_installer
    # No Memotack or help window afterwards: they would take the focus from the finished page.
    press alt+m
    press alt+h
    press Return
    check "the interactive install reaches the finished page" wait_install_done
    finish_installer
    check "the interactive install installed memotack.exe" test -s "$folder/memotack.exe"
fi
check_eq "no planted DLL ran in the interactive install" "" "$(markers)"
finish
