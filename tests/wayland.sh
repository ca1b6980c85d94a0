#!/bin/sh
# Runs a widget test on Wayland, Debian 12's desktop session, in a headless
# weston of its own; skipped (77) where weston is not installed.
# Usage: wayland.sh TEST [ARG...]
set -u
command -v weston >/dev/null 2>&1 || { echo "wayland: no weston here: skipped"; exit 77; }
# weston wants a runtime folder only its user can enter; mktemp makes it so.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 \
    >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
weston=$!
trap 'kill $weston 2>/dev/null; wait $weston; rm -rf "$XDG_RUNTIME_DIR"' EXIT
tries=0
until [ -S "$XDG_RUNTIME_DIR/wayland-test" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $weston 2>/dev/null; then
        cat "$XDG_RUNTIME_DIR/weston.log"
        echo "wayland: weston did not start" >&2
        exit 1
    fi
    sleep 0.1
done
env -u DISPLAY WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland "$@"
