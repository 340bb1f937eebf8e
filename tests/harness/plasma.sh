#!/usr/bin/env bash
# Runs a command in a private headless KDE Plasma 5.27 Wayland session: Xvfb as the outer screen,
# kwin_wayland drawing into it (its X11 backend) with Xwayland for X11 clients, kded5 (which holds
# the StatusNotifierWatcher), plasmashell with its bottom panel as the tray host, and the desktop
# portal (xdg-desktop-portal with xdg-desktop-portal-kde) on a private D-Bus session bus with
# fresh XDG folders. Everything it starts is stopped when it ends.
#   plasma.sh -- command args...
# The command sees DISPLAY and XAUTHORITY (kwin's Xwayland, where X11 clients such as Vesk run),
# WAYLAND_DISPLAY, VESK_OUTER_DISPLAY (the Xvfb screen kwin draws into: screenshots, and keys and
# clicks with xdotool, which kwin hands on as the seat's input), VESK_TEST_TMP and
# VESK_PLASMASHELL_PID. Exits 77 when a part of the session is not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

source "$here/private_namespaces.sh"
source "$here/stop_processes.sh"
source "$here/wait_ready.sh"
[ "${1:-}" = -- ] && shift
[ $# -gt 0 ] || { echo "usage: plasma.sh -- command..." >&2; exit 2; }
portal_kde=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
[ -x "$portal_kde" ] || portal_kde=$(ls /usr/lib/*/libexec/xdg-desktop-portal-kde 2>/dev/null | head -n 1)
activities=$(ls /usr/lib/*/libexec/kactivitymanagerd 2>/dev/null | head -n 1)
for tool in Xvfb kwin_wayland kded5 plasmashell "$activities" /usr/libexec/xdg-desktop-portal "$portal_kde" xdotool; do
  command -v "$tool" >/dev/null || { echo "plasma.sh: ${tool:-a part of Plasma} is not installed" >&2; exit 77; }
done

start_harness plasma


export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" XDG_DOWNLOAD_DIR="$work/home/Downloads"
mkdir -p "$HOME/Downloads" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export VESK_TEST_TMP="$work" NO_AT_BRIDGE=1 GTK_A11Y=none
unset WAYLAND_DISPLAY SESSION_MANAGER GDK_BACKEND QT_QPA_PLATFORM XAUTHORITY
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true
export KDE_SESSION_VERSION=5 QT_QUICK_BACKEND=software LIBGL_ALWAYS_SOFTWARE=1

exec {dfd}<> <(:)
Xvfb -displayfd "$dfd" -screen 0 1280x800x24 -nolisten tcp -noreset +extension XInputExtension \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
outer=""
read -r -t "$ready_limit" -u "$dfd" outer || true
[ -n "$outer" ] || { echo "plasma.sh: Xvfb did not start; its log:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export VESK_OUTER_DISPLAY=":$outer"

# A session bus that starts services on demand, as a desktop's does.
bus_address=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>"$work/bus.log" | head -n 2)
DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus_address")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail_helper "the session bus did not start" "$work/bus.log"
pids+=("$(sed -n 2p <<<"$bus_address")")
export DBUS_SESSION_BUS_ADDRESS

# The packaged kwin_wayland carries a file capability (cap_sys_resource, for real-time
# scheduling) that some sandboxes refuse to exec; a copy has none and runs everywhere.
cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
# kwin starts Xwayland and then the given program (one command line) with the environment its
# clients need: the program writes that environment down.
printf '#!/bin/sh\nenv >"%s.part" && mv "%s.part" "%s"\n' "$work/kwin-env" "$work/kwin-env" "$work/kwin-env" \
  >"$work/report-env"
chmod +x "$work/report-env"
DISPLAY="$VESK_OUTER_DISPLAY" "$work/kwin_wayland" --x11-display "$VESK_OUTER_DISPLAY" --socket vesk-kwin \
  --width 1280 --height 800 --xwayland "$work/report-env" >"$work/kwin.log" 2>&1 &
pids+=($!)
wait_ready kwin_wayland "$work/kwin.log" "${pids[-1]}" test -s "$work/kwin-env"
DISPLAY=$(sed -n 's/^DISPLAY=//p' "$work/kwin-env")
XAUTHORITY=$(sed -n 's/^XAUTHORITY=//p' "$work/kwin-env")
[ -n "$DISPLAY" ] || fail_helper "kwin_wayland started no Xwayland" "$work/kwin.log"
export DISPLAY WAYLAND_DISPLAY=vesk-kwin
[ -z "$XAUTHORITY" ] || export XAUTHORITY
wait_ready "kwin_wayland's global shortcuts" "$work/kwin.log" "${pids[-1]}" bus_name_owned org.kde.kglobalaccel

QT_QPA_PLATFORM=wayland kded5 >"$work/kded5.log" 2>&1 &
pids+=($!)
wait_ready kded5 "$work/kded5.log" "${pids[-1]}" bus_name_owned org.kde.StatusNotifierWatcher
"$activities" >"$work/kactivitymanagerd.log" 2>&1 &
pids+=($!)
wait_ready kactivitymanagerd "$work/kactivitymanagerd.log" "${pids[-1]}" bus_name_owned org.kde.ActivityManager
QT_QPA_PLATFORM=wayland plasmashell --no-respawn >"$work/plasmashell.log" 2>&1 &
pids+=($!)
export VESK_PLASMASHELL_PID=$!
wait_ready plasmashell "$work/plasmashell.log" "${pids[-1]}" bus_name_owned org.kde.plasmashell

QT_QPA_PLATFORM=wayland "$portal_kde" >"$work/portal-kde.log" 2>&1 &
pids+=($!)
wait_ready xdg-desktop-portal-kde "$work/portal-kde.log" "${pids[-1]}" bus_name_owned org.freedesktop.impl.portal.desktop.kde
/usr/libexec/xdg-desktop-portal -r >"$work/portal.log" 2>&1 &
pids+=($!)
wait_ready xdg-desktop-portal "$work/portal.log" "${pids[-1]}" bus_name_owned org.freedesktop.portal.Desktop

"$@"
