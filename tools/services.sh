#!/usr/bin/env bash
# The services a run of the tests, the demo or the benchmark starts for itself: a virtual
# screen, a Wine prefix of its own and nginx on 127.0.0.1. Sourced (by run, tools/demo.sh,
# bench/run.sh, tests/e2e/common.sh, tests/servers/*.sh); it only defines functions.
# Each run stops what it started, by process id or with `wineserver -k` for its own prefix.

# ---- Wine -------------------------------------------------------------------------------------
# qv_wine_env PREFIX: the environment for a prefix of the project's own (never ~/.wine).
# The overrides keep Wine from offering to install Mono and Gecko, and keep winemenubuilder
# from mirroring every shortcut a program makes into the Unix user's menus.
qv_wine_env() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d" WINEARCH=win64
  mkdir -p "$WINEPREFIX"
}

# qv_wine_server: a server for $WINEPREFIX (it exits at once if one is running), started
# detached and with no inherited descriptors: Wine's service processes outlive the programs that
# started them, and a test runner waits for whoever holds its pipes.
qv_wine_server() {
  # Not in the background: the server forks itself once its socket is up, so the next Wine
  # program finds it; one started before that would start a server of its own that ends with it.
  setsid -w wineserver -p </dev/null >/dev/null 2>&1
}

# qv_wine_boot: brings the prefix up (creates it the first time). Not "wineboot -i": on a
# running prefix that starts a second set of service processes.
qv_wine_boot() {
  wine wineboot </dev/null >/dev/null 2>&1
}

# qv_wine_start [HOLDER]: a fresh server for the prefix (one left from an earlier run is ended),
# the prefix booted, and HOLDER (a Windows program) started detached if given. A run whose
# programs open windows sets DISPLAY first: Wine delivers window messages only to programs that
# have a display, and a desktop process started without one leaves every later window of the
# prefix without messages.
qv_wine_start() {
  qv_wine_stop
  qv_wine_server
  qv_wine_boot || true
  # One user of the default desktop for the whole run, so that Wine does not end and restart
  # its desktop process between tests (two tests restarting it at once can lose a window).
  if [[ -n ${1:-} && -f $1 ]]; then (setsid wine "$1" </dev/null >/dev/null 2>&1 &); fi
  return 0
}

# qv_wine_stop: ends the server of $WINEPREFIX, and with it every process of this prefix only.
qv_wine_stop() {
  [[ -n ${WINEPREFIX:-} ]] || return 0
  wineserver -k >/dev/null 2>&1 || true
}

# qv_wine_template FOLDER: a booted prefix in FOLDER, its server ended, for qv_wine_clone to copy;
# booted the first time only (under a lock, since scripts running side by side may ask at once).
qv_wine_template() {
  mkdir -p "$(dirname "$1")"
  (
    flock 8
    [[ -f $1/.booted ]] && exit 0
    rm -rf "$1"
    qv_wine_env "$1"
    # Not persistent: the server ends, and saves the registry, once wineboot's services are done.
    wine wineboot </dev/null >/dev/null 2>&1 8>&-
    wineserver -w
    [[ -f $1/system.reg ]] && touch "$1/.booted"
  ) 8>"$1.lock"
  [[ -f $1/.booted ]]
}

