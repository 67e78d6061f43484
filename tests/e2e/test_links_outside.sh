#!/usr/bin/env bash
# Nothing outside the install folder changes: links planted inside the folder (at data, config,
# bin, patcher_parts, config\patcher.ini, a temporary name, a part name, and a delete-list entry
# through a link) lead to a bait folder outside; install, repair and uninstall run against them,
# each ends with its expected exit code, and the bait is the same, byte for byte, afterwards.
source "$(dirname "$0")/lib.sh"
e2e_begin

GAME=$E2E/game
make_game "$GAME" 23
publish "$GAME" 5
start_patch_server

BAIT=$E2E/bait
mkdir -p "$BAIT/sub"
cp -r "$GAME/data/." "$BAIT/"                   # the same names the game would write
echo "player's document" >"$BAIT/document.txt"
echo "[patch]" >"$BAIT/patcher.ini"
echo "old" >"$BAIT/sub/old.dat"
bait_hash() { (cd "$BAIT" && find . \( -type f -o -type d \) -print0 | LC_ALL=C sort -z | xargs -0 -n1 sh -c 'if [ -f "$1" ]; then sha256sum "$1"; else echo "dir $1"; fi' _ | sha256sum | cut -c1-16); }
BAIT_BEFORE=$(bait_hash)
echo "bait $BAIT_BEFORE"
LOG=$E2E/setup.log
# The reason the last run gave in its log (the text the player would have seen).
last_reason() { grep -a -o -E '(patch run failed|install not started): .*' "$LOG" 2>/dev/null | tail -n 1; }
bait_unchanged() {  # what ran, the exit code it ended with, the exit code expected
  local now
  now=$(bait_hash)
  echo "  $1: exit $2, bait $now, $(last_reason)"
  expect_eq "$1: exit code" "$2" "$3"
  expect_eq "$1: bait" "$now" "$BAIT_BEFORE"
}
object_of() {  # the hash of a published file, which names its part file
  grep -o "\"p\":\"$1\",\"h\":\"[0-9a-f]*\"" "$E2E/www/patch/manifest.json" | grep -o '[0-9a-f]\{64\}'
}
# plant NAME LINK TARGET: a fresh install folder NAME with one link in it.
plant() {
  D=$E2E/$1/Quorvel
  mkdir -p "$(dirname "$D/$2")"
  ln -s "$3" "$D/$2"
}

section "install with one link planted in the folder"
# This game's objects are all small enough to come into memory, so a link at patcher_parts is
# never used (exit 0); a part file that is there (the last case) is, and is refused.
part=$(object_of "readme.txt")
[[ -n $part ]] || fail "no object for readme.txt"
while IFS='|' read -r name link target code; do
  plant "$name" "$link" "$target"
  rm -f "$LOG"
  setup --silent "--dir=$(winpath "$D")" --no-shortcuts "--log=$(winpath "$LOG")"
  bait_unchanged "install, link at $link" "$rc" "$code"
  [[ $code == 0 ]] || last_reason | grep -q "Could not write file: " || fail "link at $link: no write failure named"
  [[ -L $D/$link ]] || fail "the link at $link was replaced or removed"
done <<LIST
data|data|$BAIT|6
config|config|$BAIT|3
bin|bin|$BAIT|3
parts|patcher_parts|$BAIT|0
ini|config/patcher.ini|$BAIT/patcher.ini|6
temp|readme.txt.ap_tmp|$BAIT/document.txt|6
part|patcher_parts/$part.z|$BAIT/document.txt|6
LIST

section "install with one hard link planted in the folder: the name gets a new file"
while IFS='|' read -r name link target; do
  D=$E2E/$name/Quorvel
  mkdir -p "$(dirname "$D/$link")"
  ln "$target" "$D/$link"
  rm -f "$LOG"
  setup --silent "--dir=$(winpath "$D")" --no-shortcuts "--log=$(winpath "$LOG")"
  bait_unchanged "install, hard link at $link" "$rc" 0
done <<LIST
hfinal|readme.txt|$BAIT/document.txt
htemp|readme.txt.ap_tmp|$BAIT/document.txt
hpart|patcher_parts/$part.z|$BAIT/document.txt
hini|config/patcher.ini.ap_tmp|$BAIT/patcher.ini
hcache|config/patcher_cache.dat.ap_tmp|$BAIT/patcher.ini
hmarker|bin/quorvel.install|$BAIT/sub/old.dat
hlocale|config/locale.cfg.ap_tmp|$BAIT/sub/old.dat
LIST

