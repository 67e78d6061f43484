#!/usr/bin/env bash
# Patch engine benchmark: ./run bench, or bench/run.sh BUILD_DIR.
#
# Publishes two synthetic games with quorvel-publish, serves them with nginx on 127.0.0.1 and
# runs the Windows patch driver (qv_patch_driver.exe, one patch run per call) under Wine:
#   (a) fresh install of the large game      baseline: curl fetching the same objects, 4 at once
#   (b) check of an unchanged installation of many small files (cache path)
#                                            baseline: a native stat of every installed file
#   (c) full verification of the large game  baseline: native sha256sum of the installed files
#   (d) repair after changing 1 % of the files
#                                            baseline: the same work natively (stat all, hash the
#                                            changed files, fetch and inflate their objects)
# Native zlib inflate of all objects is measured as well. Figures go to stdout and to
# bench/RESULTS.md. The data (a few GB) lives in BUILD_DIR/bench and is deleted at the end.
#
# Sizes can be changed for a quick try: QV_BENCH_FILES, QV_BENCH_SIZE, QV_BENCH_BIG,
# QV_BENCH_BIG_SIZE, QV_BENCH_SMALL_FILES, QV_BENCH_SMALL_SIZE, QV_BENCH_RESULTS (output file).
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PUB=$BUILD/host/tools/quorvel-publish
DRIVER=$BUILD/windows/qv_patch_driver.exe
GEN=$ROOT/tools/make_sample_game.py
PY=/usr/bin/python3
W=$BUILD/bench
RESULTS=${QV_BENCH_RESULTS:-$ROOT/bench/RESULTS.md}

FILES=${QV_BENCH_FILES:-2000}
SIZE=${QV_BENCH_SIZE:-1G}
BIG=${QV_BENCH_BIG:-3}
BIG_SIZE=${QV_BENCH_BIG_SIZE:-150M}
SMALL_FILES=${QV_BENCH_SMALL_FILES:-100000}
SMALL_SIZE=${QV_BENCH_SMALL_SIZE:-200M}
JOBS=$(nproc)

for need in "$PUB" "$DRIVER"; do
  [[ -x $need || -f $need ]] || { echo "bench: $need is missing; run ./run build first" >&2; exit 1; }
done

. "$ROOT/tools/services.sh"
qv_wine_env "$BUILD/bench-wineprefix"
cleanup() {
  qv_nginx_stop "$W/nginx"
  qv_wine_stop
  rm -rf "$W"
}
trap cleanup EXIT
rm -rf "$W"
mkdir -p "$W"

