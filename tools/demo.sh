#!/usr/bin/env bash
# The main job, end to end on this machine: publish a sample game with quorvel-publish, serve it
# with nginx on 127.0.0.1, and install it with QuorvelSetup under Wine in a prefix of its own:
# unattended when there is no display, with the wizard on screen when there is one.
#   tools/demo.sh BUILD_DIR      (./run demo calls it after installing the packages)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build}
DEMO=$BUILD/demo
PY=/usr/bin/python3

say() { printf '\n== %s\n' "$*"; }

say "Building"
QV_BUILD_DIR=$BUILD "$ROOT/run" build >/dev/null
PUBLISH=$BUILD/host/tools/quorvel-publish
SETUP=$BUILD/windows/QuorvelSetup-demo.exe
PORT=$(sed -n 's/^QV_DEMO_PORT:STRING=//p' "$BUILD/windows/CMakeCache.txt")
[[ -x $PUBLISH && -f $SETUP && -n $PORT ]] || { echo "demo: the build is incomplete" >&2; exit 1; }

say "Publishing a sample game (signed with the demo key)"
rm -rf "$DEMO/game" "$DEMO/www"
mkdir -p "$DEMO/nginx/tmp" "$DEMO/www"
$PY "$ROOT/tools/make_sample_game.py" create "$DEMO/game" --files 120 --size 24M --big 1 --big-size 8M >/dev/null
"$PUBLISH" build "$DEMO/game" "$DEMO/www/patch" --key "$ROOT/tools/demo/demo_release.key" --version 1 \
  --game-exe "Play Quorvel.exe" | tail -n 3
"$PUBLISH" verify "$DEMO/www/patch" --public-key "$(cat "$ROOT/tools/demo/demo_release.pub")" | tail -n 1

say "Serving it on http://127.0.0.1:$PORT/patch/"
cat >"$DEMO/nginx/nginx.conf" <<CONF
user root;
daemon on;
pid $DEMO/nginx/nginx.pid;
error_log $DEMO/nginx/error.log warn;
events { worker_connections 64; }
http {
  access_log $DEMO/nginx/access.log;
  client_body_temp_path $DEMO/nginx/tmp/body;
  proxy_temp_path $DEMO/nginx/tmp/proxy;
  default_type application/octet-stream;
  types { application/json json; }
  server { listen 127.0.0.1:$PORT; root $DEMO/www; }
}
CONF
nginx_pid() { cat "$DEMO/nginx/nginx.pid" 2>/dev/null || true; }
if [[ -n $(nginx_pid) ]] && kill -0 "$(nginx_pid)" 2>/dev/null; then kill "$(nginx_pid)"; sleep 0.5; fi
nginx -e "$DEMO/nginx/error.log" -c "$DEMO/nginx/nginx.conf"

export WINEPREFIX=$DEMO/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" WINEARCH=win64
mkdir -p "$WINEPREFIX"
cleanup() {
  local pid; pid=$(nginx_pid)
  [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
(setsid wineserver -p </dev/null >/dev/null 2>&1 &)
wine wineboot -i </dev/null >/dev/null 2>&1 || true

say "Installing"
cp "$SETUP" "$DEMO/QuorvelSetup.exe"
if [[ -n ${DISPLAY:-} ]]; then
  echo "The wizard is on your screen: choose a language and a folder, then Install and Finish."
  wine "$DEMO/QuorvelSetup.exe" --no-launch </dev/null || true
else
  # Wine delivers window messages only with a display, so the unattended run gets a virtual one.
  for n in $(seq 90 120); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
  echo "No display: installing unattended into C:\\Quorvel"
  set +e
  DISPLAY=":$n" wine "$DEMO/QuorvelSetup.exe" --silent --dir='C:\Quorvel' </dev/null
  code=$?
  set -e
  kill "$XVFB_PID" 2>/dev/null || true
  echo "QuorvelSetup.exe ended with exit code $code (0 means installed)"
fi

say "What the setup left on this machine"
reg() { wine reg query "$1" 2>/dev/null | tr -d '\r' | sed '/^$/d' || echo "   (none)"; }
reg 'HKCU\Software\Quorvel'
reg 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
dir=$(wine reg query 'HKCU\Software\Quorvel' /v InstallPath 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
if [[ -n $dir ]]; then
  unix=$(winepath -u "$dir" 2>/dev/null | tr -d '\r')
  echo
  echo "Installed into $dir ($unix): $(find "$unix" -type f | wc -l) files, $(du -sh "$unix" | cut -f1)"
fi
for lnk in "$WINEPREFIX/drive_c/users/$USER/Desktop/Quorvel.lnk" \
           "$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"; do
  if [[ -f $lnk ]]; then
    echo "Shortcut: $lnk"
    lnkinfo "$lnk" 2>/dev/null | grep -E 'Local path|Working directory|Description|Icon location' | sed 's/^/   /'
  fi
done

cat <<TEXT

Start the wizard again (repair, another language):
  WINEPREFIX=$WINEPREFIX wine "$DEMO/QuorvelSetup.exe"       (with the server: ./run demo)
Uninstall (what Windows runs from the list of installed programs):
  WINEPREFIX=$WINEPREFIX wine "${dir:-C:\\Quorvel}\\bin\\Uninstall Quorvel.exe" --uninstall [--silent] [--keep=0]
TEXT
