#!/usr/bin/env bash
# Shared by the wizard's screen tests (test_gui_*.sh). Source it, then call gui_begin. Each
# script gets an X server and a Wine desktop of its own (a named virtual desktop in the run's
# prefix, so nothing of the prefix has to be restarted), runs QuorvelSetup-e2e.exe in it,
# takes screenshots into $QV_BUILD_DIR/screenshots/ and probes their pixels. Everything it
# started is ended again, by process id, however the script ends.
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PROBE="$PY $QV_SOURCE_DIR/tests/e2e/gui_probe.py"
SHOTS=$QV_BUILD_DIR/screenshots

GUI_NAME=$(basename "$0" .sh)
GUI=$WINEPREFIX/drive_c/qvgui/$GUI_NAME   # this script's folder (Unix name)
GUI_WIN="C:\\qvgui\\$GUI_NAME"            # the same folder as Windows names it
DESKTOP=QvGui$$
SCREEN_W=1280
SCREEN_H=800
SCALE=1        # the wizard's DPI scale, for turning canvas units into pixels
WIN_X=0        # the wizard's top-left corner on the screen, once it is up
WIN_Y=0
_runs=()       # wizard runs still to be ended: their exit files

gui_begin() {  # [WIDTH HEIGHT]: the size of the screen and of the Wine desktop
  SCREEN_W=${1:-1280}
  SCREEN_H=${2:-800}
  trap gui_end EXIT
  trap "exit 143" TERM INT
  [[ -x $SETUP_EXE ]] || { echo "no $SETUP_EXE"; exit 1; }
  qv_wine_server
  qv_wine_boot
  rm -rf "$GUI"
  mkdir -p "$GUI" "$SHOTS"
  HELPER=$GUI/gui_helper.exe
  x86_64-w64-mingw32-gcc -municode -static -O2 -o "$HELPER" "$QV_SOURCE_DIR/tests/e2e/gui_helper.c" \
    -loleacc -loleaut32 -lole32 -luuid ||
    { echo "cannot build the helper"; exit 1; }
  start_screen "$GUI" "$SCREEN_W" "$SCREEN_H"
  # One agent lives in the test's desktop and starts everything there (a second explorer for
  # the same desktop would stay behind as its message loop). Programs it starts see
  # QV_GUI_DISPLAY, which lets the unit tests that need a screen run.
  mkdir -p "$GUI/agent"
  QV_GUI_DISPLAY=1 command wine explorer "/desktop=$DESKTOP,${SCREEN_W}x${SCREEN_H}" "$(winpath "$HELPER")" agent \
    "$(winpath "$GUI/agent")" </dev/null >>"$GUI/wine.log" 2>&1 &
}

# agent_do ITEMS...: hands one command to the agent in the desktop.
_agent_seq=0
agent_do() {
  _agent_seq=$((_agent_seq + 1))
  local file
  file=$GUI/agent/$(printf '%06d' "$_agent_seq")
  printf '%s\n' "$@" >"$file.tmp"
  mv "$file.tmp" "$file.cmd"
}

gui_end() {
  local rc=$?
  local f pid
  declare -F gui_cleanup >/dev/null && gui_cleanup   # the script's own clean-up, if any
  for f in "${_runs[@]}"; do
    if [[ ! -e $f && -s $f.pid ]]; then
      pid=$(cat "$f.pid")
      wine "$HELPER" kill "$pid" </dev/null >/dev/null 2>&1
    fi
  done
  for f in "${_runs[@]}"; do wait_until 20 test -e "$f"; done
  [[ -d $GUI/agent ]] && agent_do quit
  stop_release "$GUI/nginx"
  end_leftovers "$GUI_WIN\\"
  for pid in "${_pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$GUI"
  qv_wine_stop
  exit $rc
}

