#!/usr/bin/env bash
# Unattended install, repair and --no-shortcuts through the real program: the files with their
# hashes, marker, locale files and patch state, both registry keys, both shortcuts and the
# uninstaller copy, as a player's machine would hold them afterwards.
source "$(dirname "$0")/lib.sh"
e2e_begin

GAME=$E2E/game
make_game "$GAME" 11
publish "$GAME" 5
start_patch_server

DIR=$E2E/Games/Quorvel
WDIR=$(winpath "$DIR")
game_kib=$(( $(find "$GAME" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }') / 1024 ))

section "unattended install into a new folder"
setup --silent "--dir=$WDIR" --lang=tr
expect_eq "exit code" "$rc" 0
same_tree "$GAME" "$DIR"
expect_content "$DIR/bin/quorvel.install" "Quorvel"
expect_content "$DIR/config/locale.cfg" "1254 tr"
expect_content "$DIR/config/loca.cfg" "1254 tr"
expect_exists "$DIR/logs"
grep -qx 'version=5' <(tr -d '\r' <"$DIR/config/patcher.ini") || fail "patcher.ini does not record version 5"
[[ -s $DIR/config/patcher_cache.dat ]] || fail "no patch cache"
cmp -s "$SETUP_EXE" "$DIR/bin/Uninstall Quorvel.exe" || fail "the uninstaller is not a copy of the program"
[[ -z $(find "$DIR" -name '*.ap_tmp' -o -name 'patcher_parts' -type d -not -empty) ]] || fail "temporary files left"

expect_eq "InstallPath" "$(reg_value "$SETUP_KEY" InstallPath)" "$WDIR"
expect_eq "InstallPath type" "$(reg_type "$SETUP_KEY" InstallPath)" REG_SZ
expect_eq "Language" "$(reg_value "$SETUP_KEY" Language)" tr
expect_eq "DisplayName" "$(reg_value "$UNINSTALL_KEY" DisplayName)" Quorvel
expect_eq "DisplayIcon" "$(reg_value "$UNINSTALL_KEY" DisplayIcon)" "$WDIR\\Quorvel.exe"
expect_eq "DisplayVersion" "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" 5
expect_eq "Publisher" "$(reg_value "$UNINSTALL_KEY" Publisher)" Quorvel
expect_eq "InstallLocation" "$(reg_value "$UNINSTALL_KEY" InstallLocation)" "$WDIR"
expect_eq "URLInfoAbout" "$(reg_value "$UNINSTALL_KEY" URLInfoAbout)" "https://www.quorvel.net/"
expect_eq "UninstallString" "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$WDIR\\bin\\Uninstall Quorvel.exe\" --uninstall"
expect_eq "NoModify" "$(reg_value "$UNINSTALL_KEY" NoModify)" 0x1
expect_eq "NoRepair" "$(reg_value "$UNINSTALL_KEY" NoRepair)" 0x1
expect_eq "NoRepair type" "$(reg_type "$UNINSTALL_KEY" NoRepair)" REG_DWORD
expect_eq "EstimatedSize" "$(reg_value "$UNINSTALL_KEY" EstimatedSize)" "$(printf '0x%x' "$game_kib")"

for lnk in "$DESKTOP_LNK" "$PROGRAMS_LNK"; do
  expect_exists "$lnk"
  expect_eq "shortcut target" "$(lnk_field "$lnk" 'Local path')" "$WDIR\\Quorvel.exe"
  expect_eq "shortcut working folder" "$(lnk_field "$lnk" 'Working directory')" "$WDIR"
  expect_eq "shortcut icon" "$(lnk_field "$lnk" 'Icon location')" "$WDIR\\Quorvel.exe"
  expect_eq "shortcut icon index" "$(lnk_field "$lnk" 'Icon index')" 0
  expect_eq "shortcut description" "$(lnk_field "$lnk" 'Description')" Quorvel
done

expect_eq "manifest.json fetched by the unattended install" "$(grep -c 'GET /patch/manifest.json' "$E2E/nginx/access.log")" 1

section "unattended repair of a damaged installation"
victim=$(cd "$GAME" && find . -type f -size +1k | LC_ALL=C sort | sed -n 2p)
gone=$(cd "$GAME" && find . -type f | LC_ALL=C sort | sed -n 5p)
[[ -n $victim && -n $gone && $victim != "$gone" ]] || fail "no files to damage"
printf 'X' >>"$DIR/$victim"
rm -f "$DIR/$gone"
echo "my settings" >"$DIR/config/mouse.cfg"
setup --silent "--dir=$WDIR\\" --lang=cz
expect_eq "exit code" "$rc" 0
same_tree "$GAME" "$DIR"
expect_content "$DIR/config/locale.cfg" "1250 cz"
expect_content "$DIR/config/mouse.cfg" "my settings"
expect_eq "Language after repair" "$(reg_value "$SETUP_KEY" Language)" cz

section "repair started from the uninstaller itself (no copy onto itself)"
printf 'Y' >>"$DIR/$victim"
run_windows "$DIR/bin/Uninstall Quorvel.exe" --silent "--dir=$WDIR"
expect_eq "exit code" "$rc" 0
same_tree "$GAME" "$DIR"
cmp -s "$SETUP_EXE" "$DIR/bin/Uninstall Quorvel.exe" || fail "the uninstaller changed"

# Object requests the update made, as "status hash" lines, from nginx's log since it was emptied.
object_requests() { sed -n 's|.*"GET /patch/files/../\([0-9a-f]*\)\.z [^"]*" \([0-9]*\) .*|\2 \1|p' "$E2E/nginx/access.log"; }
whole_hash() { sha256sum "$1" | cut -c1-64; }
# pieces FILE: the hash of each piece the rule cuts FILE into, in order.
pieces() {
  $PY -c 'import hashlib, sys; sys.path.insert(0, sys.argv[2]); from gear_cut import cut
d, at = open(sys.argv[1], "rb").read(), 0
for n in cut(d): print(hashlib.sha256(d[at:at + n]).hexdigest()); at += n' "$1" "$QV_SOURCE_DIR/tests/tools"
}
# new_pieces OLD NEW: "200 hash" for each piece of NEW that OLD does not hold, once each, sorted.
new_pieces() { comm -13 <(pieces "$1" | sort -u) <(pieces "$2" | sort -u) | sed 's/^/200 /'; }
# update VERSION: publishes the game as it is now as VERSION and updates the installation, with
# the server's log emptied first; the old large file stays in $E2E/old.pak for the counts.
update() {
  publish "$GAME" "$1"
  : >"$E2E/nginx/access.log"
  setup --silent "--dir=$WDIR"
  expect_eq "exit code (version $1)" "$rc" 0
  same_tree "$GAME" "$DIR"
}
fetched_only_new_pieces() {  # what the update fetched: exactly the new pieces of the large file
  expect_eq "$1: objects fetched" "$(object_requests | sort)" "$(new_pieces "$E2E/old.pak" "$GAME/archive.pak")"
  cp "$GAME/archive.pak" "$E2E/old.pak"
}
section "updates fetch only pieces no file of the installation holds, wherever the bytes moved"
$PY -c 'import random,sys; random.seed(7); sys.stdout.buffer.write(random.randbytes(6 * 1048576 + 5000))' >"$GAME/archive.pak"
cp "$GAME/archive.pak" "$E2E/old.pak"
publish "$GAME" 6
grep -q '"x":\[' "$E2E/www/patch/manifest.json" || fail "the large file has no pieces in the manifest"
update 6
printf 'one' | dd of="$GAME/archive.pak" bs=1 seek=$((3 * 1048576 + 10)) conv=notrunc status=none
update 7
fetched_only_new_pieces "one byte changed"
$PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); open(p, "wb").write(d[:1048576] + b"i" * 100 + d[1048576:])' "$GAME/archive.pak"
update 8
fetched_only_new_pieces "100 bytes inserted 1 MiB in"
$PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); open(p, "wb").write(b"s" * 100 + d)' "$GAME/archive.pak"
update 9
fetched_only_new_pieces "100 bytes inserted at the start"
$PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); m = len(d) // 2; open(p, "wb").write(d[:m] + d[m + 4096:])' "$GAME/archive.pak"
update 10
fetched_only_new_pieces "4 KiB deleted in the middle"
mkdir -p "$GAME/moved" && mv "$GAME/archive.pak" "$GAME/moved/renamed.pak"
small_a=$(cd "$GAME" && find . -type f -size +2k | LC_ALL=C sort | sed -n 1p)
small_b=$(cd "$GAME" && find . -type f -size +2k | LC_ALL=C sort | sed -n 2p)
mv "$GAME/$small_a" "$E2E/swap" && mv "$GAME/$small_b" "$GAME/$small_a" && mv "$E2E/swap" "$GAME/$small_b"
update 11
expect_eq "a renamed large file and two swapped small files: objects fetched" "$(object_requests)" ""
# Two new large files that share new pieces, one of them also a new small file of its own.
$PY -c 'import random,sys; random.seed(8); sys.stdout.buffer.write(random.randbytes(3 * 1048576))' >"$E2E/tail"
cat "$GAME/moved/renamed.pak" "$E2E/tail" >"$GAME/big1.pak"
head -c $((4 * 1048576)) "$GAME/moved/renamed.pak" | cat - "$E2E/tail" >"$GAME/big2.pak"
shared=$(pieces "$GAME/big1.pak" | tail -2 | head -1)
$PY -c 'import hashlib, sys; sys.path.insert(0, sys.argv[3]); from gear_cut import cut
d, at = open(sys.argv[1], "rb").read(), 0
for n in cut(d):
    if hashlib.sha256(d[at:at + n]).hexdigest() == sys.argv[2]: open(sys.argv[4], "wb").write(d[at:at + n])
    at += n' "$GAME/big1.pak" "$shared" "$QV_SOURCE_DIR/tests/tools" "$GAME/piece.bin"
