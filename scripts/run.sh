#!/bin/sh
# make run: opens the Talvo window.
#   scripts/run.sh [BUILD_DIR] [talvo options...]
# With a Twitter account in the user's store (or with --profile given), talvo runs on
# that store and the user's keyring. Otherwise it starts talvo-sandbox on free ports in a
# temporary folder and opens the window on it on a private session bus and keyring: the
# welcome view offers "Try the demo account". Everything is thrown away at exit.
# Environment: TALVO_DEMO_ACCOUNT (default alice), TALVO_DEMO_ACTIVITY (new statuses per
# minute, default 20), TALVO_SANDBOX_FAULTS (a faults file for the sandbox),
# TALVO_DEMO_LOGIN=1 (log the demo account in before the window opens; --screenshots and
# --check do so by themselves).
set -eu

build=${1:-build}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
talvo="$build/src/app/talvo"
ctl="$build/tools/ctl/talvoctl"
sandbox="$build/tools/sandbox/talvo-sandbox"
for bin in "$talvo" "$ctl" "$sandbox"; do
    if [ ! -x "$bin" ]; then
        echo "run.sh: $bin is missing; run 'make build' first" >&2
        exit 1
    fi
done
talvo=$(cd "$(dirname "$talvo")" && pwd)/talvo
ctl=$(cd "$(dirname "$ctl")" && pwd)/talvoctl
sandbox=$(cd "$(dirname "$sandbox")" && pwd)/talvo-sandbox
# talvo starts its quick-post helper from the search path when it is not beside it.
if [ -x "$build/bin/talvo-helper" ]; then
    PATH="$(cd "$build/bin" && pwd):$PATH"
    export PATH
fi

case " $* " in
*" --profile "*) exec "$talvo" "$@" ;;
esac
if "$ctl" store 2> /dev/null | grep -q "RTServiceTwitter"; then
    exec "$talvo" "$@"
fi

account=${TALVO_DEMO_ACCOUNT:-alice}
activity=${TALVO_DEMO_ACTIVITY:-20}
tmp=$(mktemp -d /tmp/talvo-run.XXXXXX)
pid=
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The demo has no newer release to announce: an empty release feed keeps the
# sandbox's generated one from opening an update notice over the window.
mkdir -p "$tmp/sandbox/updates"
printf '<?xml version="1.0" encoding="utf-8"?>\n<rss version="2.0"><channel><title>Talvo</title></channel></rss>\n' \
    > "$tmp/sandbox/updates/versions.rss"
faults=""
[ -n "${TALVO_SANDBOX_FAULTS:-}" ] && faults="--faults ${TALVO_SANDBOX_FAULTS}"
# shellcheck disable=SC2086
"$sandbox" --data-dir "$tmp/sandbox" --port 0 --tls-port 0 --activity "$activity" $faults \
    --print-profile "$tmp/sandbox.conf" > "$tmp/sandbox.log" 2>&1 &
pid=$!
tries=0
until [ -s "$tmp/sandbox.conf" ]; do
    if ! kill -0 "$pid" 2> /dev/null || [ $tries -ge 100 ]; then
        echo "run.sh: the sandbox did not start:" >&2
        cat "$tmp/sandbox.log" >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done
login=${TALVO_DEMO_LOGIN:-0}
case " $* " in
*" --screenshots "* | *" --check "*) login=1 ;;
esac
if [ "$login" != 1 ]; then
    echo "run.sh: no account in your store; opening the sandbox (demo account @$account)"
    # The welcome view logs the demo account in from the window.
    rc=0
    TALVO_DEMO_ACCOUNT="$account" "$root/scripts/with-session.sh" \
        "$talvo" --profile "$tmp/sandbox.conf" "$@" || rc=$?
    exit $rc
fi
echo "run.sh: no account in your store; opening the sandbox's demo account @$account"
# A private keyring and home: nothing touches the user's own store or keyring.
# The login is tried three times: a sandbox on a loaded machine may drop the first one.
rc=0
"$root/scripts/with-session.sh" sh -c "
    n=0
    until printf sandbox | \"$ctl\" login --profile \"$tmp/sandbox.conf\" \"$account\" > /dev/null; do
        n=\$((n + 1))
        [ \$n -ge 3 ] && exit 1
        sleep 1
    done
    code=0
    \"$talvo\" --profile \"$tmp/sandbox.conf\" $* || code=\$?
    # The helper talvo started would outlive this private session and keep the hot key.
    gdbus call --session --dest org.talvo.Helper --object-path /org/talvo/Helper \\
        --method org.talvo.Helper.Quit > /dev/null 2>&1 || true
    exit \$code" || rc=$?
exit $rc
