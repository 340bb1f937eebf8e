#!/usr/bin/env bash
# The real vesk binary with xfce4-panel as its tray host: the StatusNotifierItem, its tooltip,
# the one id shared by the panel window, the item and the desktop file, opening and closing the
# panel by icon clicks, outside clicks, hot keys and the command line,
# the double-click menu, and the icon coming back when the panel restarts.
#   headless.sh --tray -- test_tray.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
require_tray_harness

# A next-website combination (Ctrl+Alt+N: key code 45, control|option) set before launch.
mkdir -p "$XDG_CONFIG_HOME/vesk"
printf '[vesk]\nvesk.shortcut.next.v1={"keyCode":45,"modifiers":6144,"label":"⌃⌥ N"}\n' \
  >"$XDG_CONFIG_HOME/vesk/settings.ini"
settings="$XDG_CONFIG_HOME/vesk/settings.ini"
selected() { grep '^vesk.selected.v1=' "$settings" | cut -d= -f2-; }
# Read afresh on every try: the press is handled some time after xdotool returns.
selection_is_not() { [ "$(selected)" != "$1" ]; }

# The clock is drawn before Vesk starts; the icon must then appear left of it.
wait_for 60 find_clock_left || fail "the tray host drew no clock"
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")

step "the icon is registered with the tray host and shows its tooltip"
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(watcher_items)"
tooltip=$(item_tooltip "$vp")
[ "$tooltip" = "Vesk — Ctrl+Alt+Space · Double-click for options" ] || fail "tooltip is '$tooltip'"
wait_for 60 find_tray_icon || fail "no icon drawn in the panel"
echo "icon at $ICON_X,$ICON_Y"
panel_hidden || fail "the panel must not be shown at launch"
# Start-up stays light: the web engine is loaded only when the panel is first shown.
! grep -q libwebkit2gtk "/proc/$vp/maps" || fail "WebKit was loaded before the panel was shown"


step "a click on the icon shows the panel under it, inside the screen, focused"
click_at "$ICON_X" "$ICON_Y"
wait_for 60 panel_shown || fail "the panel did not open"
wait_for 60 grep -q libvesk-panel.so "/proc/$vp/maps" || fail "the panel module was not loaded: $(cat "$VESK_TEST_TMP/vesk.log")"
# The panel module draws without WebKit; the web module brings it in the background.
panel_module=$(grep -o '/[^ ]*/libvesk-panel.so' "/proc/$vp/maps" | head -n1)
! ldd "$panel_module" | grep -q libwebkit2gtk || fail "the panel module needs WebKit"
wait_for 60 grep -q libvesk-web.so "/proc/$vp/maps" || fail "the web module was not loaded: $(cat "$VESK_TEST_TMP/vesk.log")"
wait_for 60 grep -q libwebkit2gtk "/proc/$vp/maps" || fail "the panel has no web engine"
# The web engine runs without its memory-pressure monitor, a thread that would wake vesk every 5 s.
engine_threads() { cat /proc/"$vp"/task/*/comm 2>/dev/null; }
engine_connected() { engine_threads | grep -qx ReceiveQueue; }
wait_for 60 engine_connected || fail "no web engine process was started: $(engine_threads | sort | uniq -c)"
! engine_threads | grep -qx PressureMonitor || fail "the web engine's memory-pressure monitor runs in vesk"
eval "$(xdotool getwindowgeometry --shell "$(panel_window)")"
echo "panel at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$X" -le "$ICON_X" ] && [ "$ICON_X" -le $((X + WIDTH)) ] || fail "the panel is not under the icon"
[ "$Y" -ge 28 ] && [ "$Y" -le $((ICON_Y + 40)) ] || fail "the panel is not right below the tray ($Y)"
[ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 800 ] && [ "$X" -ge 0 ] || fail "the panel leaves the screen"
wait_for 60 panel_focused || fail "the panel has no keyboard focus (active $(active_window), focus $(xdotool getwindowfocus))"
[ -n "${VESK_SCREENSHOT:-}" ] && import -window root "$VESK_SCREENSHOT"

step "the panel window, the tray item and the desktop file carry the same id"
id=io.github.vesk.Vesk
wm_class=$(xprop -id "$(panel_window)" WM_CLASS)
[ "$wm_class" = "WM_CLASS(STRING) = \"$id\", \"$id\"" ] || fail "the panel's $wm_class"
item_id=$(dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$vp-1" /StatusNotifierItem \
  org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Id | sed -n 's/^ *variant *string "\(.*\)"$/\1/p')
[ "$item_id" = "$id" ] || fail "the tray item's Id is '$item_id'"
grep -qx "StartupWMClass=$id" "$here/../../data/$id.desktop" || fail "the desktop file's StartupWMClass is not $id"

step "a click elsewhere hides it"
click_at 300 500
wait_for 60 panel_hidden || fail "an outside click did not hide the panel"

step "a click on the icon while open closes it exactly once"
icon_click_closes_once "$ICON_X" "$ICON_Y"

step "a double click ends with the panel closed and the menu open"
double_click_opens_menu "$ICON_X" "$ICON_Y" "$vp"

step "the show combination toggles the panel"
xdotool key ctrl+alt+space
wait_for 60 panel_shown || fail "Ctrl+Alt+Space did not open the panel"
wait_for 60 panel_focused || fail "the panel opened by key has no focus"
xdotool key ctrl+alt+space
wait_for 60 panel_hidden || fail "Ctrl+Alt+Space did not close the panel"

step "the next-website combination opens the closed panel on the next site"
before=$(selected)
xdotool key ctrl+alt+n
wait_for 60 panel_shown || fail "Ctrl+Alt+N did not open the panel"
wait_for 60 selection_is_not "$before" || fail "the selection did not change ($before)"
second=$(selected)
xdotool key ctrl+alt+n
wait_for 60 selection_is_not "$second" || fail "the second press did not switch the site"
panel_shown || fail "switching with the panel open must keep it open"
xdotool key Escape
wait_for 60 panel_hidden || fail "Escape did not close the panel"

step "the command line acts on the running instance"
timeout 60 "$vesk" --toggle || fail "vesk --toggle failed"
wait_for 60 panel_shown || fail "vesk --toggle did not open the panel"
timeout 60 "$vesk" --toggle || fail "vesk --toggle failed"
wait_for 60 panel_hidden || fail "vesk --toggle did not close the panel"
timeout 60 "$vesk" || fail "a second launch failed"
wait_for 60 panel_shown || fail "a second launch did not show the running panel"
kill -0 "$vp" || fail "the first instance is gone"

step "restarting the tray host brings the icon back"
kill "$VESK_PANEL_PID"
wait_for 60 watcher_gone || fail "the tray host did not stop"
xfce4-panel --disable-wm-check >"$VESK_TEST_TMP/panel2.log" 2>&1 &
pids+=($!)
wait_for 60 item_registered "$vp" || fail "the icon did not come back: $(watcher_items)"
wait_for 60 find_tray_icon || fail "the icon is not drawn after the restart"

step "vesk --quit ends the running instance"
timeout 60 "$vesk" --quit || fail "vesk --quit failed"
wait_for 60 process_gone "$vp" || fail "vesk is still running"

step "SIGTERM ends vesk through its quit path, with the last change in the settings file"
"$vesk" >>"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "the second run registered no icon"
before=$(selected)
timeout 60 "$vesk" --next || fail "vesk --next failed"
kill -TERM "$vp"
wait_for 60 process_gone "$vp" || fail "vesk did not end on SIGTERM"
[ "$(selected)" != "$before" ] || fail "the selection made before SIGTERM was not saved"
echo "all tray checks passed"
