#!/usr/bin/env bash
# Every page of the wizard (--page=0 to 9) and the language list, on a real screen, kept as
# screenshots in $QV_BUILD_DIR/screenshots/ and checked by pixels at the places the layout fixes:
# the gold bar under the title, the side bar's step circles, button faces and captions, the
# error line, the space bar, and that each text was really drawn. Also the unit tests that need
# a screen (the folder text box, a repaint after a device loss).
. "$(dirname "$0")/gui_lib.sh"
gui_begin

# Colours of the palette.
GOLD=c9a475 TITLE=ead8b8 LABEL=e3dccf HIGHLIGHT=ecd6ae MUTED=a6978a DIM=76695c
GOOD=7fd17f BAD=e9705f FIELD=15100d LIST=120e0b DARKGOLD=8e7352

# goldish DESCRIPTION X Y: a pixel with gold's warm tint (a done step's translucent gold).
goldish() {
  local r g b
  read -r r g b < <($PROBE pixel "$SHOT" "$(px "$2")" "$(px "$3")")
  (( r - b >= 25 && r > 60 )) || fail "$1: ($r, $g, $b) is not gold-tinted ($(basename "$SHOT"))"
}
# step_circles PAGE: the five circles of the side bar as that page shows them.
step_circles() {
  local i cy
  for i in 0 1 2 3 4; do
    cy=$((210 + 56 * i))
    if (( i == $1 )); then
      probe_near "current step $((i + 1))" 50 "$cy" "$GOLD" 4
    elif (( i < $1 )); then
      goldish "done step $((i + 1))" 50 "$cy"
    else
      probe_near "open step $((i + 1))" 50 "$cy" "$FIELD" 4
    fi
  done
}
# header: the title's gold underline bar and the title and subtitle texts.
header() {
  probe_near "underline bar" 300 108 "$GOLD" 3
  probe_near "underline bar" 337 109 "$GOLD" 3
  expect_text "title" 282 64 850 104 "$TITLE"
  expect_text "subtitle" 282 122 850 170 "$MUTED"
}
close_wizard() {  # TAG: the title bar's close button, then the exit code must be 0
  click 859 40
  expect_eq "exit code after closing ($1)" "$(exit_code "$1" 60)" 0
}
# access NAME: the wizard's accessible tree as a reader reads it (TREE), kept in $SHOTS; every
# element has a name, and whatever is focusable is one the keyboard reaches (no title buttons).
access() {
  read_tree "$1" || { fail "no accessible tree ($1)"; return 1; }
  ! grep -E '^>*[a-z]+\|[A-Z]*\|\|' <<<"$TREE" || fail "$1: an element without a name"
  ! grep -E '^button\|[A-Z]*\|Minimise\|.*\|K$' <<<"$TREE" || fail "$1: Minimise is offered as focusable"
}
# announced LINE: the event log has that line (an event as a reader resolves it).
EVENTS=$GUI/events.txt
announced() {
  wait_until 20 grep -qxF "$1" "$EVENTS" || fail "not announced: $1 (log: $(tr '\n' ';' <"$EVENTS"))"
}
agent_do events "$(winpath "$EVENTS")"
wait_until 30 test -e "$EVENTS" || fail "no event log"

section "page 0 while the size query fails: the page says so"
# Our own server, with no release yet: the query gets no manifest (and no other server on the
# port can answer it). The release is published into the same folder afterwards.
mkdir -p "$GUI/www/patch" && : >"$GUI/www/patch/manifest.sig"
start_patch_server "$GUI/www"
start_wizard nosrv --page=0
for _ in $(seq 1 60); do
  grab "$GUI/probe.png"
  [[ $($PROBE count "$GUI/probe.png" 282 448 850 472 "$BAD" 24) -ge 12 ]] && break
  sleep 1
done
pointer 450 280
shot page0-welcome-no-server
expect_text "the connection error instead of waiting" 282 448 850 472 "$BAD"
announced 'alert|alert|Could not connect to the patch server.'
access welcome-no-server
close_wizard nosrv

