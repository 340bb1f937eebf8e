#!/usr/bin/env bash
# The permission bar in a headless sway session (Vesk's panel a layer surface, clicks from the
# virtual pointer): a loopback page asks to show notifications on a click into it, the bar
# appears above the page, a click on Allow grants it (the page sees "granted") and the answer is
# stored under vesk.permissions.v1.
#   sway.sh -- test_permissions_sway.sh path/to/vesk path/to/typing_server.py path/to/wl-click
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1 server=$2 wl_click=$3
[ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${SWAYSOCK:-}" ] || fail "run me inside tests/harness/sway.sh"
shots=${VESK_SHOTS:-$VESK_TEST_TMP}

start_page_server "$server"
settings="$XDG_CONFIG_HOME/vesk/settings.ini"
mkdir -p "$XDG_CONFIG_HOME/vesk"
printf '[vesk]\nvesk.sites.v1=[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Ask","address":"http://127.0.0.1:%s/ask/notifications"}]\n' \
  "$port" >"$settings"

# The colour at x $1, y $2 ("R G B").
colour_at() { grim -g "$1,$2 1x1" -t ppm - 2>/dev/null | tail -c 3 | od -An -tu1 | tr -s ' ' | sed 's/^ //'; }
# Whether the screen is light (the page's own white or grey) at x $1, y $2.
light_at() { colour_at "$1" "$2" | awk '{ exit !($1 > 230 && $2 > 230 && $3 > 230) }'; }
# The panel is at the top right under the bar (see test_wayland.sh): its page in the middle, the
# bar's Allow button, in the accent colour, at the bar's right end where the page was light.
allow_at() { echo "$((1280 - 45)) $((30 + 66))"; }
page_shown() { light_at 1030 600 && light_at $(allow_at); }
# shellcheck disable=SC2046
bar_shown() { ! light_at $(allow_at) && light_at 1030 600; }

"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(cat "$VESK_TEST_TMP/vesk.log")"

step "a click into the page asks; the bar appears above it"
"$vesk" --toggle
wait_for 60 reported notifications-state || fail "the page did not load: $(cat "$VESK_TEST_TMP/vesk.log")"
[ "$(reported notifications-state)" = default ] || fail "the page reads '$(reported notifications-state)' before asking"
wait_for 60 page_shown || fail "the page is not on screen: $(colour_at 1030 600)"
"$wl_click" 1030 600
wait_for 60 bar_shown || { grim "$shots/sway-nobar.png"; fail "no bar above the page"; }
grim "$shots/sway-bar.png" 2>/dev/null
! reported notifications >/dev/null || fail "the page had an answer before the user gave one"

step "a click on Allow grants it"
# shellcheck disable=SC2046
"$wl_click" $(allow_at)
wait_for 60 reported_is notifications granted || fail "the page saw '$(reported notifications)', not granted"
wait_for 60 grep -q "\"http://127.0.0.1:$port\":{\"notifications\":\"allow\"}" "$settings" ||
  fail "the answer was not stored: $(grep permissions "$settings")"
timeout 20 "$vesk" --quit
wait_for 60 process_gone "$vp" || fail "vesk did not quit"
echo PASS
