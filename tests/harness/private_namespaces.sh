# Sourced first by each harness, with the harness's own arguments.
#
# Nothing a test starts may reach past loopback, name lookups included: pages of real host names
# (the default sites, the sign-in host) must fail here, not go out. The harness therefore runs
# everything in a network namespace of its own that has only a loopback interface. X servers in
# different network namespaces no longer see each other's sockets and pick the same display
# number, so each harness also gets its own copy (a mount namespace with a tmpfs) of the two
# folders where an X server writes files named by that number: its socket folder, where one
# ending server would remove another's socket, and the compiled keymap folder, where two starting
# servers would remove each other's keymap and fail. That needs root (CI runs as root); otherwise
# it says so and goes on in the machine's namespaces.
if [ -z "${VESK_HEADLESS_NETNS:-}" ]; then
  if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null && unshare --net --mount -- true 2>/dev/null; then
    VESK_HEADLESS_NETNS=entering exec unshare --net --mount --propagation private -- bash "$0" "$@"
  fi
  export VESK_HEADLESS_NETNS=none
  echo "$(basename "$0"): no private network namespace (needs root and unshare); pages may reach the network" >&2
elif [ "$VESK_HEADLESS_NETNS" = entering ]; then
  export VESK_HEADLESS_NETNS=private
  ip link set lo up
  mkdir -p /tmp/.X11-unix /var/lib/xkb
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
  mount -t tmpfs -o mode=755 tmpfs /var/lib/xkb
fi
