#!/usr/bin/env bash
# Website permissions in the real vesk and its web engine: loopback pages ask for a permission on a
# real click; a bar above the page asks "<host> wants to ...", Allow grants and Block refuses (the
# page sees it), the answer is stored under vesk.permissions.v1 and, after a restart, given
# without a bar; Reset permissions on the Websites tab forgets it (the page reads "default" again).
# On X11 with xfce4-panel (clicks from XTest, places read over AT-SPI), and in sway, where the bar
# is found on the screen and clicked through the virtual pointer.
#   headless.sh --tray -- test_permissions.sh path/to/vesk path/to/typing_server.py path/to/atspi-tree
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1 server=$2 atspi_tree=$3
require_tray_harness
start_a11y_bus

shots=${VESK_SHOTS:-$VESK_TEST_TMP}  # where the screenshots go
reports="$VESK_TEST_TMP/reports.txt"
: >"$reports"
# One server, and so one origin, per kind: kind, the user's answer, what the page then sees.
table=(
  "notifications allow granted"
  "location block denied"
  "notifications-on-load allow granted"
)
# (The microphone and the camera are asked for in test_browser_webkit, with the engine's mock
# devices: no capture device can be reached here.)
declare -A port
settings="$XDG_CONFIG_HOME/vesk/settings.ini"
mkdir -p "$XDG_CONFIG_HOME/vesk"
sites=""
n=0
for row in "${table[@]}"; do
  read -r kind _ <<<"$row"
  python3 "$server" "$VESK_TEST_TMP/port-$kind" "$reports" &
  pids+=($!)
  wait_for 20 test -s "$VESK_TEST_TMP/port-$kind" || fail "the page server for $kind did not start"
  port[$kind]=$(cat "$VESK_TEST_TMP/port-$kind")
  n=$((n + 1))
  sites+="${sites:+,}{\"id\":\"0F8FAD5B-D9CB-469F-A165-7086772895$((10 + n))\",\"name\":\"Ask $kind\",\"address\":\"http://127.0.0.1:${port[$kind]}/ask/$kind\"}"
done
printf '[vesk]\nvesk.sites.v1=[%s]\n' "$sites" >"$settings"

tree="$VESK_TEST_TMP/tree.txt"
read_tree() { "$atspi_tree" "$vp" >"$tree" 2>/dev/null; }
bar_says() { read_tree && grep -qF "label|$1|showing" "$tree"; }
no_bar() { read_tree && ! grep -qE '\|(Allow|Block)\|showing$' "$tree"; }
# Clicks the showing control named $1 where AT-SPI says it is.
click_named() {
  local where
  where=$("$atspi_tree" --where "$1" "$vp") || return 1
  # shellcheck disable=SC2086 # "X Y"
  click_at $where
}
# Clicks into the middle of the page (its one large button).
click_page() {
  local geometry x y w h
  geometry=$(xdotool getwindowgeometry --shell "$(panel_window)") || return 1
  eval "$geometry"
  x=$((X + WIDTH / 2)) y=$((Y + HEIGHT / 2))
  click_at "$x" "$y"
}

start_vesk() {
  "${with_a11y[@]}" "$vesk" >>"$VESK_TEST_TMP/vesk.log" 2>&1 &
  vp=$!
  pids+=("$vp")
  wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(cat "$VESK_TEST_TMP/vesk.log")"
  wait_for 60 "$atspi_tree" "$vp" 1 || fail "vesk is not on the accessibility bus"
}
stop_vesk() {
  timeout 20 "$vesk" --quit
  wait_for 60 process_gone "$vp" || fail "vesk did not quit"
}
# Shows the site of $1 (the sites are in table order; the first is shown first).
show_site() {
  if [ "$1" = 0 ]; then
    timeout 20 "$vesk" --toggle
  else
    timeout 20 "$vesk" --next
  fi
  wait_for 60 panel_shown || fail "the panel did not open"
}

