#!/usr/bin/env bash
# The real vesk binary in a headless sway session with waybar as its tray host: the icon
# registers, `vesk --toggle` shows the panel as a layer surface at the top right under the bar
# (no window of its own in sway's tree), keys typed reach it, clicks inside it (its loopback
# page, a toolbar button, a settings tab) reach it and leave it open, clicks on the icon toggle it, a
# click elsewhere closes it, and a double click on the icon opens the menu from a window of
# Vesk's (not a window of its own), closed by a click elsewhere and by Escape. With DISPLAY set (sway's
# Xwayland) the same holds: Vesk still chooses the layer surface, as sway ignores where X11
# windows ask to be; made to use X11 (GDK_BACKEND=x11), its menu opens below the bar (where sway
# says the bar leaves room), closes on Escape and its "Settings…" opens the settings; a click on
# the bar closes the panel.
#   sway.sh [--xwayland] -- test_wayland.sh path/to/vesk path/to/wl-click
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
wl_click=$2
[ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${SWAYSOCK:-}" ] || fail "run me inside tests/harness/sway.sh"
shots="$VESK_TEST_TMP/shots"
mkdir -p "$shots"

shot() { grim "$shots/$1.png" 2>/dev/null; }
# What changed since picture $1 in the right part of the screen (x from 600, where the bar's tray,
# the panel and the menu are; the other application's window is left of it) as "x y width
# height" in screen coordinates, or nothing when that part is as it was.
changed_box() {
  grim "$shots/now.png" 2>/dev/null || return 1
  # The bar's clock (its right end) is painted over in both: it may tick between the two.
  convert "$shots/$1.png" "$shots/now.png" -fill black -draw "rectangle 1215,0 1279,29" \
    -crop 680x800+600+0 +repage -compose difference -composite \
    -colorspace gray -threshold 3% -format '%@' info: 2>/dev/null |
    sed -nE 's/^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$/\3 \4 \1 \2/p' | awk '$3 > 0 { print $1 + 600, $2, $3, $4 }'
}
# The screen differs from picture $1 over at least a panel's area / over nothing but the clock.
panel_drawn() {
  local box
  box=$(changed_box "$1")
  read -r BOX_X BOX_Y BOX_W BOX_H <<<"$box"
  [ -n "$box" ] && [ "${BOX_W:-0}" -ge 300 ] && [ "${BOX_H:-0}" -ge 400 ]
}
big_area_drawn() {
  local box
  box=$(changed_box "$1")
  read -r BOX_X BOX_Y BOX_W BOX_H <<<"$box"
  [ -n "$box" ] && [ "${BOX_W:-0}" -ge 60 ] && [ "${BOX_H:-0}" -ge 30 ]
}
nothing_drawn() {
  local box
  box=$(changed_box "$1")
  read -r BOX_X BOX_Y BOX_W BOX_H <<<"$box"
  # The bar's clock may tick: changes inside the bar strip do not count.
  [ -z "$box" ] || [ $((BOX_Y + BOX_H)) -le 30 ]
}
# Waits until the right part of the screen stops changing (two pictures a moment apart agree, the
# clock aside) and keeps what it shows as picture $1: a bar, icon, panel or menu still being drawn
# on a busy machine is not taken for the finished picture.
settled_as() {
  shot settling && sleep 0.3 && [ -z "$(changed_box settling)" ] && cp "$shots/now.png" "$shots/$1.png"
}
settle() { wait_for 60 settled_as "$1" || fail "the screen never stopped changing"; }
no_vesk_view() { ! swaymsg -t get_tree | grep -qiE '"(app_id|class)": "io.github.vesk'; }

# One site: a loopback page that reports the clicks it gets.
page_log="$VESK_TEST_TMP/page.log"
python3 "$here/loopback_page.py" >"$page_log" 2>/dev/null &
pids+=($!)
wait_for 60 test -s "$page_log" || fail "the loopback page did not start"
mkdir -p "$XDG_CONFIG_HOME/vesk"
printf '[vesk]\nvesk.sites.v1=[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Here","address":"http://127.0.0.1:%s/"}]\n' \
  "$(head -n 1 "$page_log")" >"$XDG_CONFIG_HOME/vesk/settings.ini"
# page_asked PATH COUNT: the page was asked for PATH at least COUNT times.
page_asked() { [ "$(grep -cx "$1" "$page_log")" -ge "$2" ]; }

# The headless seat has no keyboard of its own: a virtual one stays plugged in, as a real
# keyboard would, so that keyboard focus is given (and seen) before anything is typed.
wtype -s 3600000 &
pids+=($!)
settle empty
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")

step "the icon is registered with waybar's tray"
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(watcher_items) $(cat "$VESK_TEST_TMP/vesk.log")"
# The icon is what the bar gained since Vesk started.
icon_drawn() {
  local box
  box=$(changed_box empty)
  read -r BOX_X BOX_Y BOX_W BOX_H <<<"$box"
  [ -n "$box" ] && [ $((BOX_Y + BOX_H)) -le 30 ]
}
wait_for 60 icon_drawn || fail "waybar drew no icon (changed: $(changed_box empty))"
settle before
icon_drawn || fail "the icon went away"
icon=$((BOX_X + BOX_W / 2))
echo "icon at $icon,15"
[ -n "${VESK_SCREENSHOT_DIR:-}" ] && cp "$shots/before.png" "$VESK_SCREENSHOT_DIR/wayland-icon.png"

step "vesk --toggle shows the panel as a layer surface at the top right, under the bar"
"$vesk" --toggle
wait_for 60 panel_drawn before || fail "no panel drawn (changed: $(changed_box before)): $(cat "$VESK_TEST_TMP/vesk.log")"
settle panel
panel_drawn before
echo "panel drawn at $BOX_X,$BOX_Y size ${BOX_W}x$BOX_H"
[ $((BOX_X + BOX_W)) -ge 1275 ] || fail "the panel is not at the right edge"
[ "$BOX_Y" -ge 30 ] && [ "$BOX_Y" -le 40 ] || fail "the panel is not right under the bar (y $BOX_Y)"
no_vesk_view || fail "the panel is a window of its own: $(swaymsg -t get_tree)"
[ -n "${VESK_SCREENSHOT_DIR:-}" ] && cp "$shots/now.png" "$VESK_SCREENSHOT_DIR/wayland-panel.png"

step "keys typed reach the panel (Escape closes it)"
wtype -k Escape
wait_for 60 nothing_drawn before || fail "Escape did not reach the panel"

step "clicks inside the panel reach what they click and leave it open"
"$vesk" --toggle
wait_for 60 panel_drawn before || fail "the panel did not open again"
wait_for 60 page_asked / 1 || fail "the page was never loaded: $(cat "$page_log")"
settle clicked
panel_drawn before
left=$BOX_X top=$BOX_Y right=$((BOX_X + BOX_W)) bottom=$((BOX_Y + BOX_H))
# The screen changed since the picture taken before the last click.
redrawn() { [ -n "$(changed_box clicked)" ]; }
# What is clicked | where (x y) | what shows that the click arrived.
clicks=(
  "the page's button|$((left + 250)) $((top + 250))|page_asked /pressed 1"
  "the toolbar's reload button|$((left + 107)) $((bottom - 21))|page_asked / 2"
  "the settings button|$((right - 26)) $((top + 21))|redrawn"
  "the Keys tab|$((left + 250)) $((top + 156))|redrawn"
)
for row in "${clicks[@]}"; do
  IFS='|' read -r what where arrived <<<"$row"
  # shellcheck disable=SC2086 # $where is "x y", $arrived a command with its arguments
  "$wl_click" $where
  # shellcheck disable=SC2086
  wait_for 60 $arrived || fail "the click on $what did not reach it (page asked: $(tr '\n' ' ' <"$page_log"))"
  panel_drawn before || fail "the click on $what closed the panel"
  settle clicked
done
[ -n "${VESK_SCREENSHOT_DIR:-}" ] && cp "$shots/clicked.png" "$VESK_SCREENSHOT_DIR/wayland-settings.png"
"$vesk" --toggle
wait_for 60 nothing_drawn before || fail "vesk --toggle did not close the panel"

step "a click on the icon opens the panel at the top right, and the next one closes it exactly once"
# waybar reports clicks at positions inside its bar, as (10, 15): not screen positions.
"$wl_click" "$icon" 15
wait_for 60 panel_drawn before || fail "the icon click did not open the whole panel"
[ $((BOX_X + BOX_W)) -ge 1275 ] && [ "$BOX_Y" -ge 30 ] || fail "the panel is not at the top right ($BOX_X,$BOX_Y)"
pause_between_clicks
"$wl_click" "$icon" 15
wait_for 60 nothing_drawn before || fail "a click on the icon did not close the panel"
# Nothing to wait for when nothing may happen: a panel reopened by the same click would be back
# within this pause.
pause_between_clicks
nothing_drawn before || fail "the icon click closed the panel and opened it again"

step "a click elsewhere closes the panel"
"$vesk" --toggle
wait_for 60 panel_drawn before || fail "the panel did not open again"
"$wl_click" 150 350
wait_for 60 nothing_drawn before || fail "a click elsewhere did not close the panel"

step "a double click opens the menu at the top right from a window of Vesk's; a click elsewhere closes it"
pause_between_clicks
"$wl_click" "$icon" 15 2
wait_for 60 big_area_drawn before || fail "no menu after a double click: $(cat "$VESK_TEST_TMP/vesk.log")"
settle menu
big_area_drawn before
echo "menu drawn at $BOX_X,$BOX_Y size ${BOX_W}x$BOX_H"
[ "$BOX_H" -lt 300 ] || fail "the panel opened instead of the menu"
[ $((BOX_X + BOX_W)) -ge 1200 ] && [ "$BOX_Y" -ge 25 ] || fail "the menu is not at the top right"
no_vesk_view || fail "the menu is a window of its own: $(swaymsg -t get_tree)"
[ -n "${VESK_SCREENSHOT_DIR:-}" ] && cp "$shots/now.png" "$VESK_SCREENSHOT_DIR/wayland-menu.png"
"$wl_click" 150 350
wait_for 60 nothing_drawn before || fail "a click elsewhere did not close the menu"

step "the menu has the keyboard: Escape closes it"
pause_between_clicks
"$wl_click" "$icon" 15 2
wait_for 60 big_area_drawn before || fail "no menu after a second double click"
settle menu
wtype -k Escape
wait_for 60 nothing_drawn before || fail "Escape did not close the menu"

kill -0 "$vp" 2>/dev/null || fail "vesk stopped: $(cat "$VESK_TEST_TMP/vesk.log")"
grep -q "no system tray" "$VESK_TEST_TMP/vesk.log" && fail "Vesk said it has no tray while waybar hosts it"

if [ -n "${DISPLAY:-}" ]; then
  step "made to use X11 through Xwayland, Vesk's menu opens below the bar and closes on Escape"
  kill "$vp"
  wait "$vp" 2>/dev/null
  GDK_BACKEND=x11 "$vesk" >"$VESK_TEST_TMP/vesk-x11.log" 2>&1 &
  vp=$!
  pids+=("$vp")
  wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem over X11: $(cat "$VESK_TEST_TMP/vesk-x11.log")"
  settle before
  "$wl_click" "$icon" 15 2
  wait_for 60 big_area_drawn before || fail "no menu over X11 after a double click"
  settle menu
  big_area_drawn before
  echo "menu over X11 drawn at $BOX_X,$BOX_Y size ${BOX_W}x$BOX_H"
  # Under the bar, all of it: at the top of the screen its first item, "Settings…", was behind the bar.
  [ "$BOX_Y" -ge 28 ] || fail "the menu over X11 is behind the bar (y $BOX_Y)"
  [ -n "${VESK_SCREENSHOT_DIR:-}" ] && cp "$shots/now.png" "$VESK_SCREENSHOT_DIR/wayland-x11-menu.png"
  wtype -k Escape
  wait_for 60 nothing_drawn before || fail "Escape did not close the menu over X11"

  step "over X11, the menu's first item opens the settings"
  pause_between_clicks
  "$wl_click" "$icon" 15 2
  wait_for 60 big_area_drawn before || fail "no menu over X11 after a second double click"
  settle menu
  big_area_drawn before
  "$wl_click" $((BOX_X + BOX_W / 2)) $((BOX_Y + 16))
  # sway centres the X11 panel: only its right part is in the compared area.
  tall_area_drawn() { big_area_drawn "$1" && [ "$BOX_H" -ge 400 ]; }
  wait_for 60 tall_area_drawn before || fail "Settings… did not open the panel over X11"

  step "over X11, a click on the bar closes the panel"
  settle panel
  "$wl_click" 700 15
  wait_for 60 nothing_drawn before || fail "a click on the bar did not close the panel over X11"
fi
echo "PASS"
