#!/usr/bin/env bash
# A whole install driven by mouse and keyboard through the real window: another language, Next,
# a folder typed into the text box, Next, Install, the Installing page moving (and the cancel
# question asked and declined on the way), Finished, the launch option cleared, Finish. Then the
# installed files, the locale file, the registry and the shortcuts are checked. A second install
# is driven by the keyboard alone, and on each of its pages the window's accessible tree is read
# as a screen reader reads it.
. "$(dirname "$0")/gui_lib.sh"
gui_begin

GOLD=c9a475 HIGHLIGHT=ecd6ae LABEL=e3dccf BAD=e9705f DIM=76695c
FOLDER_WIN="$GUI_WIN\\Jeux\\Quorvel Test"
FOLDER=$GUI/Jeux/"Quorvel Test"
DESKTOP_LNK=$(winepath -u 'C:\users\'"$(id -un)"'\Desktop\Quorvel.lnk' 2>/dev/null | tr -d '\r')
PROGRAMS_LNK=$(winepath -u 'C:\users\'"$(id -un)"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Quorvel.lnk' 2>/dev/null | tr -d '\r')
# Wine links the prefix's Desktop to the home folder, which every prefix on the machine shares;
# a real folder for the time of this test keeps other prefixes' tests off our shortcut.
DESKTOP_DIR=$WINEPREFIX/drive_c/users/$(id -un)/Desktop
desktop_link=
if [[ -L $DESKTOP_DIR ]]; then
  desktop_link=$(readlink "$DESKTOP_DIR")
  rm "$DESKTOP_DIR" && mkdir "$DESKTOP_DIR"
fi
gui_cleanup() {
  clean_user_state
  rm -f "$DESKTOP_LNK" "$PROGRAMS_LNK"
  if [[ -n $desktop_link ]]; then
    rm -rf "$DESKTOP_DIR" && ln -s "$desktop_link" "$DESKTOP_DIR"
    desktop_link=
  fi
}
clean_user_state
rm -f "$DESKTOP_LNK" "$PROGRAMS_LNK"

# bar_fill SHOT: how many pixels of the Installing page's bar are filled (not the dark track).
bar_fill() {
  local track
  track=$($PROBE count "$1" 283 270 849 281 14100d 10)
  echo $(( (849 - 283) * (281 - 270) - track ))
}

section "a release served slowly enough to watch"
# Small objects, so that the transfers under way when the limit is lifted end soon.
GAME=$GUI/game
make_game "$GAME" 160 48M
publish "$GAME" "$GUI/www/patch" 12
start_patch_server "$GUI/www" 50k

section "Welcome: the language list, French chosen"
start_wizard install
shot install-1-welcome
click 420 246
shot install-2-language-list
click 420 $((223 + 28 * 3 + 14))   # row 3: Français
shot install-3-french
query_window
[[ $WINDOW_INFO == *"title=Installation de Quorvel" ]] || fail "window title after choosing French: $WINDOW_INFO"
expect_text "selector shows the new language" 294 228 532 264 "$LABEL"
$PROBE same "$SHOT" "$SHOTS/install-1-welcome.png" && fail "the page did not change with the language"

section "Folder: a folder typed into the text box"
click 775 498
shot install-4-folder
click 500 241
key End shift+Home
type_text "$FOLDER_WIN"
shot install-5-folder-typed
expect_text "the typed folder" 292 232 710 252 "$LABEL"
click 775 498

section "Summary"
shot install-6-summary
expect_text "the folder on the summary" 472 202 836 230 "$LABEL"
click 775 498   # Installer

section "Installing: the cancel question, declined"
# At once, while the run is surely still going: Cancel asks first.
for _ in $(seq 1 60); do
  shot_now install-7-installing
  [[ $(probe_count 282 188 482 254 "$HIGHLIGHT" 24) -ge 12 ]] && break   # the percentage
  sleep 0.5
done
# brightness FILE: mean red of an empty part of the page (the animation never reaches it).
brightness() { $PROBE mean "$1" 300 380 500 440 | cut -d' ' -f1; }
# dimmed FILE: the whole window darkened to about 38 % by the dialog's dimmer.
dimmed() { awk -v b="$before" -v a="$(brightness "$1")" 'BEGIN { r = a / b; exit !(r > 0.30 && r < 0.46) }'; }
before=$(brightness "$SHOT")
click 775 498   # Cancel, in the right slot while the run goes on
for _ in $(seq 1 60); do
  shot_now overlay-cancel-confirm
  dimmed "$SHOT" && break
  sleep 0.5
done
dimmed "$SHOT" || fail "the dimmer: brightness $(brightness "$SHOT") against $before (expected about 38 %)"
expect_text "the question" 246 214 654 300 "$LABEL"
expect_text "No, the default" 380 314 514 352 "$HIGHLIGHT"
expect_text "Yes" 524 314 658 352 "$LABEL"
click 447 333   # No
pointer 450 420
for _ in $(seq 1 60); do
  grab "$GUI/after-no.png"
  dimmed "$GUI/after-no.png" || break
  sleep 0.5
done
dimmed "$GUI/after-no.png" && fail "the question stayed open after No"
grep -q . <(query_window; echo "$WINDOW_INFO" | grep visible=1) || fail "the window went away after No"

section "Installing: the page moves"
first=$(bar_fill "$GUI/after-no.png")
moved=0
for _ in $(seq 1 120); do
  sleep 1
  grab "$GUI/now.png"
  now=$(bar_fill "$GUI/now.png")
  if (( now > first + 20 )); then moved=1; break; fi
done
(( moved )) || fail "the progress bar did not move (fill $first)"
cp "$GUI/now.png" "$SHOTS/install-8-progress.png"
SHOT=$SHOTS/install-8-progress.png
contrast=$($PROBE contrast "$SHOT" 282 290 850 312)
awk -v c="$contrast" 'BEGIN { exit !(c >= 4.5) }' || fail "status line contrast $contrast, below 4.5:1"
echo "status line contrast $contrast:1"

section "Installing: the server goes away and comes back, and the page says so at once"
# subtitle_is SHOT CROP: the subtitle area of SHOT shows what CROP shows.
subtitle_is() { $PROBE crop "$1" 282 122 850 170 "$GUI/subtitle.png" && $PROBE same "$GUI/subtitle.png" "$2"; }
$PROBE crop "$SHOT" 282 122 850 170 "$GUI/subtitle-downloading.png"
stop_release "$GUI/nginx"
for _ in $(seq 1 120); do
  grab "$GUI/now.png"
  subtitle_is "$GUI/now.png" "$GUI/subtitle-downloading.png" || break
  sleep 0.5
done
subtitle_is "$GUI/now.png" "$GUI/subtitle-downloading.png" && fail "the subtitle did not change while the server was away"
cp "$GUI/now.png" "$SHOTS/install-16-waiting.png"
start_patch_server "$GUI/www" 50k
wait_until 120 eval 'grab "$GUI/now.png" && subtitle_is "$GUI/now.png" "$GUI/subtitle-downloading.png"' ||
  fail "the subtitle did not say downloading again once the server was back"

# never_drops GRABS FLOOR: the bar's fill, grabbed that many times, never falls below the
# highest fill seen (2 pixels allowed for edge rounding) until the Finished page; LAST_FILL is
# the highest. With ABOVE, it stops as soon as the fill passes ABOVE.
never_drops() {
  local floor=$2 above=${3:-} now
  for _ in $(seq 1 "$1"); do
    grab "$GUI/now.png"
    $PROBE near "$GUI/now.png" 566 208 "$GOLD" 6 >/dev/null && break   # the Finished page
    now=$(bar_fill "$GUI/now.png")
    if (( now + 2 < floor )); then
      cp "$GUI/now.png" "$SHOTS/install-dropped.png"
      fail "the percentage fell: bar fill $now after $floor (install-dropped.png)"
      break
    fi
    (( now > floor )) && floor=$now
    [[ -n $above ]] && (( floor > above )) && break
    sleep 0.5
  done
  LAST_FILL=$floor
}
millis() { date +%s%3N; }
# wait_installing: until the Installing page has replaced the Summary page (its folder is gone).
wait_installing() {
  for _ in $(seq 1 60); do
    SHOT=$GUI/now.png
    grab "$SHOT"
    [[ $(probe_count 472 202 836 230 "$LABEL" 24) -lt 3 ]] && return 0
    sleep 0.3
  done
  fail "the Installing page did not come"
}

section "Installing: cancelled, then installed again"
fill_at_cancel=$(bar_fill "$GUI/now.png")
# The server holds still while the question is answered, so that the cancelling page stays
# long enough to be seen; the cancel completes once data flows again.
nginx_pids() { local m; m=$(cat "$GUI/nginx/nginx.pid"); echo "$m" $(pgrep -P "$m"); }
click 775 498   # Cancel
for _ in $(seq 1 60); do grab "$GUI/q.png"; dimmed "$GUI/q.png" && break; sleep 0.3; done
kill -STOP $(nginx_pids)
click 591 333   # Yes
# The bar's shine keeps moving, so no settled grab: the first one that shows Cancel disabled.
for _ in $(seq 1 60); do
  shot_now install-11-cancelling
  [[ $(probe_count 700 478 850 518 "$DIM" 24) -ge 12 ]] && break
  sleep 0.2
done
expect_text "Cancel is disabled while cancelling" 700 478 850 518 "$DIM"
expect_no_text "Cancel is disabled while cancelling" 700 478 850 518 "$LABEL"
resumed=$(millis)
kill -CONT $(nginx_pids)
summary=0
for _ in $(seq 1 150); do
  SHOT=$GUI/now.png
  grab "$SHOT"
  # The Summary page's Install button: its caption in the highlight colour (Cancel's is not).
  if [[ $(probe_count 740 490 810 506 "$HIGHLIGHT" 24) -ge 12 ]]; then summary=1; break; fi
done
echo "cancel to Summary page: $(( $(millis) - resumed )) ms after the server went on (screen grabs included)"
(( summary )) || fail "the Summary page did not come after Yes"
shot install-12-cancelled-summary
click 775 498   # Install again: what is on disk counts, the bar goes on from where it was
wait_installing
never_drops 120 "$fill_at_cancel" "$fill_at_cancel"
shot_now install-13-resumed
(( LAST_FILL > fill_at_cancel )) || fail "the resumed install did not move on ($LAST_FILL, $fill_at_cancel at the cancel)"

section "Installing: the objects go away, the failure page keeps the fraction"
# The objects go away (the server keeps the port, which another test run could otherwise take):
# the transfers under way end, every new request gets 404, the run fails after its retries.
mv "$GUI/www/patch/files" "$GUI/www/patch/files.away"
failed=0
for _ in $(seq 1 120); do
  grab "$GUI/now.png"
  if [[ $($PROBE count "$GUI/now.png" 282 448 850 472 "$BAD" 24) -ge 12 ]]; then failed=1; break; fi
  $PROBE near "$GUI/now.png" 566 208 "$GOLD" 6 >/dev/null && break   # finished before the server went
  now=$(bar_fill "$GUI/now.png")
  (( now > LAST_FILL )) && LAST_FILL=$now
  sleep 0.5
done
(( failed )) || fail "the failure page did not come"
shot install-14-failed
fill_failed=$(bar_fill "$SHOT")
(( fill_failed + 2 >= LAST_FILL && fill_failed > 20 )) || fail "the failure page shows fill $fill_failed, the run reached $LAST_FILL"
probe_near "the bar is dimmed" 286 282 605345 24
expect_no_text "no status line under the bar" 282 290 850 312 a09183
expect_text "Try again, the default" 700 478 850 518 "$HIGHLIGHT"
mv "$GUI/www/patch/files.away" "$GUI/www/patch/files"
click 775 498   # Try again
never_drops 6 "$fill_failed"
shot_now install-15-try-again
# Nothing more needs a slow install.
lift_limit

section "Finished"
finished=0
for _ in $(seq 1 300); do
  grab "$GUI/now.png"
  if $PROBE near "$GUI/now.png" 566 208 "$GOLD" 6 >/dev/null; then finished=1; break; fi
  sleep 1
done
(( finished )) || { cp "$GUI/now.png" "$SHOTS/install-9-stuck.png"; fail "the Finished page did not come"; }
shot install-9-finished
expect_no_text "no error line" 282 448 850 472 "$BAD"
click 290 342   # clear "Open Quorvel now"
shot install-10-no-launch
expect_no_text "launch option cleared" 282 333 300 351 "$HIGHLIGHT"
click 775 498   # Finish
expect_eq "exit code" "$(exit_code install 120)" 0

section "what was installed"
while IFS= read -r -d '' rel; do
  rel=${rel#./}
  cmp -s "$GAME/$rel" "$FOLDER/$rel" || fail "installed file differs or is missing: $rel"
done < <(cd "$GAME" && find . -type f -print0)
[[ -f $FOLDER/bin/quorvel.install ]] || fail "no installation marker"
[[ -f "$FOLDER/bin/Uninstall Quorvel.exe" ]] || fail "no uninstaller"
expect_eq "locale.cfg" "$(cat "$FOLDER/config/locale.cfg" 2>/dev/null)" "1252 fr"
expect_eq "InstallPath" "$(reg_value "$SETUP_KEY" InstallPath)" "$FOLDER_WIN"
expect_eq "Language" "$(reg_value "$SETUP_KEY" Language)" "fr"
expect_eq "DisplayName" "$(reg_value "$UNINSTALL_KEY" DisplayName)" "Quorvel"
expect_eq "DisplayVersion" "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" "12"
[[ -f $DESKTOP_LNK ]] || fail "no desktop shortcut"
[[ -f $PROGRAMS_LNK ]] || fail "no Start menu shortcut"
# Slower still, so that the keyboard run is surely going when its question is asked.
stop_release "$GUI/nginx"
start_patch_server "$GUI/www" 40k

# ---- the keyboard alone ------------------------------------------------------------------------
# No pointer event from here on: keys go (as XTEST events) to the window that has the focus.
FOLDER2_WIN="$GUI_WIN\\Keys\\Quorvel"
FOLDER2=$GUI/Keys/Quorvel
# access NAME: the wizard's accessible tree (gui_helper access), kept as $SHOTS/access-NAME.txt.
access() { read_tree "$1" || { fail "no accessible tree ($1)"; return 1; }; }
# access_until NAME PATTERN: reads the tree until a line matches (the page repaints while the
# tree is read element by element, so one read may straddle two paints).
access_until() {
  for _ in $(seq 1 20); do
    access "$1"
    grep -q -- "$2" <<<"$TREE" && return 0
    sleep 0.5
  done
  return 1
}
# expect_element DESCRIPTION ROLE STATES NAME: TREE has that element with exactly those states
# (F focused, U unavailable, C checked, D default, S selected, E expanded; "any": not checked).
expect_element() {
  local states=$3
  [[ $states == any ]] && states='[A-Z]*'
  cut -d'|' -f1-3 <<<"$TREE" | grep -qx -- "$2|$states|$(sed 's/[.[*^$\\]/\\&/g' <<<"$4")" ||
    fail "$1: no $2 \"$4\" with states \"$3\" in: $(tr '\n' ';' <<<"$TREE")"
}

section "keyboard: Welcome (the last install's French), English chosen with the arrows"
in_desktop keys "$SETUP_EXE"
wait_until 90 window_shown || fail "the wizard window did not appear (keys)"
WIN_X=${WINDOW_RECT[0]}
WIN_Y=${WINDOW_RECT[1]}
# It is shown a moment before it is brought to the front.
foreground() { query_window && [[ $WINDOW_INFO == *foreground=1* ]]; }
wait_until 10 foreground || fail "the new wizard is not the foreground window: $WINDOW_INFO"
shot keys-1-welcome
$PROBE near "$SHOT" 280 246 "$GOLD" 40 >/dev/null && fail "a focus mark before any key was pressed"
access welcome-fr
expect_element "the page title names the client" client any "Bienvenue dans Quorvel"
expect_element "language box" combobox "" "Langue du jeu"
expect_element "Next, the default" button D "Suivant"
key Tab
shot keys-2-focus-mark
probe_near "the focus mark around the language box" 280 246 "$GOLD" 40
access welcome-focus
expect_element "language box focused" combobox F "Langue du jeu"
key space
access language-list
expect_element "the list, current language selected and focused" '>listitem' FS "Français"
[[ $(grep -c '^>listitem|' <<<"$TREE") -eq 11 ]] || fail "the open list does not offer 11 languages"
grep -q '^list||Langue du jeu|' <<<"$TREE" || fail "the languages are not the children of a list: $TREE"
key Home Down
access language-list-moved
expect_element "the arrows move the focus in the list" '>listitem' F "English"
key Return
query_window
[[ $WINDOW_INFO == *"title=Quorvel Setup" ]] || fail "window title after choosing English: $WINDOW_INFO"
access welcome
expect_element "names follow the language" client any "Welcome to Quorvel"
expect_element "language box keeps the focus" combobox F "Game language"
expect_element "Cancel" button "" "Cancel"
expect_element "Next" button D "Next"
expect_element "close button" button "" "Close"
grep -q '^combobox|F|Game language|English|' <<<"$TREE" || fail "the language box's value: $TREE"

section "keyboard: Folder, a new folder typed over the old one, Enter"
key Return
access folder
expect_element "the folder box has the focus" edit F "Installation folder"
expect_element "Browse" button "" "Browse..."
expect_element "Next" button D "Next"
key End shift+Home
type_text "$FOLDER2_WIN"
shot keys-3-folder
expect_text "the typed folder" 292 232 710 252 "$LABEL"
key Return

section "keyboard: Summary, a check box toggled with Space and back"
access summary
expect_element "desktop shortcut" checkbox C "Create a desktop shortcut"
expect_element "Install, the default and focused as the page came" button FD "Install"
key Tab Tab
access summary-tab
expect_element "Start menu shortcut focused" checkbox FC "Create a Start menu shortcut"
key space
access summary-unchecked
expect_element "Space clears it" checkbox F "Create a Start menu shortcut"
key space
access summary-checked
expect_element "Space sets it again" checkbox FC "Create a Start menu shortcut"
grep -qF "$FOLDER2_WIN" <<<"$TREE" || fail "the summary does not read the typed folder"
key Return   # the focus is on a check box: Enter presses the default button, Install

section "keyboard: Installing, the question asked with Escape and declined with N"
access_until installing '^progressbar|'
expect_element "Cancel while the run goes on, focused as the page came" button F "Cancel"
grep -q '^progressbar|[^|]*|Installation progress|[0-9]*%|' <<<"$TREE" || fail "no progress value: $TREE"
EVENTS=$GUI/events.txt
agent_do events "$(winpath "$EVENTS")"
wait_until 30 test -e "$EVENTS" || fail "no event log"
key Escape
access_until question '^button||Yes|'
expect_element "the question" alert "" "Do you want to cancel the installation? Everything downloaded so far is kept."
wait_until 10 grep -qx 'alert|alert|Do you want to cancel the installation? Everything downloaded so far is kept.' "$EVENTS" ||
  fail "the question was not announced: $(tr -d '\r' <"$EVENTS" | tr '\n' ';')"
cp "$EVENTS" "$SHOTS/events-question.txt"
expect_element "No, focused and default" button FD "No"
expect_element "Yes" button "" "Yes"
[[ $(grep -vc '^client|' <<<"$TREE") -eq 3 ]] || fail "the question leaves more than its own three elements: $TREE"
key n
access_until after-question '^button|F|Cancel|' || fail "the question stayed open after N: $TREE"
lift_limit

section "keyboard: Finished, the launch option cleared with Space, Enter"
finished=0
for _ in $(seq 1 300); do
  access finished
  if grep -q '^client|[A-Z]*|Installation complete|' <<<"$TREE"; then finished=1; break; fi
  sleep 1
done
(( finished )) || fail "the Finished page did not come: $TREE"
expect_element "launch option" checkbox C "Open Quorvel now"
expect_element "Finish, focused as the page came" button FD "Finish"
wait_until 10 grep -qx 'alert|alert|Quorvel is ready to play. Good luck, warrior!' "$EVENTS" ||
  fail "the Finished page's text was not heard: $(tr -d '\r' <"$EVENTS" | tr '\n' ';')"
shot keys-4-finished
probe_near "the focus mark around Finish after a page change" 698 498 "$GOLD" 40
key Tab space
access finished-unchecked
expect_element "launch option cleared" checkbox F "Open Quorvel now"
key Return
expect_eq "exit code (keys)" "$(exit_code keys 120)" 0

section "what the keyboard installed"
while IFS= read -r -d '' rel; do
  rel=${rel#./}
  cmp -s "$GAME/$rel" "$FOLDER2/$rel" || fail "installed file differs or is missing: $rel"
done < <(cd "$GAME" && find . -type f -print0)
expect_eq "locale.cfg" "$(cat "$FOLDER2/config/locale.cfg" 2>/dev/null)" "1252 en"
expect_eq "InstallPath" "$(reg_value "$SETUP_KEY" InstallPath)" "$FOLDER2_WIN"
expect_eq "Language" "$(reg_value "$SETUP_KEY" Language)" "en"

pass_or_fail
