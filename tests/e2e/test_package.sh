#!/usr/bin/env bash
# The Debian package, built and installed as a distribution would: a fresh optimised build without
# the tests (GoogleTest hidden), `--target package`, `apt-get install ./vesk_*.deb`; then the
# installed files (vesk --version, the manual page, the desktop entry, the AppStream metadata) and
# the installed vesk starting in the tray of a headless desktop and loading its panel module.
# The package is removed at the end, so the machine is left as found. Installing needs root (CI
# runs as root); otherwise the test is skipped, and says so.
#   test_package.sh <source dir> <tests/harness/headless.sh>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
id=io.github.vesk.Vesk

# The second half, inside the headless desktop: the installed vesk in the tray.
if [ "${1:-}" = --run-installed ]; then
  require_tray_harness
  /usr/bin/vesk >"$VESK_TEST_TMP/vesk.log" 2>&1 &
  vp=$!
  pids+=("$vp")
  wait_for 60 item_registered "$vp" || fail "the installed vesk registered no tray item: $(cat "$VESK_TEST_TMP/vesk.log")"
  item_id=$(dbus-send --session --print-reply --dest="org.kde.StatusNotifierItem-$vp-1" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Id | sed -n 's/^ *variant *string "\(.*\)"$/\1/p')
  [ "$item_id" = "$id" ] || fail "the tray item's Id is '$item_id'"
  timeout 60 /usr/bin/vesk --toggle || fail "vesk --toggle failed"
  wait_for 60 panel_shown || fail "the installed vesk did not show its panel"
  wait_for 60 grep -q '/usr/lib/.*vesk/libvesk-panel.so' "/proc/$vp/maps" ||
    fail "the installed panel module was not loaded: $(cat "$VESK_TEST_TMP/vesk.log")"
  wait_for 60 grep -q '/usr/lib/.*vesk/libvesk-web.so' "/proc/$vp/maps" ||
    fail "the installed web module was not loaded: $(cat "$VESK_TEST_TMP/vesk.log")"
  timeout 60 /usr/bin/vesk --quit || fail "vesk --quit failed"
  wait_for 60 process_gone "$vp" || fail "the installed vesk did not quit"
  exit 0
fi

source_dir=$1 headless=$2
if [ "$(id -u)" != 0 ]; then
  echo "SKIP: installing the package needs root (CI runs as root)"
  exit 77
fi
if dpkg-query -W -f='${Status}' vesk 2>/dev/null | grep -q 'install ok installed' || [ -e /usr/bin/vesk ]; then
  echo "SKIP: vesk is already installed on this machine; the test does not replace it"
  exit 77
fi

work=$(mktemp -d /tmp/vesk-package.XXXXXX)
# apt and dpkg wait for each other's lock (held, on a fresh machine, by unattended upgrades)
# instead of failing at once.
apt_get=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)
installed=0
# Leaves the machine as found, also when the test fails or is stopped half-way: whatever of the
# package got onto the machine is purged, and a removal that fails is a failure.
finish() {
  local status=$?
  trap - EXIT INT TERM
  if [ "$installed" = 1 ] && dpkg-query -W -f='${Status}' vesk 2>/dev/null | grep -qv 'not-installed'; then
    "${apt_get[@]}" purge vesk >"$work/remove.log" 2>&1 ||
      dpkg --purge vesk >>"$work/remove.log" 2>&1 ||
      { cat "$work/remove.log" >&2; status=1; }
    [ ! -e /usr/bin/vesk ] || { echo "FAIL: /usr/bin/vesk is still there after removal" >&2; status=1; }
  fi
  cleanup
  rm -rf "$work" "${build:-}"
  exit $status
}
trap finish EXIT
trap 'exit 143' INT TERM

version=$(sed -n 's/^project(vesk VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

step "a release build without tests or GoogleTest makes the package"
# The build sits inside the source tree (ignored by git) and ccache sees paths relative to it, so a
# fresh clone anywhere on the machine reuses the objects of an earlier run. It is optimised with
# debugging information, as Debian builds its packages, and stripped when packed; with the suite's
# own release build's flags, all but the objects that name the install folder come from ccache.
build=$source_dir/build-package
rm -rf "$build"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$source_dir CCACHE_NOHASHDIR=1
fi
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "${launcher[@]}" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "configuring failed"; }
cmake --build "$build" -j 2 --target package >"$work/build.log" 2>&1 || { tail -50 "$work/build.log"; fail "building the package failed"; }
deb=$build/vesk_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb: $(ls "$build")"

step "apt-get installs it"
installed=1
(cd "$build" && "${apt_get[@]}" install "./$(basename "$deb")") >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install failed"; }

step "the installed files"
[ "$(command -v vesk)" = /usr/bin/vesk ] || fail "vesk is not /usr/bin/vesk on the PATH"
[ "$(vesk --version)" = "vesk $version" ] || fail "vesk --version says '$(vesk --version)'"
[ "$(man -w vesk)" = /usr/share/man/man1/vesk.1.gz ] || fail "man -w vesk says '$(man -w vesk 2>&1)'"
desktop-file-validate "/usr/share/applications/$id.desktop" || fail "the installed desktop entry is not valid"
appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml" || fail "the installed metainfo is not valid"
release=$(grep -o '<release version="[^"]*"' "/usr/share/metainfo/$id.metainfo.xml" | head -1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the newest release in the metainfo is '$release', the project's version $version"
[ -f /usr/share/doc/vesk/copyright ] || fail "no /usr/share/doc/vesk/copyright"

step "the installed vesk starts in the tray and shows its panel"
"$headless" --tray -- "$here/test_package.sh" --run-installed || fail "the installed vesk did not run"
echo "the package builds, installs, runs and is removed"
