#!/usr/bin/env bash
# The configure step takes minizip only from the pinned zlib source package: another version, or
# a package whose files differ from the pinned checksums, stops it with a message naming the pin.
# Once the pinned revision has left the archive, a newer revision of the same upstream tarball is
# taken and reported, and one of another upstream tarball stops it. Nothing is downloaded: apt
# finds no such version, and the other packages come from a stand-in apt-get.
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

# A stand-in apt-get. "differs": the pinned package, but its debian tarball is not the pinned one.
# Otherwise the pinned revision has left the archive and the current one, -1+deb12u1, is the pinned
# package under a new revision with the upstream tarball $ORIG.
real="$BUILD_DIR/_deps/zlib-download/1.2.13.dfsg-1"
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<SH
#!/bin/sh
if [ "\$ORIG" = differs ]; then
    printf 'not the pinned tarball' >zlib_1.2.13.dfsg-1.debian.tar.xz
    exit 0
fi
case "\$*" in *zlib=*) exit 100 ;; esac
sed 's/1\.2\.13\.dfsg-1/&+deb12u1/g' "$real/zlib_1.2.13.dfsg-1.dsc" >zlib_1.2.13.dfsg-1+deb12u1.dsc
cp "$real/zlib_1.2.13.dfsg-1.debian.tar.xz" zlib_1.2.13.dfsg-1+deb12u1.debian.tar.xz
cp "\$ORIG" zlib_1.2.13.dfsg.orig.tar.bz2
SH
chmod +x "$work/bin/apt-get"
export PATH="$work/bin:$PATH"
ORIG=differs check "a package that differs from the pin stops the configure step" stops_saying \
    "zlib_1.2.13.dfsg-1.debian.tar.xz: SHA-256 $(printf 'not the pinned tarball' | sha256sum | cut -d' ' -f1)"
printf 'another upstream' >"$work/other.tar.bz2"
ORIG="$work/other.tar.bz2" check "a newer revision of another upstream tarball stops the configure step" stops_saying \
    "zlib_1.2.13.dfsg.orig.tar.bz2: SHA-256 $(sha256sum <"$work/other.tar.bz2" | cut -d' ' -f1)"
configures_saying() {  # configures_saying TEXT...: configuring succeeds with minizip unpacked and says each TEXT
    rm -rf "$work/build"
    cmake -S "$root" -B "$work/build" -DMEMOTACK_BUILD_TESTS=OFF >"$work/configure.log" 2>&1 &&
        [ -f "$work/build/_deps/zlib-source/contrib/minizip/unzip.c" ] || { cat "$work/configure.log"; return 1; }
    local text
    for text in "$@"; do grep -qF -- "$text" "$work/configure.log" || { cat "$work/configure.log"; return 1; }; done
}
ORIG="$real/zlib_1.2.13.dfsg.orig.tar.bz2" check "a newer revision of the pinned upstream tarball configures" \
    configures_saying "revision 1:1.2.13.dfsg-1+deb12u1" "zlib_1.2.13.dfsg-1+deb12u1.debian.tar.xz=$(
        sha256sum <"$real/zlib_1.2.13.dfsg-1.debian.tar.xz" | cut -d' ' -f1)"
finish
