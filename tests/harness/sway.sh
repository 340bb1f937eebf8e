#!/usr/bin/env bash
# Runs a command in a private headless sway session: sway on wlroots' headless backend with the
# pixman renderer (no GPU, no input devices), waybar at the top as the StatusNotifierWatcher and
# tray, a private D-Bus session bus and fresh XDG folders; with --xwayland sway also starts
# Xwayland and DISPLAY is set. sway refuses to run as root, so when run as root the compositor
# and the bar run as the unprivileged user `nobody` in the harness's own folders, and the bus
# lets both users in. Everything it starts is stopped when it ends.
#   sway.sh [--xwayland] [--no-bar] -- command args...
# The command sees WAYLAND_DISPLAY, SWAYSOCK, VESK_TEST_TMP and, with
# --xwayland, DISPLAY.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

source "$here/private_namespaces.sh"
source "$here/stop_processes.sh"
source "$here/wait_ready.sh"
xwayland=0 bar=1
while [ $# -gt 0 ]; do
  case "$1" in
    --xwayland) xwayland=1 ;;
    --no-bar) bar=0 ;;
    --) shift; break ;;
    *) echo "sway.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -gt 0 ] || { echo "usage: sway.sh [--xwayland] [--no-bar] -- command..." >&2; exit 2; }
for tool in sway swaymsg; do
  command -v "$tool" >/dev/null || { echo "sway.sh: $tool is not installed" >&2; exit 77; }
done
[ $bar -eq 0 ] || command -v waybar >/dev/null || { echo "sway.sh: waybar is not installed" >&2; exit 77; }
[ $xwayland -eq 0 ] || command -v Xwayland >/dev/null || { echo "sway.sh: Xwayland is not installed" >&2; exit 77; }

start_harness sway
chmod 755 "$work"

# The compositor's user and its own runtime folder (0700, as Wayland wants).
as_user=()
if [ "$(id -u)" = 0 ]; then
  user=nobody
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  as_user=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups --)
fi
session="$work/session"
mkdir -p "$session/runtime" "$session/config/sway" "$session/config/waybar" "$session/home"
chmod 700 "$session/runtime"
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:$(id -g "$user")" "$session"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" XDG_DOWNLOAD_DIR="$work/home/Downloads"
mkdir -p "$HOME/Downloads" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export VESK_TEST_TMP="$work" NO_AT_BRIDGE=1 GTK_A11Y=none
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK SESSION_MANAGER GDK_BACKEND

# A session bus both users may connect to, without service activation.
sed -e 's|<policy context="default">|<policy context="default">\n    <allow user="*"/>|' \
  "$here/session-bus.conf" >"$work/bus.conf"
# The bus keeps the umask for its socket: open to the compositor's user too.
bus_address=$(umask 000 && dbus-daemon --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1 2>"$work/bus.log" | head -n 2)
DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus_address")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail_helper "the session bus did not start" "$work/bus.log"
pids+=("$(sed -n 2p <<<"$bus_address")")
export DBUS_SESSION_BUS_ADDRESS

{
  echo "output HEADLESS-1 resolution 1280x800 position 0 0"
  echo "xwayland $([ $xwayland -eq 1 ] && echo enable || echo disable)"
  echo "default_border normal"
  echo "focus_follows_mouse no"
} >"$session/config/sway/config"
cat >"$session/config/waybar/config" <<'EOF'
{ "layer": "top", "position": "top", "height": 30,
  "modules-right": ["tray", "clock"],
  "tray": { "icon-size": 20, "spacing": 6 }, "clock": { "format": "{:%H:%M}" } }
EOF
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:$(id -g "$user")" "$session/config"

session_env=(env -i PATH="$PATH" HOME="$session/home" XDG_RUNTIME_DIR="$session/runtime"
  XDG_CONFIG_HOME="$session/config" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1
  XDG_CURRENT_DESKTOP=sway)
"${as_user[@]}" "${session_env[@]}" sway -c "$session/config/sway/config" >"$work/sway.log" 2>&1 &
sway_pid=$!
pids+=("$sway_pid")
# sway is ready for clients once its Wayland socket and its IPC socket exist and it reports its
# output.
socket="" ipc=""
sway_sockets() {
  socket=$(find "$session/runtime" -maxdepth 1 -name 'wayland-*' -type s 2>/dev/null | head -n 1)
  ipc=$(find "$session/runtime" -maxdepth 1 -name 'sway-ipc.*.sock' -type s 2>/dev/null | head -n 1)
  [ -n "$socket" ] && [ -n "$ipc" ]
}
wait_ready sway "$work/sway.log" "$sway_pid" sway_sockets
# Clients find the display by name in their own runtime folder (WebKit's sandbox lets its web
# processes see only that path): link the compositor's socket there.
ln "$socket" "$XDG_RUNTIME_DIR/wayland-1"
export WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$ipc" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
sway_output() { swaymsg -t get_outputs 2>/dev/null | grep -q HEADLESS-1; }
wait_ready "sway's output" "$work/sway.log" "$sway_pid" sway_output

if [ $xwayland -eq 1 ]; then
  # sway starts Xwayland lazily; its display number is in the environment it gives to `exec`.
  swaymsg "exec env > $session/runtime/exec-env" >/dev/null
  xwayland_display() {
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$session/runtime/exec-env" 2>/dev/null)
    [ -n "$DISPLAY" ]
  }
  wait_ready "sway's Xwayland display" "$work/sway.log" "$sway_pid" xwayland_display
  export DISPLAY
  # Xwayland is ready once it takes a client. It lets in only the compositor's user: as root,
  # that user lets this one in, which is the first connection.
  xwayland_ready() {
    if [ ${#as_user[@]} -gt 0 ]; then
      "${as_user[@]}" env DISPLAY="$DISPLAY" xhost "+si:localuser:$(id -un)"
    else
      xdpyinfo -display "$DISPLAY"
    fi
  }
  wait_ready Xwayland "$work/sway.log" "$sway_pid" xwayland_ready
fi

if [ $bar -eq 1 ]; then
  "${as_user[@]}" "${session_env[@]}" WAYLAND_DISPLAY="$socket" waybar -c "$session/config/waybar/config" \
    >"$work/waybar.log" 2>&1 &
  pids+=($!)
  wait_ready waybar "$work/waybar.log" $! bus_name_owned org.kde.StatusNotifierWatcher
fi

"$@"
