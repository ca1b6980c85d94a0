#!/bin/sh
# The console from a terminal: --help and --version are answered without a
# display, no display at all gets one clear line instead of Qt's abort, and
# every other argument still reaches Qt.
# Usage: cli.sh TENFOLD VERSION
set -u
tenfold=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "cli: $*" >&2; exit 1; }
# As over SSH or on a text console: no display of any kind.
bare() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" \
        "$@" >"$work/out" 2>"$work/err"
    rc=$?
    said="exit $rc, out: $(cat "$work/out"), err: $(cat "$work/err")"
}
# Qt aborts on a platform it cannot open; no core file for that.
ulimit -c 0

# Qt's own options around them are not taken for -h or -v (-stylesheet, -reverse).
bare "$tenfold" -reverse -stylesheet x.qss --version
[ $rc = 0 ] && [ "$(cat "$work/out")" = "tenfold $version" ] || fail "--version: $said"
for help in --help -h; do
    bare "$tenfold" -platform offscreen $help
    [ $rc = 0 ] && head -1 "$work/out" | grep -q '^Usage: tenfold' &&
        grep -Fq "$work/config/tenfold/setup.cfg" "$work/out" || fail "$help: $said"
done

bare "$tenfold"
[ $rc = 1 ] && [ ! -s "$work/out" ] && [ "$(cat "$work/err")" = "tenfold: no display to open the window on; start it from a desktop session, or try it headless with xvfb-run" ] ||
    fail "no display: $said"

# A display or a platform, from any source, goes on to Qt, which aborts on
# these (the missing display's exit is 1).
for given in "DISPLAY=:nosuch" "WAYLAND_DISPLAY=nosuch" "QT_QPA_PLATFORM=nosuch" "-platform nosuch"; do
    case "$given" in
        -*) bare "$tenfold" -reverse -stylesheet x.qss $given ;;
        *) bare env "$given" "$tenfold" ;;
    esac
    [ $rc -gt 1 ] || fail "$given: $said"
done

# A closed terminal (SIGHUP) or kill (SIGTERM) ends it as closing the window
# does: settings saved, exit status 0. Signalled once its handler is in place.
for signal in HUP TERM; do
    XDG_CONFIG_HOME="$work/$signal" XDG_DATA_HOME="$work/$signal" QT_QPA_PLATFORM=offscreen \
        "$tenfold" >"$work/out" 2>"$work/err" &
    pid=$! end=$(($(date +%s) + 30))
    until [ $((0x$(sed -n 's/^SigCgt:\s*//p' /proc/$pid/status 2>/dev/null || echo 0) & 0x4001)) = 16385 ]; do
        [ "$(date +%s)" -lt $end ] || { kill -KILL $pid; fail "SIG$signal: never caught"; }
        sleep 0.1
    done
    kill -$signal $pid
    wait $pid
    rc=$?
    [ $rc = 0 ] && grep -q '^Username=Guest' "$work/$signal/tenfold/setup.cfg" ||
        fail "SIG$signal: exit $rc, err: $(cat "$work/err")"
done
echo "cli: --help, --version and the missing display are answered; signals end it cleanly"
