#!/bin/sh
# Runs a test against a real notification service: dunst on a session bus of
# its own, drawing on a virtual X server of its own; skipped (77) where one of
# them is not installed.
# Usage: notify.sh TEST [ARG...]
set -u
for tool in dbus-run-session dbus-send Xvfb dunst dunstctl; do
    command -v $tool >/dev/null 2>&1 || { echo "notify: no $tool here: skipped"; exit 77; }
done
[ -n "${TENFOLD_NOTIFY_BUS:-}" ] || exec env TENFOLD_NOTIFY_BUS=1 dbus-run-session -- sh "$0" "$@"

scratch=$(mktemp -d)
xvfb="" dunst=""
trap 'kill $dunst $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT
waitFor() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            cat "$scratch"/*.log >&2
            echo "notify: gave up waiting for: $*" >&2
            exit 1
        fi
        sleep 0.1
    done
}
owned() {
    dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
        grep -q true
}
Xvfb -displayfd 3 -screen 0 800x600x24 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
waitFor test -s "$scratch/display"
# Only dunst's built-in settings: the user's could hide or reorder what it shows.
: >"$scratch/dunstrc"
DISPLAY=:$(cat "$scratch/display") dunst -config "$scratch/dunstrc" >"$scratch/dunst.log" 2>&1 &
dunst=$!
waitFor owned
TENFOLD_TEST_DUNST=1 "$@"
