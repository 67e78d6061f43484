#!/usr/bin/env bash
# Every page of the wizard (--page=0 to 9) and the language list, on a real screen, kept as
# screenshots in $QV_BUILD_DIR/screenshots/ and checked by pixels at the places the layout fixes:
# the gold bar under the title, the side bar's step circles, button faces and captions, the
# error line, the space bar, and that each text was really drawn. A repair of a 300 MB install
# without its cache: Downloaded counts only the one file it fetches.
# Also the unit tests that need a screen (the folder text box, a repaint after a device loss).
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

section "the language list"
click 420 246
shot overlay-language-list
probe_near "list background" 540 237 "$LIST" 4
probe_near "list frame" 282 400 "$DARKGOLD" 8
probe_near "list frame" 561 300 "$DARKGOLD" 8
expect_text "language names" 295 223 530 251 "$LABEL"
expect_text "the current language" 295 251 530 279 "$HIGHLIGHT"
expect_text "its check mark" 533 251 561 279 "$GOLD" 5
expect_text "the last language" 295 503 530 531 "$LABEL"
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
      expect_text "Install caption" 700 478 850 518 "$HIGHLIGHT" ;;
    3)
      expect_text "percentage" 282 188 482 254 "$HIGHLIGHT"
      probe_near "empty progress track" 560 275 14100d 4
      expect_text "statistics captions" 282 324 850 342 "$MUTED"
      expect_text "Cancel in the right slot" 700 478 850 518 "$LABEL" ;;
    4)
      probe_near "badge ring" 566 208 "$GOLD" 6
      expect_text "check mark in the badge" 522 208 610 296 "$HIGHLIGHT"
      expect_text "launch option" 310 330 850 354 "$LABEL" ;;
    5)
      expect_text "the folder" 294 196 838 236 "$LABEL"
      expect_text "keep option" 310 252 850 276 "$LABEL"
      expect_text "Uninstall caption" 700 478 850 518 "$HIGHLIGHT" ;;
    6)
      expect_text "percentage" 282 188 482 254 "$HIGHLIGHT"
      expect_no_text "no buttons" 540 478 850 518 "$LABEL" ;;
    *)
      expect_text "Close caption" 700 478 850 518 "$HIGHLIGHT" ;;
  esac
  if (( page == 8 || page == 9 )); then
    $PROBE same "$SHOT" "$SHOTS/page7-uninstall-done.png" || fail "page $page does not show the uninstall end page"
  fi
  if (( page == 6 )); then
    # Close requests are ignored while uninstalling; end this run by its id.
    click 859 40
    sleep 1
    query_window && [[ $WINDOW_INFO == visible=1* ]] || fail "closing the Uninstalling page was not ignored"
    end_run page6
  else
    close_wizard "page$page"
  fi
done

section "a repair without the cache: Downloaded counts the one file it fetches"
# tree NAME: the wizard's accessible tree as a screen reader reads it (TREE), kept in $SHOTS.
# On a page that animates one read takes seconds under Wine.
tree() {
  rm -f "$GUI/tree.txt"
  agent_do access "$(winpath "$GUI/tree.txt")"
  wait_until 60 test -e "$GUI/tree.txt" || { TREE=; return 1; }
  TREE=$(tr -d '\r' <"$GUI/tree.txt")
  printf '%s\n' "$TREE" >"$SHOTS/access-$1.txt"
}
# The name of the element after the one named $1 (a statistic's value after its caption).
after() { awk -F'|' -v c="$1" 'found { print $3; exit } $3 == c { found = 1 }' <<<"$TREE"; }
nginx_workers() { local m; m=$(cat "$GUI/nginx/nginx.pid" 2>/dev/null) && pgrep -P "$m"; }
gui_cleanup() { kill -CONT $(nginx_workers) 2>/dev/null; clean_user_state; }
REPAIR=$GUI/repair
make_game "$REPAIR/game" 30 300M
publish "$REPAIR/game" "$REPAIR/www/patch" 8
stop_release "$GUI/nginx"
start_patch_server "$REPAIR/www"
in_desktop repair0 "$SETUP_EXE" --silent --no-shortcuts --no-launch --dir="$GUI_WIN\\repair\\Quorvel"
expect_eq "unattended install of the release" "$(exit_code repair0 900)" 0
rm -f "$REPAIR/Quorvel/config/patcher_cache.dat"
small="日本語/テスト.bin"   # 7 KB that do not compress, one byte changed: hashed, found wrong, fetched
printf 'x' | dd of="$REPAIR/Quorvel/$small" bs=1 seek=100 conv=notrunc status=none
# Slow enough that the one download is still on its way when the screen shows it.
stop_release "$GUI/nginx"
start_patch_server "$REPAIR/www" 256
start_wizard repair --page=2 --no-launch --dir="$GUI_WIN\\repair\\Quorvel"
click 775 498   # Install
# The tree is too slow to read within a stage; the screen is not. Each frame gives whether
# Installing is the current step and the Downloaded value's text pixels ("-" has few).
cat >"$GUI/frame.py" <<'PY'
import sys
from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB")
near = lambda p, c, tol: all(abs(a - b) <= tol for a, b in zip(p, c))
count = sum(1 for y in range(342, 366) for x in range(661, 842) if near(img.getpixel((x, y)), (0xe3, 0xdc, 0xcf), 24))
print(int(near(img.getpixel((50, 378)), (0xc9, 0xa4, 0x75), 4)), count)
PY
for _ in $(seq 1 600); do
  grab "$GUI/frame.png"
  read -r installing figures < <($PY "$GUI/frame.py" "$GUI/frame.png")
  (( installing && figures > 60 )) && break
done
# The one download is held (the server stopped) while the tree is read, then let go.
kill -STOP $(nginx_workers)
downloaded=
for _ in $(seq 1 4); do
  tree repair || continue
  grep -q '^[a-z]*||Downloading the game\.\.\.|' <<<"$TREE" && [[ $(after Downloaded) == *" / "* ]] &&
    { downloaded=$(after Downloaded); break; }
  grep -q '^[a-z]*||Installation complete|' <<<"$TREE" && break
done
kill -CONT $(nginx_workers)
echo "Downloaded while the one file is fetched: $downloaded"
[[ $downloaded =~ " / "([0-9.]+)" "(B|KB)$ ]] && [[ ${BASH_REMATCH[2]} == B || ${BASH_REMATCH[1]%.*} -le 16 ]] ||
  fail "Downloaded of a repair that fetches one 7 KB file: '$downloaded'"
wait_until 300 eval 'tree repair-done && grep -q "^[a-z]*||Installation complete|" <<<"$TREE"' ||
  fail "the repair did not finish"
cmp -s "$REPAIR/game/$small" "$REPAIR/Quorvel/$small" || fail "the changed file was not repaired"
close_wizard repair
clean_user_state

section "the folder text box and a repaint after a device loss (unit tests that need a screen)"
cp "$QV_BUILD_DIR/qv_tests.exe" "$GUI/"
in_desktop folderbox "$GUI/qv_tests.exe" --gtest_filter='OnScreen.*' \
  "--gtest_output=xml:$GUI_WIN\\folderbox.xml"
expect_eq "on-screen unit tests" "$(exit_code folderbox 300)" 0
[[ $(grep -c 'result="completed"' "$GUI/folderbox.xml" 2>/dev/null) -eq 6 ]] || fail "the on-screen unit tests did not all run"

pass_or_fail
