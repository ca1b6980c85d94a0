#!/bin/sh
# Runs the keyring test against a real Secret Service: a gnome-keyring-daemon
# with a new, unlocked login keyring, on a session bus of its own that starts
# no service by itself. Each case gets its own bus: a keyring that is there,
# one that is missing, and one that holds the name and never answers.
# Skipped (77) where dbus-run-session, gnome-keyring-daemon or secret-tool is missing.
# Usage: keyring.sh TEST [ARG...]
set -u
if [ "${1:-}" = --inside ]; then
    mode=$2
    shift 2
    daemon=
    if [ "$mode" != missing ]; then
        printf pw | gnome-keyring-daemon --foreground --unlock --components=secrets \
            >"$XDG_RUNTIME_DIR/daemon.log" 2>&1 &
        daemon=$!
        tries=0
        until dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
            grep -q true; do
            tries=$((tries + 1))
            if [ $tries -gt 100 ] || ! kill -0 $daemon 2>/dev/null; then
                cat "$XDG_RUNTIME_DIR/daemon.log"
                echo "keyring: gnome-keyring-daemon did not start" >&2
                exit 1
            fi
            sleep 0.1
        done
        # A stopped daemon keeps its name and never answers.
        [ "$mode" = silent ] && kill -STOP $daemon
    fi
    "$@"
    status=$?
    [ -n "$daemon" ] && { kill -KILL $daemon; wait $daemon; } 2>/dev/null
    exit $status
fi

for tool in dbus-run-session gnome-keyring-daemon secret-tool dbus-send; do
    command -v $tool >/dev/null 2>&1 || { echo "keyring: no $tool here: skipped"; exit 77; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$dir</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
status=0
for mode in real missing silent; do
    rm -rf "$dir/home" && mkdir -m 700 "$dir/home" "$dir/home/run" || exit 1
    # The keyrings are kept under XDG_DATA_HOME; KDE's desktop would pick KWallet.
    env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION HOME="$dir/home" \
        XDG_DATA_HOME="$dir/home/data" XDG_RUNTIME_DIR="$dir/home/run" \
        TENFOLD_TEST_KEYRING=$mode \
        dbus-run-session --config-file="$dir/bus.conf" -- sh "$0" --inside $mode "$@" || status=1
done
exit $status
