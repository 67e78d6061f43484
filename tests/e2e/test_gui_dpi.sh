#!/usr/bin/env bash
# On a screen of 144 logical pixels per inch the wizard is 1350 x 840 pixels, centred, and every
# element keeps its place on the 900 x 560 canvas (probed at 1.5 times its canvas position).
# A DPI change while it is open (what Windows sends when the window moves to a monitor of another
# scale) rescales it to 96 and back to 144, its centre kept. The prefix's LogPixels setting is
# restored afterwards.
. "$(dirname "$0")/gui_lib.sh"
gui_begin 1600 1000

GOLD=c9a475 TITLE=ead8b8 HIGHLIGHT=ecd6ae LABEL=e3dccf FIELD=15100d
DPI_KEY='HKCU\Control Panel\Desktop'
old_dpi=$(reg_value "$DPI_KEY" LogPixels)
gui_cleanup() {
  if [[ -n $old_dpi ]]; then
    wine reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$old_dpi" /f >/dev/null 2>&1
  else
    wine reg delete "$DPI_KEY" /v LogPixels /f >/dev/null 2>&1
  fi
}
wine reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1

section "the Folder page at 144 DPI"
start_wizard dpi --page=1 --dir="$GUI_WIN\\Game"
SCALE=1.5
w=$(( WINDOW_RECT[2] - WINDOW_RECT[0] ))
h=$(( WINDOW_RECT[3] - WINDOW_RECT[1] ))
expect_eq "window size" "${w}x${h}" "1350x840"
# Centred in the work area (the whole 1600 x 1000 desktop here).
expect_eq "window position" "${WINDOW_RECT[0]},${WINDOW_RECT[1]}" "125,80"
shot dpi144-folder
probe_near "underline bar" 300 108.7 "$GOLD" 3
probe_near "underline bar" 336 109 "$GOLD" 3
probe_near "current step circle" 50 266 "$GOLD" 4
probe_near "open step circle" 50 322 "$FIELD" 4
expect_text "title" 282 64 850 104 "$TITLE" 40
expect_text "Next caption" 700 478 850 518 "$HIGHLIGHT"
expect_text "the folder in the text box (its font is scaled too)" 292 232 710 252 "$LABEL" 30
# The outer frame of the canvas lies on the window's last pixel row and column.
$PROBE near "$SHOT" 1349 420 605345 12 >/dev/null || fail "the right frame is not at x 1349"
$PROBE near "$SHOT" 675 839 605345 12 >/dev/null || fail "the bottom frame is not at y 839"

# probe_folder_page NAME: the Folder page's landmarks at the current SCALE.
probe_folder_page() {
  shot "$1"
  probe_near "underline bar" 300 108.7 "$GOLD" 3
  probe_near "current step circle" 50 266 "$GOLD" 4
  probe_near "open step circle" 50 322 "$FIELD" 4
  expect_text "title" 282 64 850 104 "$TITLE" 40
  expect_text "Next caption" 700 478 850 518 "$HIGHLIGHT"
  expect_text "the folder in the text box" 292 232 710 252 "$LABEL" 20
}
# change_dpi DPI W H X Y: the window told of a new DPI ends up W x H at (X, Y).
window_at() { query_window && [[ $WINDOW_INFO == *"rect=$1 "* ]]; }
change_dpi() {
  agent_do dpi "$1"
  wait_until 30 window_at "$4,$5,$(($4 + $2)),$(($5 + $3))" ||
    fail "after a change to $1 DPI the window is $WINDOW_INFO, expected ${2}x$3 at $4,$5"
  WIN_X=$4
  WIN_Y=$5
}

section "a DPI change while open: 144 to 96 and back"
change_dpi 96 900 560 350 220
SCALE=1
probe_folder_page dpi-change-96
change_dpi 144 1350 840 125 80
SCALE=1.5
probe_folder_page dpi-change-144
$PROBE near "$SHOT" 1349 420 605345 12 >/dev/null || fail "after the change the right frame is not at x 1349"

section "input is scaled as well"
click 610 498   # Back, at 1.5 times its canvas place
shot dpi144-welcome
probe_near "now the Welcome step is current" 50 210 "$GOLD" 4
click 859 40
expect_eq "exit code" "$(exit_code dpi 60)" 0

pass_or_fail
