#!/usr/bin/env bash
# What both end-to-end libraries (lib.sh, gui_lib.sh) share: the environment, the checks, the
# virtual screen and the patch server. Sourced by them, never by a test script directly.
set -uo pipefail

: "${QV_BUILD_DIR:?build folder (windows preset)}" "${QV_SOURCE_DIR:?source folder}"
QV_BUILD_DIR=$(cd "$QV_BUILD_DIR" && pwd)
. "$QV_SOURCE_DIR/tools/services.sh"
# Each script has a Wine prefix (registry, user folders, named objects) and a patch server port
# of its own, so that scripts run side by side: a fresh copy of a booted template prefix, and a
# free port, which the test variant of the program takes from QV_E2E_PORT.
_qv_prefixes=$(cd "$QV_BUILD_DIR/.." && pwd)/wineprefixes
_qv_script=$(basename "$0"); _qv_script=${_qv_script%.*}
qv_wine_template "$_qv_prefixes/template" || { echo "the template Wine prefix could not be booted"; exit 1; }
qv_wine_clone "$_qv_prefixes/template" "$_qv_prefixes/$_qv_script" || { echo "the Wine prefix could not be copied"; exit 1; }
qv_wine_env "$_qv_prefixes/$_qv_script"
QV_E2E_PORT=$(qv_free_port)
export QV_E2E_PORT
PY=/usr/bin/python3
SETUP_EXE=$QV_BUILD_DIR/QuorvelSetup-e2e.exe
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
SETUP_KEY='HKCU\Software\Quorvel'
failures=0
_pids=()       # Unix processes of ours (Xvfb), ended by the library's clean-up

