#!/usr/bin/env bash
# Patch engine benchmark: ./run bench, or bench/run.sh BUILD_DIR.
#
# Publishes synthetic games with quorvel-publish, serves them with nginx on 127.0.0.1 and runs
# the Windows patch driver (qv_patch_driver.exe, one patch run per call) under Wine. Every figure
# is the median of QV_BENCH_RUNS runs (3), with the CPU seconds of the program and of the
# wineserver, against baselines measured in the same run:
#   fresh install, large game (1 GiB, 2,000 files)   the write floor (bench/winhttp_floor.cpp: the
#   fresh install, small game (5,000 files)          same objects fetched 4 at once with WinHTTP,
#                                                     inflated with zlib and written to their files,
#                                                     folders made), four ways: written in place, or
#                                                     to a temporary file that is flushed and moved
#                                                     onto the name; each with kept-alive connections,
#                                                     as the engine fetches objects, and without
#   full verification of the large game              libgcrypt's SHA-256 (the engine's library) of
#                                                     the same files on 2 threads under Wine
#   check of an unchanged installation (100,000)     GetFileAttributesExW of the same paths, and of
#                                                     every folder once, on 2 threads under Wine
#   peak memory: check of 200,000 entries, fresh     the same engine fetching and parsing the
#   installs of 5,000 and 50,000 files               manifest only (--manifest-only); the write
#                                                     floor's peak beside the fresh installs; the
#                                                     check's also above an idle process, per byte
#                                                     of its manifest
#   disk bytes: fresh installs of 1 GiB as one file  the bytes installed: what the program and
#   and as 50 files (bench/io_wrap.py)               every process it started wrote to disk and
#                                                     read through read calls, per byte
#   manifest bytes on the wire: the check of 200,000  today's two plain copies (the size query's
#   entries from a server that compresses, and from   and the run's) and one plain copy, from the
#   one that does not                                 servers' access logs
# The baselines of the previous round stay as reference figures, measured in the same run: the
# WinHTTP floor that throws the bodies away, curl, sha256sum on every core, the single-thread
# attribute loop without folders, stat natively; and native inflate of the large game's objects
# and the file-system calls per small file (--count-fs-calls). Each goal is printed as a ratio
# with PASS or FALL SHORT; the figures and the machine's load go to bench/RESULTS.md, which keeps
# the goals and baselines of the round before as "Previous baselines". The data (a few GB) lives
# in BUILD_DIR/bench and is deleted at the end.
#
# QV_BENCH_PORT fixes nginx's port; QV_BENCH_BEFORE names another qv_patch_driver.exe (an older
# build) to measure beside the current one in the same run. Sizes for a quick try: QV_BENCH_RUNS,
# QV_BENCH_FILES, QV_BENCH_SIZE, QV_BENCH_BIG, QV_BENCH_BIG_SIZE, QV_BENCH_SMALL_FILES,
# QV_BENCH_SMALL_SIZE, QV_BENCH_MANY_FILES (the check; twice that many for memory),
# QV_BENCH_MANY_SIZE, QV_BENCH_MEM_FILES and QV_BENCH_MEM_SIZE (the larger fresh install whose
# memory is measured, 50,000 files, 100M), QV_BENCH_MEM_RUNS (its runs, 1), QV_BENCH_DISK_SIZE
# and QV_BENCH_DISK_FILES (the disk bytes' installs, 1G as one file and as 50), QV_BENCH_RESULTS
# (output file), QV_BENCH_PREVIOUS (the results of the round before; the output file by default).
# For a quick try, for example: QV_BENCH_RUNS=1 QV_BENCH_SIZE=100M QV_BENCH_BIG_SIZE=20M
# QV_BENCH_FILES=500 QV_BENCH_SMALL_FILES=1000 QV_BENCH_SMALL_SIZE=2M QV_BENCH_MANY_FILES=5000
# QV_BENCH_MANY_SIZE=5M QV_BENCH_MEM_FILES=5000 QV_BENCH_MEM_SIZE=10M QV_BENCH_DISK_SIZE=100M
# QV_BENCH_RESULTS=/tmp/r.md
# The whole script is one block, read before it runs: editing the file during a run cannot
# change what that run does.
{
set -euo pipefail
trap 'echo "bench: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
BUILD=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PUB=$BUILD/host/tools/quorvel-publish
DRIVER=$BUILD/windows/qv_patch_driver.exe
BEFORE=${QV_BENCH_BEFORE:-}
GEN=$ROOT/tools/make_sample_game.py
PY=/usr/bin/python3
W=$BUILD/bench
RESULTS=${QV_BENCH_RESULTS:-$ROOT/bench/RESULTS.md}
PREVIOUS=${QV_BENCH_PREVIOUS:-$RESULTS}

RUNS=${QV_BENCH_RUNS:-3}
FILES=${QV_BENCH_FILES:-2000}
SIZE=${QV_BENCH_SIZE:-1G}
BIG=${QV_BENCH_BIG:-3}
BIG_SIZE=${QV_BENCH_BIG_SIZE:-150M}
SMALL_FILES=${QV_BENCH_SMALL_FILES:-5000}
SMALL_SIZE=${QV_BENCH_SMALL_SIZE:-10M}
MANY_FILES=${QV_BENCH_MANY_FILES:-100000}
MANY_SIZE=${QV_BENCH_MANY_SIZE:-100M}
MEM_FILES=${QV_BENCH_MEM_FILES:-50000}
MEM_SIZE=${QV_BENCH_MEM_SIZE:-100M}
MEM_RUNS=${QV_BENCH_MEM_RUNS:-1}
DISK_SIZE=${QV_BENCH_DISK_SIZE:-1G}
DISK_FILES=${QV_BENCH_DISK_FILES:-50}
JOBS=$(nproc)
# Threads of the hashing and attribute baselines, as their goals are stated.
THREADS=2

for need in "$PUB" "$DRIVER" ${BEFORE:+"$BEFORE"}; do
  [[ -x $need || -f $need ]] || { echo "bench: $need is missing; run ./run build first" >&2; exit 1; }
done

. "$ROOT/tools/services.sh"
qv_wine_env "$BUILD/bench-wineprefix"
declare -A WIRE_PORT
cleanup() {
  qv_nginx_stop "$W/nginx"
  qv_nginx_stop "$W/nginx-gzip"
  qv_nginx_stop "$W/nginx-plain"
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
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
winpath() { winepath -w "$1" 2>/dev/null; }
# sum of the "s" or "c" values of a manifest
manifest_sum() {
  $PY -c 'import json, sys; m = json.load(open(sys.argv[1])); print(sum(e[sys.argv[2]] for e in m["files"]))' "$1" "$2"
}
# manifest_list MANIFEST KEY OUT: the manifest's distinct hashes (h), its paths (p) or hash and
# path of every file (hp, tab between, the manifest's order), one a line
manifest_list() {
  $PY -c '
import json, sys
files = json.load(open(sys.argv[1]))["files"]
how = sys.argv[2]
values = (sorted({e["h"] for e in files}) if how == "h" else [e["p"] for e in files] if how == "p"
          else [e["h"] + "\t" + e["p"] for e in files])
open(sys.argv[3], "w", encoding="utf-8").write("".join(v + "\n" for v in values))' "$1" "$2" "$3"
}

# CPU seconds the wineserver of this prefix has used so far (it serves every Wine call).
SERVER_PID=
server_cpu() {
  if [[ -z $SERVER_PID ]]; then
    # The server works in a folder named after the prefix's device and inode.
    local name p
    name=server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    for p in /proc/[0-9]*; do
      if [[ $(readlink "$p/cwd" 2>/dev/null) == */"$name" && $(cat "$p/comm" 2>/dev/null) == wineserver* ]]; then
        SERVER_PID=${p#/proc/}
        break
      fi
    done
  fi
  [[ -n $SERVER_PID ]] && awk '{ print $14 + $15 }' "/proc/$SERVER_PID/stat" 2>/dev/null || echo 0
}
# server_stays: stops the benchmark unless the wineserver found at the start still runs: a new
# one would make every later run pay a cold start, and its CPU could not be told apart.
server_stays() {
  [[ -n $SERVER_PID && -d /proc/$SERVER_PID ]] && return 0
  echo "bench: the persistent wineserver of $WINEPREFIX did not stay up (process ${SERVER_PID:-none}); the figures would mix cold starts in, so the run stops" >&2
  exit 1
}

# timed NAME CMD...: runs CMD once; T_WALL (s), T_CPU (user + system s of CMD and its children),
# T_SERVER (wineserver CPU s meanwhile), T_RSS (peak resident KiB); output in $W/NAME.log.
timed() {
  local name=$1; shift
  server_stays
  local before; before=$(server_cpu)
  /usr/bin/time -f '%e %U %S %M' -o "$W/$name.time" "$@" >"$W/$name.log" 2>&1 </dev/null || true
  sed -i 's/\r$//' "$W/$name.log"  # Windows programs end their lines with CR LF
  local user sys
  read -r T_WALL user sys T_RSS < <(tail -1 "$W/$name.time")
  T_CPU=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
  server_stays
  T_SERVER=$(awk -v a="$before" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", (b - a) / 100 }')
}

# repeat KEY PREPARE CMD...: RUNS times PREPARE (a function; ":" for none) and then CMD; medians
# go to R[KEY.wall], R[KEY.cpu], R[KEY.server], R[KEY.rss] (KiB); the logs are KEY.1.log and on.
declare -A R
repeat() {
  local key=$1 prepare=$2; shift 2
  local walls=() cpus=() servers=() rsss=() i
  for ((i = 1; i <= RUNS; i++)); do
    $prepare
    timed "$key.$i" "$@"
    walls+=("$T_WALL") cpus+=("$T_CPU") servers+=("$T_SERVER") rsss+=("$T_RSS")
  done
  R[$key.wall]=$(median "${walls[@]}")
  R[$key.cpu]=$(median "${cpus[@]}")
  R[$key.server]=$(median "${servers[@]}")
  R[$key.rss]=$(median "${rsss[@]}")
  say "    $key: ${R[$key.wall]} s (runs: ${walls[*]}), CPU ${R[$key.cpu]} s + wineserver ${R[$key.server]} s"
}

# drive KEY PREPARE DRIVER ARGS...: repeat over one patch run each; every run must end with
# stage 8. R[KEY.phase] is the median time from stage 3 (checking) to the end of the run,
# R[KEY.run] from the start of the run (the manifest's fetch included) to its end.
drive() {
  local key=$1 prepare=$2 driver=$3; shift 3
  repeat "$key" "$prepare" wine "$driver" "$@"
  local phases=() runs=() i
  for ((i = 1; i <= RUNS; i++)); do
    if ! grep -q '^final 8 ' "$W/$key.$i.log"; then
      echo "bench: the patch run '$key.$i' did not finish with stage 8:" >&2
      tail -5 "$W/$key.$i.log" >&2
      exit 1
    fi
    phases+=("$(awk '/^stage-time 3 / && !s { s = $3 } /^final / { f = $3 } END { printf "%.2f", f - s }' "$W/$key.$i.log")")
    runs+=("$(awk '/^final / { printf "%.3f", $3 }' "$W/$key.$i.log")")
  done
  R[$key.phase]=$(median "${phases[@]}")
  R[$key.run]=$(median "${runs[@]}")
}

# Both drivers when an older one is given: "now" always, "before" as well.
DRIVERS=(now)
[[ -n $BEFORE ]] && DRIVERS+=(before)
driver_exe() { if [[ $1 == now ]]; then echo "$DRIVER"; else echo "$BEFORE"; fi; }

say "machine: $(nproc) processors, $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$(now)

# ---- the games and their releases ---------------------------------------------------
say "generating the games: large ($FILES files, $SIZE), small ($SMALL_FILES files, $SMALL_SIZE), $MEM_FILES files ($MEM_SIZE), many (2 x $MANY_FILES files, 2 x $MANY_SIZE)"
prep=$(now)
{
  $PY "$GEN" create "$W/small" --files "$SMALL_FILES" --size "$SMALL_SIZE" --seed small >/dev/null
  $PY "$GEN" create "$W/fresh" --files "$MEM_FILES" --size "$MEM_SIZE" --seed fresh >/dev/null
} &
gen_small=$!
$PY "$GEN" create "$W/many/a" --files "$MANY_FILES" --size "$MANY_SIZE" --seed many-a >/dev/null &
gen_a=$!
$PY "$GEN" create "$W/game" --files "$FILES" --size "$SIZE" --big "$BIG" --big-size "$BIG_SIZE" --seed bench >/dev/null
$PY "$GEN" create "$W/many/b" --files "$MANY_FILES" --size "$MANY_SIZE" --seed many-b >/dev/null
# The disk games: one file of random bytes, and a game of DISK_FILES files of both kinds.
mkdir -p "$W/one"
$PY -c '
import random, sys
left, rng = int(sys.argv[2]), random.Random(1)
with open(sys.argv[1], "wb") as out:
    while left:
        n = min(left, 1 << 20)
        out.write(rng.randbytes(n))
        left -= n' "$W/one/world.pak" "$($PY -c 'import sys; sys.path.insert(0, sys.argv[1]); import make_sample_game as g; print(g.parse_size(sys.argv[2]))' "$ROOT/tools" "$DISK_SIZE")"
$PY "$GEN" create "$W/fifty" --files "$DISK_FILES" --size "$DISK_SIZE" --seed fifty >/dev/null
wait "$gen_small" "$gen_a"
"$PUB" keygen --out "$W/bench.key" >"$W/key.hex" 2>/dev/null
KEY=$(cat "$W/key.hex")
# Level 1: the objects' compression level hardly changes inflate speed, and publishing is not
# what is measured here.
say "publishing them"
"$PUB" build "$W/game" "$W/www/big/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-big.log" &
pub_big=$!
"$PUB" build "$W/small" "$W/www/small/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-small.log"
"$PUB" build "$W/fresh" "$W/www/fresh/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-fresh.log"
rm -rf "$W/fresh"
"$PUB" build "$W/many/a" "$W/www/many/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-many.log"
"$PUB" build "$W/one" "$W/www/one/patch" --key "$W/bench.key" --version 1 --level 1 --game-exe world.pak >"$W/publish-one.log"
"$PUB" build "$W/fifty" "$W/www/fifty/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-fifty.log"
rm -rf "$W/one" "$W/fifty"
# The 2 x release shares the first half's objects instead of writing them again.
mkdir -p "$W/www/many2/patch"
ln -s ../../many/patch/files "$W/www/many2/patch/files"
"$PUB" build "$W/many" "$W/www/many2/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-many2.log"
wait "$pub_big"
PREP_S=$(elapsed "$prep")
BIG_BYTES=$(manifest_sum "$W/www/big/patch/manifest.json" s)
BIG_COMPRESSED=$(manifest_sum "$W/www/big/patch/manifest.json" c)
SMALL_BYTES=$(manifest_sum "$W/www/small/patch/manifest.json" s)
SMALL_COMPRESSED=$(manifest_sum "$W/www/small/patch/manifest.json" c)
FRESH_BYTES=$(manifest_sum "$W/www/fresh/patch/manifest.json" s)
manifest_list "$W/www/big/patch/manifest.json" h "$W/big-objects.txt"
manifest_list "$W/www/small/patch/manifest.json" h "$W/small-objects.txt"
manifest_list "$W/www/big/patch/manifest.json" p "$W/big-paths.txt"
manifest_list "$W/www/many/patch/manifest.json" p "$W/many-paths.txt"
manifest_list "$W/www/big/patch/manifest.json" hp "$W/big-files.txt"
manifest_list "$W/www/small/patch/manifest.json" hp "$W/small-files.txt"
manifest_list "$W/www/fresh/patch/manifest.json" hp "$W/fresh-files.txt"
FRESH_COUNT=$(wc -l <"$W/fresh-files.txt")
BIG_COUNT=$(wc -l <"$W/big-paths.txt")
SMALL_COUNT=$($PY -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["files"]))' "$W/www/small/patch/manifest.json")
SMALL_FOLDERS=$($PY -c '
import json, sys
folders = set()
for e in json.load(open(sys.argv[1]))["files"]:
    parts = e["p"].split("/")[:-1]
    folders.update("/".join(parts[:i]) for i in range(1, len(parts) + 1))
print(len(folders))' "$W/www/small/patch/manifest.json")
MANY_COUNT=$(wc -l <"$W/many-paths.txt")
MANY2_COUNT=$($PY -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["files"]))' "$W/www/many2/patch/manifest.json")
MANY2_MANIFEST_BYTES=$(stat -c %s "$W/www/many2/patch/manifest.json")
MANY2_MANIFEST_MIB=$(awk -v b="$MANY2_MANIFEST_BYTES" 'BEGIN { printf "%.1f", b / 1048576 }')
DISK_COUNT=$($PY -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["files"]))' "$W/www/fifty/patch/manifest.json")

# The unchanged installations get the cache a finished run would have left (hash, size, the
# file time Wine reports for the file's mtime, path), so that no first run has to hash them.
write_cache() {  # INSTALL_DIR MANIFEST
  mkdir -p "$1/config"
  $PY -c '
import json, os, sys
root, files = sys.argv[1], json.load(open(sys.argv[2]))["files"]
with open(os.path.join(root, "config", "patcher_cache.dat"), "w", encoding="utf-8", newline="\n") as out:
    for e in files:
        st = os.stat(os.path.join(root, e["p"]))
        out.write("%s\t%d\t%d\t%s\n" % (e["h"], st.st_size, st.st_mtime_ns // 100 + 116444736000000000, e["p"]))
' "$1" "$2"
}
write_cache "$W/many/a" "$W/www/many/patch/manifest.json"
write_cache "$W/many" "$W/www/many2/patch/manifest.json"

# ---- helper programs ------------------------------------------------------------------
say "building the baseline programs"
# zlib and libgcrypt linked statically from Debian's mingw packages, as the engine links them.
MINGW_LIB=/usr/x86_64-w64-mingw32/lib
x86_64-w64-mingw32-g++-posix -O2 -static -o "$W/winhttp_floor.exe" "$ROOT/bench/winhttp_floor.cpp" -lwinhttp \
  "$MINGW_LIB/libz.a"
x86_64-w64-mingw32-g++-posix -O2 -static -o "$W/sha_threads.exe" "$ROOT/bench/sha_threads.cpp" \
  "$MINGW_LIB/libgcrypt.a" "$MINGW_LIB/libgpg-error.a" -lws2_32
x86_64-w64-mingw32-gcc-posix -O2 -static -o "$W/stat_loop.exe" "$ROOT/bench/stat_loop.c"
gcc -O2 -o "$W/stat_loop" "$ROOT/bench/stat_loop.c" -lpthread

# ---- nginx on 127.0.0.1 -------------------------------------------------------------
PORT=${QV_BENCH_PORT:-$(qv_free_port)}
# No access log: it would only add work to the server being measured.
qv_nginx_start "$W/nginx" "$W/www" "$PORT" "access_log off;" &&
  qv_nginx_wait "http://127.0.0.1:$PORT/big/patch/manifest.json" ||
  { cat "$W/nginx/start.log" "$W/nginx/error.log" 2>/dev/null; echo "bench: nginx did not start" >&2; exit 1; }

say "starting Wine"
qv_wine_start
server_cpu >/dev/null
server_stays
/usr/bin/time -f '%M' -o "$W/idle.rss" wine "$DRIVER" >/dev/null 2>&1 </dev/null || true
IDLE_RSS=$(tail -1 "$W/idle.rss")
BIG_URL="http://127.0.0.1:$PORT/big/patch/"
SMALL_URL="http://127.0.0.1:$PORT/small/patch/"
FRESH_URL="http://127.0.0.1:$PORT/fresh/patch/"
MANY_URL="http://127.0.0.1:$PORT/many/patch/"
MANY2_URL="http://127.0.0.1:$PORT/many2/patch/"
INSTALL=$(winpath "$W/install")
INSTALL_SMALL=$(winpath "$W/install-small")
INSTALL_FRESH=$(winpath "$W/install-fresh")
INSTALL_DISK=$(winpath "$W/install-disk")
FLOOR_DIR=$(winpath "$W/floor")
MANY_A=$(winpath "$W/many/a")
MANY=$(winpath "$W/many")

# check_tree MANIFEST FOLDER WHAT: every listed file is in FOLDER with its size, and nothing
# temporary is left beside them.
check_tree() {
  $PY -c '
import json, os, sys
m, root = json.load(open(sys.argv[1])), sys.argv[2]
bad = [e["p"] for e in m["files"] if not os.path.isfile(os.path.join(root, e["p"]))
       or os.path.getsize(os.path.join(root, e["p"])) != e["s"]]
left = [os.path.join(d, n) for d, _, names in os.walk(root) for n in names if n.endswith((".tmp", "_tmp"))]
sys.exit(f"bench: {sys.argv[3]}: {len(bad)} files not in place, first {bad[:3]}; {len(left)} temporary files left"
         if bad or left else 0)
' "$1" "$2" "$3"
}

# ---- fresh installs: the large game, the small one, and the memory of a larger one ------------
fresh_big() { rm -rf "$W/install"; mkdir -p "$W/install"; }
fresh_small() { rm -rf "$W/install-small"; mkdir -p "$W/install-small"; }
fresh_mem() { rm -rf "$W/install-fresh"; mkdir -p "$W/install-fresh"; }
for d in "${DRIVERS[@]}"; do
  say "fresh install of the large game ($BIG_COUNT files), driver: $d"
  drive "big.$d" fresh_big "$(driver_exe "$d")" --dir="$INSTALL" --url="$BIG_URL" --key="$KEY"
  say "fresh install of the small game ($SMALL_COUNT files), driver: $d"
  drive "small.$d" fresh_small "$(driver_exe "$d")" --dir="$INSTALL_SMALL" --url="$SMALL_URL" --key="$KEY"
  fresh_small
  timed "calls.$d" wine "$(driver_exe "$d")" --dir="$INSTALL_SMALL" --url="$SMALL_URL" --key="$KEY" --count-fs-calls
  R[calls.$d]=$(awk -v n="$SMALL_COUNT" '/^fs-calls / { printf "%.2f", $2 / n }' "$W/calls.$d.log")
  R[calls-less-folders.$d]=$(awk -v n="$SMALL_COUNT" -v f="$SMALL_FOLDERS" '/^fs-calls / { printf "%.2f", ($2 - f) / n }' "$W/calls.$d.log")
  say "    file-system calls per file of the small game: ${R[calls.$d]}; less one per folder made: ${R[calls-less-folders.$d]}"
  say "fresh install of $FRESH_COUNT files (its memory), driver: $d"
  RUNS=$MEM_RUNS drive "fresh.$d" fresh_mem "$(driver_exe "$d")" --dir="$INSTALL_FRESH" --url="$FRESH_URL" --key="$KEY"
  check_tree "$W/www/fresh/patch/manifest.json" "$W/install-fresh" "fresh install of $FRESH_COUNT files, driver $d"
  say "manifest only, $SMALL_COUNT and $FRESH_COUNT entries, driver: $d"
  drive "mem-small-manifest.$d" fresh_small "$(driver_exe "$d")" --dir="$INSTALL_SMALL" --url="$SMALL_URL" --key="$KEY" --manifest-only
  RUNS=$MEM_RUNS drive "mem-fresh-manifest.$d" fresh_mem "$(driver_exe "$d")" --dir="$INSTALL_FRESH" --url="$FRESH_URL" --key="$KEY" --manifest-only
  R[mem-small.$d]=$(awk -v a="${R[small.$d.rss]}" -v b="${R[mem-small-manifest.$d.rss]}" 'BEGIN { v = (a - b) / 1024; printf "%.0f", (v > -0.5 && v < 0.5) ? 0 : v }')
  R[mem-fresh.$d]=$(awk -v a="${R[fresh.$d.rss]}" -v b="${R[mem-fresh-manifest.$d.rss]}" 'BEGIN { v = (a - b) / 1024; printf "%.0f", (v > -0.5 && v < 0.5) ? 0 : v }')
  say "    beyond the manifest: $SMALL_COUNT files ${R[mem-small.$d]} MiB, $FRESH_COUNT files ${R[mem-fresh.$d]} MiB"
done
rm -rf "$W/install-fresh"

# ---- disk bytes of fresh installs: 1 GiB as one file and as DISK_FILES files ------------------
# disk_install KEY GAME DRIVER: RUNS fresh installs of GAME under bench/io_wrap.py; the medians of
# the bytes written to disk and read through read calls, per byte installed, to R[KEY.write] and
# R[KEY.read].
disk_install() {
  local key=$1 game=$2 driver=$3 writes=() reads=() walls=() installed i rchar written
  installed=$(manifest_sum "$W/www/$game/patch/manifest.json" s)
  for ((i = 1; i <= RUNS; i++)); do
    rm -rf "$W/install-disk" && mkdir -p "$W/install-disk"
    timed "$key.$i" $PY "$ROOT/bench/io_wrap.py" "$W/$key.$i.io" wine "$driver" --dir="$INSTALL_DISK" \
      --url="http://127.0.0.1:$PORT/$game/patch/" --key="$KEY"
    grep -q '^final 8 ' "$W/$key.$i.log" || { echo "bench: the install '$key.$i' did not finish:" >&2; tail -5 "$W/$key.$i.log" >&2; exit 1; }
    read -r rchar written <"$W/$key.$i.io"
    writes+=("$(awk -v a="$written" -v b="$installed" 'BEGIN { printf "%.3f", a / b }')")
    reads+=("$(awk -v a="$rchar" -v b="$installed" 'BEGIN { printf "%.3f", a / b }')")
    walls+=("$T_WALL")
  done
  check_tree "$W/www/$game/patch/manifest.json" "$W/install-disk" "$key"
  rm -rf "$W/install-disk"
  R[$key.write]=$(median "${writes[@]}")
  R[$key.read]=$(median "${reads[@]}")
  R[$key.wall]=$(median "${walls[@]}")
  say "    $key: written ${R[$key.write]} (runs: ${writes[*]}), read ${R[$key.read]} (runs: ${reads[*]}) per byte installed, ${R[$key.wall]} s"
}
for d in "${DRIVERS[@]}"; do
  say "disk bytes of fresh installs of $DISK_SIZE as one file and as $DISK_COUNT files, driver: $d"
  disk_install "disk-one.$d" one "$(driver_exe "$d")"
  disk_install "disk-fifty.$d" fifty "$(driver_exe "$d")"
done
# Every listed file must be in place with its size (the full verification below hashes them).
check_tree "$W/www/big/patch/manifest.json" "$W/install" "fresh install of the large game"

say "baselines of the fresh installs: the write floor"
fresh_floor() { rm -rf "$W/floor"; mkdir -p "$W/floor"; }
# write_floor GAME LIST HOW NET: the write floor over GAME's files (HOW: replace or direct; NET:
# keep, kept-alive connections as the engine's, or close), RUNS times; each run must have written every
# byte, and the last leaves every file in place.
write_floor() {
  local game=$1 list=$2 how=$3 net=$4 key=floor.$1.$3.$4 args=(--write="$FLOOR_DIR") i
  [[ $how == replace ]] && args+=(--replace)
  [[ $net == close ]] && args+=(--close)
  local bytes
  bytes=$(manifest_sum "$W/www/$game/patch/manifest.json" s)
  repeat "$key" fresh_floor wine "$W/winhttp_floor.exe" "${args[@]}" 127.0.0.1 "$PORT" "/$game/patch/" "$(winpath "$list")"
  for ((i = 1; i <= RUNS; i++)); do
    grep -q "^objects .* written $bytes\$" "$W/$key.$i.log" ||
      { echo "bench: the write floor ($key.$i) did not write every byte:" >&2; cat "$W/$key.$i.log" >&2; exit 1; }
  done
  check_tree "$W/www/$game/patch/manifest.json" "$W/floor" "$key"
}
for how in replace direct; do
  for net in close keep; do
    write_floor big "$W/big-files.txt" "$how" "$net"
    write_floor small "$W/small-files.txt" "$how" "$net"
  done
done
RUNS=$MEM_RUNS write_floor fresh "$W/fresh-files.txt" replace keep
rm -rf "$W/floor"

say "reference figures of the fresh installs: the WinHTTP floor that throws the bodies away, curl"
export W
curl_fetch() {  # LIST URL: every object of LIST, 4 transfers at once, into $W/curl
  rm -rf "$W/curl"; mkdir -p "$W/curl"
  awk -v base="$2" -v out="$W/curl" '{ printf "url = \"%sfiles/%s/%s.z\"\noutput = \"%s/%s.z\"\n", base, substr($1, 1, 2), $1, out, $1 }' \
    "$1" >"$W/curl.cfg"
  curl -s --no-progress-meter -f -Z --parallel-max 4 -K "$W/curl.cfg"
}
repeat floor.big : wine "$W/winhttp_floor.exe" 127.0.0.1 "$PORT" /big/patch/ "$(winpath "$W/big-objects.txt")"
repeat floor.small : wine "$W/winhttp_floor.exe" 127.0.0.1 "$PORT" /small/patch/ "$(winpath "$W/small-objects.txt")"
export -f curl_fetch
repeat curl.small : bash -c 'curl_fetch "$@"' _ "$W/small-objects.txt" "$SMALL_URL"
repeat curl.big : bash -c 'curl_fetch "$@"' _ "$W/big-objects.txt" "$BIG_URL"
OBJECT_BYTES=$($PY -c 'import json, sys; print(sum({e["h"]: e["c"] for e in json.load(open(sys.argv[1]))["files"]}.values()))' "$W/www/big/patch/manifest.json")
grep -q "^objects .* bytes $OBJECT_BYTES " "$W/floor.big.1.log" || { echo "bench: the WinHTTP floor did not fetch every byte" >&2; cat "$W/floor.big.1.log" >&2; exit 1; }
[[ $(ls "$W/curl" | wc -l) == $(wc -l <"$W/big-objects.txt") ]] || { echo "bench: curl did not fetch every object" >&2; exit 1; }
say "native zlib inflate of the large game's objects (one process)"
timed inflate $PY -c '
import sys, zlib
for path in sys.argv[1:]:
    d = zlib.decompressobj()
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            d.decompress(chunk, 0)
    d.flush()
' "$W"/curl/*.z
INFLATE_S=$T_WALL
rm -rf "$W/curl"

# ---- full verification -------------------------------------------------------------------
for d in "${DRIVERS[@]}"; do
  say "full verification, driver: $d"
  drive "verify.$d" : "$(driver_exe "$d")" --dir="$INSTALL" --url="$BIG_URL" --key="$KEY" --full-verify
done
say "baseline: libgcrypt's SHA-256 of the same files under Wine, $THREADS threads"
repeat gcrypt : wine "$W/sha_threads.exe" "$THREADS" "$INSTALL" "$(winpath "$W/big-paths.txt")"
grep -q "^files $BIG_COUNT bytes $BIG_BYTES " "$W/gcrypt.1.log" ||
  { echo "bench: the SHA-256 baseline did not hash every byte" >&2; cat "$W/gcrypt.1.log" >&2; exit 1; }
HASH_S=$(median $(for i in $(seq 1 "$RUNS"); do awk '/^files / { print $6 }' "$W/gcrypt.$i.log"; done))
say "reference: sha256sum, $JOBS at once"
repeat sha : bash -c 'cd "$1" && tr "\n" "\0" <"$2" | xargs -0 -n 64 -P "$3" sha256sum >/dev/null' _ \
  "$W/install" "$W/big-paths.txt" "$JOBS"
rm -rf "$W/install" "$W/game" "$W/install-small" "$W/small"

# ---- check of an unchanged installation, and memory ------------------------------------------
for d in "${DRIVERS[@]}"; do
  say "check of the unchanged installation of $MANY_COUNT files, driver: $d"
  drive "check.$d" : "$(driver_exe "$d")" --dir="$MANY_A" --url="$MANY_URL" --key="$KEY" --progress-ms=3600000
  if ! grep -q '^progress 8 0 0 0 0$' "$W/check.$d.1.log"; then
    echo "bench: the check hashed files; the cache did not vouch for them:" >&2
    grep '^progress' "$W/check.$d.1.log" >&2
    exit 1
  fi
  say "memory at $MANY2_COUNT entries: the manifest only, then the check, driver: $d"
  drive "mem-manifest.$d" : "$(driver_exe "$d")" --dir="$MANY" --url="$MANY2_URL" --key="$KEY" --manifest-only
  drive "mem-check.$d" : "$(driver_exe "$d")" --dir="$MANY" --url="$MANY2_URL" --key="$KEY"
  R[mem.$d]=$(awk -v a="${R[mem-check.$d.rss]}" -v b="${R[mem-manifest.$d.rss]}" 'BEGIN { v = (a - b) / 1024; printf "%.0f", (v > -0.5 && v < 0.5) ? 0 : v }')
  say "    beyond the manifest: ${R[mem.$d]} MiB"
done
# ---- manifest bytes on the wire ------------------------------------------------------------------
# The same check from two servers that log what they send, one compressing JSON as README tells
# operators to, one not.
say "manifest bytes on the wire: the check of $MANY2_COUNT entries from a server that compresses and one that does not"
for how in gzip plain; do
  WIRE_PORT[$how]=$(qv_free_port)
  directives=""
  [[ $how == gzip ]] && directives="gzip on; gzip_types application/json; gzip_min_length 1024;"
  qv_nginx_start "$W/nginx-$how" "$W/www" "${WIRE_PORT[$how]}" "$directives" &&
    qv_nginx_wait "http://127.0.0.1:${WIRE_PORT[$how]}/many2/patch/manifest.sig" ||
    { cat "$W/nginx-$how/start.log" "$W/nginx-$how/error.log" 2>/dev/null; echo "bench: nginx ($how) did not start" >&2; exit 1; }
done
for d in "${DRIVERS[@]}"; do
  for how in gzip plain; do
    : >"$W/nginx-$how/access.log"
    RUNS=1 drive "wire-$how.$d" : "$(driver_exe "$d")" --dir="$MANY" --url="http://127.0.0.1:${WIRE_PORT[$how]}/many2/patch/" --key="$KEY"
    R[wire-$how.$d.bytes]=$(awk '$7 ~ /manifest\.json$/ { s += $10 } END { print s + 0 }' "$W/nginx-$how/access.log")
  done
  say "    manifest bytes per run: ${R[wire-gzip.$d.bytes]} compressed, ${R[wire-plain.$d.bytes]} plain (the manifest: $MANY2_MANIFEST_BYTES bytes)"
done
for how in gzip plain; do qv_nginx_stop "$W/nginx-$how"; done

say "baselines: the attribute loop with folder checks on $THREADS threads under Wine and natively"
repeat statwine2 : wine "$W/stat_loop.exe" --threads="$THREADS" --folders "$MANY_A" "$(winpath "$W/many-paths.txt")"
repeat statnative2 : "$W/stat_loop" --threads="$THREADS" --folders "$W/many/a" "$W/many-paths.txt"
say "reference: the bare single-thread attribute loop under Wine and natively"
repeat statwine : wine "$W/stat_loop.exe" "$MANY_A" "$(winpath "$W/many-paths.txt")"
repeat statnative : "$W/stat_loop" "$W/many/a" "$W/many-paths.txt"
for k in statwine2 statnative2 statwine statnative; do
  grep -q "^paths $MANY_COUNT missing 0 " "$W/$k.1.log" || { echo "bench: the loop $k did not find every path:" >&2; cat "$W/$k.1.log" >&2; exit 1; }
done
loop_seconds() { median $(for i in $(seq 1 "$RUNS"); do awk '/^paths / { print $6 }' "$W/$1.$i.log"; done); }
LOOP_WINE=$(loop_seconds statwine)
LOOP_NATIVE=$(loop_seconds statnative)
LOOP_WINE2=$(loop_seconds statwine2)
LOOP_NATIVE2=$(loop_seconds statnative2)
LOOP_FOLDERS=$(awk '/^paths / { print $8 }' "$W/statwine2.1.log")

LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
TOTAL_S=$(elapsed "$STARTED")

# ---- goals ---------------------------------------------------------------------------------
# verdict VALUE LIMIT le|ge: PASS or FALL SHORT
verdict() { awk -v v="$1" -v l="$2" -v how="$3" 'BEGIN { ok = (how == "le") ? v <= l : v >= l; print ok ? "PASS" : "FALL SHORT" }'; }
# The write floor the fresh-install goals are measured against does what the engine must do with
# each file (temporary file, flush, replace) over kept-alive connections, as the engine fetches
# objects; the other three ways are printed beside it.
FLOOR_WAY=replace.keep
floor_others() {  # KEY GAME: the ratio of KEY's time to each other way of the write floor
  echo "temporary file, no keep-alive: $(ratio "${R[$1.wall]}" "${R[floor.$2.replace.close.wall]}");" \
    "in place, no keep-alive: $(ratio "${R[$1.wall]}" "${R[floor.$2.direct.close.wall]}");" \
    "in place, keep-alive: $(ratio "${R[$1.wall]}" "${R[floor.$2.direct.keep.wall]}")"
}
goal_lines() {
  local d=$1
  local g1 g2 g3 g4 g5 g6
  g1=$(ratio "${R[small.$d.wall]}" "${R[floor.small.$FLOOR_WAY.wall]}")
  g2=$(ratio "${R[big.$d.wall]}" "${R[floor.big.$FLOOR_WAY.wall]}")
  g3=$(ratio "$HASH_S" "${R[verify.$d.run]}")
  g4=$(ratio "${R[check.$d.phase]}" "$LOOP_WINE2")
  g5=${R[mem.$d]}
  g6=${R[mem-fresh.$d]}
  local m1 m2 w1 w2
  m1=$(per_manifest_byte "${R[mem-check.$d.rss]}")
  m2=$(per_manifest_byte "${R[mem-manifest.$d.rss]}")
  w1=$(ratio "${R[wire-gzip.$d.bytes]}" "$((2 * MANY2_MANIFEST_BYTES))")
  w2=$(ratio "${R[wire-plain.$d.bytes]}" "$MANY2_MANIFEST_BYTES")
  echo "| fresh install, $SMALL_COUNT small files: time / write floor (temporary file, flush, replace; keep-alive, as the engine) | $g1 ($(floor_others "small.$d" small)) | at most 1.15 | $(verdict "$g1" 1.15 le) |"
  echo "| fresh install, large game ($MB MiB): time / the same write floor | $g2 (earlier 1.30-1.72; $(floor_others "big.$d" big)) | at most 1.1 | $(verdict "$g2" 1.1 le) |"
  echo "| full verification (the run, manifest included): speed / libgcrypt SHA-256 of the same files on $THREADS threads under Wine (the hashing) | $g3 (whole processes: $(ratio "${R[gcrypt.wall]}" "${R[verify.$d.wall]}"); sha256sum on $JOBS cores: $(ratio "${R[sha.wall]}" "${R[verify.$d.wall]}")) | at least 0.8 | $(verdict "$g3" 0.8 ge) |"
  echo "| unchanged check of $MANY_COUNT files (stage 3 to the end: cache, checks, apply) / attribute loop with each folder asked once, $THREADS threads under Wine | $g4 (whole process, manifest included, / whole loop program: $(ratio "${R[check.$d.wall]}" "${R[statwine2.wall]}")) | at most 1.3 | $(verdict "$g4" 1.3 le) |"
  echo "| peak memory beyond the manifest-only run, check of $MANY2_COUNT entries | $g5 MiB | at most 64 MiB | $(verdict "$g5" 64 le) |"
  echo "| peak memory of the check of $MANY2_COUNT entries above an idle process / the manifest's $MANY2_MANIFEST_MIB MiB | $m1 ($(mib "${R[mem-check.$d.rss]}") MiB peak, idle $(mib "$IDLE_RSS") MiB; the manifest-only run: $m2; earlier about 9) | at most 3 | $(verdict "$m1" 3 le) |"
  echo "| disk writes per installed byte, fresh install of $DISK_SIZE as one file | ${R[disk-one.$d.write]} (earlier 2.004) | at most 1.02 | $(verdict "${R[disk-one.$d.write]}" 1.02 le) |"
  echo "| disk writes per installed byte, fresh install of $DISK_SIZE as $DISK_COUNT files | ${R[disk-fifty.$d.write]} (earlier 2.004) | at most 1.02 | $(verdict "${R[disk-fifty.$d.write]}" 1.02 le) |"
  echo "| reads through read calls per installed byte, $DISK_SIZE as one file | ${R[disk-one.$d.read]} (earlier 1.024) | at most 0.05 | $(verdict "${R[disk-one.$d.read]}" 0.05 le) |"
  echo "| reads through read calls per installed byte, $DISK_SIZE as $DISK_COUNT files | ${R[disk-fifty.$d.read]} (earlier 1.024) | at most 0.05 | $(verdict "${R[disk-fifty.$d.read]}" 0.05 le) |"
  echo "| manifest bytes on the wire per run, $MANY2_COUNT entries, a server that compresses / two plain copies (the size query's and the run's, as earlier) | $w1 (${R[wire-gzip.$d.bytes]} bytes; earlier 1.00) | at most 0.5 | $(verdict "$w1" 0.5 le) |"
  echo "| manifest bytes on the wire per run, $MANY2_COUNT entries, a server that does not compress / one plain copy | $w2 (${R[wire-plain.$d.bytes]} bytes; earlier 2.00) | at most 1.0 | $(verdict "$w2" 1.0 le) |"
  echo "| peak memory beyond the manifest-only run, fresh install of $FRESH_COUNT files | $g6 MiB ($SMALL_COUNT files: ${R[mem-small.$d]} MiB; whole peaks, engine / write floor: $(mib "${R[fresh.$d.rss]}") / $(mib "${R[floor.fresh.$FLOOR_WAY.rss]}") MiB at $FRESH_COUNT files, $(mib "${R[small.$d.rss]}") / $(mib "${R[floor.small.$FLOOR_WAY.rss]}") MiB at $SMALL_COUNT) | at most 64 MiB | $(verdict "$g6" 64 le) |"
}
# The goals as the previous round stated them, against its baselines measured in this run.
old_goal_lines() {
  local d=$1
  local g1 g2 g3 g4
  g1=$(ratio "${R[big.$d.wall]}" "${R[floor.big.wall]}")
  g2=$(ratio "${R[small.$d.wall]}" "${R[floor.small.wall]}")
  g3=$(ratio "${R[sha.wall]}" "${R[verify.$d.wall]}")
  g4=$(ratio "${R[check.$d.phase]}" "$LOOP_WINE")
  echo "| fresh install, large game: time / WinHTTP floor, bodies thrown away | $g1 (curl: $(ratio "${R[big.$d.wall]}" "${R[curl.big.wall]}")) | at most 1.5 | $(verdict "$g1" 1.5 le) |"
  echo "| fresh install, $SMALL_COUNT small files: time / WinHTTP floor, bodies thrown away | $g2 (curl: $(ratio "${R[small.$d.wall]}" "${R[curl.small.wall]}")) | at most 3 | $(verdict "$g2" 3 le) |"
  echo "| full verification: speed / sha256sum on $JOBS cores | $g3 | at least 0.8 | $(verdict "$g3" 0.8 ge) |"
  echo "| unchanged check of $MANY_COUNT files / bare single-thread GetFileAttributesExW loop, no folders | $g4 | at most 1.3 | $(verdict "$g4" 1.3 le) |"
  echo "| peak memory beyond the manifest-only run, $MANY2_COUNT entries (fresh installs not counted) | ${R[mem.$d]} MiB | at most 64 MiB | $(verdict "${R[mem.$d]}" 64 le) |"
}
figure_lines() {
  local d=$1 k
  for k in big small fresh verify check mem-small-manifest mem-fresh-manifest mem-manifest mem-check wire-gzip wire-plain; do
    echo "| $k | ${R[$k.$d.wall]} s | ${R[$k.$d.cpu]} s | ${R[$k.$d.server]} s | $(mib "${R[$k.$d.rss]}") MiB |"
  done
}
# per_manifest_byte RSS: the peak RSS (KiB) above the idle driver's, per byte of the large manifest
per_manifest_byte() {
  awk -v r="$1" -v i="$IDLE_RSS" -v b="$MANY2_MANIFEST_BYTES" 'BEGIN { printf "%.2f", (r - i) * 1024 / b }'
}
# per_file_kib RSS_SMALL RSS_LARGE: peak memory added per file between the two fresh installs
per_file_kib() {
  awk -v a="$1" -v b="$2" -v n="$SMALL_COUNT" -v m="$FRESH_COUNT" 'BEGIN { if (m > n) printf "%.1f", (b - a) / (m - n); else print "n/a" }'
}
# previous_round FILE: the goals and baselines of the round that wrote FILE (not the round before
# it), under headings one level down.
previous_round() {
  [[ -f $1 ]] || return 0
  awk '
    /^Produced by/ && !date { date = $0; print "From the round before this one. " date; print "" }
    /^## / { keep = ($0 == "## Goals" || $0 == "## Baselines"); if (keep) print "#" $0 " (previous round)"; next }
    keep { print }
  ' "$1"
}
PREVIOUS_ROUND=$(previous_round "$PREVIOUS")

MB=$(awk -v b="$BIG_BYTES" 'BEGIN { printf "%.0f", b / 1048576 }')
MBC=$(awk -v b="$BIG_COMPRESSED" 'BEGIN { printf "%.0f", b / 1048576 }')
{
  echo "# Patch engine benchmark"
  echo
  echo "Produced by \`./run bench\` (bench/run.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'), $RUNS runs per figure, medians."
  echo
  echo "Machine: $(nproc) processors, $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB memory;"
  echo "load average $LOAD_BEFORE before and $LOAD_AFTER after the run (other work shares the machine: absolute"
  echo "times are noisy, the ratios of the same run are what counts). $(wine --version), $(nginx -v 2>&1 | sed 's/.*: //'),"
  echo "$(curl --version | head -1 | cut -d' ' -f1-2). The whole benchmark took $TOTAL_S s, preparing the data $PREP_S s."
  echo
  echo "Games: large, $BIG_COUNT files, $MB MiB ($MBC MiB compressed, $BIG files of $BIG_SIZE); small, $SMALL_COUNT files,"
  echo "$(awk -v b="$SMALL_BYTES" 'BEGIN { printf "%.1f", b / 1048576 }') MiB ($(awk -v b="$SMALL_COMPRESSED" 'BEGIN { printf "%.1f", b / 1048576 }') MiB compressed); $FRESH_COUNT files, $(awk -v b="$FRESH_BYTES" 'BEGIN { printf "%.1f", b / 1048576 }') MiB (installed $MEM_RUNS time(s) per figure, for its"
  echo "memory); unchanged installations of $MANY_COUNT and $MANY2_COUNT files (manifest of $MANY2_MANIFEST_MIB MiB). Served by"
  echo "nginx on 127.0.0.1; the patch runs are qv_patch_driver.exe under Wine, installing to a folder on the Linux"
  echo "disk, with the Linux file cache warm."
  echo
  for d in "${DRIVERS[@]}"; do
    if [[ $d == now ]]; then echo "## Goals"; else echo "## Goals of the older build (QV_BENCH_BEFORE), same run"; fi
    echo
    echo "| goal | ratio | limit | verdict |"
    echo "|---|---|---|---|"
    goal_lines "$d"
    echo
  done
  echo "The wizard's own CPU while it installs has its goal line in the output of bench/wizard_cpu.sh,"
  echo "which \`./run bench\` runs after this benchmark."
  echo
  for d in "${DRIVERS[@]}"; do
    if [[ $d == now ]]; then echo "## The previous round's goals, same run"; else echo "## The previous round's goals of the older build, same run"; fi
    echo
    echo "As they were stated before the baselines above replaced theirs; kept for one round, so that the"
    echo "change of verdicts can be told apart from a change of the engine."
    echo
    echo "| goal | ratio | limit | verdict |"
    echo "|---|---|---|---|"
    old_goal_lines "$d"
    echo
  done
  for d in "${DRIVERS[@]}"; do
    if [[ $d == now ]]; then echo "## Patch runs"; else echo "## Patch runs of the older build"; fi
    echo
    echo "| run | wall | CPU of the program | CPU of the wineserver | peak memory |"
    echo "|---|---|---|---|---|"
    figure_lines "$d"
    echo
    echo "File-system calls per file in a fresh install of the small game: ${R[calls.$d]} (its $SMALL_COUNT files lie"
    echo "in $SMALL_FOLDERS folders; less one call per folder made: ${R[calls-less-folders.$d]}). Check phase of the"
    echo "unchanged check (stage 3 to the end): ${R[check.$d.phase]} s. Peak memory of a fresh install grows by"
    echo "$(per_file_kib "${R[small.$d.rss]}" "${R[fresh.$d.rss]}") KiB per file between $SMALL_COUNT and $FRESH_COUNT files (the write floor's:"
    echo "$(per_file_kib "${R[floor.small.$FLOOR_WAY.rss]}" "${R[floor.fresh.$FLOOR_WAY.rss]}") KiB)."
    echo
  done
  echo "## Baselines"
  echo
  echo "| baseline | wall | CPU | CPU of the wineserver | peak memory |"
  echo "|---|---|---|---|---|"
  for k in floor.big.replace.close floor.big.replace.keep floor.big.direct.close floor.big.direct.keep \
    floor.small.replace.close floor.small.replace.keep floor.small.direct.close floor.small.direct.keep \
    floor.fresh.replace.keep gcrypt statwine2 statnative2 floor.big floor.small curl.big curl.small sha statwine statnative; do
    echo "| $k | ${R[$k.wall]} s | ${R[$k.cpu]} s | ${R[$k.server]} s | $(mib "${R[$k.rss]}") MiB |"
  done
  echo
  echo "- floor.GAME.WAY.NET: the write floor, bench/winhttp_floor.cpp under Wine: the same objects 4 at once,"
  echo "  each inflated with zlib (linked statically, as the engine links it) as it arrives and written to its"
  echo "  file, folders made; WAY replace: into a temporary file that is flushed (FlushFileBuffers) and moved"
  echo "  onto the name (MoveFileExW, replace existing), direct: in place; NET keep: one kept-alive connection"
  echo "  per worker (the engine keeps connections for objects too), close: a connection handle per request,"
  echo "  WINHTTP_DISABLE_KEEP_ALIVE. floor.fresh ran $MEM_RUNS time(s), for its memory."
  echo "- gcrypt: bench/sha_threads.cpp under Wine, libgcrypt's SHA-256 (linked statically, as the engine links it)"
  echo "  of every installed file of the large game on $THREADS threads ($(rate "$BIG_BYTES" "${R[gcrypt.wall]}") MB/s for the whole"
  echo "  process; the hashing alone took $HASH_S s, $(rate "$BIG_BYTES" "$HASH_S") MB/s)"
  echo "- statwine2, statnative2: bench/stat_loop.c over the $MANY_COUNT paths and their $LOOP_FOLDERS folders (each asked"
  echo "  once) on $THREADS threads, under Wine (GetFileAttributesExW, GetFileAttributesW for the folders) and natively"
  echo "  (stat); the loops alone took $LOOP_WINE2 s and $LOOP_NATIVE2 s"
  echo "- reference figures, the previous round's baselines:"
  echo "  - floor.big, floor.small: bench/winhttp_floor.cpp without --write, the same objects 4 at once over"
  echo "    kept-alive connections, bodies thrown away"
  echo "  - curl.*: curl, the same objects 4 at once, written to disk compressed"
  echo "  - sha: sha256sum of every installed file of the large game, $JOBS at once ($(rate "$BIG_BYTES" "${R[sha.wall]}") MB/s)"
  echo "  - statwine, statnative: bench/stat_loop.c over the $MANY_COUNT paths on one thread, no folders; the loops"
  echo "    alone took $LOOP_WINE s and $LOOP_NATIVE s"
  echo "- native zlib inflate of the large game's objects (Python's zlib, one process): $INFLATE_S s, $(rate "$BIG_BYTES" "$INFLATE_S") MB/s of output"
  echo "- peak memory of the driver under Wine doing nothing (it prints its usage and ends): $(mib "$IDLE_RSS") MiB"
  echo
  echo "Times are wall-clock seconds of the whole process, Wine start included; CPU is user plus system"
  echo "time of the process and its children; the wineserver's is read from /proc. Peak memory is the"
  echo "largest resident set of the process as /usr/bin/time reports it, Wine's own share included."
  if [[ -n $PREVIOUS_ROUND ]]; then
    echo
    echo "## Previous baselines"
    echo
    echo "$PREVIOUS_ROUND"
  fi
} >"$RESULTS"
cat "$RESULTS"
exit 0
}
