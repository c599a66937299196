#!/usr/bin/env bash
# Installs every Debian package that building and testing Memotack Setup needs, and says how Wine
# will run here: natively, or, on a host that cannot run 32-bit code (or with MEMOTACK_WINE_VM=1),
# inside the project's Wine VM, whose image it then builds once (tools/winevm/image.sh).
# Run as root on Debian 12. Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
    cmake make g++-mingw-w64-i686 libz-mingw-w64-dev googletest
    wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
    fonts-wine fp-utils unzip zip p7zip-full python3 python3-yaml python3-jsonschema liblnk-utils libchm-bin nsis dpkg-dev locales
    osslsigncode openssl softhsm2 libengine-pkcs11-openssl opensc strace
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

# minizip comes from the zlib source package, so apt needs a deb-src entry for this suite.
src_list=/etc/apt/sources.list.d/memotack-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    # Only the main archive's entry: the security mirror reachable here serves no sources.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        awk 'BEGIN { RS = ""; ORS = "\n\n" } !/security/ { sub(/Types: deb/, "Types: deb-src"); print; exit }' \
            /etc/apt/sources.list.d/debian.sources >"$src_list"
    else
        grep '^deb ' /etc/apt/sources.list | grep -v security | sed 's/^deb /deb-src /' \
            >/etc/apt/sources.list.d/memotack-deb-src.list
    fi
    need_update=1
fi

install_missing() {  # install_missing PACKAGE...
    local missing=() p status
    for p in "$@"; do
        status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
        [[ "$status" == ii* ]] || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get update -q
        need_update=0
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        echo "setup: installing ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

install_missing "${packages[@]}"
echo "setup: all packages present"
here="$(dirname "$(readlink -f "$0")")"
source "$here/wine-mode.sh"
memotack_wine_mode
if [ "$MEMOTACK_WINE_MODE" = vm ]; then
    install_missing qemu-system-x86 mmdebstrap e2fsprogs
    bash "$here/winevm/image.sh" >/dev/null
fi
