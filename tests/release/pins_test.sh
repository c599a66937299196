#!/usr/bin/env bash
# The configure step takes minizip only from the pinned zlib source package: another version, or
# a package whose files differ from the pinned checksums, stops it with a message naming the pin.
# Nothing is downloaded: apt finds no such version, and the differing package comes from a
# stand-in apt-get.
source "$(dirname "$0")/../e2e/lib.sh"
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
work="$BUILD_DIR/pins-test"
rm -rf "$work"
mkdir -p "$work"
stops_saying() {  # stops_saying TEXT CONFIGURE-ARGS...: configuring fails and names the pin and TEXT
    local text="$1" log="$work/configure.log"
    shift
    rm -rf "$work/build"
    if cmake -S "$root" -B "$work/build" -DMEMOTACK_BUILD_TESTS=OFF "$@" >"$log" 2>&1; then
        echo "configured without stopping"
        return 1
    fi
    grep -q "cmake/pins.cmake" "$log" && grep -qF -- "$text" "$log" && return 0
    cat "$log"
    return 1
}

check "another version stops the configure step" \
    stops_saying "zlib=1:1.2.13.dfsg-0" -DMEMOTACK_ZLIB_SOURCE_VERSION=1:1.2.13.dfsg-0

# A package whose debian tarball differs from the pinned one, as apt-get would download it.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'SH'
#!/bin/sh
printf 'not the pinned tarball' >zlib_1.2.13.dfsg-1.debian.tar.xz
SH
chmod +x "$work/bin/apt-get"
PATH="$work/bin:$PATH" check "a package that differs from the pin stops the configure step" stops_saying \
    "zlib_1.2.13.dfsg-1.debian.tar.xz: SHA-256 $(printf 'not the pinned tarball' | sha256sum | cut -d' ' -f1)"
finish
