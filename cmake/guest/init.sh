#!/bin/busybox sh
# shellcheck shell=dash
# The guest's first and only process of its own: it lays the host's root file
# system (read-only, with a throwaway tmpfs on top) and the caller's writable
# shares out at their own paths, runs the job guest-run.sh left in the
# control share with its output on two virtio ports, writes the job's exit
# status beside it and resets the machine, which ends qemu.
/bin/busybox --install -s /bin
export PATH=/bin

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

# Anything that goes wrong before the job runs ends on the serial console,
# which guest-run.sh shows when no status comes back.
fail() {
    echo "guest: $*"
    reboot -f
}

modprobe -a virtio_pci virtio_console 9pnet_virtio 9p overlay || fail "modules did not load"

# Large messages cut the round trips of 9p, which are what make it slow.
nine=trans=virtio,version=9p2000.L,msize=512000
mount -t 9p -o "$nine" ctl /ctl || fail "no control share"
# A guest lives for one command, in which the host's root does not change:
# it may cache it.
mount -t 9p -o "$nine,ro,cache=loose" root /lower || fail "no root share"
mount -t tmpfs -o mode=755 tmpfs /rw
mkdir /rw/upper /rw/work
mount -t overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work overlay /newroot ||
    fail "no overlay"
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts -o ptmxmode=666 devpts /newroot/dev/pts
mount -t tmpfs -o mode=1777 tmpfs /newroot/dev/shm

# One share per line, mounted in order; tags share0, share1, ...
n=0
while IFS= read -r path; do
    mkdir -p "/newroot$path"
    # No other guest writes a share while this one holds it (guest-run.sh
    # locks it), and the host should not: so the guest may cache it too,
    # which makes a new Wine prefix about a fifth faster. sync below writes
    # back what is cached.
    mount -t 9p -o "$nine,cache=loose" "share$n" "/newroot$path" || fail "no share $path"
    n=$((n + 1))
done </ctl/shares

# The ports register a moment after their driver loads.
out=''
err=''
for _ in $(seq 200); do
    for port in /sys/class/virtio-ports/*; do
        [ -e "$port/name" ] || continue
        case $(cat "$port/name") in
        stdout) out=/dev/${port##*/} ;;
        stderr) err=/dev/${port##*/} ;;
        esac
    done
    [ -n "$out" ] && [ -n "$err" ] && [ -c "$out" ] && [ -c "$err" ] && break
    usleep 10000
done
if [ ! -c "$out" ] || [ ! -c "$err" ]; then fail "no output ports"; fi

hostname -F /newroot/etc/hostname 2>/dev/null
read -r uptime _ </proc/uptime
echo "timing: the command starts ${uptime} s after the kernel"
env -i /bin/chroot /newroot /bin/sh -c "$(cat /ctl/job)" </dev/null >"$out" 2>"$err"
echo $? >/ctl/status.new
read -r uptime _ </proc/uptime
echo "timing: the command ended ${uptime} s after the kernel"
mv /ctl/status.new /ctl/status

# What the job left running gets a chance to finish its writes (a Wine
# server saves its registry on SIGTERM) before the machine stops.
kill -TERM -1 2>/dev/null
for _ in $(seq 50); do
    alive=
    for stat in /proc/[0-9]*/stat; do
        read -r pid _ _ ppid _ <"$stat" 2>/dev/null || continue
        # Ourselves and kernel threads (children of kthreadd, pid 2).
        [ "$pid" = 1 ] || [ "$pid" = 2 ] || [ "$ppid" = 2 ] || [ "$pid" = $$ ] || alive=1
    done
    [ -z "$alive" ] && break
    usleep 100000
done
sync
reboot -f