section "a release to show the version and size of"
GAME=$GUI/game
make_game "$GAME" 20 2M
rm -f "$GUI/www/patch/manifest.sig"
publish "$GAME" "$GUI/www/patch" 7

section "page 0: Welcome"
start_wizard page0 --page=0 --dir="$GUI_WIN\\Target"
# The size query answers soon; wait for the version to appear.
for _ in $(seq 1 60); do
  grab "$GUI/probe.png"
  [[ $($PROBE count "$GUI/probe.png" 282 311 452 334 "$HIGHLIGHT" 24) -ge 12 ]] && break
  sleep 1
done
pointer 450 280
shot page0-welcome
header
step_circles 0
expect_text "step names" 84 196 224 448 "$MUTED"
expect_text "current step name" 84 196 224 224 "$HIGHLIGHT"
expect_text "Game language caption" 282 202 850 224 "$LABEL"
expect_text "language selector" 294 228 532 264 "$LABEL"
probe_near "selector card" 520 235 "$FIELD" 6
expect_text "Version caption" 282 292 452 310 "$MUTED"
expect_text "version value" 282 311 452 334 "$HIGHLIGHT"
expect_text "game size value" 462 311 682 334 "$HIGHLIGHT"
expect_text "Next caption" 700 478 850 518 "$HIGHLIGHT"
expect_text "Cancel caption" 540 478 690 518 "$LABEL"
# Both faces are the button picture, not the panel behind them.
face=$($PROBE mean "$SHOT" 545 482 560 514)
panel=$($PROBE mean "$SHOT" 520 482 535 514)
[[ "$face" != "$panel" ]] || fail "the Cancel button has no face"
expect_no_text "no existing-installation note" 282 348 850 368 "$GOOD"
access welcome
# Each caption just before its value.
grep -A1 '^text||Version|' <<<"$TREE" | grep -q '^text||7|' || fail "the version does not follow its caption: $TREE"
grep -A1 '^text||Game size|' <<<"$TREE" | grep -q '^text||[0-9.]* MB|' || fail "the size does not follow its caption: $TREE"

section "the language list"
click 420 246
shot overlay-language-list
probe_near "list background" 525 237 "$LIST" 4
probe_near "list frame" 282 400 "$DARKGOLD" 8
probe_near "list frame" 535 300 "$DARKGOLD" 8
expect_text "language names" 295 223 506 251 "$LABEL"
expect_text "the current language" 295 251 506 279 "$HIGHLIGHT"
expect_text "its check mark" 507 251 535 279 "$HIGHLIGHT" 5
check=$($PROBE contrast "$SHOT" "$(px 507)" "$(px 252)" "$(px 535)" "$(px 278)")
echo "check mark contrast $check:1"
awk -v c="$check" 'BEGIN { exit !(c >= 3) }' || fail "the check mark's contrast $check:1, below 3:1"
expect_text "the last language" 295 503 506 531 "$LABEL"
# The open list leaves the buttons as they were.
$PROBE crop "$SHOT" "$(px 538)" "$(px 476)" "$(px 852)" "$(px 520)" "$GUI/buttons-open.png"
$PROBE crop "$SHOTS/page0-welcome.png" "$(px 538)" "$(px 476)" "$(px 852)" "$(px 520)" "$GUI/buttons.png"
$PROBE same "$GUI/buttons-open.png" "$GUI/buttons.png" || fail "the open language list covers a button"
key Escape
pointer 450 280
shot page0-list-closed
$PROBE same "$SHOT" "$SHOTS/page0-welcome.png" || fail "Escape did not close the list"
close_wizard page0

