#!/usr/bin/env bash
# The manual page lists every option that `vesk --help` lists, and man renders it without warnings.
#   check_man_page.sh path/to/vesk path/to/vesk.1
set -euo pipefail
vesk=$1 page=$2
options=$("$vesk" --help | grep -oE '^ +(-[a-zA-Z?], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')
[ -n "$options" ] || { echo "FAIL: vesk --help lists no options" >&2; exit 1; }
warnings=$({ man --warnings -l "$page" >/dev/null; } 2>&1)
[ -z "$warnings" ] || { echo "$warnings" >&2; echo "FAIL: man warns about the page" >&2; exit 1; }
text=$(MANWIDTH=200 man -l "$page")
missing=0
for option in $options; do
  grep -qE -- "(^|[ ,])$option([ ,]|$)" <<<"$text" || { echo "FAIL: the manual page does not list $option" >&2; missing=1; }
done
[ "$missing" = 0 ] && echo "the manual page lists all $(wc -w <<<"$options") options"
