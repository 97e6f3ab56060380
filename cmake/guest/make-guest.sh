#!/bin/sh
# Makes the guest that guest-run.sh boots: Debian's stock amd64 kernel, whose
# IA32 emulation runs i386 programs, and a small initramfs (static busybox,
# the kernel's own virtio, 9p and overlay modules, and init.sh).
#   make-guest.sh DIR
# Writes DIR/vmlinux, DIR/modules/ and DIR/kernel (the package's name) once,
# then DIR/initrd and DIR/init.sh, the copy of init.sh that went into it, so
# that a changed init.sh makes a new initramfs. All under a lock; a call that
# finds everything in place returns at once. The kernel package is fetched
# with apt-get download and unpacked here: nothing is installed on the machine.
set -eu

dir=$1
here=$(cd "$(dirname "$0")" && pwd)

up_to_date() {
    [ -f "$dir/kernel" ] && cmp -s "$here/init.sh" "$dir/init.sh"
}
up_to_date && exit 0

fail() {
    echo "make-guest: $*" >&2
    exit 1
}

# The package linux-image-amd64 stands for is the current kernel; its name
# changes with every kernel ABI bump, so it is looked up, never written down.
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1
}

# Finds the compressed kernel inside the boot image and unpacks it; succeeds
# only with an ELF image that has a PVH entry point.
unpack_kernel() {
    for format in 'xz -dc --single-stream:\xfd7zXZ\x00' 'zstd -dc:\x28\xb5\x2f\xfd' 'gzip -dc:\x1f\x8b\x08'; do
        command -v "${format%% *}" >/dev/null 2>&1 || continue
        offsets=$(LC_ALL=C grep -obUaP "${format#*:}" "$1" | cut -d: -f1)
        for offset in $offsets; do
            tail -c +$((offset + 1)) "$1" | ${format%%:*} >"$2" 2>/dev/null
            # The PVH entry point is Xen note 18.
            readelf -n "$2" 2>/dev/null | grep -q 'Xen.*(0x00000012)' && return 0
        done
    done
    rm -f "$2"
    return 1
}

fetch_kernel() {
    work=$dir/work
    rm -rf "$work" "$dir/modules"
    mkdir -p "$work"
    package=$(kernel_package)
    if ! { [ -n "$package" ] && (cd "$work" && apt-get download "$package") >"$work/apt.log" 2>&1; }; then
        # A stale package index names a kernel the mirror no longer has.
        if [ "$(id -u)" -eq 0 ]; then
            apt-get update -q >>"$work/apt.log" 2>&1 || true
            package=$(kernel_package)
        fi
        [ -n "$package" ] ||
            fail "no package behind linux-image-amd64 in the package index (run apt-get update)"
        (cd "$work" && apt-get download "$package") >>"$work/apt.log" 2>&1 ||
            fail "could not download $package: $(tail -n 1 "$work/apt.log")"
    fi
    version=${package#linux-image-}
    modules=./lib/modules/$version
    dpkg-deb --fsys-tarfile "$work/$package"_*.deb |
        tar -x -C "$work" --wildcards "./boot/vmlinuz-$version" \
            "$modules/kernel/drivers/virtio/*" \
            "$modules/kernel/drivers/char/virtio_console.ko*" \
            "$modules/kernel/net/9p/*" "$modules/kernel/fs/9p/*" \
            "$modules/kernel/fs/netfs/*" "$modules/kernel/fs/fscache/*" \
            "$modules/kernel/fs/overlayfs/*" \
            "$modules/modules.builtin" "$modules/modules.order" ||
        fail "could not unpack $package"
    mv "$work/lib/modules" "$dir/modules"
    # Unpacking the compressed kernel inside the emulator takes seconds on
    # every boot; unpacked once here, qemu starts it at its PVH entry.
    if ! unpack_kernel "$work/boot/vmlinuz-$version" "$dir/vmlinux"; then
        mv "$work/boot/vmlinuz-$version" "$dir/vmlinux"
    fi
    echo "$package" >"$dir/kernel"
    rm -rf "$work"
}

make_initrd() {
    busybox=$(command -v busybox) || fail "no busybox (Debian package busybox-static)"
    file -L "$busybox" | grep -q 'statically linked' ||
        fail "$busybox is not statically linked (Debian package busybox-static)"
    root=$dir/initramfs
    rm -rf "$root"
    mkdir -p "$root/bin" "$root/dev" "$root/proc" "$root/sys" "$root/lib" \
        "$root/ctl" "$root/lower" "$root/rw" "$root/newroot"
    cp "$busybox" "$root/bin/busybox"
    cp "$here/init.sh" "$root/init"
    chmod 755 "$root/init"
    cp -R "$dir/modules" "$root/lib/modules"
    # modprobe in the guest resolves the modules' dependencies from this.
    "$busybox" depmod -b "$root" "$(sed 's/^linux-image-//' "$dir/kernel")" ||
        fail "depmod failed"
    (cd "$root" && find . | "$busybox" cpio -o -H newc -R 0:0) >"$dir/initrd.new" ||
        fail "could not pack the initramfs"
    mv "$dir/initrd.new" "$dir/initrd"
    cp "$here/init.sh" "$dir/init.sh"
    rm -rf "$root"
}

# One builder at a time; the others wait and then find it done.
mkdir -p "$dir"
exec 9>"$dir/lock"
flock 9
[ -f "$dir/kernel" ] || fetch_kernel
cmp -s "$here/init.sh" "$dir/init.sh" || make_initrd
