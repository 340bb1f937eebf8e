#!/usr/bin/env bash
# With no StatusNotifierWatcher on the bus, vesk falls back to an XEmbed tray icon: it docks into
# an XEmbed-only tray (trayer) and opens, closes and offers its menu from there.
#   headless.sh --wm -- test_xembed.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
command -v trayer >/dev/null || fail "trayer (an XEmbed tray host) is not installed: bash scripts/install-deps.sh"
watcher_gone || fail "a StatusNotifierWatcher is running; run me under headless.sh --wm without --tray"

trayer --edge top --align right --widthtype request --height 28 --SetDockType true --SetPartialStrut true \
  >"$VESK_TEST_TMP/trayer.log" 2>&1 &
pids+=($!)
# trayer is ready once its window (named "panel") is there.
wait_for 60 xdotool search --name '^panel$' || fail "trayer did not start: $(cat "$VESK_TEST_TMP/trayer.log")"

"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")

# The docked icon: a window of vesk that announces XEmbed and sits inside the tray.
icon_window() { window_with "--pid $vp" _XEMBED_INFO "= 0x"; }

step "the XEmbed icon docks into the tray"
wait_for 60 icon_window || fail "no docked XEmbed icon"
icon=$(icon_window)
eval "$(xdotool getwindowgeometry --shell "$icon")"
icon_x=$((X + WIDTH / 2)) icon_y=$((Y + HEIGHT / 2))
echo "icon at $icon_x,$icon_y (${WIDTH}x$HEIGHT)"
[ "$Y" -lt 28 ] || fail "the icon is not in the tray at the top ($Y)"
[ -n "${VESK_SCREENSHOT:-}" ] && import -window root "$VESK_SCREENSHOT"


step "hovering the icon shows its tooltip"
tooltip_window() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$vp" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP && return 0
  done
  return 1
}
xdotool mousemove "$icon_x" "$icon_y"
wait_for 60 tooltip_window || fail "no tooltip over the icon"
xdotool mousemove 600 600

step "a click on the icon opens the panel under it, focused"
click_at "$icon_x" "$icon_y"
wait_for 60 panel_shown || fail "the panel did not open"
# The panel's window, under the icon (looked up again until the window manager has placed it).
panel_under_icon() {
  local panel
  panel=$(panel_window)
  [ -n "$panel" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  [ "$X" -le "$icon_x" ] && [ "$icon_x" -le $((X + WIDTH)) ] && [ "$Y" -ge "$icon_y" ]
}
wait_for 60 panel_under_icon || fail "the panel is not under the icon (shown: $(panel_window))"
wait_for 60 panel_focused || fail "the panel has no focus"

step "a click elsewhere hides it; a click on the icon while open closes it once"
click_at 300 500
wait_for 60 panel_hidden || fail "an outside click did not hide the panel"
icon_click_closes_once "$icon_x" "$icon_y"

step "a double click ends with the panel closed and the menu open; right click opens the menu"
double_click_opens_menu "$icon_x" "$icon_y" "$vp"
pause_between_clicks
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for 60 menu_window "$vp" || fail "no menu on right click"
xdotool key Escape
echo "all XEmbed checks passed"
