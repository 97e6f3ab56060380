#!/bin/sh
# Runs one command in a qemu guest whose kernel runs i386 programs, for
# machines whose own kernel refuses them.
#   guest-run.sh [--timeout SECONDS] [--share DIR]... [--env NAME]... -- COMMAND [ARGUMENTS...]
# The guest sees the host's file system read-only at the same paths, with a
# throwaway layer on top so that anything may be written; each --share DIR is
# writable at its own path and what is written there stays. The command runs
# as the caller, in the caller's working directory, with PATH, HOME, the
# variables named by --env and every WINE* variable, and with stdin empty.
# Its stdout and stderr come back as they are written, and its exit status
# is this script's.
# Exit status 124: the time limit was reached (the guest is killed); 125: the
# guest could not be made or started, or stopped before the command ended.
# The guest lives under $VLVIS_GUEST_DIR (default build/guest of this
# checkout), its kernel fetched beforehand by make-guest.sh (the win32 build
# runs it): this script never fetches anything. VLVIS_GUEST_VERBOSE=1 shows
# the guest's boot and timing.
# Guests run in parallel, except that a shared folder is lent to one guest at
# a time: a second call sharing the same folder waits for the first.
#
# Booting a guest and starting Wine's processes in it costs seconds each
# time, emulated; so a guest can also be served, for a whole test run:
#   guest-run.sh --serve DIR [--owner PID] [--share DIR]...
#   guest-run.sh --stop DIR
# --serve boots a guest that stays up, with an X display of its own, and
# returns once it takes commands; it stops at --stop, or once process PID
# (by default the caller's parent) has ended. While VLVIS_GUEST_SERVER names
# a served guest's DIR, each call whose shares lie within that guest's runs
# its command there instead of booting a guest of its own; the command's
# output then comes back when it ends. The served guest reads its shares
# afresh for each command, so the host may write them in between.
set -u

here=$(cd "$(dirname "$0")" && pwd)
guest_dir=${VLVIS_GUEST_DIR:-$(dirname "$(dirname "$here")")/build/guest}
verbose=${VLVIS_GUEST_VERBOSE:-}
started=$(date +%s)

die() {
    echo "guest-run: $*" >&2
    exit 125
}
usage() {
    die "usage: guest-run.sh [--timeout SECONDS] [--share DIR]... [--env NAME]... -- COMMAND [ARGUMENTS...]"
}
say() {
    [ -n "$verbose" ] && echo "guest-run: $(($(date +%s) - started)) s: $*" >&2
    return 0
}

# Single-quotes a word for the guest's shell, line breaks and all.
quote() {
    quoted=$(printf '%s' "$1" | sed "s/'/'\\\\''/g"; echo x)
    printf "'%s'" "${quoted%x}"
}

timeout=
shares=
env_names=
serve=
stop=
owner=$PPID
while [ $# -gt 0 ]; do
    case $1 in
    --serve | --stop)
        [ $# -ge 2 ] || usage
        mkdir -p "$2" || die "cannot make $2"
        if [ "$1" = --serve ]; then serve=$(cd "$2" && pwd -P); else stop=$(cd "$2" && pwd -P); fi
        ;;
    --owner)
        [ $# -ge 2 ] || usage
        case $2 in '' | *[!0-9]*) usage ;; esac
        owner=$2
        ;;
    --timeout)
        [ $# -ge 2 ] || usage
        case $2 in '' | *[!0-9]* | 0) usage ;; esac
        timeout=$2
        ;;
    --share)
        [ $# -ge 2 ] || usage
        share=$(cd "$2" 2>/dev/null && pwd -P) || die "no folder $2 to share"
        case $share in *"
"*) die "cannot share a folder whose name has a line break: $2" ;; esac
        shares="$shares$share
"
        ;;
    --env)
        [ $# -ge 2 ] || usage
        case $2 in '' | [0-9]* | *[!A-Za-z0-9_]*) die "not a variable name: $2" ;; esac
        env_names="$env_names $2"
        ;;
    --) shift; break ;;
    *) usage ;;
    esac
    shift 2
