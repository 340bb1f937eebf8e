#!/usr/bin/env bash
# The real vesk binary in odd places. With the config, data or cache folder a regular file it
# starts, says once why the settings cannot be saved (config), opens its panel and shows in the page
# area why pages cannot be shown, and keeps running (the web engine's sandbox used to abort it).
# A named pipe at the settings path neither blocks the start nor a later `vesk --toggle`, and is
# kept aside. Folders and the settings file an older release made readable by others are private
# after a start; the folders above them are left as they are.
#   headless.sh --tray -- test_odd_folders.sh path/to/vesk path/to/atspi-tree
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
atspi_tree=$2
require_tray_harness
start_a11y_bus

vp=
start_vesk() {  # start_vesk LOG [VAR=VALUE...]: vesk with the given environment, icon registered
  local log=$1
  shift
  env "$@" "${with_a11y[@]}" "$vesk" >"$VESK_TEST_TMP/$log.out" 2>"$VESK_TEST_TMP/$log.err" &
  vp=$!
  pids+=("$vp")
  wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(cat "$VESK_TEST_TMP/$log.err")"
}
stop_vesk() {
  kill "$vp" 2>/dev/null
  wait_for 60 process_gone "$vp" || fail "vesk did not stop"
  wait "$vp" 2>/dev/null
  wait_for 60 panel_hidden || fail "the panel stayed on screen"
}
shows_label() {  # shows_label TEXT: the running vesk shows a label with exactly TEXT
  "$atspi_tree" "$vp" >"$VESK_TEST_TMP/tree.txt" 2>&1 && grep -qF "label|$1|showing" "$VESK_TEST_TMP/tree.txt"
}

for folder in config data cache; do
  step "XDG ${folder} folder is a regular file: vesk runs and the page area says why pages can't be shown"
  blocker="$VESK_TEST_TMP/$folder-is-a-file"
  rm -rf "$XDG_CONFIG_HOME/vesk"  # each start on the first default site; the next is no hand-off site
  echo "not a folder" >"$blocker"
  variable="XDG_$(echo "$folder" | tr a-z A-Z)_HOME"
  start_vesk "$folder" "$variable=$blocker"
  "$vesk" --toggle
  wait_for 60 panel_shown || fail "the panel did not open"
  message="Pages can't be shown: “$blocker” is a file, not a folder."
  wait_for 60 shows_label "$message" || fail "the page area does not say why: $(grep label "$VESK_TEST_TMP/tree.txt")"
  import -window root "$VESK_TEST_TMP/odd-$folder.png" 2>/dev/null
  "$vesk" --next
  wait_for 60 shows_label "$message" || fail "the message went away after a site switch"
  kill -0 "$vp" 2>/dev/null || fail "vesk ended: $(cat "$VESK_TEST_TMP/$folder.err")"
  if [ "$folder" = config ]; then
    [ "$(grep -c '^vesk:' "$VESK_TEST_TMP/$folder.err")" -eq 1 ] &&
      grep -qxF "vesk: settings can't be saved: “$blocker” is a file, not a folder" "$VESK_TEST_TMP/$folder.err" ||
      fail "standard error did not say it once and clearly: $(cat "$VESK_TEST_TMP/$folder.err")"
  fi
  stop_vesk
done

step "a named pipe at the settings path blocks neither the start nor --toggle, and is kept aside"
dir="$XDG_CONFIG_HOME/vesk"
rm -rf "$dir"
mkdir -p "$dir"
mkfifo "$dir/settings.ini"
start_vesk pipe
timeout 60 "$vesk" --toggle || fail "vesk --toggle did not return"
wait_for 60 panel_shown || fail "the panel did not open"
aside=$(find "$dir" -maxdepth 1 -name 'settings.ini.unreadable-*')
[ -p "$aside" ] || fail "the pipe was not kept aside: $(ls -l "$dir")"
wait_for 60 test -s "$dir/settings.ini" && [ -f "$dir/settings.ini" ] || fail "no settings file was written"
[ "$(grep -c 'not a regular file' "$VESK_TEST_TMP/pipe.err")" -eq 1 ] || fail "standard error: $(cat "$VESK_TEST_TMP/pipe.err")"
stop_vesk

step "folders and the settings file readable by others become private at a start"
rm -rf "$dir" "$XDG_DATA_HOME/vesk" "$XDG_CACHE_HOME/vesk"
mkdir -p "$dir" "$XDG_DATA_HOME/vesk/web" "$XDG_CACHE_HOME/vesk/web"
printf '[vesk]\nvesk.theme.v1=midnight\n' >"$dir/settings.ini"
chmod 755 "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$dir" "$XDG_DATA_HOME/vesk" "$XDG_DATA_HOME/vesk/web" \
  "$XDG_CACHE_HOME/vesk" "$XDG_CACHE_HOME/vesk/web"
chmod 644 "$dir/settings.ini"
start_vesk modes
mode() { stat -c %a "$1"; }
mode_is() { [ "$(mode "$1")" = "$2" ]; }
for private in "$dir" "$XDG_DATA_HOME/vesk" "$XDG_CACHE_HOME/vesk"; do
  [ "$(mode "$private")" = 700 ] || fail "$private has mode $(mode "$private") after the start"
done
[ "$(mode "$dir/settings.ini")" = 600 ] || fail "settings.ini has mode $(mode "$dir/settings.ini")"
"$vesk" --toggle
wait_for 60 panel_shown || fail "the panel did not open"
# The engine makes its folders private when it starts, before it keeps anything in them.
for private in "$XDG_DATA_HOME/vesk/web" "$XDG_CACHE_HOME/vesk/web"; do
  wait_for 60 mode_is "$private" 700 || fail "$private has mode $(mode "$private") after the panel opened"
done
wait_for 60 test -f "$XDG_DATA_HOME/vesk/web/cookies.sqlite" || fail "the engine did not start"
for public in "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"; do
  [ "$(mode "$public")" = 755 ] || fail "$public is not Vesk's, yet its mode changed to $(mode "$public")"
done
kill -0 "$vp" 2>/dev/null || fail "vesk ended"
echo "PASS"
