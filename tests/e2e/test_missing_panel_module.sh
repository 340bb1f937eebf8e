#!/usr/bin/env bash
# A vesk whose panel module is missing says so in one line on standard error and in the panel
# (read through the accessibility tree, as a screen reader would), and its tray icon keeps working.
# With the panel module but without the web module, the panel opens and says where the page would
# be why pages cannot be shown.
#   headless.sh --tray -- test_missing_panel_module.sh path/to/vesk path/to/atspi-tree
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
atspi_tree=$2
require_tray_harness

# The executable alone, away from the module it loads.
mkdir -p "$VESK_TEST_TMP/bin"
cp "$1" "$VESK_TEST_TMP/bin/vesk"
vesk="$VESK_TEST_TMP/bin/vesk"
mkdir -p "$XDG_CONFIG_HOME/vesk"
printf '[vesk]\nvesk.sites.v1=[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Here","address":"http://127.0.0.1:9/"}]\n' \
  >"$XDG_CONFIG_HOME/vesk/settings.ini"

# Starts vesk with the accessibility bus, its output in vesk.out and vesk.err; its pid in $vp.
start_vesk() {
  "${with_a11y[@]}" "$vesk" >"$VESK_TEST_TMP/vesk.out" 2>"$VESK_TEST_TMP/vesk.err" &
  vp=$!
  pids+=("$vp")
  wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(cat "$VESK_TEST_TMP/vesk.err")"
}
# Standard error holds exactly one line, matching the pattern.
says_once() {
  wait_for 60 test -s "$VESK_TEST_TMP/vesk.err" || fail "nothing on standard error"
  [ "$(wc -l <"$VESK_TEST_TMP/vesk.err")" -eq 1 ] || fail "more than one line: $(cat "$VESK_TEST_TMP/vesk.err")"
  grep -qx "$1" "$VESK_TEST_TMP/vesk.err" || fail "unclear message: $(cat "$VESK_TEST_TMP/vesk.err")"
}

start_a11y_bus
wait_for 60 find_clock_left || fail "the tray host drew no clock"
start_vesk
wait_for 60 find_tray_icon || fail "no icon drawn in the panel"

missing_lines() { grep -c 'libvesk-panel.so is missing' "$VESK_TEST_TMP/vesk.err"; }

step "the panel opens and says what is missing; standard error says it in one line"
click_at "$ICON_X" "$ICON_Y"
wait_for 60 panel_shown || fail "the panel did not open"
says_once "vesk: cannot show the panel: libvesk-panel.so is missing (looked in $VESK_TEST_TMP/bin and .*)"
shows_notice() {
  "$atspi_tree" "$vp" >"$VESK_TEST_TMP/tree.txt" 2>&1 &&
    grep -q '^ *label|Vesk cannot show its panel|showing$' "$VESK_TEST_TMP/tree.txt" &&
    grep -q '^ *label|libvesk-panel.so is missing (looked in .*|showing$' "$VESK_TEST_TMP/tree.txt"
}
wait_for 60 shows_notice || fail "the panel does not say what is missing: $(cat "$VESK_TEST_TMP/tree.txt")"

step "the icon still opens and closes the panel and offers its menu"
click_at 300 500
wait_for 60 panel_hidden || fail "an outside click did not hide the panel"
icon_click_closes_once "$ICON_X" "$ICON_Y"
double_click_opens_menu "$ICON_X" "$ICON_Y" "$vp"
[ "$(missing_lines)" -eq 1 ] || fail "the message was repeated: $(cat "$VESK_TEST_TMP/vesk.err")"

step "with the panel module but no web module, the panel opens and says why pages cannot show"
timeout 60 "$vesk" --quit || fail "vesk --quit did not return"
wait_for 60 process_gone "$vp" || fail "vesk did not quit"
cp "$(dirname "$1")/libvesk-panel.so" "$VESK_TEST_TMP/bin/"
start_vesk
timeout 60 "$vesk" --toggle || fail "vesk --toggle did not return"
wait_for 60 panel_shown || fail "the panel did not open"
says_once "vesk: cannot show web pages: libvesk-web.so is missing (looked in $VESK_TEST_TMP/bin and .*)"
shows_engine_problem() {
  "$atspi_tree" "$vp" >"$VESK_TEST_TMP/tree.txt" 2>&1 &&
    grep -q '^ *label|libvesk-web.so is missing (looked in .*|showing$' "$VESK_TEST_TMP/tree.txt"
}
wait_for 60 shows_engine_problem || fail "the panel does not say why pages cannot show: $(cat "$VESK_TEST_TMP/tree.txt")"
echo "all missing-module checks passed"
