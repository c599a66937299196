# The exact third-party sources the configure step fetches: moving a pin is a change to this file
# alone.
#
# minizip (unzip.c, ioapi.c) and the installer's zlib (inflate, crc32, adler32) come from Debian's
# zlib source package, unpacked by dpkg-source with Debian's patches applied. The reader's handling
# of damaged archives depends on this exact code.
# To move to another package: configure once with -DMEMOTACK_ZLIB_SOURCE_VERSION=<new version>;
# the configure step downloads it, stops and prints its files' SHA-256 sums; write the version and
# the sums below, drop the -D (cmake -U MEMOTACK_ZLIB_SOURCE_VERSION) and run the payload tests.
# The upstream tarball (.orig) is pinned strictly. Once Debian's archive no longer offers the
# pinned revision (a point release or security update replaced it), the configure step takes the
# archive's current revision if its .orig tarball is the pinned one, applies that revision's
# patches, and prints its version and sums, ready to be written below; another upstream tarball
# stops it.
#
# Not pinned here because nothing is fetched for them: the tests' libz-mingw-w64-dev, and
# GoogleTest, built from the installed googletest package's sources in /usr/src/googletest
# (tools/setup.sh installs both from Debian's archive).
set(MEMOTACK_ZLIB_PINNED_VERSION "1:1.2.13.dfsg-1")
set(MEMOTACK_ZLIB_PINNED_SHA256
    "zlib_1.2.13.dfsg-1.dsc=3fa1e6b2fc525062aa88207dda52fed8e045373c809d362fe8a2bfbf7cf515a8"
    "zlib_1.2.13.dfsg.orig.tar.bz2=71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1"
    "zlib_1.2.13.dfsg-1.debian.tar.xz=f66cf3d4f2d7defcd4d1fd1fb0a11ee39f1e01b42ec7d059c9dc5c1695133c44")

# The package the configure step asks apt for: the pinned one unless a -D names another.
if(NOT DEFINED MEMOTACK_ZLIB_SOURCE_VERSION)
    set(MEMOTACK_ZLIB_SOURCE_VERSION "${MEMOTACK_ZLIB_PINNED_VERSION}")
endif()