# Every Wine call of a script is bounded, so that a program that never ends is reported by the
# step that ran it instead of running into the test's time limit. The report goes to the test's
# own error output (descriptor 9), which a caller's 2>/dev/null does not silence. Programs that
# are meant to run alongside the script are started with `command wine`.
exec 9>&2
wine() {
  timeout 300 wine "$@"
  local rc=$?
  [[ $rc -eq 124 ]] && fail "'wine $*' did not end within 300 s" >&9
  return $rc
}
section() { echo "== $* (at ${SECONDS} s)"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass_or_fail() { [[ $failures -eq 0 ]] && { echo "PASS"; exit 0; }; echo "$failures failure(s)"; exit 1; }
expect_eq() { [[ "$2" == "$3" ]] || fail "$1: got '$2', expected '$3'"; }  # description, actual, expected
wait_until() {  # SECONDS CMD...: true as soon as CMD succeeds
  local limit=$(( $1 * 10 )); shift
  for _ in $(seq 1 "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}
winpath() {  # Windows name of a Unix path (drive C inside the prefix, Z: for the rest)
  local p=${1#"$WINEPREFIX/drive_c/"}
  if [[ $p == "$1" ]]; then
    p=${1#/}
    printf 'Z:\\%s' "${p//\//\\}"
  else
    printf 'C:\\%s' "${p//\//\\}"
  fi
}
# processes_naming TEXT: "PID command line" of each process of this prefix whose command line
# contains TEXT (Wine shows a Windows program's own command line), this shell and its subshells
# left out. Another checkout's test run has its own prefix and the same Windows folder names.
processes_naming() {
  local f pid
  for f in $(grep -l -a -F -- "$1" /proc/[0-9]*/cmdline 2>/dev/null); do
    pid=${f#/proc/}; pid=${pid%/cmdline}
    [[ $pid == "$$" || $pid == "$BASHPID" ]] && continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "$pid $(tr '\0' ' ' <"$f" 2>/dev/null)"
  done
}
# prefix_running REGEX: true while a process of this prefix has a command line matching REGEX
# (extended); processes of other scripts' prefixes do not count.
prefix_running() {
  local pid
  for pid in $(pgrep -f -- "$1"); do
    [[ $pid == "$$" || $pid == "$BASHPID" ]] && continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# end_leftovers TEXT: waits up to 10 s for the processes processes_naming TEXT finds, then names
# and kills those still running: a Windows helper that outlives its script can hold the lock
# the next script waits for.
end_leftovers() {
  local left deadline=$((SECONDS + 10))
  while left=$(processes_naming "$1"); [[ -n $left ]] && (( SECONDS < deadline )); do sleep 0.2; done
  [[ -z $left ]] && return 0
  echo "still running at the end, now killed:"
  echo "$left"
  kill -KILL $(cut -d' ' -f1 <<<"$left") 2>/dev/null
  return 0
}
# reg_value KEY NAME: the data of one value as `wine reg query` prints it (empty if missing).
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '{ if ($1 == n) { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; exit } }'
}

# start_screen FOLDER WIDTH HEIGHT: a virtual screen of the script's own (Wine delivers no
# window messages without one); DISPLAY is set to it.
start_screen() {
  qv_screen_start "$@" || { echo "Xvfb did not start"; exit 1; }
  _pids+=("$QV_SCREEN_PID")
}

# serve_release FOLDER ROOT [RATE]: nginx on 127.0.0.1:$QV_E2E_PORT serving ROOT (which holds
# patch/), optionally limited to RATE bytes per second per connection; its files in FOLDER.
serve_release() {
  local conf=$1 limit=""
  [[ -n ${3:-} ]] && limit="limit_rate $3;"
  # The test variant of the program knows this one port. The previous script's server may still
  # be letting go of it, and another checkout's test run may hold it for a while: wait for it.
  local started=
  for _ in $(seq 1 1200); do
    if qv_nginx_start "$conf" "$2" "$QV_E2E_PORT" "$limit"; then
      started=1; break
    fi
    grep -q 'Address already in use' "$conf/start.log" "$conf/error.log" 2>/dev/null || break
    sleep 0.5
  done
  [[ -n $started ]] ||
    { cat "$conf/start.log" "$conf/error.log" 2>/dev/null; echo "nginx did not start on $QV_E2E_PORT"; exit 1; }
  qv_nginx_wait "http://127.0.0.1:$QV_E2E_PORT/patch/manifest.sig" ||
    { echo "no answer from the patch server"; exit 1; }
}
# fault_server_behind FOLDER ROOT: the fault server (tests/servers/fault_server.py) serving ROOT,
# behind the nginx that serve_release started with FOLDER: nginx keeps the port the test variant
# knows and passes /patch/ through unbuffered. FAULT_PORT is the fault server's own port.
fault_server_behind() {
  local dir=$1
  $PY "$QV_SOURCE_DIR/tests/servers/fault_server.py" --root "$2" \
    --port-file "$dir/fault.port" --pid-file "$dir/fault.pid" </dev/null >/dev/null 2>"$dir/fault.err" &
  _pids+=($!)
  wait_until 20 test -s "$dir/fault.port" || { fail "the fault server did not start"; cat "$dir/fault.err"; return 1; }
  FAULT_PORT=$(cat "$dir/fault.port")
  sed -i "s|    location / {|    location /patch/ { proxy_pass http://127.0.0.1:$FAULT_PORT; proxy_buffering off; proxy_http_version 1.1; proxy_read_timeout 600s; }\n    location / {|" "$dir/nginx/nginx.conf"
  nginx -e "$dir/nginx/error.log" -c "$dir/nginx/nginx.conf" -s reload || fail "nginx did not reload"
  wait_until 20 bash -c "curl -sf -o /dev/null http://127.0.0.1:$QV_E2E_PORT/patch/manifest.sig &&
    curl -sf 'http://127.0.0.1:$FAULT_PORT/_log?prefix=/patch/' | grep -q manifest.sig" ||
    fail "nginx does not pass /patch/ to the fault server"
}
# stop_release FOLDER: stops the server serve_release started with that folder, if it runs.
stop_release() { qv_nginx_stop "$1"; }
