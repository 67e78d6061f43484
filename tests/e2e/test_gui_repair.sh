#!/usr/bin/env bash
# A repair of a 300 MB install without its cache, on a real screen: the bar moves while the
# files are checked, and Downloaded counts only the one file the repair fetches.
. "$(dirname "$0")/gui_lib.sh"
gui_begin

GOLD=c9a475 LABEL=e3dccf
section "a repair without the cache: the bar moves while checking, Downloaded counts one file"
# The name of the element after the one named $1 (a statistic's value after its caption).
after() { awk -F'|' -v c="$1" 'found { print $3; exit } $3 == c { found = 1 }' <<<"$TREE"; }
gui_cleanup() { clean_user_state; }
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
# Slow enough that the one download outlasts a read of the tree.
stop_release "$GUI/nginx"
start_patch_server "$REPAIR/www" 256
start_wizard repair --page=2 --no-launch --dir="$GUI_WIN\\repair\\Quorvel"
click 775 498   # Install
# The tree is too slow to read within the check; the screen is not. Until Downloaded shows
# figures, a frame whose Downloaded is "-" and whose bar is partly filled is the check moving.
full=$(( (849 - 283) * (281 - 270) ))
checking=()
for _ in $(seq 1 600); do
  grab "$GUI/frame.png"
  $PROBE near "$GUI/frame.png" 50 378 "$GOLD" 4 >/dev/null || continue   # Installing is the current step
  (( $($PROBE count "$GUI/frame.png" 661 342 842 366 "$LABEL" 24) > 60 )) && break   # download figures
  fill=$(( full - $($PROBE count "$GUI/frame.png" 283 270 849 281 14100d 10) ))
  (( fill > full / 100 && fill < full * 98 / 100 )) && checking+=("$(( fill * 100 / full ))")
done
downloaded=
for _ in $(seq 1 10); do
  read_tree repair || continue
  grep -q '^[a-z]*||Downloading the game\.\.\.|' <<<"$TREE" && [[ $(after Downloaded) == *" / "* ]] &&
    { downloaded=$(after Downloaded); break; }
  grep -q '^[a-z]*||Installation complete|' <<<"$TREE" && break
done
echo "bar while checking (percent of its width): ${checking[*]}; Downloaded: $downloaded"
(( ${#checking[@]} > 0 )) || fail "the bar did not move while checking"
[[ $downloaded =~ " / "([0-9.]+)" "(B|KB)$ ]] && [[ ${BASH_REMATCH[2]} == B || ${BASH_REMATCH[1]%.*} -le 16 ]] ||
  fail "Downloaded of a repair that fetches one 7 KB file: '$downloaded'"
wait_until 300 eval 'read_tree repair-done && grep -q "^[a-z]*||Installation complete|" <<<"$TREE"' ||
  fail "the repair did not finish"
cmp -s "$REPAIR/game/$small" "$REPAIR/Quorvel/$small" || fail "the changed file was not repaired"
close_wizard repair
clean_user_state

pass_or_fail