step "each page's request waits in a bar until the user answers; the page sees the answer"
start_vesk
i=0
for row in "${table[@]}"; do
  read -r kind answer expected <<<"$row"
  show_site $i
  i=$((i + 1))
  wait_for 60 reported "$kind-state" || fail "page $kind did not load: $(cat "$VESK_TEST_TMP/vesk.log")"
  echo "$kind reads '$(reported "$kind-state")' before asking"
  host="127.0.0.1:${port[$kind]}"
  case $kind in
    notifications*) question="$host wants to show notifications" ;;
    location) question="$host wants to know your location" ;;
  esac
  # A page that asks while it loads gets the bar without a click.
  [ "$kind" = "${kind%-on-load}" ] && { click_page || fail "no panel to click into"; }
  wait_for 60 bar_says "$question" || fail "$kind: no bar saying '$question': $(grep -E 'label' "$tree")"
  ! reported "$kind" >/dev/null || fail "$kind: the page had an answer before the user gave one: $(reported "$kind")"
  import -window root "$shots/bar-$kind.png"
  # Both buttons are named as they read.
  grep -qE '^ *push button\|Allow\|showing$' "$tree" && grep -qE '^ *push button\|Block\|showing$' "$tree" ||
    fail "the bar's buttons are not named: $(grep 'push button' "$tree")"
  [ "$answer" = allow ] && button=Allow || button=Block
  click_named "$button" || fail "no $button button to click"
  wait_for 60 reported_is "$kind" "$expected" || fail "$kind: the page saw '$(reported "$kind")', not '$expected'"
  wait_for 60 no_bar || fail "$kind: the bar stayed after the answer"
  stored="\"http://$host\":{\"${kind%-on-load}\":\"$answer\"}"
  grep -q "^vesk.permissions.v1=.*$stored" "$settings" || wait_for 60 grep -q "$stored" "$settings" ||
    fail "$kind: the answer was not stored: $(grep permissions "$settings")"
  echo "$kind: $button, the page saw '$expected'"
done
stop_vesk
# The first site is shown first again.
sed -i '/^vesk.selected.v1=/d' "$settings"

step "after a restart the stored answers are given without a bar"
forget_reports
start_vesk
i=0
for row in "${table[@]}"; do
  read -r kind answer expected <<<"$row"
  show_site $i
  i=$((i + 1))
  wait_for 60 reported "$kind-state" || fail "page $kind did not load after the restart"
  state=$(reported "$kind-state")
  if [ "${kind%-on-load}" = notifications ]; then
    [ "$state" = granted ] || fail "notifications read '$state' after the restart, not granted"
  fi
  click_page || fail "no panel to click into"
  wait_for 60 reported_is "$kind" "$expected" || fail "$kind after the restart: '$(reported "$kind")', not '$expected'"
  no_bar || fail "$kind: a bar asked again after the restart"
  echo "$kind: '$expected' at once, reads '$state'"
done

step "Reset permissions forgets the answer: the page reads 'default' again"
timeout 20 "$vesk" --settings
wait_for 60 click_named "Websites" || fail "no Websites tab"
wait_for 60 bar_says "Allowed: notifications" || fail "the Websites tab lists no answers: $(grep label "$tree")"
grep -qF "label|Blocked: location|showing" "$tree" || fail "the location answer is not listed"
import -window root "$shots/websites-tab.png"
click_named "Reset the permissions of Ask notifications" || fail "no Reset permissions button"
wait_for 60 bash -c "! grep -q '${port[notifications]}\":{\"notifications' '$settings'" || fail "the answer is still stored"
grep -q "location\":\"block" "$settings" || fail "another site's answer went too"
timeout 20 "$vesk" --toggle
wait_for 60 panel_hidden || fail "the panel did not close"
timeout 20 "$vesk" --next  # the first site again, after the last
wait_for 60 panel_shown || fail "the panel did not open"
forget_reports
click_named "Reload" || fail "no Reload button"
wait_for 60 reported "notifications-state" || fail "the notifications page did not reload"
[ "$(reported notifications-state)" = default ] || fail "after Reset the page reads '$(reported notifications-state)'"
echo "after Reset: 'default'"

step "the site editor sets an answer by hand (Allow, then Ask); a reload applies it"
# choose ANSWER READS: picks the answer in the site's editor, shows the site again and reloads it.
choose() {
  timeout 20 "$vesk" --settings
  wait_for 60 click_named "Websites" || fail "no Websites tab"
  wait_for 60 click_named "Edit Ask notifications" || click_named "Notifications: $1" || fail "no site editor"
  wait_for 60 click_named "Notifications: $1" || fail "no '$1' in the site editor: $(grep -E 'radio|label' "$tree")"
  import -window root "$shots/site-editor-$1.png"
  timeout 20 "$vesk" --toggle
  wait_for 60 panel_hidden || fail "the panel did not close"
  timeout 20 "$vesk" --previous && timeout 20 "$vesk" --next  # the first site again
  wait_for 60 panel_shown || fail "the panel did not open"
  forget_reports
  click_named "Reload" || fail "no Reload button"
  wait_for 60 reported "notifications-state" || fail "the notifications page did not reload"
  [ "$(reported notifications-state)" = "$2" ] || fail "after '$1' the page reads '$(reported notifications-state)'"
}
choose Allow granted
grep -q "${port[notifications]}\":{\"notifications\":\"allow" "$settings" || fail "Allow was not stored"
choose Ask default
! grep -q "${port[notifications]}\":{" "$settings" || fail "Ask left an answer stored"
click_page
wait_for 60 bar_says "127.0.0.1:${port[notifications]} wants to show notifications" || fail "no bar after Reset"
echo "the editor's answers apply at the next reload, and after Ask the page asks again"
stop_vesk
echo "PASS"
