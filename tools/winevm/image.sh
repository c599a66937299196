#!/usr/bin/env bash
# image.sh: builds the Wine VM's image when it is not there yet and prints its folder.
# For hosts that cannot run 32-bit code: a small Debian 12 system with Wine and wine32, Xvfb and
# the tools the tests use at run time, made from Debian's packages with mmdebstrap, plus a Wine
# prefix of each kind made once inside it (tools/wine-env.sh copies them instead of running
# wineboot). The build itself stays on the host.
# The image is kept outside the clone, in MEMOTACK_WINEVM_CACHE (default /var/cache/memotack-winevm),
# in a folder named after a hash of this recipe: a changed recipe builds a new one. Run as root.
# About 15 minutes from nothing on two cores.
set -euo pipefail
here="$(cd "$(dirname "$(readlink -f "$0")")" && pwd)"
cache="${MEMOTACK_WINEVM_CACHE:-/var/cache/memotack-winevm}"

packages=(
    linux-image-amd64 initramfs-tools kmod udev mount iproute2 procps
    wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick
    cmake python3 python3-yaml liblnk-utils libchm-bin unzip zip p7zip-full locales
    binutils-mingw-w64-i686 osslsigncode openssl file
)
# The image's own first process only mounts the job's share and runs guest-init from there, so the
# image depends on this file alone.
key=$(sha256sum <"$here/image.sh" | cut -c1-16)
image="$cache/$key"
if [ -f "$image/ready" ]; then
    echo "$image"
    exit 0
fi
[ "$(id -u)" -eq 0 ] || { echo "winevm: the image is built as root" >&2; exit 1; }
echo "winevm: building the Wine VM's image in $image (about 15 minutes, once)" >&2
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ -f "$image/ready" ]; then  # another run built it meanwhile
    echo "$image"
    exit 0
fi
# Earlier images are of other recipes: nothing uses them any more.
find "$cache" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
mkdir -p "$image"
started=$SECONDS

mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
mirror="${mirror:-http://deb.debian.org/debian}"
rootfs="$image/rootfs"
mmdebstrap --variant=apt --architectures=amd64,i386 --include="$(IFS=,; echo "${packages[*]}")" \
    --customize-hook='printf "%s\n" "#!/bin/sh" "PATH=/usr/sbin:/usr/bin:/sbin:/bin; export PATH" \
        "mount -t proc proc /proc; modprobe 9pnet_virtio; modprobe 9p" \
        "mkdir -p /job; mount -t 9p -o trans=virtio,version=9p2000.L job /job" "exec /bin/sh /job/guest-init" \
        >"$1/usr/local/sbin/winevm-init"; chmod 755 "$1/usr/local/sbin/winevm-init"' \
    --customize-hook='echo winevm >"$1/etc/hostname"; printf "127.0.0.1 localhost\n127.0.1.1 winevm\n" >"$1/etc/hosts"' \
    --customize-hook='printf "virtio_pci\nvirtio_blk\next4\n9p\n9pnet_virtio\n" >>"$1/etc/initramfs-tools/modules"; sed -i "s/^MODULES=.*/MODULES=list/" "$1/etc/initramfs-tools/initramfs.conf"; chroot "$1" update-initramfs -u -k all' \
    bookworm "$rootfs" "$mirror" >"$image/mmdebstrap.log" 2>&1 ||
    { tail -n 20 "$image/mmdebstrap.log" >&2; exit 1; }
cp "$rootfs"/boot/vmlinuz-* "$image/vmlinuz"
cp "$rootfs"/boot/initrd.img-* "$image/initrd.img"
rm -rf "$rootfs/var/cache/apt/archives"/*.deb "$rootfs/var/lib/apt/lists"/*
# Room for the tests' prefixes (over a gigabyte each); the file is sparse.
mke2fs -q -t ext4 -L winevm -d "$rootfs" "$image/root.img" 24G
rm -rf "$rootfs"
echo "winevm: root file system in $((SECONDS - started)) s" >&2

# The template prefixes, made once in the VM under a display and kept in the image. The server
# must end on its own (wineserver -w), so that the registry is on disk before the copy is taken.
MEMOTACK_WINEVM_IMAGE="$image" MEMOTACK_WINEVM_PERSIST=1 "$here/run" -- bash -c '
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    for arch in win64 win32; do
        export WINEARCH=$arch WINEPREFIX=/var/lib/memotack-wine/$arch-root
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # wineboot -i may exit non-zero with the prefix made all the same; the prefix is checked.
        wine wineboot -i
        wineserver -w
        test -f "$WINEPREFIX/system.reg" -a -d "$WINEPREFIX/drive_c/users/root" || exit 1
        echo "prefix $arch: $(du -sh "$WINEPREFIX" | cut -f1)"
    done
    test -d /var/lib/memotack-wine/win64-root/drive_c/windows/syswow64' >&2
touch "$image/ready"
echo "winevm: image ready in $((SECONDS - started)) s" >&2
echo "$image"
