#!/usr/bin/env bash
# Runs a command on a private headless desktop: Xvfb on a free display, a private D-Bus
# session bus and fresh XDG directories; with --wm also xfwm4, with --tray also
# xfce4-panel hosting the system tray. Everything it starts is stopped when it ends.
#   headless.sh [--wm] [--tray] [--size WxH] -- command args...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

source "$here/private_namespaces.sh"
source "$here/stop_processes.sh"
source "$here/wait_ready.sh"
wm=0 tray=0 size=1280x800
while [ $# -gt 0 ]; do
  case "$1" in
    --wm) wm=1 ;;
    --tray) tray=1 wm=1 ;;
    --size) size=$2; shift ;;
    --) shift; break ;;
    *) echo "headless.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -gt 0 ] || { echo "usage: headless.sh [--wm] [--tray] -- command..." >&2; exit 2; }

start_harness headless

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" XDG_DOWNLOAD_DIR="$work/home/Downloads"
mkdir -p "$HOME/Downloads" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export VESK_TEST_TMP="$work" NO_AT_BRIDGE=1 GTK_A11Y=none GDK_BACKEND=x11
unset WAYLAND_DISPLAY SESSION_MANAGER

# Xvfb picks a free display number itself and writes it to the pipe.
exec {dfd}<> <(:)
Xvfb -displayfd "$dfd" -screen 0 "${size}x24" -nolisten tcp -noreset +extension XInputExtension \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
# One read with a generous limit (a loaded machine can take many seconds to start Xvfb), never
# short reads in a loop: a read that times out between two bytes of the number drops what it
# has read, and the next read returns only the rest of the line, an empty display number.
display=""
read -r -t "$ready_limit" -u "$dfd" display || true
[ -n "$display" ] || fail_helper "Xvfb did not start" "$work/xvfb.log"
export DISPLAY=":$display"

if [ $tray -eq 1 ]; then
  bus_args=(--session)
  mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  cp "$here/xfce4-panel.xml" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/"
else
  bus_args=(--config-file="$here/session-bus.conf")
fi
# The daemon prints its address once it listens, and only then forks into the background.
bus_address=$(dbus-daemon "${bus_args[@]}" --fork --print-address=1 --print-pid=1 2>"$work/bus.log" | head -n 2)
DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus_address")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail_helper "the session bus did not start" "$work/bus.log"
pids+=("$(sed -n 2p <<<"$bus_address")")
export DBUS_SESSION_BUS_ADDRESS

# The window manager first, and only once it manages the screen anything else: a window mapped
# before it took over is never managed as a new one and never gets focus. It names itself on the
# root window (_NET_SUPPORTING_WM_CHECK) once it has taken the screen.
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if [ $wm -eq 1 ]; then
  xfwm4 --compositor=off >"$work/xfwm4.log" 2>&1 &
  pids+=($!)
  wait_ready xfwm4 "$work/xfwm4.log" $! wm_ready
fi
# The tray host is ready once it owns the StatusNotifierWatcher name.
if [ $tray -eq 1 ]; then
  xfce4-panel --disable-wm-check >"$work/panel.log" 2>&1 &
  pids+=($!)
  export VESK_PANEL_PID=$!
  wait_ready xfce4-panel "$work/panel.log" $! bus_name_owned org.kde.StatusNotifierWatcher
fi

"$@"
