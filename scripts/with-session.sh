#!/bin/sh
# with-session.sh COMMAND...: runs COMMAND on a private session bus with an unlocked
# gnome-keyring and a throw-away HOME, so tests use a real Secret Service and never the
# user's own keyring.
set -eu
if [ -z "${TALVO_IN_SESSION:-}" ]; then
    tmp=$(mktemp -d /tmp/talvo-session.XXXXXX)
    mkdir -p "$tmp/home" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    trap 'rm -rf "$tmp"' EXIT
    rc=0
    # The bus's own chatter goes to a log shown at the end; COMMAND's standard error is
    # handed through on descriptor 3, so its lines appear as they are written.
    HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime" XDG_DATA_HOME="$tmp/home/.local/share" \
    XDG_CONFIG_HOME="$tmp/home/.config" XDG_CACHE_HOME="$tmp/home/.cache" TALVO_IN_SESSION=1 \
        dbus-run-session -- "$0" "$@" 3>&2 2> "$tmp/bus.log" || rc=$?
    grep -v 'fd limit' "$tmp/bus.log" >&2 || true
    exit $rc
fi
printf '%s' "test-password" | gnome-keyring-daemon --unlock --components=secrets > /dev/null 3>&-
if { true >&3; } 2> /dev/null; then
    exec "$@" 2>&3 3>&-
fi
exec "$@"
