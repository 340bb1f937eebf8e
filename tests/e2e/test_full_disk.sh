#!/usr/bin/env bash
# The real vesk binary with its settings folder on a full 64 KB tmpfs: a change keeps the old file
# as it was, the panel says in one line that the settings cannot be saved and why (read through
# the accessibility tree), standard error says it once, and once space is free the next change
# writes everything and the line goes away.
#   headless.sh --tray -- test_full_disk.sh path/to/vesk path/to/atspi-tree
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
atspi_tree=$2
[ -n "${DISPLAY:-}" ] && [ -n "${VESK_PANEL_PID:-}" ] || fail "run me inside tests/harness/headless.sh --tray"

dir="$XDG_CONFIG_HOME/vesk"
settings="$dir/settings.ini"
mkdir -p "$dir"
# The harness runs in a mount namespace of its own; without one (not root) there is nothing to test.
if ! mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
  echo "skipped: cannot mount a tmpfs here"
  exit 77
fi
first=0F8FAD5B-D9CB-469F-A165-70867728950E
second=7C9E6679-7425-40DE-944B-E07FC1F90AE7
printf '[vesk]\nvesk.sites.v1=[{"id":"%s","name":"One","address":"http://127.0.0.1:9/"},{"id":"%s","name":"Two","address":"http://127.0.0.1:10/"}]\nvesk.selected.v1=%s\n' \
  "$first" "$second" "$first" >"$settings"
cp "$settings" "$VESK_TEST_TMP/before.ini"

start_a11y_bus
"${with_a11y[@]}" "$vesk" >"$VESK_TEST_TMP/vesk.out" 2>"$VESK_TEST_TMP/vesk.err" &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(cat "$VESK_TEST_TMP/vesk.err")"

save_lines() { grep -c "settings can't be saved" "$VESK_TEST_TMP/vesk.err"; }
line_shown() {
  "$atspi_tree" "$vp" >"$VESK_TEST_TMP/tree.txt" 2>&1 &&
    grep -qx " *label|Settings can't be saved: No space left on device ($settings)|showing" "$VESK_TEST_TMP/tree.txt"
}

step "with the disk full, switching sites keeps the old file and says why it cannot be saved"
head -c 1M /dev/zero >"$dir/filler" 2>/dev/null
"$vesk" --next
wait_for 60 panel_shown || fail "the panel did not open"
wait_for 60 line_shown || fail "the panel does not say the settings cannot be saved: $(cat "$VESK_TEST_TMP/tree.txt")"
cmp -s "$settings" "$VESK_TEST_TMP/before.ini" || fail "the old settings file changed: $(cat "$settings")"
[ "$(save_lines)" -eq 1 ] || fail "standard error: $(cat "$VESK_TEST_TMP/vesk.err")"
grep -qx "vesk: settings can't be saved: No space left on device ($settings)" "$VESK_TEST_TMP/vesk.err" ||
  fail "unclear message: $(cat "$VESK_TEST_TMP/vesk.err")"
import -window root "$VESK_TEST_TMP/full-disk.png" 2>/dev/null

step "a second failing change says nothing more on standard error"
"$vesk" --next
sleep 0.5
line_shown || fail "the line went away while the disk is still full"
[ "$(save_lines)" -eq 1 ] || fail "the message was repeated: $(cat "$VESK_TEST_TMP/vesk.err")"

step "with space free, the next change writes everything and the line goes away"
rm -f "$dir/filler"
"$vesk" --next
wait_for 60 grep -q "^vesk.selected.v1=$second\$" "$settings" || fail "the change was not written: $(cat "$settings")"
line_gone() {
  "$atspi_tree" "$vp" >"$VESK_TEST_TMP/tree.txt" 2>&1 && ! grep -q "label|Settings can't be saved.*|showing" "$VESK_TEST_TMP/tree.txt"
}
wait_for 60 line_gone || fail "the line stayed: $(grep -i saved "$VESK_TEST_TMP/tree.txt")"
echo "all full-disk checks passed"
