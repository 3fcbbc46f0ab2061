#!/bin/sh
# make demo: the headless engine against a sandbox of its own. Starts talvo-sandbox on
# free ports in a temporary folder, logs the demo account in and runs `talvoctl watch`,
# which prints messages as they reach the nodes, with every node's unseen count.
#   scripts/demo.sh [BUILD_DIR]
# Environment: TALVO_DEMO_ACCOUNT (default alice), TALVO_DEMO_ACTIVITY (new statuses per
# minute, default 20), TALVO_DEMO_POLL (seconds between polls, default 10),
# TALVO_DEMO_SECONDS (stop after that long; default: at Ctrl-C).
set -eu

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
sandbox="$build/tools/sandbox/talvo-sandbox"
ctl="$build/tools/ctl/talvoctl"
for bin in "$sandbox" "$ctl"; do
    if [ ! -x "$bin" ]; then
        echo "demo.sh: $bin is missing; run 'make build' first" >&2
        exit 1
    fi
done
sandbox=$(cd "$(dirname "$sandbox")" && pwd)/talvo-sandbox
ctl=$(cd "$(dirname "$ctl")" && pwd)/talvoctl
account=${TALVO_DEMO_ACCOUNT:-alice}
activity=${TALVO_DEMO_ACTIVITY:-20}
poll=${TALVO_DEMO_POLL:-10}
seconds=${TALVO_DEMO_SECONDS:-}

tmp=$(mktemp -d /tmp/talvo-demo.XXXXXX)
pid=
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
# Ctrl-C belongs to the watch, which saves the store and ends; this script then cleans
# up and ends normally. Everything started from here ignores it but the watch, which
# handles it itself.
trap '' INT
trap 'exit 143' TERM

# In a session of its own, so Ctrl-C does not stop the sandbox before the watch is done.
# The demo's account polls every $poll seconds; the allowance is raised to match.
setsid "$sandbox" --data-dir "$tmp/sandbox" --port 0 --tls-port 0 --activity "$activity" \
    --poll-interval "$poll" --rate-limit 3600 \
    --print-profile "$tmp/sandbox.conf" > "$tmp/sandbox.log" 2>&1 < /dev/null &
pid=$!
tries=0
until [ -s "$tmp/sandbox.conf" ]; do
    if ! kill -0 "$pid" 2> /dev/null || [ $tries -ge 100 ]; then
        echo "demo.sh: the sandbox did not start:" >&2
        cat "$tmp/sandbox.log" >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done
grep 'listening' "$tmp/sandbox.log" || true

watch_args="--profile $tmp/sandbox.conf"
[ -n "$seconds" ] && watch_args="$watch_args --seconds $seconds"
# On a terminal the watch runs as the foreground job, so Ctrl-C reaches it alone: not
# this script and not make, which would otherwise report the demo as failed.
if [ -t 0 ] && [ -t 2 ]; then
    set -m
fi
# A private keyring and home for the demo account: nothing touches the user's own.
echo "sandbox" | "$root/scripts/with-session.sh" sh -c \
    "\"$ctl\" login --profile \"$tmp/sandbox.conf\" \"$account\" && exec \"$ctl\" watch $watch_args" &
job=$!
rc=0
case $- in
*m*) fg %% > /dev/null || rc=$? ;;
*) wait "$job" || rc=$? ;;
esac
set +m
echo "demo finished; its sandbox and temporary folder are removed"
exit $rc
