#!/usr/bin/env bash
# An update that costs what changed: an installed game with one large file (300 MiB) and 200
# small ones, then a release that changes 1 MiB in the middle of the large file and 5 small
# files. The update runs unattended against nginx, each connection paced to a player's line;
# the bytes it fetched come from nginx's log. Goals: those bytes at most 1.2 times the
# compressed size of the changed pieces, the changed small files and the manifest, and the time
# at most 2 times that of fetching exactly those objects alone (curl, four at once, same line).
# Then --limit-rate: the small files installed fresh from an unpaced server with a limit, the
# rate the objects arrived at (from nginx's own times) against the limit, within 15 %; and the
# same install with a first server that is down, against the working server alone.
# Usage: bench/update.sh BUILD_DIR; ./run bench runs it. QV_BENCH_UPDATE_BIG (MiB),
# QV_BENCH_UPDATE_RATE (per connection, nginx syntax), QV_BENCH_LIMIT_RATE (the program's
# syntax) and QV_BENCH_RUNS size it. Between them, the shifted cases of a rebuilt archive
# (100 bytes inserted 1 MiB in and at the start, 4 KiB deleted, the file renamed, two small
# files swapped), each against what content-defined pieces need, with disk bytes and a floor.
set -uo pipefail
BUILD=$(cd "${1:?usage: bench/update.sh BUILD_DIR}" && pwd)
export QV_BUILD_DIR=$BUILD/windows QV_SOURCE_DIR
QV_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BIG_MIB=${QV_BENCH_UPDATE_BIG:-300}
RATE=${QV_BENCH_UPDATE_RATE:-1m}
LIMIT=${QV_BENCH_LIMIT_RATE:-2M}
RUNS=${QV_BENCH_RUNS:-3}
. "$QV_SOURCE_DIR/tests/e2e/lib.sh"
e2e_begin

say() { echo "update bench: $*"; }
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r != "n/a" && r <= g) ? "PASS" : "FALL SHORT" }'; }
sent_bytes() { awk '$7 ~ /^\/patch\// { s += $10 } END { print s + 0 }' "$E2E/nginx/access.log"; }

GAME=$E2E/game
$PY "$QV_SOURCE_DIR/tools/make_sample_game.py" create "$GAME" --files 200 --size 20M --seed update >/dev/null ||
  { echo "sample game failed"; exit 1; }
$PY -c '
import random, sys
random.seed(1)
for _ in range(int(sys.argv[1])):
    sys.stdout.buffer.write(random.randbytes(1 << 20))' "$BIG_MIB" >"$GAME/world.pak" || { echo "the large file failed"; exit 1; }
"$PUBLISH" build "$GAME" "$E2E/www/patch" --key "$SIGNING_KEY" --version 1 --level 1 >"$E2E/publish1.log" 2>&1 ||
  { cat "$E2E/publish1.log"; exit 1; }
cp "$E2E/www/patch/manifest.json" "$E2E/manifest1.json"
cp -a "$GAME" "$E2E/game1"
start_patch_server
DIR=$E2E/Quorvel
setup --silent --no-shortcuts --no-launch "--dir=$(winpath "$DIR")"
(( rc == 0 )) || { echo "the first install failed ($rc)"; exit 1; }
cp -a "$DIR" "$E2E/installed1"

