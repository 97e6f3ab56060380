#!/bin/sh
# Runs a command with the network cut where this user may cut it: in a
# network namespace of its own with nothing in it (unshare -n, as root), so
# that anything reaching for the network fails. Elsewhere the command runs
# with the network, and the line this prints says so.
#   run-offline.sh COMMAND [ARGUMENTS...]
# Local sockets still work: the X display, Wine's server, a sound server.
if unshare -n true 2>/dev/null; then
    echo "offline (unshare -n: no network): $*"
    exec unshare -n "$@"
fi
echo "with the network (cutting it takes unshare -n, as root): $*"
exec "$@"
