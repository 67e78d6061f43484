#!/usr/bin/env bash
# Stops the servers that start.sh started for DATA, found by their pid files. A pid is only
# signalled while its command line still names DATA, so a reused pid is never touched.
#   stop.sh DATA
set -uo pipefail
[[ -d ${1:-} ]] || exit 0
DATA=$(cd "$1" && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/services.sh"

qv_nginx_stop "$DATA/nginx"
qv_stop_pid_file "$DATA/fault/pid" "$DATA/" TERM KILL
exit 0
