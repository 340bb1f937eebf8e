# Stops what a harness started, sourced by headless.sh and sway.sh. SIGTERM goes to each process,
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
