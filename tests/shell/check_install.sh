#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that every file lands where desktops look.
set -euo pipefail
build=$1 root=$2
rm -rf "$root"
cmake --install "$build" --prefix "$root" >/dev/null
for file in bin/vesk share/applications/io.github.vesk.Vesk.desktop share/metainfo/io.github.vesk.Vesk.metainfo.xml \
  share/icons/hicolor/scalable/apps/io.github.vesk.Vesk.svg \
  share/icons/hicolor/symbolic/apps/io.github.vesk.Vesk-symbolic.svg share/man/man1/vesk.1.gz \
  share/doc/vesk/copyright; do
  [ -f "$root/$file" ] || { echo "FAIL: $file not installed" >&2; exit 1; }
done
[ -x "$root/bin/vesk" ] || { echo "FAIL: bin/vesk is not executable" >&2; exit 1; }
# The panel and web modules sit where the installed binary looks for them: <bindir>/../<libdir>/vesk.
for module in libvesk-panel.so libvesk-web.so; do
  [ -n "$(find "$root" -path "*/lib*/vesk/$module")" ] || { echo "FAIL: $module is not installed" >&2; exit 1; }
done
desktop-file-validate "$root/share/applications/io.github.vesk.Vesk.desktop"
appstreamcli validate --no-net "$root/share/metainfo/io.github.vesk.Vesk.metainfo.xml" >/dev/null
rm -rf "$root"
echo "1 passed, 0 failed"
