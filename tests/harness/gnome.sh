#!/usr/bin/env bash
# Runs a command in a private headless GNOME 43 Wayland session: Xvfb as the outer screen,
# gnome-shell nested in it as a Wayland compositor with Xwayland for X11 clients and the
# AppIndicator extension (the tray host GNOME users install) enabled, a private D-Bus session bus
# and a private system bus, and fresh XDG folders. Everything it starts is stopped when it ends.
#   gnome.sh -- command args...
# The command sees DISPLAY and XAUTHORITY (mutter's Xwayland, where X11 clients such as Vesk
# run), WAYLAND_DISPLAY, VESK_OUTER_DISPLAY (the Xvfb screen gnome-shell draws into: screenshots,
# and keys and clicks with xdotool, which mutter hands on as the seat's input) and VESK_TEST_TMP.
# Needs root (gnome-shell wants a login manager: a tmpfs over /run/systemd in the harness's own
# mount namespace makes it use its stand-in). Exits 77 when a part of the session is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

source "$here/private_namespaces.sh"
source "$here/stop_processes.sh"
source "$here/wait_ready.sh"
[ "${1:-}" = -- ] && shift
[ $# -gt 0 ] || { echo "usage: gnome.sh -- command..." >&2; exit 2; }
extension=ubuntu-appindicators@ubuntu.com
for tool in Xvfb gnome-shell gsettings Xwayland xdotool; do
  command -v "$tool" >/dev/null || { echo "gnome.sh: $tool is not installed" >&2; exit 77; }
done
[ -d "/usr/share/gnome-shell/extensions/$extension" ] ||
  { echo "gnome.sh: the AppIndicator extension is not installed" >&2; exit 77; }
[ "$VESK_HEADLESS_NETNS" = private ] ||
  { echo "gnome.sh: needs root for a mount namespace of its own" >&2; exit 77; }

start_harness gnome


# No systemd and no logind in here: mutter then runs on its stand-in for a login manager.
mount -t tmpfs -o mode=755 tmpfs /run/systemd

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" XDG_DOWNLOAD_DIR="$work/home/Downloads"
mkdir -p "$HOME/Downloads" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export VESK_TEST_TMP="$work" NO_AT_BRIDGE=1 GTK_A11Y=none
unset WAYLAND_DISPLAY SESSION_MANAGER GDK_BACKEND XAUTHORITY
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome XDG_SESSION_TYPE=wayland

exec {dfd}<> <(:)
Xvfb -displayfd "$dfd" -screen 0 1280x800x24 -nolisten tcp -noreset +extension XInputExtension \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
outer=""
read -r -t "$ready_limit" -u "$dfd" outer || true
[ -n "$outer" ] || { echo "gnome.sh: Xvfb did not start; its log:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export VESK_OUTER_DISPLAY=":$outer"

# A system bus of the harness's own (gnome-shell asks it for accounts, power and the like and
# goes on without them) and a session bus that starts services on demand (dconf), as a desktop's does.
cat >"$work/system-bus.conf" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy>
</busconfig>
EOF
system_bus=$(dbus-daemon --config-file="$work/system-bus.conf" --fork --print-address=1 --print-pid=1 \
  2>"$work/system-bus.log" | head -n 2)
DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$system_bus")
[ -n "$DBUS_SYSTEM_BUS_ADDRESS" ] || fail_helper "the system bus did not start" "$work/system-bus.log"
export DBUS_SYSTEM_BUS_ADDRESS
pids+=("$(sed -n 2p <<<"$system_bus")")
bus_address=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>"$work/bus.log" | head -n 2)
DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus_address")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail_helper "the session bus did not start" "$work/bus.log"
pids+=("$(sed -n 2p <<<"$bus_address")")
export DBUS_SESSION_BUS_ADDRESS

# The extension on, the welcome tour off, the overview not shown at start.
gsettings set org.gnome.shell enabled-extensions "['$extension']"
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
gsettings get org.gnome.shell enabled-extensions | grep -q "$extension" ||
  { echo "gnome.sh: the extension could not be enabled" >&2; exit 1; }

# The nested screen fills the outer one.
MUTTER_DEBUG_DUMMY_MODE_SPECS=1280x800 DISPLAY="$VESK_OUTER_DISPLAY" gnome-shell --nested --wayland >"$work/gnome-shell.log" 2>&1 &
pids+=($!)
wait_ready gnome-shell "$work/gnome-shell.log" "${pids[-1]}" bus_name_owned org.gnome.Shell
# Its Wayland socket, and its Xwayland's display and the key (XAUTHORITY) X11 clients need.
xwayland_auth() { ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1; }
wait_ready "gnome-shell's Xwayland" "$work/gnome-shell.log" "${pids[-1]}" xwayland_auth
wait_ready "gnome-shell's Wayland socket" "$work/gnome-shell.log" "${pids[-1]}" test -S "$XDG_RUNTIME_DIR/wayland-0"
XAUTHORITY=$(xwayland_auth)
display=$(sed -nE 's/.*Using public X11 display (:[0-9]+).*/\1/p' "$work/gnome-shell.log" | head -n 1)
[ -n "$display" ] || fail_helper "gnome-shell named no Xwayland display" "$work/gnome-shell.log"
export DISPLAY="$display" XAUTHORITY WAYLAND_DISPLAY=wayland-0
wait_ready "gnome-shell's Xwayland" "$work/gnome-shell.log" "${pids[-1]}" xdpyinfo
wait_ready "the AppIndicator extension" "$work/gnome-shell.log" "${pids[-1]}" bus_name_owned org.kde.StatusNotifierWatcher
# gnome-shell starts in the overview, where no window shows: hand over the desktop.
shell_property() {
  dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Get \
    string:org.gnome.Shell "string:$1" 2>/dev/null | grep -q "boolean $2"
}
dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Properties.Set \
  string:org.gnome.Shell string:OverviewActive variant:boolean:false >/dev/null
wait_ready "gnome-shell's desktop (it stays in the overview)" "$work/gnome-shell.log" "${pids[-1]}" shell_property OverviewActive false

"$@"
