#!/usr/bin/env bash
# The main job, end to end on this machine: publish a sample game with quorvel-publish, serve it
# with nginx on 127.0.0.1, and install it with QuorvelSetup under Wine in a prefix of its own:
# unattended when there is no display, with the wizard on screen when there is one.
#   tools/demo.sh BUILD_DIR      (./run demo calls it after installing the packages)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$(mkdir -p "${1:-$ROOT/build}" && cd "${1:-$ROOT/build}" && pwd)
DEMO=$BUILD/demo
PY=/usr/bin/python3
. "$ROOT/tools/services.sh"

say() { printf '\n== %s\n' "$*"; }

say "Building"
QV_BUILD_DIR=$BUILD "$ROOT/run" build >/dev/null
PUBLISH=$BUILD/host/tools/quorvel-publish
SETUP=$BUILD/windows/QuorvelSetup-demo.exe
PORT=$(sed -n 's/^QV_DEMO_PORT:STRING=//p' "$BUILD/windows/CMakeCache.txt")
[[ -x $PUBLISH && -f $SETUP && -n $PORT ]] || { echo "demo: the build is incomplete" >&2; exit 1; }

say "Publishing a sample game (signed with the demo key)"
rm -rf "$DEMO/game" "$DEMO/www"
mkdir -p "$DEMO/www"
$PY "$ROOT/tools/make_sample_game.py" create "$DEMO/game" --files 120 --size 24M --big 1 --big-size 8M >/dev/null
"$PUBLISH" build "$DEMO/game" "$DEMO/www/patch" --key "$ROOT/tools/demo/demo_release.key" --version 1 \
  --game-exe "Play Quorvel.exe" | tail -n 3
"$PUBLISH" verify "$DEMO/www/patch" --public-key "$(cat "$ROOT/tools/demo/demo_release.pub")" | tail -n 1

qv_wine_env "$DEMO/wineprefix"
cleanup() {
  qv_nginx_stop "$DEMO/nginx"
  qv_wine_stop
  qv_screen_stop
}
trap cleanup EXIT

say "Serving it on http://127.0.0.1:$PORT/patch/"
# A server left by an interrupted demo holds the port.
qv_nginx_stop "$DEMO/nginx"
qv_nginx_start "$DEMO/nginx" "$DEMO/www" "$PORT" ||
  { cat "$DEMO/nginx/start.log" "$DEMO/nginx/error.log" 2>/dev/null; echo "demo: nginx did not start" >&2; exit 1; }

UNATTENDED=
if [[ -z ${DISPLAY:-} ]]; then
  # Wine delivers window messages only with a display, so the unattended run gets a virtual one.
  # It must exist before the Wine server starts: a prefix booted without one stays without one.
  UNATTENDED=1
  qv_screen_start "$DEMO" || { echo "demo: Xvfb did not start" >&2; exit 1; }
fi
qv_wine_start

say "Installing"
cp "$SETUP" "$DEMO/QuorvelSetup.exe"
if [[ -z $UNATTENDED ]]; then
  echo "The wizard is on your screen: choose a language and a folder, then Install and Finish."
  wine "$DEMO/QuorvelSetup.exe" --no-launch </dev/null || true
else
  echo "No display: installing unattended into C:\\Quorvel"
  set +e
  timeout 900 wine "$DEMO/QuorvelSetup.exe" --silent --dir='C:\Quorvel' </dev/null
  code=$?
  set -e
  case $code in
    0) echo "QuorvelSetup.exe ended with exit code 0: installed" ;;
    124) echo "demo: QuorvelSetup.exe did not finish within 15 minutes" >&2; exit 1 ;;
    *) echo "QuorvelSetup.exe ended with exit code $code (0 means installed)" ;;
  esac
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
  bad=0; total=0
  while IFS= read -r -d '' f; do
    total=$((total + 1))
    cmp -s "$DEMO/game/$f" "$unix/$f" || { echo "   differs from the published game: $f"; bad=$((bad + 1)); }
  done < <(cd "$DEMO/game" && find . -type f -printf '%P\0')
  echo "$((total - bad)) of the $total published files are installed byte for byte"
fi
WINE_USER=$(id -un)
for lnk in "$WINEPREFIX/drive_c/users/$WINE_USER/Desktop/Quorvel.lnk" \
           "$WINEPREFIX/drive_c/users/$WINE_USER/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"; do
  if [[ -f $lnk ]]; then
    echo "Shortcut: $lnk"
    lnkinfo "$lnk" 2>/dev/null | grep -E 'Local path|Working directory|Description|Icon location' | sed 's/^/   /'
  fi
done

cat <<TEXT

Start the wizard again (repair, another language): run ./run demo again from a terminal with a
display. The setup needs the patch server, which runs only while the demo does.
Uninstall (what Windows runs from the list of installed programs; under Wine it needs a display too):
  WINEPREFIX=$WINEPREFIX wine "${dir:-C:\\Quorvel}\\bin\\Uninstall Quorvel.exe" --uninstall [--silent] [--keep=0]
TEXT
