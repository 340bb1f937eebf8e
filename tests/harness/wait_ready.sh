# Waits for a helper a harness started, sourced by headless.sh and sway.sh after
# stop_processes.sh. Each helper is waited for by its own readiness signal (a socket, a bus name, a
# window property), with a limit generous enough for a machine whose cores are all busy; a helper
# that stops or is not ready in time ends the harness with its name and its log, never a silent
# carry-on into a test that would then fail for a reason it cannot see.
#   wait_ready NAME LOG PID COMMAND...

# Seconds a helper may take to become ready.
ready_limit=${VESK_READY_SECONDS:-120}

wait_ready() {
  local name=$1 log=$2 pid=$3
  shift 3
  local deadline=$((SECONDS + ready_limit))
  until "$@" >/dev/null 2>&1; do
    if [ -n "$pid" ] && ! still_running "$pid"; then
      echo "$(basename "$0"): $name stopped before it was ready; its log ($log):" >&2
      cat "$log" >&2 2>/dev/null
      exit 1
    fi
    if [ $SECONDS -ge $deadline ]; then
      echo "$(basename "$0"): $name was not ready after $ready_limit s; its log ($log):" >&2
      cat "$log" >&2 2>/dev/null
      exit 1
    fi
    sleep 0.1
  done
}

# Whether a name is owned on the session bus.
bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}
