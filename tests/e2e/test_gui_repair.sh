#!/usr/bin/env bash
# A repair of a 100 MB install without its cache, on a real screen and read as a screen reader
# reads it: Downloaded counts only the one file the repair fetches.
. "$(dirname "$0")/gui_lib.sh"
gui_begin

section "a repair without the cache: Downloaded counts the one file it fetches"
# The name of the element after the one named $1 (a statistic's value after its caption).
after() { awk -F'|' -v c="$1" 'found { print $3; exit } $3 == c { found = 1 }' <<<"$TREE"; }
nginx_workers() { local m; m=$(cat "$GUI/nginx/nginx.pid" 2>/dev/null) && pgrep -P "$m"; }
gui_cleanup() { kill -CONT $(nginx_workers) 2>/dev/null; clean_user_state; }
REPAIR=$GUI/repair
make_game "$REPAIR/game" 30 100M
# Whole files only: at 256 B/s the pieces' lists would make the manifest outlast its bound.
publish "$REPAIR/game" "$REPAIR/www/patch" 8 --chunk-threshold 0
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
# The server is held still below while the tree is read: the product's deadline floor, so that
# the held download is not given up meanwhile.
agent_do env QV_E2E_DEADLINE_FLOOR_MS 30000
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
  read_tree repair || continue
  grep -q '^[a-z]*||Downloading the game\.\.\.|' <<<"$TREE" && [[ $(after Downloaded) == *" / "* ]] &&
    { downloaded=$(after Downloaded); break; }
  grep -q '^[a-z]*||Installation complete|' <<<"$TREE" && break
done
kill -CONT $(nginx_workers)
echo "Downloaded while the one file is fetched: $downloaded"
[[ $downloaded =~ " / "([0-9.]+)" "(B|KB)$ ]] && [[ ${BASH_REMATCH[2]} == B || ${BASH_REMATCH[1]%.*} -le 16 ]] ||
  fail "Downloaded of a repair that fetches one 7 KB file: '$downloaded'"
wait_until 300 eval 'read_tree repair-done && grep -q "^[a-z]*||Installation complete|" <<<"$TREE"' ||
  fail "the repair did not finish"
cmp -s "$REPAIR/game/$small" "$REPAIR/Quorvel/$small" || fail "the changed file was not repaired"
close_wizard repair
clean_user_state

pass_or_fail