done
shares=$(printf '%s' "$shares" | LC_ALL=C sort -u)

# The served guest in DIR is up and taking commands.
serving() {
    [ -f "$1/ctl/ready" ] && [ ! -e "$1/ctl/stop" ] && [ -s "$1/pid" ] && kill -0 "$(cat "$1/pid")" 2>/dev/null
}
# Ends the served guest in DIR: it ends its jobs' processes, so that Wine
# servers save their registries, then stops; killed if it has not within
# a minute.
stop_served() {
    [ -s "$1/pid" ] || return 0
    pid=$(cat "$1/pid")
    : >"$1/ctl/stop"
    for _ in $(seq 600); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    rm -f "$1/pid"
    return 0
}
if [ -n "$stop" ]; then
    stop_served "$stop"
    exit 0
fi
[ -n "$serve" ] || [ $# -ge 1 ] || usage

# Seconds left of the limit, at least 1.
remaining() {
    left=$((started + timeout - $(date +%s)))
    [ "$left" -ge 1 ] || left=1
    echo "$left"
}
timed_out() {
    echo "guest-run: stopped at the time limit of $timeout s $1" >&2
    exit 124
}

# Runs the function named on the way out, however it comes: Ctrl+C and a
# termination exit too, with the status a shell gives them.
clean_up_on_exit() {
    # shellcheck disable=SC2064 # the name is meant to be fixed now
    trap "$1" EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# Why the guest whose run folder is DIR stopped, or never started: the
# kernel's or init's last word, else qemu's.
last_word() {
    said=$(grep -ah -e 'Kernel panic' -e '^guest: ' "$1/console" 2>/dev/null | tail -n 1)
    [ -n "$said" ] || said=$(sed '/^$/d' "$1/qemu.log" "$1/console" 2>/dev/null | tail -n 1)
    printf '%s' "$said"
}

# The guest's 9p server implements no locks, so two guests (or a guest and
# the host) writing one folder, such as a Wine prefix, could not keep out of
# each other's way. A shared folder is therefore held by one command at a
# time, taken in sorted order so that two calls never wait on each other.
lock_shares() {
    fd=3
    while IFS= read -r share; do
        [ -n "$share" ] || continue
        [ $fd -le 9 ] || die "at most 7 shares"
        eval "exec $fd<\"\$share\"" || die "cannot open $share"
        if [ -n "$timeout" ]; then
            flock -w "$(remaining)" $fd || timed_out "waiting for $share, shared by another guest"
        else
            flock $fd
        fi
        fd=$((fd + 1))
    done <<END
$shares
END
}

# The job: the caller's umask, folder and variables, then the command.
write_job() {
    {
        printf 'umask %s\n' "$(umask)"
        printf 'cd -- %s || exit 125\n' "$(quote "$PWD")"
        value=
        for name in PATH HOME $env_names $(env | sed -n 's/^\(WINE[A-Za-z0-9_]*\)=.*/\1/p'); do
            eval "[ -n \"\${$name+set}\" ]" || continue
            eval "value=\$$name"
            printf 'export %s=%s\n' "$name" "$(quote "$value")"
        done
        printf 'exec'
        if [ "$(id -u)" -ne 0 ]; then
            printf ' setpriv --reuid=%s --regid=%s --clear-groups --' "$(id -u)" "$(id -g)"
        fi
        for word in "$@"; do printf ' %s' "$(quote "$word")"; done
        printf '\n'
    } >"$job_file"
}

# Each share lies within one of the served guest's in DIR.
served_shares_cover() {
    while IFS= read -r share; do
        [ -n "$share" ] || continue
        covered=
        while IFS= read -r served; do
            case $share/ in "$served"/*) covered=1 ;; esac
        done <"$1/ctl/shares"
        [ -n "$covered" ] || return 1
    done <<END
$shares
END
}

server=${VLVIS_GUEST_SERVER:-}
if [ -z "$serve" ] && [ -n "$server" ] && serving "$server" && served_shares_cover "$server"; then
    say "running in the served guest in $server"
    job=$(mktemp -d "$server/ctl/jobs/.new.XXXXXX") || die "cannot write to $server/ctl/jobs"
    # shellcheck disable=SC2317 # run by the traps
    give_up() {
        # A job that the guest has not taken yet is withdrawn; one it runs is
        # killed with what it started.
        if [ -d "$job" ] && [ ! -f "$job/status" ]; then
            : >"$job/kill"
            for _ in $(seq 100); do
                [ -f "$job/status" ] || [ ! -e "$job/taken" ] && break
                sleep 0.1
            done
        fi
        rm -rf "$job"
    }
    clean_up_on_exit give_up
    lock_shares
    job_file=$job/job
    write_job "$@"
    final=$server/ctl/jobs/${job##*/.new.}
    mv "$job" "$final" || die "cannot hand the command to the served guest"
    job=$final
    qemu_pid=$(cat "$server/pid" 2>/dev/null)
    while [ ! -f "$job/status" ]; do
        if [ -n "$timeout" ] && [ "$(date +%s)" -ge $((started + timeout)) ]; then
            cat "$job/stdout" "$job/stderr" 2>/dev/null >&2
            timed_out "while the command ran in the served guest"
        fi
        kill -0 "$qemu_pid" 2>/dev/null ||
            die "the served guest in $server stopped before the command ended: $(tail -n 1 "$server/console" 2>/dev/null)"
        sleep 0.1
    done
    cat "$job/stdout"
    cat "$job/stderr" >&2
    status=$(cat "$job/status")
    exit "$status"
fi

qemu=$(command -v qemu-system-x86_64) || die "no qemu-system-x86_64 (Debian package qemu-system-x86)"
why=$("$here/make-guest.sh" --offline "$guest_dir" 2>&1) ||
    die "could not make the guest in $guest_dir: $(printf '%s' "$why" | tail -n 1 | sed 's/^make-guest: //')"
say "guest ready in $guest_dir"

if [ -n "$serve" ]; then
    stop_served "$serve"
    run=$serve
    rm -rf "$run/ctl" "$run/console" "$run/qemu.log"
    mkdir -p "$run/ctl/jobs" || die "cannot write to $run"
    : >"$run/ctl/serve"
else
    run=$(mktemp -d "${TMPDIR:-/tmp}/guest-run.XXXXXX") || die "no temporary folder"
    mkdir "$run/ctl" || die "cannot write to $run"
    qemu_pid=
    # shellcheck disable=SC2317 # run by the traps
    cleanup() {
        [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null
        # Readers of pipes that qemu never opened wait for a writer: this is one.
        for pipe in "$run/stdout.out" "$run/stderr.out"; do
            [ -p "$pipe" ] && : <>"$pipe"
        done
        rm -rf "$run"
    }
    clean_up_on_exit cleanup
    lock_shares
    job_file=$run/ctl/job
    write_job "$@"

    # The command's output streams through two virtio ports into these pipes.
    # Once nobody reads ours (the caller's pipe closed), the rest is drained
    # unread, lest the guest wait on a full port until the time limit.
    for stream in stdout stderr; do
        mkfifo "$run/$stream.in" "$run/$stream.out" || die "cannot make pipes in $run"
    done
    { cat "$run/stdout.out" || cat "$run/stdout.out" >/dev/null; } &
    out_pid=$!
    { cat "$run/stderr.out" >&2 || cat "$run/stderr.out" >/dev/null; } &
    err_pid=$!
fi
printf '%s\n' "$shares" | sed '/^$/d' >"$run/ctl/shares"

# One processor: with two, on a machine busy with other work, Wine ran two
# to three times slower (its first command in a fresh guest took 49 to 76 s
# instead of 19 to 26 s at load 5 to 6), each emulated processor waiting for
# the other whenever the host sets its thread aside. Without ACPI, whose
# interpreter is slow in the emulator, the guest starts about 1.5 s sooner;
# the kernel's self-tests of its ciphers cost another 0.3 s.
# A kernel panic resets the machine, which ends qemu. Without SMAP the
# guest kernel survives the return to 32-bit code that qemu's SMAP emulation
# breaks.
# qemu's option syntax doubles commas in values.
escape() { printf '%s' "$1" | sed 's/,/,,/g'; }
kernel_log=quiet
[ -n "$verbose" ] && kernel_log=loglevel=6
set -- -nodefaults -no-user-config -nographic -no-reboot \
    -machine pc -accel tcg -cpu max,-smap -m 2G -smp 1 \
    -kernel "$guest_dir/vmlinux" -initrd "$guest_dir/initrd" \
    -append "console=ttyS0 panic=-1 acpi=off cryptomgr.notests $kernel_log" \
    -chardev "file,id=console,path=$(escape "$run/console")" -serial chardev:console \
    -fsdev local,id=root,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=root,mount_tag=root \
    -fsdev "local,id=ctl,path=$(escape "$run/ctl"),security_model=none" \
    -device virtio-9p-pci,fsdev=ctl,mount_tag=ctl
n=0
while IFS= read -r share; do
    set -- "$@" -fsdev "local,id=share$n,path=$(escape "$share"),security_model=none" \
        -device "virtio-9p-pci,fsdev=share$n,mount_tag=share$n"
    n=$((n + 1))
done <"$run/ctl/shares"

if [ -n "$serve" ]; then
    # Nothing of the caller's may stay open in what outlives this script: a
    # test runner waits for its tests' output to close. Both stay in the
    # caller's process group, so that Ctrl+C on the run ends the guest too.
    "$qemu" "$@" </dev/null >"$run/qemu.log" 2>&1 &
    qemu_pid=$!
    echo "$qemu_pid" >"$run/pid"
    say "starting the served guest"
    (
        while kill -0 "$owner" 2>/dev/null && kill -0 "$qemu_pid" 2>/dev/null; do sleep 2; done
        stop_served "$run"
    ) </dev/null >/dev/null 2>&1 &
    limit=${timeout:-600}
    while ! serving "$run"; do
        if ! kill -0 "$qemu_pid" 2>/dev/null || [ "$(date +%s)" -ge $((started + limit)) ]; then
            why=$(last_word "$run")
            stop_served "$run"
            die "the served guest did not start: $why"
        fi
        sleep 0.2
    done
    say "the served guest takes commands, $(cat "$run/ctl/ready") s after its kernel started"
    exit 0
fi

set -- -device virtio-serial-pci \
    -chardev "pipe,id=stdout,path=$(escape "$run/stdout")" -device virtserialport,chardev=stdout,name=stdout \
    -chardev "pipe,id=stderr,path=$(escape "$run/stderr")" -device virtserialport,chardev=stderr,name=stderr \
    "$@"
if [ -n "$timeout" ]; then
    set -- timeout -k 5 "$(remaining)" "$qemu" "$@"
else
    set -- "$qemu" "$@"
fi

say "starting the guest"
"$@" >"$run/qemu.log" 2>&1 &
qemu_pid=$!
wait "$qemu_pid"
qemu_status=$?
qemu_pid=
say "guest stopped"

for pipe in "$run/stdout.out" "$run/stderr.out"; do : <>"$pipe"; done
wait "$out_pid" "$err_pid"

# Without the firmware's screen control codes.
[ -n "$verbose" ] && sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' "$run/console" "$run/qemu.log" >&2
status=$(cat "$run/ctl/status" 2>/dev/null)
case $status in
'' | *[!0-9]*)
    [ -n "$timeout" ] && [ "$qemu_status" -eq 124 ] && timed_out "while the command ran"
    echo "guest-run: the guest stopped before the command ended (qemu status $qemu_status): $(last_word "$run")" >&2
    exit 125
    ;;
esac
exit "$status"