update 12
[[ $(pieces "$GAME/big2.pak" | grep -cx "$shared") -ge 1 ]] || fail "the two large files share no piece"
expect_eq "objects fetched twice" "$(object_requests | sort | uniq -d)" ""

section "a piece missing or damaged on the server: the whole file instead"
cp "$GAME/moved/renamed.pak" "$E2E/old.pak"
printf 'two' | dd of="$GAME/moved/renamed.pak" bs=1 seek=$((1 * 1048576 + 10)) conv=notrunc status=none
publish "$GAME" 13
missing=$(new_pieces "$E2E/old.pak" "$GAME/moved/renamed.pak" | head -1 | cut -c5-)
rm "$E2E/www/patch/files/${missing:0:2}/$missing.z"
: >"$E2E/nginx/access.log"
setup --silent "--dir=$WDIR"
expect_eq "exit code (piece missing on the server)" "$rc" 0
same_tree "$GAME" "$DIR"
object_requests | grep -qx "404 $missing" || fail "the missing piece was not asked for"
object_requests | grep -qx "200 $(whole_hash "$GAME/moved/renamed.pak")" || fail "the whole file was not fetched"

cp "$GAME/moved/renamed.pak" "$E2E/old.pak"
printf 'three' | dd of="$GAME/moved/renamed.pak" bs=1 seek=$((5 * 1048576 + 10)) conv=notrunc status=none
publish "$GAME" 14
damaged=$(new_pieces "$E2E/old.pak" "$GAME/moved/renamed.pak" | head -1 | cut -c5-)
printf 'Z' | dd of="$E2E/www/patch/files/${damaged:0:2}/$damaged.z" bs=1 seek=1000 conv=notrunc status=none
: >"$E2E/nginx/access.log"
setup --silent "--dir=$WDIR"
expect_eq "exit code (damaged piece)" "$rc" 0
same_tree "$GAME" "$DIR"
# One request per attempt, whatever connection it goes out on.
expect_eq "a damaged piece three times" "$(object_requests | grep -c "$damaged")" 3
object_requests | grep -qx "200 $(whole_hash "$GAME/moved/renamed.pak")" || fail "the whole file was not fetched"

