#!/usr/bin/env bash
# The configure step takes minizip only from the pinned zlib source package: another version, or
# a package whose files differ from the pinned checksums, stops it with a message naming the pin.
# Argument: BUILD_DIR. Nothing is downloaded: apt finds no such version, and the differing
# package comes from a stand-in apt-get.
set -uo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
build="$(readlink -f "$1")"
work="$build/pins-test"
rm -rf "$work"
mkdir -p "$work"
failures=0
expect_stop() {  # expect_stop DESCRIPTION TEXT CONFIGURE-ARGS...: configuring fails and says TEXT
    local what="$1" text="$2" log="$work/configure.log" status=0
    shift 2
    rm -rf "$work/build"
    cmake -S "$root" -B "$work/build" -DMEMOTACK_BUILD_TESTS=OFF "$@" >"$log" 2>&1 || status=$?
    if [ $status -ne 0 ] && grep -q "cmake/pins.cmake" "$log" && grep -qF -- "$text" "$log"; then
        echo "ok: $what"
    else
        echo "FAILED: $what (exit code $status)"
        cat "$log"
        failures=$((failures + 1))
    fi
}

expect_stop "another version stops the configure step" "zlib=1:1.2.13.dfsg-0" \
    -DMEMOTACK_ZLIB_SOURCE_VERSION=1:1.2.13.dfsg-0

# A package whose debian tarball differs from the pinned one, as apt-get would download it.
fake_bin="$work/bin"
mkdir -p "$fake_bin"
cat >"$fake_bin/apt-get" <<'SH'
#!/bin/sh
printf 'not the pinned tarball' >zlib_1.2.13.dfsg-1.debian.tar.xz
SH
chmod +x "$fake_bin/apt-get"
PATH="$fake_bin:$PATH" expect_stop "a package that differs from the pin stops the configure step" \
    "zlib_1.2.13.dfsg-1.debian.tar.xz: SHA-256 $(printf 'not the pinned tarball' | sha256sum | cut -d' ' -f1)"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
