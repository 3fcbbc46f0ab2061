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
    HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime" XDG_DATA_HOME="$tmp/home/.local/share" \
    XDG_CONFIG_HOME="$tmp/home/.config" XDG_CACHE_HOME="$tmp/home/.cache" TALVO_IN_SESSION=1 \
        dbus-run-session -- "$0" "$@" 2> "$tmp/bus.log" || rc=$?
    grep -v 'fd limit' "$tmp/bus.log" >&2 || true
    exit $rc
fi
printf '%s' "test-password" | gnome-keyring-daemon --unlock --components=secrets > /dev/null
exec "$@"