# qv_wine_clone TEMPLATE FOLDER: FOLDER becomes a fresh prefix like TEMPLATE in well under a
# second: the 700 MB Windows folder is hard-linked (Wine never writes its DLLs in place), the
# registry and the users' folders are copied. A server of an earlier FOLDER is ended first.
qv_wine_clone() {
  [[ -d $2 ]] && WINEPREFIX=$2 wineserver -k >/dev/null 2>&1
  rm -rf "$2"
  mkdir -p "$2/drive_c" || return 1
  local item
  for item in "$1"/* "$1"/.update-timestamp; do
    [[ $(basename "$item") == drive_c ]] || cp -a "$item" "$2/" || return 1
  done
  for item in "$1"/drive_c/*; do
    if [[ $(basename "$item") == windows ]]; then cp -al "$item" "$2/drive_c/"; else cp -a "$item" "$2/drive_c/"; fi || return 1
  done
}

# ---- the virtual screen -------------------------------------------------------------------------
# qv_screen_start FOLDER [WIDTH HEIGHT]: an X server on a display number Xvfb picks itself (a
# fifo in FOLDER carries it), never the user's screen. Sets DISPLAY and QV_SCREEN_PID; fails if
# Xvfb did not start within 20 s.
qv_screen_start() {
  local fifo=$1/.display n=
  QV_SCREEN_PID=
  rm -f "$fifo" && mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 "${2:-1280}x${3:-800}x24" -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
  QV_SCREEN_PID=$!
  read -r -t 20 n <"$fifo" || true
  rm -f "$fifo"
  if [[ -z $n ]]; then
    kill "$QV_SCREEN_PID" 2>/dev/null || true
    QV_SCREEN_PID=
    return 1
  fi
  export DISPLAY=:$n
}

# qv_screen_stop: ends the X server qv_screen_start started, if any.
qv_screen_stop() {
  if [[ -n ${QV_SCREEN_PID:-} ]]; then kill "$QV_SCREEN_PID" 2>/dev/null || true; fi
  QV_SCREEN_PID=
  return 0
}

# ---- nginx ------------------------------------------------------------------------------------
# qv_free_port: a TCP port on 127.0.0.1 that nobody listens on right now.
qv_free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# qv_nginx_start FOLDER ROOT PORT [DIRECTIVES]: nginx on 127.0.0.1:PORT serving ROOT (real 200,
# 206 and 404), its configuration, pid file and logs (access.log, error.log, start.log) in
# FOLDER; DIRECTIVES go into its one location (for example "limit_rate 65536;"). Fails if nginx
# did not start; a port in use leaves "Address already in use" in FOLDER/start.log.
qv_nginx_start() {
  local conf temp_paths module
  conf=$(mkdir -p "$1/tmp" && cd "$1" && pwd) || return 1
  # Each temporary folder goes to FOLDER; a module the build leaves out has no directive for it.
  temp_paths="client_body_temp_path $conf/tmp/body; proxy_temp_path $conf/tmp/proxy;"
  for module in fastcgi uwsgi scgi; do
    nginx -V 2>&1 | grep -q -- "--without-http_${module}_module" || temp_paths+=" ${module}_temp_path $conf/tmp/$module;"
  done
  cat >"$conf/nginx.conf" <<CONF
# Started and stopped by the run that wrote this file (tools/services.sh).
user root;
daemon on;
master_process on;
worker_processes 2;
pid $conf/nginx.pid;
error_log $conf/error.log warn;
events { worker_connections 512; }
http {
  access_log $conf/access.log;
  $temp_paths
  types { application/json json; application/octet-stream sig z; }
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$3;
    root $2;
    location / { ${4:-} }
  }
}
CONF
  nginx -e "$conf/error.log" -c "$conf/nginx.conf" </dev/null >"$conf/start.log" 2>&1
}

# qv_nginx_wait URL: true once URL answers (bounded at 10 s).
qv_nginx_wait() {
  local _
  for _ in $(seq 1 100); do
    curl -sf -o /dev/null "$1" && return 0
    sleep 0.1
  done
  return 1
}

# qv_nginx_stop FOLDER: stops the nginx that qv_nginx_start started with FOLDER, if it runs.
# A connection that stays open keeps a graceful stop waiting, and the next run needs the port:
# graceful first, then fast, then killed.
qv_nginx_stop() {
  local conf
  conf=$(cd "$1" 2>/dev/null && pwd) || return 0
  qv_stop_pid_file "$conf/nginx.pid" "$conf/" QUIT TERM KILL
}

# ---- processes ----------------------------------------------------------------------------------
# qv_stop_pid_file FILE TEXT SIGNAL...: sends the process named in FILE each SIGNAL in turn, up
# to 5 s apart, until it is gone; FILE is removed. The pid is only signalled while the process's
# command line contains TEXT, so a reused pid is never touched.
qv_stop_pid_file() {
  local file=$1 text=$2 pid sig _
  shift 2
  [[ -s $file ]] || return 0
  pid=$(tr -dc 0-9 <"$file")
  rm -f "$file"
  [[ -n $pid && -r /proc/$pid/cmdline ]] || return 0
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$text" || return 0
  for sig in "$@"; do
    kill -"$sig" "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 100); do
      _qv_alive "$pid" || return 0
      sleep 0.05
    done
  done
  return 0
}

# Gone, or a zombie waiting for whoever adopted it to reap it.
_qv_alive() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
  [[ -n $state && $state != Z ]]
}
