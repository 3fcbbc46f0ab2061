#!/bin/sh
# make sandbox: runs talvo-sandbox in the foreground, on fixed ports, for a person to try
# Talvo without an account. Builds nothing; `make sandbox` has built it already.
#   scripts/sandbox.sh [BUILD_DIR]
# Environment: TALVO_SANDBOX_DATA (state folder), TALVO_SANDBOX_PORT, TALVO_SANDBOX_TLS_PORT,
# TALVO_SANDBOX_ACTIVITY (new statuses per minute).
set -eu

build=${1:-build}
bin="$build/tools/sandbox/talvo-sandbox"
if [ ! -x "$bin" ]; then
    echo "sandbox.sh: $bin is missing; run 'make build' first" >&2
    exit 1
fi

data=${TALVO_SANDBOX_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/talvo-sandbox}
port=${TALVO_SANDBOX_PORT:-47180}
tls_port=${TALVO_SANDBOX_TLS_PORT:-47443}
activity=${TALVO_SANDBOX_ACTIVITY:-2}
profile="$data/sandbox.conf"
mkdir -p "$data"
[ -e "$data/faults.conf" ] || printf '# Fault rules, re-read while the sandbox runs:\n#   path /1/statuses/* status=503 delay=1500\n#   clock_skew = 600\n#   rate_limit_remaining = 0\n' > "$data/faults.conf"

echo "Every seeded user (alice, bob, carol, ...) has the password \"sandbox\"."
echo "Stop with Ctrl-C."
exec "$bin" --data-dir "$data" --port "$port" --tls-port "$tls_port" --activity "$activity" \
    --faults "$data/faults.conf" --print-profile "$profile"
