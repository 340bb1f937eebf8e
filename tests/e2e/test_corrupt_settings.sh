#!/usr/bin/env bash
# The real vesk binary started on a settings file full of binary garbage: it still puts its
# icon in the tray and opens its panel, keeps the unreadable file aside byte for byte, and
# writes a fresh settings file that the next launch reads without setting anything aside. A
# settings.ini that is a link loop is kept aside the same way, said once on standard error.
#   headless.sh --tray -- test_corrupt_settings.sh path/to/vesk
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1
require_tray_harness

dir="$XDG_CONFIG_HOME/vesk"
settings="$dir/settings.ini"
original="$VESK_TEST_TMP/garbage.bin"
mkdir -p "$dir"
# A PNG signature (its first line is no key file line), NUL bytes, invalid UTF-8 and random bytes.
{
  printf '\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\xff\xfe\xc3\x28[vesk\x00]\nvesk.sites.v1=\xff\xff\n'
  head -c 4096 /dev/urandom
} >"$original"
cp "$original" "$settings"

aside_files() { find "$dir" -maxdepth 1 -name 'settings.ini.unreadable-*' | sort; }
stop_vesk() {
  kill "$1" 2>/dev/null
  wait_for 60 process_gone "$1" || fail "vesk did not stop"
}

step "vesk starts on the garbage and registers its icon"
"$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered: $(watcher_items); log: $(cat "$VESK_TEST_TMP/vesk.log")"
kill -0 "$vp" 2>/dev/null || fail "vesk exited"

step "the unreadable file is kept aside unchanged"
aside=$(aside_files)
[ "$(echo "$aside" | grep -c .)" -eq 1 ] || fail "expected one settings.ini.unreadable-* file, found: '$aside'"
cmp -s "$aside" "$original" || fail "the file set aside differs from the original"

step "a fresh settings file is written, private to the user"
wait_for 60 test -s "$settings" || fail "no new settings.ini was written"
head -n 1 "$settings" | grep -q '^\[vesk\]$' || fail "the new settings.ini does not start with [vesk]: $(head -c 200 "$settings" | od -c | head)"
grep -q '^vesk\.sites\.v1=\[' "$settings" || fail "the new settings.ini has no site list: $(cat "$settings")"
[ "$(stat -c %a "$settings")" = 600 ] || fail "settings.ini has mode $(stat -c %a "$settings")"
if LC_ALL=C grep -q -P '[^\x09\x0a\x20-\x7e\x80-\xff]' "$settings"; then fail "control bytes in the new settings.ini"; fi
iconv -f UTF-8 -t UTF-8 "$settings" >/dev/null 2>&1 || fail "the new settings.ini is not UTF-8"

step "the panel opens"
"$vesk" --toggle
wait_for 60 panel_shown || fail "the panel did not open"

step "the next launch reads the new file and sets nothing aside"
stop_vesk "$vp"
"$vesk" >"$VESK_TEST_TMP/vesk2.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered on the second launch"
[ "$(aside_files)" = "$aside" ] || fail "the second launch set the new file aside: $(aside_files)"
cmp -s "$aside" "$original" || fail "the file set aside changed"

step "a settings.ini that is a link loop: vesk starts, keeps the link aside and says so once"
stop_vesk "$vp"
rm -f "$dir"/settings.ini*
ln -s settings.ini "$settings"
"$vesk" >"$VESK_TEST_TMP/vesk3.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 item_registered "$vp" || fail "no StatusNotifierItem registered on a link loop; log: $(cat "$VESK_TEST_TMP/vesk3.log")"
kill -0 "$vp" 2>/dev/null || fail "vesk exited on a link loop; log: $(cat "$VESK_TEST_TMP/vesk3.log")"
aside=$(aside_files)
[ -L "$aside" ] && [ "$(readlink "$aside")" = settings.ini ] || fail "the link loop was not kept aside: '$aside'"
[ "$(grep -c 'could not be read' "$VESK_TEST_TMP/vesk3.log")" -eq 1 ] ||
  fail "standard error did not say it once: $(cat "$VESK_TEST_TMP/vesk3.log")"
wait_for 60 test -s "$settings" && [ ! -L "$settings" ] || fail "no new settings.ini was written"
echo "PASS"
