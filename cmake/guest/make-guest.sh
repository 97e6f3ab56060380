#!/bin/sh
# Makes the guest that guest-run.sh boots: Debian's stock amd64 kernel, whose
# IA32 emulation runs i386 programs, and a small initramfs (static busybox,
# the kernel's own virtio, 9p and overlay modules, and init.sh).
#   make-guest.sh [--offline] [DIR]
# DIR defaults to $VLVIS_GUEST_DIR, else build/guest of this checkout.
# The kernel package is fetched once with apt-get download, which checks it
# against the signed package index, and unpacked here: nothing is installed
# on the machine. DIR/vmlinux and DIR/modules/ come from it, and DIR/kernel
# records it: package, version and the .deb's SHA256 on one line. Then
# DIR/initrd and DIR/init.sh, the copy of init.sh that went into it, so that
# a changed init.sh makes a new initramfs. All under a lock; a call that
# finds everything in place returns at once. The win32 build runs this, so
# that the tests need no network; with --offline (guest-run.sh) it never
# fetches and fails if the kernel is not there yet.
set -eu

offline=
[ "${1:-}" != --offline ] || { offline=1; shift; }
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-${VLVIS_GUEST_DIR:-$(dirname "$(dirname "$here")")/build/guest}}

# A record without the version comes from before versions were kept: the
# kernel is fetched again, unless offline.
kernel_recorded() {
    [ -f "$dir/vmlinux" ] && [ -d "$dir/modules" ] && [ -f "$dir/kernel" ] &&
        { [ -n "$offline" ] || [ "$(wc -w <"$dir/kernel")" -eq 3 ]; }
}
up_to_date() {
    kernel_recorded && cmp -s "$here/init.sh" "$dir/init.sh"
}
say_kernel() {
    [ -n "$offline" ] ||
        echo "guest: $(cut -d' ' -f1,2 "$dir/kernel") (checked by apt when fetched), in $dir"
}
if up_to_date; then
    say_kernel
    exit 0
fi

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
    [ -z "$offline" ] || fail "its kernel has not been fetched yet: building the win32 preset fetches it (cmake --build --preset win32), as does $here/make-guest.sh"
    work=$dir/work
    rm -rf "$work" "$dir/modules" "$dir/kernel"
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
    deb=$(ls "$work/$package"_*.deb)
    version=${package#linux-image-}
    modules=./lib/modules/$version
    dpkg-deb --fsys-tarfile "$deb" |
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
    echo "$package $(dpkg-deb -f "$deb" Version) sha256:$(sha256sum <"$deb" | cut -d' ' -f1)" >"$dir/kernel"
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
    "$busybox" depmod -b "$root" "$(cut -d' ' -f1 "$dir/kernel" | sed 's/^linux-image-//')" ||
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
kernel_recorded || fetch_kernel
cmp -s "$here/init.sh" "$dir/init.sh" || make_initrd
say_kernel