# The new release: 1 MiB in the middle of the large file, and five small files.
$PY -c '
import os, random, sys
random.seed(2)
with open(sys.argv[1], "r+b") as f:
    f.seek(os.path.getsize(sys.argv[1]) // 2)
    f.write(random.randbytes(1 << 20))
' "$GAME/world.pak"
find "$GAME" -type f -size +1k ! -name world.pak | LC_ALL=C sort | head -5 | while read -r f; do printf 'v2' >>"$f"; done
"$PUBLISH" build "$GAME" "$E2E/www/patch" --key "$SIGNING_KEY" --version 2 --level 1 >"$E2E/publish2.log" 2>&1 ||
  { cat "$E2E/publish2.log"; exit 1; }
# What changed: new objects of the new release (pieces of a file in pieces, else whole files),
# and the manifest with its signature. The list of their URL paths is the baseline's work.
read -r CHANGED LIST_BYTES WHOLE PIECES < <($PY -c '
import json, os, sys
old, new = (json.load(open(p)) for p in sys.argv[1:3])
def objects(m):
    out = {}
    for e in m["files"]:
        for o in e.get("x") or [e]:
            out[o["h"]] = o["c"]
    return out
before, after = objects(old), objects(new)
changed = {h: c for h, c in after.items() if h not in before}
with open(sys.argv[3], "w") as f:
    for h in changed:
        f.write("/patch/files/%s/%s.z\n" % (h[:2], h))
    f.write("/patch/manifest.json\n/patch/manifest.sig\n")
big = next(e for e in new["files"] if e["p"] == "world.pak")
pieces = len(json.dumps(big["x"], separators=(",", ":"))) + len(",\"x\":")
extra = os.path.getsize(sys.argv[4]) + 64
print(sum(changed.values()) + extra, len(changed), big["c"], pieces)
' "$E2E/manifest1.json" "$E2E/www/patch/manifest.json" "$E2E/changed.txt" "$E2E/www/patch/manifest.json")
MANIFEST_BYTES=$(stat -c %s "$E2E/www/patch/manifest.json")
say "large file $BIG_MIB MiB, 200 small files; what changed: $LIST_BYTES objects, $CHANGED bytes with the manifest ($MANIFEST_BYTES bytes)"
say "the large file's piece list adds $PIECES bytes to the manifest"

# The same line for both: nginx paces each connection.
stop_patch_server
serve_release "$E2E/nginx" "$E2E/www" "$RATE"
walls=() bytes=() bases=()
for ((i = 1; i <= RUNS; i++)); do
  rm -rf "$DIR"
  cp -a "$E2E/installed1" "$DIR"
  : >"$E2E/nginx/access.log"
  t0=$(now)
  setup --silent --no-shortcuts --no-launch "--dir=$(winpath "$DIR")"
  walls+=("$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')")
  (( rc == 0 )) || { echo "the update failed ($rc)"; exit 1; }
  bytes+=("$(sent_bytes)")
  same_tree "$GAME" "$DIR"
  ((failures == 0)) || { echo "the update left other files than the release's"; exit 1; }
  t0=$(now)
  sed "s|^|url = \"http://127.0.0.1:$QV_E2E_PORT|; s|\$|\"\noutput = \"/dev/null\"|" "$E2E/changed.txt" >"$E2E/curl.cfg"
  curl -s --no-progress-meter -f -Z --parallel-max 4 -K "$E2E/curl.cfg" || { echo "curl could not fetch what changed"; exit 1; }
  bases+=("$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')")
done
WALL=$(median "${walls[@]}")
BYTES=$(median "${bytes[@]}")
BASE=$(median "${bases[@]}")
say "update: $WALL s (runs: ${walls[*]}), $BYTES bytes fetched (runs: ${bytes[*]}), line $RATE per connection"
say "fetching what changed alone (curl): $BASE s (runs: ${bases[*]})"
say "before pieces the large file alone was $WHOLE compressed bytes: $(ratio "$WHOLE" "$BYTES") times what this update fetched"
g1=$(ratio "$BYTES" "$CHANGED")
g2=$(ratio "$WALL" "$BASE")
say "bytes fetched / what changed: $g1 (goal at most 1.2): $(verdict "$g1" 1.2)"
say "update time / fetching what changed: $g2 (goal at most 2): $(verdict "$g2" 2)"

# Shifted content: each case starts from the installed first release again and edits the game
# as a rebuilt archive would. Fetched bytes against what content-defined pieces need (the new
# pieces' objects and the manifest), the disk bytes the program read and wrote (the process
# tree's /proc io), and the time against a floor: curl fetching exactly those objects, then
# copying the old large file into a new one with a flush.
cp -a "$GAME" "$E2E/game2"
$PY -c 'import os, random, sys; random.seed(2); f = open(sys.argv[1], "r+b"); f.seek(os.path.getsize(sys.argv[1]) // 2); f.write(random.randbytes(1 << 20))' "$E2E/game2/world.pak"
measured_update() {  # OUT: the program's update under the io wrapper, exit code in $rc
  _exit_file
  timeout 600 $PY "$QV_SOURCE_DIR/bench/io_wrap.py" "$1" wine "$RUNNER" run "$(winpath "$EXIT_FILE")" \
    "$(winpath "$SETUP_EXE")" --silent --no-shortcuts --no-launch "--dir=$(winpath "$DIR")" </dev/null >>"$E2E/wine.log" 2>&1
  _read_exit $?
}
edit_case() {  # NAME: the game as that case's release has it
  rm -rf "$GAME" && cp -a "$E2E/game1" "$GAME"
  case $1 in
    overwrite) cp "$E2E/game2/world.pak" "$GAME/world.pak" ;;
    insert-1mib) $PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); open(p, "wb").write(d[:1 << 20] + b"i" * 100 + d[1 << 20:])' "$GAME/world.pak" ;;
    insert-start) $PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); open(p, "wb").write(b"s" * 100 + d)' "$GAME/world.pak" ;;
    delete-4k) $PY -c 'import sys; p = sys.argv[1]; d = open(p, "rb").read(); m = len(d) // 2; open(p, "wb").write(d[:m] + d[m + 4096:])' "$GAME/world.pak" ;;
    rename) mv "$GAME/world.pak" "$GAME/renamed.pak" ;;
    swap) a=$(find "$GAME" -type f -size +4k ! -name world.pak | LC_ALL=C sort | sed -n 1p)
          b=$(find "$GAME" -type f -size +4k ! -name world.pak | LC_ALL=C sort | sed -n 2p)
          mv "$a" "$E2E/swap" && mv "$b" "$a" && mv "$E2E/swap" "$b" ;;
  esac
}
version=10
for name in overwrite insert-1mib insert-start delete-4k rename swap; do
  edit_case "$name"
  version=$((version + 1))
  "$PUBLISH" build "$GAME" "$E2E/www/patch" --key "$SIGNING_KEY" --version "$version" --level 1 >"$E2E/publishc.log" 2>&1 ||
    { cat "$E2E/publishc.log"; exit 1; }
  # What content-defined pieces need: objects of the new release that the first one lacks,
  # pieces for a file in pieces, whole otherwise, a content already installed anywhere none.
  NEED=$($PY -c '
import json, os, sys
old, new = (json.load(open(p)) for p in sys.argv[1:3])
held = {o["h"] for e in old["files"] for o in (e.get("x") or []) + [e]}
need = {}
for e in new["files"]:
    if e["h"] in held: continue
    for o in e.get("x") or [e]:
        if o["h"] not in held: need[o["h"]] = o["c"]
with open(sys.argv[3], "w") as f:
    for h in need: f.write("/patch/files/%s/%s.z\n" % (h[:2], h))
    f.write("/patch/manifest.json\n/patch/manifest.sig\n")
print(sum(need.values()) + os.path.getsize(sys.argv[2]) + 64)' "$E2E/manifest1.json" "$E2E/www/patch/manifest.json" "$E2E/changed.txt")
  walls=() bases=()
  for ((i = 1; i <= RUNS; i++)); do
    rm -rf "$DIR" && cp -a "$E2E/installed1" "$DIR"
    sync
    : >"$E2E/nginx/access.log"
    t0=$(now)
    measured_update "$E2E/io.txt"
    walls+=("$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')")
    (( rc == 0 )) || { echo "the update ($name) failed ($rc)"; exit 1; }
    same_tree "$GAME" "$DIR" || { echo "the update ($name) left other files than the release's"; exit 1; }
    got=$(sent_bytes)
    read -r READ WRITTEN <"$E2E/io.txt"
    t0=$(now)
    sed "s|^|url = \"http://127.0.0.1:$QV_E2E_PORT|; s|\$|\"\noutput = \"/dev/null\"|" "$E2E/changed.txt" >"$E2E/curl.cfg"
    curl -s --no-progress-meter -f -Z --parallel-max 4 -K "$E2E/curl.cfg" || { echo "curl could not fetch what changed"; exit 1; }
    $PY -c 'import os, shutil, sys; shutil.copyfile(sys.argv[1], sys.argv[2]); f = os.open(sys.argv[2], os.O_RDONLY); os.fsync(f)' \
      "$E2E/installed1/world.pak" "$E2E/floor.pak"
    bases+=("$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')")
    rm -f "$E2E/floor.pak"
  done
  WALL=$(median "${walls[@]}") BASE=$(median "${bases[@]}")
  g4=$(ratio "$got" "$NEED")
  g5=$(ratio "$WALL" "$BASE")
  big=$(stat -c %s "$E2E/installed1/world.pak")
  game=$(du -sb "$E2E/game1" | cut -f1)  # a repair reads each installed file once to verify it
  say "$name: fetched $got bytes, content-defined pieces need $NEED: $g4 (goal at most 1.2): $(verdict "$g4" 1.2)"
  say "$name: disk read $READ bytes, $(ratio "$READ" "$game") per byte of the game (goal at most 1.1): $(verdict "$(ratio "$READ" "$game")" 1.1); written $WRITTEN, $(ratio "$WRITTEN" "$big") per byte of the large file (goal at most 1.1): $(verdict "$(ratio "$WRITTEN" "$big")" 1.1)"
  say "$name: $WALL s (runs: ${walls[*]}) against the floor $BASE s (runs: ${bases[*]}): $g5 (goal at most 1.3): $(verdict "$g5" 1.3)"
done
rm -rf "$GAME" && cp -a "$E2E/game2" "$GAME"

# --limit-rate on an unpaced server: nginx logs when each answer ended ($msec); the objects
# arrive between the signature's end and the last answer's.
stop_patch_server
rm -f "$GAME/world.pak"
"$PUBLISH" build "$GAME" "$E2E/www/patch" --key "$SIGNING_KEY" --version 30 --level 1 >"$E2E/publish3.log" 2>&1 ||
  { cat "$E2E/publish3.log"; exit 1; }
start_patch_server
sed -i "s|^  access_log .*|  log_format timed '\$msec \$body_bytes_sent \$request_uri'; access_log $E2E/nginx/timed.log timed;|" "$E2E/nginx/nginx.conf"
nginx -e "$E2E/nginx/error.log" -c "$E2E/nginx/nginx.conf" -s reload || { echo "nginx did not reload"; exit 1; }
wait_until 20 bash -c "curl -sf -o /dev/null http://127.0.0.1:$QV_E2E_PORT/patch/manifest.sig && grep -q manifest.sig '$E2E/nginx/timed.log'" ||
  { echo "nginx does not write its timed log"; exit 1; }
: >"$E2E/nginx/timed.log"
limit_bytes=$($PY -c 'import sys; t = sys.argv[1]; u = {"k": 1024, "K": 1024, "m": 1048576, "M": 1048576}; print(int(t[:-1]) * u[t[-1]] if t[-1] in u else int(t))' "$LIMIT")
t0=$(now)
setup --silent --no-shortcuts --no-launch "--dir=$(winpath "$E2E/Limited")" "--limit-rate=$LIMIT"
limited_wall=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
(( rc == 0 )) || { echo "the limited install failed ($rc)"; exit 1; }
read -r OBJ_BYTES SPAN < <(awk '$3 ~ /manifest\.sig$/ { start = $1 } $3 ~ /\/files\// { bytes += $2; if ($1 > end) end = $1 }
  END { printf "%d %.3f\n", bytes, end - start }' "$E2E/nginx/timed.log")
measured=$(awk -v b="$OBJ_BYTES" -v s="$SPAN" 'BEGIN { if (s > 0) printf "%.0f", b / s; else print 0 }')
g3=$(ratio "$measured" "$limit_bytes")
say "--limit-rate=$LIMIT ($limit_bytes B/s): $OBJ_BYTES bytes of objects in $SPAN s, $measured B/s (whole run $limited_wall s)"
say "rate / limit: $g3 (goal 0.85 to 1.15): $(awk -v r="$g3" 'BEGIN { print (r >= 0.85 && r <= 1.15) ? "PASS" : "FALL SHORT" }')"

# Failover: the same fresh install with a first server whose port is closed, against the
# working server alone (medians).
alone=() failover=()
for ((i = 1; i <= RUNS; i++)); do
  for way in alone failover; do
    rm -rf "$E2E/Mirrors"
    [[ $way == failover ]] && export QV_E2E_BASE_URLS="http://127.0.0.1:$(qv_free_port)/patch/;http://127.0.0.1:$QV_E2E_PORT/patch/"
    t0=$(now)
    setup --silent --no-shortcuts --no-launch "--dir=$(winpath "$E2E/Mirrors")"
    wall=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
    unset QV_E2E_BASE_URLS
    (( rc == 0 )) || { echo "the install ($way) failed ($rc)"; exit 1; }
    if [[ $way == alone ]]; then alone+=("$wall"); else failover+=("$wall"); fi
  done
done
say "a first server that is down: $(median "${failover[@]}") s (runs: ${failover[*]}) against $(median "${alone[@]}") s with the working server alone (runs: ${alone[*]})"
pass_or_fail
