#!/usr/bin/env bash
# Sites that reach the user, in the real vesk with a real notification server (xfce4-notifyd) on
# the test's private bus and xfce4-panel as the tray host. A mail page's title that gains a count
# ("(3) Inbox") while the panel is hidden marks the site: the tray icon's pixmaps, read over the
# StatusNotifierItem's D-Bus, carry the dot, and showing the site takes it away. A page allowed to
# notify that is no longer on screen reaches the desktop: the server gets "Mail — New mail" with
# the page's body and its icon, the site is marked again; a second one under the same tag replaces
# it; a click on the notification's popup shows the panel on that site, whose page hears of the
# click; a notification the page closes goes from the desktop. On X11 keys come from xdotool and
# the panel is hidden before the popup is clicked; in sway (waybar as the tray host, xfce4-notifyd
# a floating window) the desktop's commands (`vesk --toggle`, `vesk --next`) and wl-click do it.
#   headless.sh --tray -- test_notifications.sh path/to/vesk
#   sway.sh -- test_notifications.sh path/to/vesk path/to/wl-click
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1 wl_click=${2:-}
wayland=0
if [ -n "${SWAYSOCK:-}" ]; then
  wayland=1
else
  require_tray_harness
fi
notifyd=$(ls /usr/lib/*/xfce4/notifyd/xfce4-notifyd 2>/dev/null | head -n 1)
[ -x "$notifyd" ] || { echo "SKIP: xfce4-notifyd is not installed"; exit 77; }
shots="$VESK_TEST_TMP/shots"
mkdir -p "$shots"
shot() {
  if [ $wayland -eq 0 ]; then import -window root "$shots/$1.png" 2>/dev/null; else grim "$shots/$1.png"; fi
}
toggle_panel() {
  if [ $wayland -eq 0 ]; then xdotool key ctrl+alt+space; else timeout 20 "$vesk" --toggle; fi
}
next_site() {
  if [ $wayland -eq 0 ]; then xdotool key ctrl+alt+n; else timeout 20 "$vesk" --next; fi
}
click() {
  if [ $wayland -eq 0 ]; then click_at "$1" "$2"; else "$wl_click" "$1" "$2"; fi
}

page_log="$VESK_TEST_TMP/page.log"
python3 "$here/loopback_page.py" >"$page_log" 2>/dev/null &
pids+=($!)
wait_for 60 test -s "$page_log" || fail "the loopback page did not start"
port=$(head -n 1 "$page_log")
page_asked() { grep -qx "$1" "$page_log"; }
# The page was asked for $1 more than $2 times.
page_asked_more() { [ "$(grep -cx "$1" "$page_log")" -gt "$2" ]; }
visible_reports() { grep -cx '/visibility?visible' "$page_log"; }
# On X11 the panel's window is seen; in sway (a layer surface) the page's own reports tell.
shown() { [ $wayland -eq 1 ] || panel_shown; }
hidden() { [ $wayland -eq 1 ] || panel_hidden; }

mail=0F8FAD5B-D9CB-469F-A165-70867728950A other=0F8FAD5B-D9CB-469F-A165-70867728950B
settings="$XDG_CONFIG_HOME/vesk/settings.ini"
mkdir -p "$XDG_CONFIG_HOME/vesk"
# The user allowed the mail page's origin to notify in an earlier run: the stored answer applies.
{
  printf '[vesk]\nvesk.sites.v1=[{"id":"%s","name":"Mail","address":"http://127.0.0.1:%s/mail"},' "$mail" "$port"
  printf '{"id":"%s","name":"Other","address":"http://127.0.0.1:%s/other"}]\n' "$other" "$port"
  printf 'vesk.shortcut.next.v1={"keyCode":45,"modifiers":6144,"label":"⌃⌥ N"}\n'
  printf 'vesk.permissions.v1={"http://127.0.0.1:%s":{"notifications":"allow"}}\n' "$port"
} >"$settings"
selected_is() { grep -qx "vesk.selected.v1=$1" "$settings"; }

# The notification server, and a record of every call made to it. Its popups stay a minute (the
# default, ten seconds, is short for a busy machine).
channels="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
mkdir -p "$channels"
cat >"$channels/xfce4-notifyd.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-notifyd" version="1.0">
  <property name="expire-timeout" type="int" value="60"/>
</channel>
XML
"$notifyd" >"$VESK_TEST_TMP/notifyd.log" 2>&1 &
notifyd_pid=$!
pids+=($notifyd_pid)
wait_for 60 bus_name_owned org.freedesktop.Notifications || fail "xfce4-notifyd did not start"
notices="$VESK_TEST_TMP/notices.log"
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications'" >"$notices" 2>&1 &
pids+=($!)
wait_for 20 test -s "$notices" || fail "dbus-monitor did not start"

step "start vesk"
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=($vp)
wait_for 60 item_registered $vp || fail "the tray item was not registered"
item="org.kde.StatusNotifierItem-$vp-1"
item_property() {
  gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1" 2>/dev/null
}
# The unread dot's red, opaque, in the pixmaps' ARGB.
icon_has_dot() { item_property IconPixmap | grep -q '0xff, 0xf0, 0x61, 0x40'; }
icon_plain() { item_property IconPixmap | grep -q '0xff' && ! icon_has_dot && item_property IconName | grep -q Vesk-symbolic; }
icon_marked() { icon_has_dot && item_property IconName | grep -q "<''>"; }
icon_plain || fail "the icon carries a dot at start"

step "a title count of the hidden mail site marks it"
toggle_panel
wait_for 60 shown || fail "the panel did not open"
wait_for 120 page_asked /mail || fail "the mail page was not loaded"
wait_for 60 page_asked /icon.png || fail "the mail page's icon was not loaded"
toggle_panel
wait_for 60 hidden || fail "the panel did not close"
wait_for 60 page_asked '/visibility?hidden' || fail "the page was not told it is hidden"
wait_for 60 icon_marked || fail "the tray icon has no dot after the hidden site's title got a count"
shot marked
grep -q 'New mail' "$notices" && fail "a notification reached the desktop before the page asked to notify"

step "showing the site clears the mark"
toggle_panel
wait_for 60 shown || fail "the panel did not open again"
wait_for 60 icon_plain || fail "the dot stayed after the site was shown"

# Clicks the mail page's button $1 (1 "Notify me", 2 "Done"; each 200 pixels high, under the
# 43-pixel site bar). In sway the panel is 500 pixels wide at the right edge, under the bar.
click_button() {
  if [ $wayland -eq 1 ]; then
    "$wl_click" 1030 $((34 + 44 + 200 * $1 - 100))
    return
  fi
  local panel
  panel=$(panel_window)
  [ -n "$panel" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  click_at $((X + WIDTH / 2)) $((Y + 44 + 200 * $1 - 100))
}
# The popups of the notification server, one "x y width height" a line.
popups() {
  if [ $wayland -eq 1 ]; then
    swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("app_id") == "xfce4-notifyd" and node.get("visible", True):
        r = node["rect"]
        print(r["x"], r["y"], r["width"], r["height"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
    return
  fi
  local id
  for id in $(xdotool search --onlyvisible --pid "$notifyd_pid" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "$X $Y $WIDTH $HEIGHT"
  done
}
popup_count_is() { [ "$(popups | grep -c .)" -eq "$1" ]; }
notify_calls_are() { [ "$(grep -c 'member=Notify' "$notices")" -eq "$1" ]; }

step "the page asks to notify: the stored answer allows it"
click_button 1
wait_for 60 page_asked '/permission?granted' || fail "the page was not allowed to notify"

step "the mail site notifies while another site is on screen"
next_site
wait_for 60 selected_is "$other" || fail "the next site was not selected"
wait_for 60 notify_calls_are 1 || fail "the notification did not reach the server"
grep -q 'string "Mail — New mail"' "$notices" || fail "the notification is not titled with the site's name: $(cat "$notices")"
# The server reads markup in bodies (xfce4-notifyd says so): the page's text is shown as written.
grep -q 'string "2 messages from Ada &amp; &lt;b&gt;Bo&lt;/b&gt;"' "$notices" ||
  fail "the notification has not the page's body, escaped: $(grep -A6 'member=Notify' "$notices")"
grep -q '"image-data"' "$notices" || fail "the notification has not the site's icon"
grep -q '"default"' "$notices" || fail "the notification has no click action"
wait_for 60 popup_count_is 1 || fail "xfce4-notifyd shows no popup"
wait_for 60 icon_marked || fail "the notifying site was not marked"

step "a notification under the same tag replaces it"
next_site
wait_for 60 selected_is "$mail" || fail "the mail site was not selected again"
wait_for 60 icon_plain || fail "the dot stayed while the mail site is shown"
next_site
wait_for 60 notify_calls_are 2 || fail "the second notification did not reach the server"
wait_for 60 icon_marked || fail "the notifying site was not marked again"
popup_count_is 1 || fail "the second notification did not replace the first: $(popups | grep -c .) popups"

step "a click on the notification shows the panel on the mail site"
hidden_before=$(grep -cx '/visibility?hidden' "$page_log")
toggle_panel
wait_for 60 hidden || fail "the panel did not close"
# The other page is hidden with the panel (in sway the popup may lie under the panel).
wait_for 60 page_asked_more '/visibility?hidden' "$hidden_before" || fail "the other page was not hidden"
shot popup
visible_before=$(visible_reports)
# xfce4-notifyd draws the click action as a button ("Show") at the popup's bottom right corner;
# a click elsewhere on the popup only dismisses it.
read -r x y width height <<<"$(popups | head -n 1)"
click $((x + width - 40)) $((y + height - 25))
wait_for 60 shown || fail "the panel did not open from the notification"
wait_for 60 page_asked_more '/visibility?visible' "$visible_before" || fail "the mail page was not shown"
wait_for 60 selected_is "$mail" || fail "the panel did not open on the notifying site"
wait_for 60 page_asked /clicked || fail "the page did not hear of the click"
wait_for 60 icon_plain || fail "the dot stayed after the notification opened the site"
wait_for 60 popup_count_is 0 || fail "the clicked notification stayed"
shot opened

step "a notification the page closes is taken off the desktop"
next_site
wait_for 60 notify_calls_are 3 || fail "the third notification did not reach the server"
wait_for 60 popup_count_is 1 || fail "xfce4-notifyd shows no popup for the third notification"
next_site
wait_for 60 selected_is "$mail" || fail "the mail site was not selected again"
click_button 2
wait_for 60 page_asked /done || fail "the page's Done button was not clicked"
wait_for 60 popup_count_is 0 || fail "the notification the page closed stayed on the desktop"
grep -q 'member=CloseNotification' "$notices" || fail "no CloseNotification was sent"

step "quit"
timeout 20 "$vesk" --quit
wait_for 60 process_gone $vp || fail "vesk did not quit"
echo "PASS"
