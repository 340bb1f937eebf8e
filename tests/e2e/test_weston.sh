#!/usr/bin/env bash
# The real vesk binary on weston, a Wayland compositor without layer surfaces (headless, no
# Xwayland): it starts and opens its panel as an ordinary window without a warning on standard
# error (gtk-layer-shell warns when asked about a compositor without them).
#   headless.sh -- test_weston.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
command -v weston >/dev/null || { echo "weston is not installed: skipped"; exit 77; }
[ -n "${VESK_TEST_TMP:-}" ] || fail "run me inside tests/harness/headless.sh"

runtime="$VESK_TEST_TMP/weston-runtime"
mkdir -p "$runtime" && chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
weston --backend=headless-backend.so --socket=vesk-weston --idle-time=0 >"$VESK_TEST_TMP/weston.log" 2>&1 &
pids+=($!)
wait_for 60 test -S "$runtime/vesk-weston" || fail "weston did not start: $(cat "$VESK_TEST_TMP/weston.log")"
# Only the Wayland display: Vesk must not fall back to the harness's X server.
unset DISPLAY GDK_BACKEND
export WAYLAND_DISPLAY=vesk-weston

# One loopback site on a closed port: the panel shows its error card, nothing leaves the machine.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$XDG_CONFIG_HOME/vesk"
printf '[vesk]\nvesk.sites.v1=[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Here","address":"http://127.0.0.1:%s/"}]\n' \
  "$closed_port" >"$XDG_CONFIG_HOME/vesk/settings.ini"

step "vesk starts on weston and opens its panel"
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")
app_running() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:io.github.vesk.Vesk 2>/dev/null | grep -q 'boolean true'
}
wait_for 60 app_running || fail "vesk did not start: $(cat "$VESK_TEST_TMP/vesk.log")"
# The primary instance has shown the panel when this returns.
"$vesk" --toggle || fail "vesk --toggle failed"
kill -0 "$vp" 2>/dev/null || fail "vesk stopped: $(cat "$VESK_TEST_TMP/vesk.log")"

step "nothing warned on standard error"
# Vesk's own process; its web process may complain that the test's bus has no desktop portal.
# GTK itself complains (a CRITICAL, not a warning) that headless weston has no seat: it has no
# input devices at all, which no real session lacks.
if grep -E 'WARNING|Layer Shell' "$VESK_TEST_TMP/vesk.log" | grep -v WebKitWebProcess; then
  fail "vesk warned on weston"
fi
echo "PASS"
