#!/usr/bin/env bash
# Stops the servers that start.sh started for DATA, found by their pid files. A pid is only
# signalled while its command line still names DATA, so a reused pid is never touched.
#   stop.sh DATA
set -uo pipefail
[[ -d ${1:-} ]] || exit 0
DATA=$(cd "$1" && pwd)

# Gone, or a zombie waiting for whoever adopted it to reap it.
alive() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
  [[ -n $state && $state != Z ]]
}

stop_pid_file() {
  local file=$1 pid
  [[ -s $file ]] || return 0
  pid=$(tr -dc 0-9 <"$file")
  rm -f "$file"
  [[ -n $pid && -r /proc/$pid/cmdline ]] || return 0
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$DATA/" || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 100); do
    alive "$pid" || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
}

stop_pid_file "$DATA/nginx/nginx.pid"
stop_pid_file "$DATA/fault/pid"
exit 0
