# How a harness starts and stops, sourced by every harness. `start_harness NAME` makes the work
# folder $work, the list $pids of what the harness starts, and stops them and removes the folder
# when the harness ends; `fail_helper WHAT LOG` ends the harness saying what a helper left out.
# `stop_processes` sends SIGTERM to each process,
# newest first; whatever still runs 5 s later (a window manager stuck on a display that is going
# away) gets SIGKILL. The harness's own children are reaped, so a harness never waits without end
# for a helper that ignores SIGTERM.
#   stop_processes pid...

# Whether the process runs: a child that ended but has not been reaped yet does not.
still_running() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }  # the state follows the command name, which may hold spaces and parentheses
  [ "${stat:0:1}" != Z ]
}

stop_processes() {
  local pid i running
  for ((i = $#; i >= 1; i--)); do kill "${!i}" 2>/dev/null || true; done
  for _ in $(seq 1 50); do
    running=0
    for pid in "$@"; do still_running "$pid" && running=1; done
    [ "$running" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "$@"; do
    if still_running "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
    wait "$pid" 2>/dev/null || true
  done
}

start_harness() {
  harness_name=$1
  work=$(mktemp -d "/tmp/vesk-$1.XXXXXX")
  pids=()
  trap stop_harness EXIT INT TERM
}
stop_harness() {
  local status=$?
  stop_processes "${pids[@]}"
  # Bus-activated helpers (xfconfd) may still be saving into the folder as it is removed.
  for _ in $(seq 1 20); do rm -rf "$work" 2>/dev/null && break; sleep 0.1; done
  exit $status
}

# A helper that started but left out what the session needs: say which, with its log.
fail_helper() {
  echo "$harness_name.sh: $1; its log ($2):" >&2
  cat "$2" >&2
  exit 1
}