section "a program from before pieces were cut by content installs and updates such a release"
older_program 24455a551536c0b37c5611a46c658d635a4bd46f
DIR3=$E2E/Older/Quorvel
run_windows "$OLDER_EXE" --silent --no-shortcuts "--dir=$(winpath "$DIR3")"
expect_eq "exit code (older program, fresh install)" "$rc" 0
same_tree "$GAME" "$DIR3"
printf 'four' | dd of="$GAME/moved/renamed.pak" bs=1 seek=$((2 * 1048576 + 10)) conv=notrunc status=none
publish "$GAME" 15
: >"$E2E/nginx/access.log"
run_windows "$OLDER_EXE" --silent --no-shortcuts "--dir=$(winpath "$DIR3")"
expect_eq "exit code (older program, update)" "$rc" 0
same_tree "$GAME" "$DIR3"
expect_eq "the older program fetches the whole file" "$(object_requests)" "200 $(whole_hash "$GAME/moved/renamed.pak")"

section "a server stopped in the middle of an install and started again: the install ends with 0"
# Paced, so that the install is still downloading when the server goes.
stop_patch_server
serve_release "$E2E/nginx" "$E2E/www" 100k
: >"$E2E/nginx/access.log"
DIR4=$E2E/Blip/Quorvel
( setup --silent --no-shortcuts "--dir=$(winpath "$DIR4")" "--log=$(winpath "$E2E/blip.log")"; echo "$rc" >"$E2E/blip.rc" ) &
wait_until 60 grep -q 'GET /patch/files/' "$E2E/nginx/access.log" || fail "the install fetched nothing"
stop_patch_server
wait_until 60 grep -q 'no answer from the server' "$E2E/blip.log" || fail "the install did not wait for the server"
serve_release "$E2E/nginx" "$E2E/www"
wait_until 300 test -s "$E2E/blip.rc" || fail "the install did not end"
expect_eq "exit code after the server came back" "$(cat "$E2E/blip.rc" 2>/dev/null)" 0
same_tree "$GAME" "$DIR4"
grep -q 'patch run failed' "$E2E/blip.log" && fail "the log has a failure"

