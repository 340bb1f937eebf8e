#!/usr/bin/env bash
# Installs the Debian packages listed in packages.txt (or in the list file given) that are not
# installed yet.
#   scripts/install-deps.sh [list-file]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
list=${1:-$here/packages.txt}
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$list")
missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#wanted[@]} packages present"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
# On a fresh machine another apt (unattended upgrades) may hold the package locks: wait for them
# rather than fail.
apt_get=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
# `apt-get update` does not wait for its own lock: it is tried again, for up to ten minutes, while
# another apt holds it.
update_log=$(mktemp)
for attempt in $(seq 1 60); do
  "${apt_get[@]}" update -qq 2>"$update_log" && break
  if [ "$attempt" -eq 60 ] || ! grep -q 'Could not get lock' "$update_log"; then
    cat "$update_log" >&2
    rm -f "$update_log"
    exit 1
  fi
  echo "install-deps: another apt is running; waiting for it"
  sleep 10
done
rm -f "$update_log"
"${apt_get[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
