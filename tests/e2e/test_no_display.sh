#!/usr/bin/env bash
# Without a graphical session vesk exits non-zero with one clear line; --help works anyway.
set -uo pipefail
vesk=$1
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$vesk" 2>&1 >/dev/null)
status=$?
[ $status -ne 0 ] || { echo "FAIL: exit status 0 without a display" >&2; exit 1; }
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || { echo "FAIL: expected one line, got: $out" >&2; exit 1; }
grep -q 'no graphical session' <<<"$out" || { echo "FAIL: unclear message: $out" >&2; exit 1; }
out=$(env -u WAYLAND_DISPLAY DISPLAY=:99999 "$vesk" 2>&1 >/dev/null)
[ $? -ne 0 ] && grep -q 'cannot open the display :99999' <<<"$out" || { echo "FAIL: bad display: $out" >&2; exit 1; }
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$vesk" --help 2>&1) || { echo "FAIL: --help failed" >&2; exit 1; }
for option in --toggle --next --previous --settings --quit; do
  grep -q -- "$option" <<<"$help" || { echo "FAIL: --help does not list $option" >&2; exit 1; }
done
echo "1 passed, 0 failed"
