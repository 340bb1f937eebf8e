#!/usr/bin/env bash
# The real vesk binary on a desktop without any tray (a window manager, no tray host): once the
# grace time has passed it says, once on standard error and once in a desktop notification, how
# to open the panel; `vesk --toggle` still opens it.
#   headless.sh --wm -- test_no_tray.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
[ -n "${DISPLAY:-}" ] || fail "run me inside tests/harness/headless.sh --wm"

# The notification request as the bus carries it (nothing serves it on the test's bus).
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications'" \
  >"$VESK_TEST_TMP/notify.log" 2>&1 &
pids+=($!)
# Once it is a monitor the bus takes its unique name away again (NameLost).
wait_for 60 grep -q member=NameLost "$VESK_TEST_TMP/notify.log" || fail "dbus-monitor did not start: $(cat "$VESK_TEST_TMP/notify.log")"
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")

said() { grep -q 'no system tray was found' "$VESK_TEST_TMP/vesk.log"; }
notified() { grep -q 'member=Notify' "$VESK_TEST_TMP/notify.log"; }
step "Vesk says on standard error and in a notification how to open the panel"
wait_for 60 said || fail "nothing said: $(cat "$VESK_TEST_TMP/vesk.log")"
wait_for 60 notified || fail "no notification: $(cat "$VESK_TEST_TMP/notify.log")"
grep -q 'vesk --toggle' "$VESK_TEST_TMP/notify.log" || fail "the notification does not name vesk --toggle"
grep -q 'vesk --toggle' "$VESK_TEST_TMP/vesk.log" || fail "standard error does not name vesk --toggle"

step "the panel still opens with vesk --toggle, and nothing is said twice"
"$vesk" --toggle
wait_for 60 panel_shown || fail "vesk --toggle did not open the panel"
# Nothing to wait for when nothing may happen: a second notice would come with the show.
sleep 1
[ "$(grep -c 'no system tray was found' "$VESK_TEST_TMP/vesk.log")" = 1 ] || fail "said more than once"
[ "$(grep -c 'member=Notify' "$VESK_TEST_TMP/notify.log")" = 1 ] || fail "notified more than once"
echo "PASS"
