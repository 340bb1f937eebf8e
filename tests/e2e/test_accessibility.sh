#!/usr/bin/env bash
# What a screen reader meets in the real vesk, read over AT-SPI: every button and slider of the
# browsing screen and of each settings tab (the site editor included) has a name.
#   headless.sh --wm -- test_accessibility.sh path/to/vesk path/to/atspi-tree
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
vesk=$1 atspi_tree=$2
[ -n "${DISPLAY:-}" ] || fail "run me inside tests/harness/headless.sh"

# Loopback sites on closed ports (the error card, nothing leaves the machine) and a
# next-website combination, so the Keys tab shows its clear button.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$XDG_CONFIG_HOME/vesk"
{
  printf '[vesk]\nvesk.sites.v1=[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Here","address":"http://127.0.0.1:%s/"},' "$closed_port"
  printf '{"id":"1F8FAD5B-D9CB-469F-A165-70867728950E","name":"There","address":"http://127.0.0.1:%s/b"}]\n' "$closed_port"
  printf 'vesk.shortcut.next.v1={"keyCode":45,"modifiers":6144,"label":"⌃⌥ N"}\n'
} >"$XDG_CONFIG_HOME/vesk/settings.ini"

start_a11y_bus
"${with_a11y[@]}" "$vesk" >"$VESK_TEST_TMP/vesk.log" 2>&1 &
vp=$!
pids+=("$vp")
wait_for 60 "$atspi_tree" "$vp" 1 || fail "vesk is not on the accessibility bus: $(cat "$VESK_TEST_TMP/vesk.log")"

tree="$VESK_TEST_TMP/tree.txt"
# The controls of the tree, shown or not: "role|name|showing".
controls() { grep -E '^ *(push button|toggle button|slider|check box|radio button|spin button|combo box)\|' "$tree"; }
# check_named WHERE MARKER: once MARKER (a line of the tree) is there, every control has a name.
check_named() {
  wait_for 60 bash -c "'$atspi_tree' $vp >'$tree' && grep -q '$2' '$tree'" || fail "$1: '$2' never appeared: $(cat "$tree")"
  local unnamed
  unnamed=$(controls | grep -E '^ *[a-z ]+\|\|' || true)
  [ -z "$unnamed" ] || fail "$1: controls without a name:
$unnamed
in:
$(controls)"
  echo "$1: $(controls | grep -c showing) controls showing, all named"
}

step "the browsing screen"
"$vesk" --toggle
wait_for 60 panel_shown || fail "the panel did not open"
check_named "browsing screen" '|Try again|showing$'

step "the settings screen, tab by tab"
"$vesk" --settings
check_named "General" '^ *toggle button|Launch at login|showing$'
for tab in Websites Keys Panel Appearance; do
  "$atspi_tree" --press "$tab" "$vp" || fail "cannot open the $tab tab"
  case $tab in
    Websites) marker='^ *push button|Add website|showing$' ;;
    Keys) marker='^ *push button|Set keys|showing$' ;;
    Panel) marker='^ *slider|Width|showing$' ;;
    Appearance) marker='^ *push button|Obsidian|showing$' ;;
  esac
  check_named "$tab" "$marker"
done
"$atspi_tree" --press Websites "$vp" && "$atspi_tree" --press "Add website" "$vp" || fail "cannot open the site editor"
check_named "site editor" '^ *push button|Cancel|showing$'
echo "every button and slider has a name"
