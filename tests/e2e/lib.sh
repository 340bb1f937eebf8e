# Helpers for the end-to-end tests: they drive the real vesk binary on the headless desktop
# (tests/harness/headless.sh) with xdotool and read its state from X11 and D-Bus.

source "$(dirname "${BASH_SOURCE[0]}")/../harness/wait_ready.sh"  # bus_name_owned

# Processes a script starts go into `pids`; they are stopped when the script exits.
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
}
trap cleanup EXIT
step() { echo "--- $*"; }

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Stops a script that is not running inside `headless.sh --tray` (a display and a tray host).
require_tray_harness() {
  [ -n "${DISPLAY:-}" ] && [ -n "${VESK_PANEL_PID:-}" ] || fail "run me inside tests/harness/headless.sh --tray"
}

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds or SECONDS have passed.
wait_for() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  while ! "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

watcher_items() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems 2>/dev/null
}

item_registered() { watcher_items | grep -q "org.kde.StatusNotifierItem-$1-1"; }

# The title of the item's ToolTip property.
item_tooltip() {
  dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$1-1" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:ToolTip 2>/dev/null |
    grep -E '^ +string ' | sed -n 2p | sed -E 's/^ +string "(.*)"$/\1/'
}

# The first visible window `xdotool search --onlyvisible $1` finds whose property $2 matches $3.
window_with() {
  local id
  # shellcheck disable=SC2086 # $1 holds several search options
  for id in $(xdotool search --onlyvisible $1 2>/dev/null); do
    if xprop -id "$id" "$2" 2>/dev/null | grep -q "$3"; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# The panel window: Vesk's visible toplevel with the role "vesk-panel".
panel_window() { window_with "--name ^Vesk\$" WM_WINDOW_ROLE '"vesk-panel"' || true; }
panel_shown() { [ -n "$(panel_window)" ]; }
panel_hidden() { [ -z "$(panel_window)" ]; }

# A visible pop-up menu of the process with pid $1.
menu_window() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_POPUP_MENU; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

active_window() { xprop -root _NET_ACTIVE_WINDOW | sed -E 's/.*# (0x[0-9a-f]+).*/\1/'; }
panel_focused() {
  local panel
  panel=$(panel_window)
  [ -n "$panel" ] && [ "$((panel))" -eq "$(($(active_window)))" ] && [ "$(xdotool getwindowfocus)" -eq "$panel" ]
}

# The left edge of the clock at the right end of the panel strip: the left-most bright pixel
# column before any tray icon exists. Sets CLOCK_LEFT once two looks a moment apart agree: a
# clock still being drawn (the time before the date) would put the edge too far right, and the
# date would then be taken for the icon.
find_clock_left() {
  local first
  first=$(clock_left_now "$@") || return 1
  sleep 0.3
  CLOCK_LEFT=$(clock_left_now "$@") && [ "$CLOCK_LEFT" = "$first" ]
}
clock_left_now() {
  local strip=${1:-29} left
  left=$(import -window root -crop "1280x${strip}+0+0" -depth 8 txt:- 2>/dev/null | awk -F'[,: ()]+' '
    NR > 1 && $3 > 150 && $4 > 150 && $5 > 150 { if (min == "" || $1 < min) min = $1 }
    END { if (min != "") print min }')
  [ -n "$left" ] && echo "$left"
}

# Finds the tray icon in the panel strip at the top of the screen: the left-most group of
# bright pixels left of the clock (CLOCK_LEFT, from find_clock_left before the icon was added;
# the expanding separator draws nothing), at least icon-high (a line of text is not). Sets
# ICON_X and ICON_Y to its centre once two looks a moment apart agree, so that an icon still
# being drawn or laid out is not clicked where it will not be.
find_tray_icon() {
  local first found
  first=$(tray_icon_now "$@") || return 1
  sleep 0.3
  found=$(tray_icon_now "$@") && [ "$found" = "$first" ] || return 1
  read -r ICON_X ICON_Y <<<"$found"
}
tray_icon_now() {
  local strip=${1:-29}
  local limit=$(( ${CLOCK_LEFT:-1281} - 2 ))
  local found
  found=$(import -window root -crop "1280x${strip}+0+0" -depth 8 txt:- 2>/dev/null | awk -v limit="$limit" -F'[,: ()]+' '
    NR > 1 && $1 < limit {
      x = $1; y = $2; r = $3; g = $4; b = $5
      if (r > 150 && g > 150 && b > 150) { bright[x] = 1; if (!(x in top) || y < top[x]) top[x] = y; if (y > bottom[x]) bottom[x] = y }
    }
    END {
      start = -1
      for (x = 0; x < limit; x++) {
        if (x in bright) { if (start < 0) start = x; last = x; miny = (miny == "" || top[x] < miny) ? top[x] : miny; maxy = (bottom[x] > maxy) ? bottom[x] : maxy }
        else if (start >= 0 && x - last > 3) break
      }
      if (start >= 0 && maxy - miny >= 11) printf "%d %d\n", int((start + last) / 2), int((miny + maxy) / 2)
    }')
  [ -n "$found" ] && echo "$found"
}

click_at() {
  xdotool mousemove "$1" "$2" click 1
}

no_menu() { ! menu_window "$1" >/dev/null; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }
watcher_gone() { ! bus_name_owned org.kde.StatusNotifierWatcher; }

# Clicks on the icon that are further apart than the double-click time.
pause_between_clicks() { sleep 1; }

# icon_click_closes_once X Y: with the panel hidden, a click on the icon at X,Y opens it and the
# next click closes it exactly once (not closed by the outside-click monitor and reopened).
icon_click_closes_once() {
  pause_between_clicks
  click_at "$1" "$2"
  wait_for 60 panel_shown || fail "the panel did not open again"
  pause_between_clicks
  click_at "$1" "$2"
  wait_for 60 panel_hidden || fail "a click on the icon did not close the panel"
  pause_between_clicks
  panel_hidden || fail "the icon click closed the panel and opened it again"
}

# double_click_opens_menu X Y PID: a double click on the icon ends with the panel closed and the
# menu of process PID open; Escape closes the menu.
double_click_opens_menu() {
  xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1
  wait_for 60 menu_window "$3" || fail "no menu after a double click"
  panel_hidden || fail "the panel is open after a double click"
  xdotool key Escape
  wait_for 60 no_menu "$3" || fail "the menu did not close"
}

# Starts the accessibility bus that screen readers use (AT-SPI), unless the session has one.
# Programs started after it must run with the bridge on: "${with_a11y[@]}" vesk ... (env replaces
# itself with the program, so $! is the program's own id).
start_a11y_bus() {
  if ! bus_name_owned org.a11y.Bus; then
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$VESK_TEST_TMP/a11y.log" 2>&1 &
    pids+=($!)
  fi
  wait_for 60 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress ||
    fail "no accessibility bus: $(cat "$VESK_TEST_TMP/a11y.log" 2>/dev/null)"
}
with_a11y=(env -u NO_AT_BRIDGE -u GTK_A11Y)

# In a desktop session whose compositor draws into an outer X screen (tests/harness/plasma.sh,
# gnome.sh): checks that the harness ran the test and makes $shots. Input and pictures go through
# that screen (`outer`, `outer_shot NAME`); Vesk's windows are on the compositor's Xwayland.
require_outer_session() {
  [ -n "${VESK_OUTER_DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ] || fail "run me inside tests/harness/$1.sh"
  shots="$VESK_TEST_TMP/shots"
  mkdir -p "$shots"
}
outer() { DISPLAY=$VESK_OUTER_DISPLAY "$@"; }
outer_shot() { outer import -window root "$shots/$1.png" 2>/dev/null; }

# Starts a loopback page server (`python3 <script> <port file> <reports file>`) for the test and
# waits for its port: sets `port` and `reports` (the lines the pages report, one per line).
start_page_server() {
  reports="$VESK_TEST_TMP/reports.txt"
  local port_file="$VESK_TEST_TMP/port"
  : >"$reports"
  python3 "$1" "$port_file" "$reports" &
  pids+=($!)
  wait_for 20 test -s "$port_file" || fail "the page server did not start"
  port=$(cat "$port_file")
}
# What the page server's pages reported under $1 last (fails when nothing was), whether that is $2,
# and forgetting every report.
reported() { awk -F'\t' -v site="$1" '$1 == site { text = $2; seen = 1 } END { if (seen) print text; else exit 1 }' "$reports"; }
reported_is() { [ "$(reported "$1")" = "$2" ]; }
forget_reports() { : >"$reports"; }