section "page 1: Folder"
start_wizard page1 --page=1 --dir="$GUI_WIN\\bad:name"
shot page1-folder
header
step_circles 1
expect_text "folder caption" 282 194 850 216 "$LABEL"
expect_text "the folder in the text box" 292 232 710 252 "$LABEL"
expect_text "Browse caption" 730 222 850 260 "$LABEL"
expect_text "space required" 282 306 562 330 "$HIGHLIGHT"
expect_text "space available (enough)" 582 306 850 330 "$GOOD"
probe_near "space bar track" 846 345 14100d 4
expect_text "the folder rule's text before any click" 282 448 850 472 "$BAD"
announced 'alert|alert|This folder is not valid. Choose a folder on a local drive.'
expect_text "what the space required includes" 282 358 850 376 "$MUTED"
# frame_contrast DESCRIPTION X Y: a control's 1-unit left frame at (X, Y) against the panel
# left of it, 3:1 at least.
frame_contrast() {
  local c
  c=$($PROBE contrast "$SHOT" "$(px $(($2 - 5)))" "$(px $(($3 - 5)))" "$(px $(($2 + 1)))" "$(px $(($3 + 5)))")
  echo "$1: frame contrast $c:1"
  awk -v c="$c" 'BEGIN { exit !(c >= 3) }' || fail "$1: frame contrast $c:1, below 3:1"
}
frame_contrast "the folder box" 282 241
access folder
grep -q '^progressbar|[A-Z]*|Space used|[0-9]*%|' <<<"$TREE" || fail "the space bar has no name: $TREE"
click 775 498   # Next: the folder name is refused, the same line stays
shot page1-folder-error
expect_text "the red error line" 282 448 850 472 "$BAD"
close_wizard page1

section "page 1 on a drive that cannot be queried"
start_wizard page1q --page=1 --dir='Q:\Quorvel'
shot page1-folder-no-drive
expect_text "space available shows a dash in red" 582 306 850 330 "$BAD" 2
probe_near "the space bar is full and red" 845 347 "$BAD" 8
probe_near "the space bar is full and red" 290 347 "$BAD" 8
expect_text "Next is disabled" 700 478 850 518 "$DIM"
expect_no_text "Next is disabled" 700 478 850 518 "$HIGHLIGHT"
expect_text "why Next is disabled" 282 448 850 472 "$BAD"
close_wizard page1q