# ---- the wizard -----------------------------------------------------------------------------------
# in_desktop TAG PROGRAM ARGS...: starts a Windows program in this script's desktop; its exit
# code lands in $GUI/TAG.exit when it ends.
in_desktop() {
  local tag=$1 program=$2; shift 2
  local exitfile=$GUI/$tag.exit
  rm -f "$exitfile" "$exitfile.pid"
  _runs+=("$exitfile")
  agent_do run "$(winpath "$exitfile")" "$(winpath "$program")" "$@"
}
# start_wizard TAG ARGS...: starts the wizard and returns once its window is shown (WIN_X, WIN_Y).
start_wizard() {
  local tag=$1; shift
  in_desktop "$tag" "$SETUP_EXE" "$@"
  wait_until 90 window_shown || { fail "the wizard window did not appear ($tag)"; return 1; }
  WIN_X=${WINDOW_RECT[0]}
  WIN_Y=${WINDOW_RECT[1]}
  pointer 450 280   # an empty spot, so that no button starts out hovered
}
# run_wizard TAG ARGS...: another start of the program in the same desktop, waited for.
run_wizard() {
  local tag=$1; shift
  in_desktop "$tag" "$SETUP_EXE" "$@"
  wait_until 120 test -e "$GUI/$tag.exit"
}
# end_run TAG: ends a run that does not close by itself (by its process id) and waits for it.
end_run() {
  [[ -s $GUI/$1.exit.pid ]] && wine "$HELPER" kill "$(cat "$GUI/$1.exit.pid")" </dev/null >/dev/null 2>&1
  wait_until 30 test -e "$GUI/$1.exit"
}
# exit_code TAG SECONDS: the run's exit code once it has ended ("" if it has not).
exit_code() {
  wait_until "$2" test -e "$GUI/$1.exit" || return 0
  tr -d '\r\n' <"$GUI/$1.exit"
}
# query_window: fills WINDOW_INFO ("visible=1 iconic=0 ...") and WINDOW_RECT from the wizard.
query_window() {
  local out=$GUI/window.txt
  rm -f "$out"
  agent_do window "$(winpath "$out")"
  wait_until 30 test -e "$out" || return 1
  WINDOW_INFO=$(tr -d '\r' <"$out")
  local rect=${WINDOW_INFO#*rect=}
  rect=${rect%% *}
  IFS=, read -r -a WINDOW_RECT <<<"$rect"
}
window_shown() { query_window && [[ $WINDOW_INFO == visible=1* ]]; }

# read_tree NAME: the wizard's accessible tree as a screen reader reads it (gui_helper access)
# in TREE, kept as $SHOTS/access-NAME.txt; false if none came (one read takes seconds under Wine
# while a page animates).
read_tree() {
  local out=$GUI/access.txt
  rm -f "$out"
  TREE=
  agent_do access "$(winpath "$out")"
  wait_until 60 test -e "$out" || return 1
  TREE=$(tr -d '\r' <"$out")
  printf '%s\n' "$TREE" >"$SHOTS/access-$1.txt"
}

# ---- screenshots and probes --------------------------------------------------------------------
px() { awk -v v="$1" -v s="$SCALE" 'BEGIN { printf "%d", v * s }'; }
# grab FILE: the wizard's window (900 x 560 canvas units) as a PNG.
grab() {
  local w h
  w=$(px 900); h=$(px 560)
  xwd -root -silent | convert xwd:- -crop "${w}x${h}+${WIN_X}+${WIN_Y}" +repage "$1"
}
# settle FILE: waits for the window's first paint (until then the desktop shows through), then
# grabs until two grabs in a row are the same (paints are slow under Wine).
DESKTOP_COLOUR=256f95
settle() {
  local prev=$GUI/settle.png
  for _ in $(seq 1 300); do
    grab "$prev"
    $PROBE near "$prev" 3 3 "$DESKTOP_COLOUR" 8 >/dev/null || break
    sleep 0.2
  done
  for _ in $(seq 1 120); do
    sleep 0.25
    grab "$1"
    $PROBE same "$1" "$prev" && return 0
    cp "$1" "$prev"
  done
  return 0
}
# shot NAME: a settled screenshot kept as $SHOTS/NAME.png; SHOT is its path.
shot() {
  SHOT=$SHOTS/$1.png
  settle "$SHOT"
}
# shot_now NAME: one grab, not settled (for a page that animates), kept as $SHOTS/NAME.png in SHOT.
shot_now() { SHOT=$SHOTS/$1.png; grab "$SHOT"; }
# probe_near DESCRIPTION X Y RRGGBB TOL: one pixel of SHOT at canvas point (X, Y).
probe_near() {
  local out
  out=$($PROBE near "$SHOT" "$(px "$2")" "$(px "$3")" "$4" "$5") || fail "$1: $out, expected $4 ($(basename "$SHOT"))"
}
# probe_count L T R B RRGGBB TOL: pixels of a canvas box of SHOT near the colour.
probe_count() {
  $PROBE count "$SHOT" "$(px "$1")" "$(px "$2")" "$(px "$3")" "$(px "$4")" "$5" "$6"
}
# expect_text DESCRIPTION L T R B RRGGBB [MIN]: text (at least MIN pixels, default 12) of that
# colour was drawn inside the box.
expect_text() {
  local n
  n=$(probe_count "$2" "$3" "$4" "$5" "$6" 24)
  [[ $n -ge ${7:-12} ]] || fail "$1: no text in $6 drawn in ($2, $3, $4, $5) of $(basename "$SHOT") ($n pixels)"
}
# expect_no_text DESCRIPTION L T R B RRGGBB
expect_no_text() {
  local n
  n=$(probe_count "$2" "$3" "$4" "$5" "$6" 24)
  [[ $n -lt 3 ]] || fail "$1: unexpected $6 pixels in ($2, $3, $4, $5) of $(basename "$SHOT") ($n)"
}

# ---- input -------------------------------------------------------------------------------------
# gui_sync: returns once the wizard has taken in the input sent so far (the agent's round trip
# to its window); with no wizard window it returns at once.
gui_sync() {
  local out=$GUI/sync.txt
  rm -f "$out"
  agent_do sync "$(winpath "$out")"
  wait_until 30 test -e "$out" || fail "the agent did not answer a sync"
}
# pointer X Y: moves the pointer to a canvas point.
pointer() { xdotool mousemove --sync $((WIN_X + $(px "$1"))) $((WIN_Y + $(px "$2"))); gui_sync; }
# click X Y: a left click at a canvas point; the press is taken in before the release comes.
click() {
  pointer "$1" "$2"
  xdotool mousedown 1; gui_sync; xdotool mouseup 1; gui_sync
}
type_text() { xdotool type --delay 30 "$1"; gui_sync; }
key() { xdotool key --delay 40 "$@"; gui_sync; }

# ---- the patch server -------------------------------------------------------------------------
# start_patch_server RELEASE_ROOT [RATE]: the patch server for RELEASE_ROOT (which holds patch/),
# optionally limited to RATE bytes per second per connection.
start_patch_server() { serve_release "$GUI/nginx" "$1" "${2:-}"; }
# lift_limit: the patch server serves new connections at full speed (a reload); transfers under
# way finish at the old rate, the program's next ones go fast.
lift_limit() {
  sed -i 's/limit_rate [^;]*;//' "$GUI/nginx/nginx.conf"
  nginx -e "$GUI/nginx/error.log" -c "$GUI/nginx/nginx.conf" -s reload || fail "nginx did not reload"
}
# make_game DIR FILES SIZE: a deterministic sample game (the project's generator).
make_game() {
  $PY "$QV_SOURCE_DIR/tools/make_sample_game.py" create "$1" --files "$2" --size "$3" --seed 7 >/dev/null ||
    { echo "sample game failed"; exit 1; }
}
# publish GAME RELEASE VERSION [OPTION...]: a signed release of GAME in RELEASE, made by quorvel-publish.
publish() {
  local publisher
  publisher=$(cd "$QV_BUILD_DIR/.." && pwd)/host/tools/quorvel-publish
  [[ -x $publisher ]] || { echo "no $publisher (host build)"; exit 1; }
  "$publisher" build "$1" "$2" --key "$QV_SOURCE_DIR/tests/data/test_release.key" --version "$3" "${@:4}" \
    >"$GUI/publish.log" 2>&1 || { cat "$GUI/publish.log"; echo "publishing failed"; exit 1; }
}

# ---- registry ------------------------------------------------------------------------------------
clean_user_state() {
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  wine reg delete "$SETUP_KEY" /f >/dev/null 2>&1
  return 0
}