section "repair of an installation whose data folder became a link"
R=$E2E/R/Quorvel
install_game "$R" --no-shortcuts
mv "$R/data" "$R/data.real"
ln -s "$BAIT" "$R/data"
rm -f "$LOG"
setup --silent "--dir=$(winpath "$R")" --no-shortcuts "--log=$(winpath "$LOG")"
bait_unchanged "repair, link at data" "$rc" 6
last_reason | grep -q "Could not write file: data" || fail "repair: no write failure named"

section "a delete list entry through a link, and the uninstall of that folder"
U=$E2E/U/Quorvel
install_game "$U" --no-shortcuts
ln -s "$BAIT/sub" "$U/old"
rm -rf "$E2E/www/patch"
"$PUBLISH" build "$GAME" "$E2E/www/patch" --key "$SIGNING_KEY" --version 6 --delete old/old.dat >"$E2E/publish.log" 2>&1 ||
  fail "publishing with a delete list failed"
rm -f "$LOG"
setup --silent "--dir=$(winpath "$U")" --no-shortcuts "--log=$(winpath "$LOG")"
bait_unchanged "repair deleting old/old.dat" "$rc" 0
# The uninstall migrates an older layout first: a loose settings file and a linked config.
mv "$U/config" "$U/config.real"
ln -s "$BAIT" "$U/config"
echo "loose" >"$U/tarnel.cfg"
ln -s "$BAIT" "$U/shadercache"
# A read-only file in a working folder that is a hard link to the bait: only the name goes.
mkdir -p "$U/logs"
ln "$BAIT/document.txt" "$U/logs/hard.log"
chmod 444 "$BAIT/document.txt"
uninstall_via_registry "--silent --keep=0"
bait_unchanged "uninstall" 0 0
expect_eq "the bait's mode" "$(stat -c %a "$BAIT/document.txt")" 444
chmod 644 "$BAIT/document.txt"
expect_missing "$U/logs/hard.log"
expect_content "$U/tarnel.cfg" "loose"

section "a data folder swapped for a link and back, 500 times, while an install, a repair and an uninstall run"
# swap_data FOLDER: in the background, data is moved aside, a link to the bait takes its name
# for a moment, and data comes back; up to 500 swaps while the flag file exists.
SWAP_FLAG=$E2E/flags/swapping
swap_data() {
  local d=$1 swaps=0 tries=0
  while [[ -e $SWAP_FLAG ]] && ((swaps < 500 && tries < 200000)); do
    tries=$((tries + 1))
    [[ -d $d/data && ! -L $d/data ]] || continue
    mv -T "$d/data" "$d/data.swap" 2>/dev/null || continue
    ln -sT "$BAIT" "$d/data" 2>/dev/null && rm -f "$d/data"
    mv -T "$d/data.swap" "$d/data" 2>/dev/null || { rm -rf "$d/data.swap"; }
    swaps=$((swaps + 1))
  done
  echo "  $swaps swaps" >"$E2E/flags/swaps"
}
# raced WHAT COMMAND...: runs the command with the swapper going, then checks the bait and the code.
raced() {
  local what=$1; shift
  touch "$SWAP_FLAG"
  swap_data "$S" &
  local swapper=$!
  "$@"
  rm -f "$SWAP_FLAG"
  wait "$swapper"
  cat "$E2E/flags/swaps"
  local now
  now=$(bait_hash)
  echo "  $what: exit $rc, bait $now, $(last_reason)"
  expect_eq "$what: bait" "$now" "$BAIT_BEFORE"
  # 7: an uninstall that found a file gone aside for a moment says it left it.
  [[ $rc == 0 || $rc == 6 || $rc == 7 ]] || fail "$what: exit $rc, neither done nor refused"
}
S=$E2E/S/Quorvel
mkdir -p "$S/data"
rm -f "$LOG"
raced "raced install" setup --silent "--dir=$(winpath "$S")" --no-shortcuts "--log=$(winpath "$LOG")"
rm -f "$LOG"
raced "raced repair" setup --silent "--dir=$(winpath "$S")" --no-shortcuts "--log=$(winpath "$LOG")"
# The uninstall goes on from a folder that an install completed.
install_game "$S" --no-shortcuts
rm -f "$LOG"
raced "raced uninstall" run_command_line "$(reg_value "$UNINSTALL_KEY" UninstallString) --silent --keep=0"
wait_for_uninstaller

pass_or_fail