section "Summary: a 130-character folder keeps its last name"
long=$GUI_WIN
while (( ${#long} < 121 )); do long+='\Spiele'; done
long=${long:0:121}
[[ ${long: -1} != '\' ]] || long=${long:0:120}x
for last in Nordwind Suedwind; do
  start_wizard "long$last" --page=2 --dir="$long\\$last"
  shot "summary-long-folder-$last"
  expect_text "the folder" 472 202 836 230 "$LABEL"
  close_wizard "long$last"
done
# Cut at its end, both folders would show the same beginning; cut in the middle, their ends differ.
$PROBE crop "$SHOTS/summary-long-folder-Nordwind.png" 700 202 836 230 "$GUI/end1.png"
$PROBE crop "$SHOTS/summary-long-folder-Suedwind.png" 700 202 836 230 "$GUI/end2.png"
$PROBE same "$GUI/end1.png" "$GUI/end2.png" && fail "the Summary folder lost its last name"
$PROBE crop "$SHOTS/summary-long-folder-Nordwind.png" 472 202 600 230 "$GUI/start1.png"
$PROBE crop "$SHOTS/summary-long-folder-Suedwind.png" 472 202 600 230 "$GUI/start2.png"
$PROBE same "$GUI/start1.png" "$GUI/start2.png" || fail "the Summary folder lost its beginning"

section "uninstall of a folder without an installation"
start_wizard nothere --page=5 --dir="$long\Nordwind"
click 775 498   # Uninstall
shot uninstall-no-installation
expect_text "the message" 282 448 850 472 "$BAD"
expect_text "the folder" 294 196 838 236 "$LABEL"
close_wizard nothere

for page in 2 3 4 5 6 7 8 9; do
  case $page in
    2) name=summary ;; 3) name=installing ;; 4) name=finished ;; 5) name=uninstall ;;
    6) name=uninstalling ;; 7) name=uninstall-done ;; *) name=out-of-range ;;
  esac
  section "page $page"
  start_wizard "page$page" --page=$page --dir="$GUI_WIN\\Target"
  shot "page$page-$name"
  access "page$page"
  header
  if (( page <= 4 )); then
    step_circles "$page"
  else
    # The uninstall pages have no steps: the side bar shows only the stone.
    local_px=$($PROBE pixel "$SHOT" "$(px 58)" "$(px 210)")
    read -r r g b <<<"$local_px"
    (( r - b < 25 )) || fail "page $page shows a step circle"
    expect_no_text "no step names" 84 196 224 448 "$MUTED"
  fi
  case $page in
    2)
      expect_text "summary values" 472 202 836 292 "$LABEL"
      expect_text "summary captions" 298 202 464 292 "$MUTED"
      expect_text "check mark of a ticked box" 282 321 300 339 "$HIGHLIGHT" 5
      expect_text "check-box labels" 310 318 850 372 "$LABEL"
      expect_text "what the space required includes" 282 384 850 402 "$MUTED"
      frame_contrast "a check box" 282 330
      expect_text "Install caption" 700 478 850 518 "$HIGHLIGHT" ;;
    3)
      expect_text "percentage" 282 188 482 254 "$HIGHLIGHT"
      probe_near "empty progress track" 560 275 14100d 4
      expect_text "statistics captions" 282 324 850 342 "$MUTED"
      grep -q '^progressbar|[A-Z]*|Installation progress|0%|' <<<"$TREE" || fail "the bar has no name: $TREE"
      expect_text "Cancel in the right slot" 700 478 850 518 "$LABEL" ;;
    4)
      probe_near "badge ring" 566 208 "$GOLD" 6
      expect_text "check mark in the badge" 522 208 610 296 "$HIGHLIGHT"
      expect_text "launch option" 310 330 850 354 "$LABEL" ;;
    5)
      expect_text "the folder" 294 196 838 236 "$LABEL"
      grep -A1 '^text||Installation folder|' <<<"$TREE" | grep -qF 'Target|' || fail "the folder has no caption: $TREE"
      expect_text "keep option" 310 252 850 276 "$LABEL"
      expect_text "Uninstall caption" 700 478 850 518 "$HIGHLIGHT" ;;
    6)
      expect_text "percentage" 282 188 482 254 "$HIGHLIGHT"
      expect_no_text "no buttons" 540 478 850 518 "$LABEL"
      grep -q '^progressbar|[A-Z]*|Removal progress|' <<<"$TREE" || fail "the bar has no name: $TREE"
      grep -q '^button|U|Close|' <<<"$TREE" || fail "Close, which does nothing here, is offered: $TREE" ;;
    *)
      expect_text "Close caption" 700 478 850 518 "$HIGHLIGHT"
      [[ $(grep -c '^button|[A-Z]*|Close|' <<<"$TREE") -eq 1 ]] || fail "more than one Close: $TREE" ;;
  esac
  if (( page == 8 || page == 9 )); then
    $PROBE same "$SHOT" "$SHOTS/page7-uninstall-done.png" || fail "page $page does not show the uninstall end page"
  fi
  if (( page == 6 )); then
    # Close requests are ignored while uninstalling; end this run by its id.
    click 859 40
    gui_sync
    query_window && [[ $WINDOW_INFO == visible=1* ]] || fail "closing the Uninstalling page was not ignored"
    end_run page6
  else
    close_wizard "page$page"
  fi
done


section "the folder text box and a repaint after a device loss (unit tests that need a screen)"
cp "$QV_BUILD_DIR/qv_tests.exe" "$GUI/"
in_desktop folderbox "$GUI/qv_tests.exe" --gtest_filter='OnScreen.*' \
  "--gtest_output=xml:$GUI_WIN\\folderbox.xml"
expect_eq "on-screen unit tests" "$(exit_code folderbox 300)" 0
cp "$GUI/folderbox.xml" "$SHOTS/onscreen-tests.xml" 2>/dev/null
[[ $(grep -c 'result="completed"' "$GUI/folderbox.xml" 2>/dev/null) -eq 7 ]] ||
  fail "the on-screen unit tests did not all run (onscreen-tests.xml)"
grep -q '<failure' "$GUI/folderbox.xml" && fail "on-screen unit tests failed: $(grep -o 'message="[^"]*"' "$GUI/folderbox.xml" | head -3)"

cp "$EVENTS" "$SHOTS/events-pages.txt"

pass_or_fail