say() { echo "bench: $*"; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
rate() { awk -v bytes="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", bytes / 1048576 / s; else print "n/a" }'; }
winpath() { winepath -w "$1" 2>/dev/null; }
# sum of the "s" or "c" values of a manifest
manifest_sum() {
  $PY -c 'import json, sys; m = json.load(open(sys.argv[1])); print(sum(e[sys.argv[2]] for e in m["files"]))' "$1" "$2"
}

# run_driver NAME ARGS...: one patch run; sets RUN_WALL (s), RUN_RSS (KiB) and checks the end stage.
run_driver() {
  local name=$1; shift
  local start; start=$(now)
  /usr/bin/time -f '%M' -o "$W/$name.rss" wine "$DRIVER" "$@" >"$W/$name.log" 2>&1 </dev/null || true
  RUN_WALL=$(elapsed "$start")
  RUN_RSS=$(tail -1 "$W/$name.rss")
  if ! grep -q '^final 8 ' "$W/$name.log"; then
    echo "bench: the patch run '$name' did not finish with stage 8:" >&2
    tail -5 "$W/$name.log" >&2
    exit 1
  fi
}

# curl_fetch LIST OUT_DIR BASE_URL: downloads every object named in LIST, 4 transfers at once.
curl_fetch() {
  mkdir -p "$2"
  awk -v base="$3" -v out="$2" '{ printf "url = \"%sfiles/%s/%s.z\"\noutput = \"%s/%s.z\"\n", base, substr($1, 1, 2), $1, out, $1 }' \
    "$1" >"$W/curl.cfg"
  curl -s --no-progress-meter -f -Z --parallel-max 4 -K "$W/curl.cfg"
}

# native_inflate FILES...: inflates each zlib object, streaming, output discarded.
native_inflate() {
  $PY -c '
import sys, zlib
for path in sys.argv[1:]:
    d = zlib.decompressobj()
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            d.decompress(chunk, 0)
    d.flush()
' "$@"
}

say "machine: $(nproc) processors, $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- the games and their releases ---------------------------------------------------
# The small-file game is generated while the large one is published.
say "generating the large game ($FILES files, $SIZE, $BIG files of $BIG_SIZE)"
prep=$(now)
$PY "$GEN" create "$W/game" --files "$FILES" --size "$SIZE" --big "$BIG" --big-size "$BIG_SIZE" --seed bench >/dev/null
say "publishing it, and generating the small-file game ($SMALL_FILES files, $SMALL_SIZE)"
$PY "$GEN" create "$W/small" --files "$SMALL_FILES" --size "$SMALL_SIZE" --seed small >/dev/null &
gen_pid=$!
"$PUB" keygen --out "$W/bench.key" >"$W/key.hex" 2>/dev/null
KEY=$(cat "$W/key.hex")
# Level 1: the objects' compression level hardly changes inflate speed, and publishing is not
# what is measured here.
"$PUB" build "$W/game" "$W/www/big/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-big.log"
wait "$gen_pid"
say "publishing the small-file game"
"$PUB" build "$W/small" "$W/www/small/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-small.log"
PREP_S=$(elapsed "$prep")
BIG_BYTES=$(manifest_sum "$W/www/big/patch/manifest.json" s)
BIG_COMPRESSED=$(manifest_sum "$W/www/big/patch/manifest.json" c)
SMALL_BYTES=$(manifest_sum "$W/www/small/patch/manifest.json" s)
BIG_COUNT=$(find "$W/game" -type f | wc -l)
SMALL_COUNT=$(find "$W/small" -type f | wc -l)
$PY -c 'import json, sys; print("\n".join(sorted({e["h"] for e in json.load(open(sys.argv[1]))["files"]})))' \
  "$W/www/big/patch/manifest.json" >"$W/big-objects.txt"
$PY -c 'import json, sys; sys.stdout.write("".join(e["p"] + "\0" for e in json.load(open(sys.argv[1]))["files"]))' \
  "$W/www/big/patch/manifest.json" >"$W/big-paths.bin"

# ---- nginx on 127.0.0.1 -------------------------------------------------------------
PORT=$(qv_free_port)
# No access log: it would only add work to the server being measured.
qv_nginx_start "$W/nginx" "$W/www" "$PORT" "access_log off;" &&
  qv_nginx_wait "http://127.0.0.1:$PORT/big/patch/manifest.json" ||
  { cat "$W/nginx/start.log" "$W/nginx/error.log" 2>/dev/null; echo "bench: nginx did not start" >&2; exit 1; }
BIG_URL="http://127.0.0.1:$PORT/big/patch/"
SMALL_URL="http://127.0.0.1:$PORT/small/patch/"

say "starting Wine"
qv_wine_start
/usr/bin/time -f '%M' -o "$W/idle.rss" wine "$DRIVER" >/dev/null 2>&1 </dev/null || true
IDLE_RSS=$(tail -1 "$W/idle.rss")

# ---- (a) fresh install ---------------------------------------------------------------
say "(a) fresh install of $BIG_COUNT files"
mkdir -p "$W/install"
run_driver fresh --dir="$(winpath "$W/install")" --url="$BIG_URL" --key="$KEY"
A_S=$RUN_WALL A_RSS=$RUN_RSS
# Every listed file must be in place with its size (the full verification below hashes them).
$PY -c '
import json, os, sys
m = json.load(open(sys.argv[1]))
bad = [e["p"] for e in m["files"] if not os.path.isfile(os.path.join(sys.argv[2], e["p"]))
       or os.path.getsize(os.path.join(sys.argv[2], e["p"])) != e["s"]]
sys.exit(f"bench: {len(bad)} files not installed, first {bad[:3]}" if bad else 0)
' "$W/www/big/patch/manifest.json" "$W/install"
say "    $A_S s"
FILES_PER_S=$(awk -v n="$BIG_COUNT" -v s="$A_S" 'BEGIN { printf "%.0f", n / s }')
say "    baseline: curl, 4 transfers at once"
sync; start=$(now)
curl_fetch "$W/big-objects.txt" "$W/curl" "$BIG_URL"
CURL_S=$(elapsed "$start")
say "    baseline: native zlib inflate of the objects"
start=$(now)
native_inflate "$W"/curl/*.z
INFLATE_S=$(elapsed "$start")
rm -rf "$W/curl"

# ---- (c) full verification -------------------------------------------------------------
say "(c) full verification"
run_driver verify --dir="$(winpath "$W/install")" --url="$BIG_URL" --key="$KEY" --full-verify
C_S=$RUN_WALL C_RSS=$RUN_RSS
say "    baseline: sha256sum, $JOBS at once"
start=$(now)
(cd "$W/install" && xargs -0 -n 64 -P "$JOBS" sha256sum <"$W/big-paths.bin" >/dev/null)
SHA_S=$(elapsed "$start")

# ---- (d) repair after changing 1 % of the files ------------------------------------------
say "(d) repair after changing 1 % of the files"
# The engine's own state stays as it is; only game files change.
$PY "$GEN" change "$W/install" --percent 1 --seed bench --exclude config/patcher >"$W/changed-game.txt"
CHANGED=$(wc -l <"$W/changed-game.txt")
CHANGED_BYTES=$(cd "$W/install" && tr '\n' '\0' <"$W/changed-game.txt" | xargs -0 stat -c %s | awk '{ s += $1 } END { print s + 0 }')
run_driver repair --dir="$(winpath "$W/install")" --url="$BIG_URL" --key="$KEY"
D_S=$RUN_WALL D_RSS=$RUN_RSS
bad=$(cd "$W/install" && while IFS= read -r p; do cmp -s "$p" "$W/game/$p" || echo "$p"; done <"$W/changed-game.txt")
[[ -z $bad ]] || { echo "bench: the repair left changed files: $bad" >&2; exit 1; }
say "    baseline: the same work natively"
$PY -c '
import json, sys
m = {e["p"]: e["h"] for e in json.load(open(sys.argv[1]))["files"]}
for line in open(sys.argv[2], encoding="utf-8"):
    p = line.rstrip("\n")
    if p in m: print(m[p])
' "$W/www/big/patch/manifest.json" "$W/changed-game.txt" | sort -u >"$W/changed-objects.txt"
start=$(now)
(cd "$W/install" && find . -type f -printf '%s %T@\n' >/dev/null)
(cd "$W/install" && tr '\n' '\0' <"$W/changed-game.txt" | xargs -0 -r sha256sum >/dev/null)
curl_fetch "$W/changed-objects.txt" "$W/curl" "$BIG_URL"
native_inflate "$W"/curl/*.z
NATIVE_REPAIR_S=$(elapsed "$start")
rm -rf "$W/curl" "$W/install" "$W/game"

# ---- (b) unchanged installation of many small files -------------------------------------
# Downloading 100,000 files one request at a time would dominate the run, so the files are put
# in place directly; the first patch run then hashes all of them (no cache yet) and records
# them, and the second one is the measured check of an unchanged installation.
say "(b) $SMALL_COUNT small files: first check without a cache, then the check of the unchanged installation"
mv "$W/small" "$W/install-small"
run_driver small-first --dir="$(winpath "$W/install-small")" --url="$SMALL_URL" --key="$KEY"
SMALL_FIRST_S=$RUN_WALL SMALL_FIRST_RSS=$RUN_RSS
run_driver small-check --dir="$(winpath "$W/install-small")" --url="$SMALL_URL" --key="$KEY"
B_S=$RUN_WALL B_RSS=$RUN_RSS
say "    $B_S s; baseline: native stat of every file"
start=$(now)
(cd "$W/install-small" && find . -type f -printf '%s %T@\n' >/dev/null)
STAT_S=$(elapsed "$start")

LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
MB=$(awk -v b="$BIG_BYTES" 'BEGIN { printf "%.0f", b / 1048576 }')
MBC=$(awk -v b="$BIG_COMPRESSED" 'BEGIN { printf "%.0f", b / 1048576 }')
MBS=$(awk -v b="$SMALL_BYTES" 'BEGIN { printf "%.0f", b / 1048576 }')

{
  echo "# Patch engine benchmark"
  echo
  echo "Produced by \`./run bench\` (bench/run.sh) on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "Machine: $(nproc) processors, $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB memory;"
  echo "load average $LOAD_BEFORE before and $LOAD_AFTER after the run (other work shares the machine)."
  echo "$(wine --version), $(nginx -v 2>&1 | sed 's/.*: //'), $(curl --version | head -1 | cut -d' ' -f1-2)."
  echo
  echo "Large game: $BIG_COUNT files, $MB MiB ($MBC MiB compressed), $BIG files of $BIG_SIZE, text-like and random"
  echo "content. Small-file game: $SMALL_COUNT files, $MBS MiB. Both served by nginx on 127.0.0.1; the"
  echo "patch runs are qv_patch_driver.exe under Wine, installing to a folder on the Linux disk. The file"
  echo "cache of Linux is warm (everything was just written)."
  echo
  echo "| measure | ours | baseline | baseline figure | ours / baseline | peak memory |"
  echo "|---|---|---|---|---|---|"
  echo "| (a) fresh install | $A_S s, $(rate "$BIG_BYTES" "$A_S") MB/s installed ($(rate "$BIG_COMPRESSED" "$A_S") MB/s downloaded) | curl, same objects, 4 at once | $CURL_S s, $(rate "$BIG_COMPRESSED" "$CURL_S") MB/s | $(ratio "$A_S" "$CURL_S") | $((A_RSS / 1024)) MiB |"
  echo "| (b) check of an unchanged installation, $SMALL_COUNT small files | $B_S s | native stat of every file | $STAT_S s | $(ratio "$B_S" "$STAT_S") | $((B_RSS / 1024)) MiB |"
  echo "| (c) full verification | $C_S s, $(rate "$BIG_BYTES" "$C_S") MB/s | sha256sum, $JOBS at once | $SHA_S s, $(rate "$BIG_BYTES" "$SHA_S") MB/s | $(ratio "$C_S" "$SHA_S") | $((C_RSS / 1024)) MiB |"
  echo "| (d) repair after changing $CHANGED files (1 %, $(awk -v b="$CHANGED_BYTES" 'BEGIN { printf "%.1f", b / 1048576 }') MiB) | $D_S s | stat all, sha256sum, curl and inflate of the changed files | $NATIVE_REPAIR_S s | $(ratio "$D_S" "$NATIVE_REPAIR_S") | $((D_RSS / 1024)) MiB |"
  echo
  echo "Other figures of the same run:"
  echo
  echo "- the fresh install placed $FILES_PER_S files per second on average"
  echo "- native zlib inflate of all objects of the large game (Python's zlib, one process): $INFLATE_S s, $(rate "$BIG_BYTES" "$INFLATE_S") MB/s of output"
  echo "- first check of the $SMALL_COUNT small files, without a cache (every file hashed): $SMALL_FIRST_S s, peak memory $((SMALL_FIRST_RSS / 1024)) MiB"
  echo "- peak memory of the driver under Wine doing nothing (it prints its usage and ends): $((IDLE_RSS / 1024)) MiB; the figures above include it"
  echo "- generating both games and publishing them with quorvel-publish (compression level 1, sanitizer build): $PREP_S s"
  echo
  echo "Times are wall-clock seconds of the whole process, Wine start included. Peak memory is the"
  echo "largest resident set of the process as /usr/bin/time reports it, Wine's own share included."
} >"$RESULTS"
cat "$RESULTS"
