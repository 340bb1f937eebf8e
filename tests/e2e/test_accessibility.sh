#!/usr/bin/env bash
# What a screen reader meets in the real vesk, read over AT-SPI: the application is named "Vesk",
# the site drop-down after the title it shows, and every button and slider of the browsing screen
# and of each settings tab (the site editor included) has a name.
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

step "the application and the site drop-down are named as people read them"
app_line=$(head -n 1 "$tree")
[ "$app_line" = "application|Vesk|showing" ] || [ "$app_line" = "application|Vesk|hidden" ] ||
  fail "the application is announced as '$app_line'"
# The drop-down is named after the title it shows: the site's name while its page has no
# address (the load failed here), else the page's address; what it does is its description.
# The title may change between two reads of the tree while the failed load settles: the name
# is asked for again from a fresh tree until one read and its description agree.
described() {
  "$atspi_tree" "$vp" >"$tree" 2>/dev/null || return 1
  title=$(sed -nE 's/^ *toggle button\|(.*)\|showing$/\1/p' "$tree" | head -n 1)
  [ "$title" = "Here" ] || [ "$title" = "http://127.0.0.1:$closed_port/" ] || return 1
  description=$("$atspi_tree" --describe "$title" "$vp" 2>/dev/null)
}
title="" description=""
wait_for 60 described || fail "the site drop-down is named '$title', described as '$description'"
[ "$description" = "Switch website" ] || fail "the drop-down's description is '$description'"
echo "application 'Vesk', drop-down '$title' described as '$description'"

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
