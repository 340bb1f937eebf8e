#!/usr/bin/env bash
# Sites that reach the user, in the real vesk with a real notification server (xfce4-notifyd) on
# the test's private bus and xfce4-panel as the tray host. A mail page's title that gains a count
# ("(3) Inbox") while the panel is hidden marks the site: the tray icon's pixmaps, read over the
# StatusNotifierItem's D-Bus, carry the dot, and showing the site takes it away. A page allowed to
# notify that is no longer on screen reaches the desktop: the server gets "Mail — New mail" with
# the page's body and its icon, the site is marked again, and a click on the notification's popup
# shows the panel on that site, whose page hears of the click.
#   headless.sh --tray -- test_notifications.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
require_tray_harness
notifyd=$(ls /usr/lib/*/xfce4/notifyd/xfce4-notifyd 2>/dev/null | head -n 1)
[ -x "$notifyd" ] || { echo "SKIP: xfce4-notifyd is not installed"; exit 77; }
shots="$VESK_TEST_TMP/shots"
mkdir -p "$shots"
shot() { import -window root "$shots/$1.png" 2>/dev/null; }

page_log="$VESK_TEST_TMP/page.log"
python3 "$here/loopback_page.py" >"$page_log" 2>/dev/null &
pids+=($!)
wait_for 60 test -s "$page_log" || fail "the loopback page did not start"
port=$(head -n 1 "$page_log")
page_asked() { grep -qx "$1" "$page_log"; }

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

# The notification server, and a record of every notification sent to it.
"$notifyd" >"$VESK_TEST_TMP/notifyd.log" 2>&1 &
notifyd_pid=$!
pids+=($notifyd_pid)
wait_for 60 bus_name_owned org.freedesktop.Notifications || fail "xfce4-notifyd did not start"
notices="$VESK_TEST_TMP/notices.log"
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$notices" 2>&1 &
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
xdotool key ctrl+alt+space
wait_for 60 panel_shown || fail "the panel did not open"
wait_for 120 page_asked /mail || fail "the mail page was not loaded"
wait_for 60 page_asked /icon.png || fail "the mail page's icon was not loaded"
xdotool key ctrl+alt+space
wait_for 60 panel_hidden || fail "the panel did not close"
wait_for 60 page_asked '/visibility?hidden' || fail "the page was not told it is hidden"
wait_for 60 icon_marked || fail "the tray icon has no dot after the hidden site's title got a count"
shot marked
grep -q 'New mail' "$notices" && fail "a notification reached the desktop before the page asked to notify"

step "showing the site clears the mark"
xdotool key ctrl+alt+space
wait_for 60 panel_shown || fail "the panel did not open again"
wait_for 60 icon_plain || fail "the dot stayed after the site was shown"

# Permission to notify: asked by the page on a click, answered by the stored answer.
allow_notifications() {
  local panel geometry
  panel=$(panel_window)
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  click_at $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  wait_for 60 page_asked '/permission?granted' || return 1
}

step "the page is allowed to notify"
allow_notifications || fail "the page was not allowed to notify"

step "the mail site notifies while another site is on screen"
xdotool key ctrl+alt+n
wait_for 60 selected_is "$other" || fail "the next site was not selected"
wait_for 60 page_asked '/other' || fail "the other page was not loaded"
wait_for 60 grep -q 'New mail' "$notices" || fail "the notification did not reach the server"
grep -A12 'New mail' "$notices" >"$VESK_TEST_TMP/notice.txt"
grep -B12 'New mail' "$notices" >>"$VESK_TEST_TMP/notice.txt"
grep -q 'string "Mail — New mail"' "$notices" || fail "the notification is not titled with the site's name: $(cat "$notices")"
grep -q 'string "2 messages from Ada"' "$notices" || fail "the notification has not the page's body"
grep -q '"image-data"' "$notices" || fail "the notification has not the site's icon"
grep -q '"default"' "$notices" || fail "the notification has no click action"
wait_for 60 icon_marked || fail "the notifying site was not marked"

step "a click on the notification shows the panel on the mail site"
xdotool key ctrl+alt+space
wait_for 60 panel_hidden || fail "the panel did not close"
popup_window() { xdotool search --onlyvisible --pid "$notifyd_pid" 2>/dev/null | head -n 1; }
wait_for 60 popup_window || fail "xfce4-notifyd shows no popup"
shot popup
# xfce4-notifyd draws the click action as a button ("Show") at the popup's bottom right corner;
# a click elsewhere on the popup only dismisses it.
eval "$(xdotool getwindowgeometry --shell "$(popup_window)")"
click_at $((X + WIDTH - 40)) $((Y + HEIGHT - 25))
wait_for 60 panel_shown || fail "the panel did not open from the notification"
wait_for 60 selected_is "$mail" || fail "the panel did not open on the notifying site"
wait_for 60 page_asked /clicked || fail "the page did not hear of the click"
wait_for 60 icon_plain || fail "the dot stayed after the notification opened the site"
shot opened

step "quit"
timeout 20 "$vesk" --quit
wait_for 60 process_gone $vp || fail "vesk did not quit"
echo "PASS"
