#!/bin/sh
# make screenshots: runs talvo under Xvfb against a fresh sandbox and writes PNGs of the
# main window (light and dark), the outline, a conversation, the error list, a search, a
# picture link's thumbnail and the picture viewer, the message menu and the running mutes
# and highlights, the preference panes, the add-account sheet, About and the welcome view.
#   scripts/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
set -eu
build=${1:-build}
out=${2:-docs/screenshots}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
tmp=$(mktemp -d /tmp/talvo-shots.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
# One failing request kind, so the error list has something to show.
printf 'path /1/direct_messages/sent* status=503\n' > "$tmp/faults.conf"
# A store of its own: the pictures always show the sandbox's demo account, never yours.
export XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache"
# No desktop theme under Xvfb: talvo uses its own light and dark palettes.
unset XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME || true
TALVO_SANDBOX_FAULTS="$tmp/faults.conf" TALVO_DEMO_ACTIVITY=30 QT_QPA_PLATFORM=xcb \
    QT_SCALE_FACTOR="${TALVO_SCREENSHOT_SCALE:-1}" \
    xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" \
    "$root/scripts/run.sh" "$build" --screenshots "$out" --screenshot-wait 30000