section "two servers: the first one down, the install comes from the second"
export QV_E2E_BASE_URLS="http://127.0.0.1:$(qv_free_port)/patch/;http://127.0.0.1:$QV_E2E_PORT/patch/"
DIR5=$E2E/Mirror/Quorvel
setup --silent --no-shortcuts "--dir=$(winpath "$DIR5")" "--log=$(winpath "$E2E/mirror.log")"
unset QV_E2E_BASE_URLS
expect_eq "exit code with the first server down" "$rc" 0
same_tree "$GAME" "$DIR5"
grep -q "patch server http://127.0.0.1:[0-9]*/patch/ is not asked again in this run: no connection" "$E2E/mirror.log" ||
  fail "the log does not name the server that was down"

section "two servers: the first serves a damaged object, that file comes from the second"
# A copy of the release on a second nginx, one object damaged in place (same length).
rm -rf "$E2E/www2" && cp -a "$E2E/www" "$E2E/www2"
victim=$($PY -c 'import json, sys; h = next(f["h"] for f in json.load(open(sys.argv[1]))["files"] if f["c"] > 2000); print(sys.argv[2] + "/files/" + h[:2] + "/" + h + ".z")' \
  "$E2E/www2/patch/manifest.json" "$E2E/www2/patch")
printf 'Z' | dd of="$victim" bs=1 seek=1000 conv=notrunc status=none
PORT2=$(qv_free_port)
qv_nginx_start "$E2E/nginx2" "$E2E/www2" "$PORT2" "" || fail "the second server did not start"
export QV_E2E_BASE_URLS="http://127.0.0.1:$PORT2/patch/;http://127.0.0.1:$QV_E2E_PORT/patch/"
DIR6=$E2E/Mirror2/Quorvel
setup --silent --no-shortcuts "--dir=$(winpath "$DIR6")" "--log=$(winpath "$E2E/mirror2.log")"
unset QV_E2E_BASE_URLS
qv_nginx_stop "$E2E/nginx2"
expect_eq "exit code with a damaged object on the first server" "$rc" 0
same_tree "$GAME" "$DIR6"
victim_requests=$(grep -c "$(basename "$victim")" "$E2E/nginx2/access.log")
expect_eq "requests for the damaged object on the first server (three attempts)" "$victim_requests" 3
grep -q "patch server http://127.0.0.1:$PORT2/patch/ is not asked again in this run: a damaged object" "$E2E/mirror2.log" ||
  fail "the log does not name the server that served damage"

section "a server that sends the manifest gzip-compressed"
PORT3=$(qv_free_port)
qv_nginx_start "$E2E/nginx3" "$E2E/www" "$PORT3" "gzip on; gzip_types application/json; gzip_min_length 0;" ||
  fail "the compressing server did not start"
export QV_E2E_BASE_URLS="http://127.0.0.1:$PORT3/patch/"
DIR7=$E2E/Gzip/Quorvel
setup --silent --no-shortcuts "--dir=$(winpath "$DIR7")"
unset QV_E2E_BASE_URLS
qv_nginx_stop "$E2E/nginx3"
expect_eq "exit code with a compressed manifest" "$rc" 0
same_tree "$GAME" "$DIR7"
sent=$(awk '$7 == "/patch/manifest.json" { print $10 }' "$E2E/nginx3/access.log")
((sent > 0 && sent * 2 < $(stat -c %s "$E2E/www/patch/manifest.json"))) ||
  fail "the manifest went out with $sent bytes, not compressed"

section "--no-shortcuts: registry written, no shortcut"
clean_user_state
DIR2=$E2E/Other/Quorvel
setup --silent --no-shortcuts "--dir=$(winpath "$DIR2")"
expect_eq "exit code" "$rc" 0
same_tree "$GAME" "$DIR2"
expect_missing "$DESKTOP_LNK"
expect_missing "$PROGRAMS_LNK"
expect_eq "InstallPath" "$(reg_value "$SETUP_KEY" InstallPath)" "$(winpath "$DIR2")"
expect_eq "UninstallString" "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$(winpath "$DIR2")\\bin\\Uninstall Quorvel.exe\" --uninstall"

pass_or_fail
