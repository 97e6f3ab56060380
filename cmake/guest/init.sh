#!/bin/busybox sh
# shellcheck shell=dash
# The guest's first and only process of its own: it lays the host's root file
# system (read-only, with a throwaway tmpfs on top) and the caller's writable
# shares out at their own paths, runs the job guest-run.sh left in the
# control share with its output on two virtio ports, writes the job's exit
# status beside it and resets the machine, which ends qemu.
# A served guest (the control share holds "serve") instead starts an X
# display and runs every job that appears in the control share's jobs/,
# each with its output in files beside it, until "stop" appears there.
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
# No other guest writes a share while it runs a command (guest-run.sh locks
# it), and the host should not: so the guest may cache it too, which makes a
# new Wine prefix about a fifth faster (Wine's programs also crash when run
# from a share without the cache); sync writes back what is cached.
n=0
while IFS= read -r path; do
    mkdir -p "/newroot$path"
    mount -t 9p -o "$nine,cache=loose" "share$n" "/newroot$path" || fail "no share $path"
    n=$((n + 1))
done </ctl/shares
hostname -F /newroot/etc/hostname 2>/dev/null

# What the job left running gets a chance to finish its writes (a Wine
# server saves its registry on SIGTERM) before the machine stops.
stop_machine() {
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
}

if [ -e /ctl/serve ]; then
    # One display for every job, as the host's runner gives its programs.
    env -i /bin/chroot /newroot /usr/bin/Xvfb :0 -screen 0 1920x1080x24 -nolisten tcp </dev/null >/ctl/xvfb.log 2>&1 &
    for _ in $(seq 600); do
        [ -S /newroot/tmp/.X11-unix/X0 ] && break
        usleep 50000
    done
    [ -S /newroot/tmp/.X11-unix/X0 ] || fail "no X display: $(tail -n 1 /ctl/xvfb.log)"
    read -r uptime _ </proc/uptime
    echo "$uptime" >/ctl/ready
    # A job is a folder the host renames into jobs/ once its script is
    # written. Each runs in a session of its own, so that a job past its
    # time limit ("kill" beside it) goes with everything it started, except
    # what left the session on purpose: a Wine server and what a job keeps
    # for the next ones. Between two jobs the host may have written the
    # shares (test files, copied prefixes): the names and files cached from
    # them are dropped first, except what a process still holds open.
    run_job() {
        echo 2 >/proc/sys/vm/drop_caches
        setsid env -i DISPLAY=:0 VLVIS_GUEST_SERVED=1 /bin/chroot /newroot /bin/sh -c "$(cat "$1/job")" \
            </dev/null >"$1/stdout" 2>"$1/stderr" &
        echo $! >"$1/pid"
        wait $!
        echo $? >"$1/status.new"
        sync
        mv "$1/status.new" "$1/status"
    }
    # The host removes a job's folder once it has read the status, maybe
    # while this loop looks at it: claims are folders made with mkdir, which
    # fails quietly there, where a redirection of the shell's own ":" would
    # end the shell. The loop is a subshell besides, so that whatever ends
    # it stops the machine instead of killing init, which panics the kernel.
    (
        while [ ! -e /ctl/stop ]; do
            for job in /ctl/jobs/*; do
                [ -f "$job/job" ] || continue
                if mkdir "$job/taken" 2>/dev/null; then
                    run_job "$job" &
                elif [ -e "$job/kill" ] && [ -s "$job/pid" ] && mkdir "$job/killed" 2>/dev/null; then
                    kill -KILL -- "-$(cat "$job/pid")" 2>/dev/null
                fi
            done
            usleep 100000
        done
    )
    [ -e /ctl/stop ] || echo "guest: the loop that runs the jobs ended"
    stop_machine
fi

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

read -r uptime _ </proc/uptime
echo "timing: the command starts ${uptime} s after the kernel"
env -i /bin/chroot /newroot /bin/sh -c "$(cat /ctl/job)" </dev/null >"$out" 2>"$err"
echo $? >/ctl/status.new
read -r uptime _ </proc/uptime
echo "timing: the command ended ${uptime} s after the kernel"
mv /ctl/status.new /ctl/status
stop_machine
