#!/usr/bin/env bash
# Patch engine benchmark: ./run bench, or bench/run.sh BUILD_DIR.
#
# Publishes synthetic games with quorvel-publish, serves them with nginx on 127.0.0.1 and runs
# the Windows patch driver (qv_patch_driver.exe, one patch run per call) under Wine. Every figure
# is the median of QV_BENCH_RUNS runs (3), with the CPU seconds of the program and of the
# wineserver, against baselines measured in the same run:
#   fresh install, large game (1 GiB, 2,000 files)   the WinHTTP floor (a minimal WinHTTP program
#                                                     fetching the same objects 4 at once) and curl
#   fresh install, small game (5,000 files)          the same two, over its objects
#   full verification of the large game              sha256sum on every core
#   check of an unchanged installation (100,000)     a bare GetFileAttributesExW loop over the same
#                                                     paths under Wine, and stat natively
#   peak memory at 200,000 entries                   the same engine fetching and parsing the
#                                                     manifest only (--manifest-only)
# plus native inflate of the large game's objects and the file-system calls per small file
# (--count-fs-calls). Each goal is printed as a ratio with PASS or FALL SHORT; the figures and
# the machine's load go to bench/RESULTS.md. The data (a few GB) lives in BUILD_DIR/bench and is
# deleted at the end.
#
# QV_BENCH_PORT fixes nginx's port; QV_BENCH_BEFORE names another qv_patch_driver.exe (an older
# build) to measure beside the current one in the same run. Sizes for a quick try: QV_BENCH_RUNS,
# QV_BENCH_FILES, QV_BENCH_SIZE, QV_BENCH_BIG, QV_BENCH_BIG_SIZE, QV_BENCH_SMALL_FILES,
# QV_BENCH_SMALL_SIZE, QV_BENCH_MANY_FILES (the check; twice that many for memory),
# QV_BENCH_MANY_SIZE, QV_BENCH_RESULTS (output file).
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

RUNS=${QV_BENCH_RUNS:-3}
FILES=${QV_BENCH_FILES:-2000}
SIZE=${QV_BENCH_SIZE:-1G}
BIG=${QV_BENCH_BIG:-3}
BIG_SIZE=${QV_BENCH_BIG_SIZE:-150M}
SMALL_FILES=${QV_BENCH_SMALL_FILES:-5000}
SMALL_SIZE=${QV_BENCH_SMALL_SIZE:-10M}
MANY_FILES=${QV_BENCH_MANY_FILES:-100000}
MANY_SIZE=${QV_BENCH_MANY_SIZE:-100M}
JOBS=$(nproc)

for need in "$PUB" "$DRIVER" ${BEFORE:+"$BEFORE"}; do
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
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
winpath() { winepath -w "$1" 2>/dev/null; }
# sum of the "s" or "c" values of a manifest
manifest_sum() {
  $PY -c 'import json, sys; m = json.load(open(sys.argv[1])); print(sum(e[sys.argv[2]] for e in m["files"]))' "$1" "$2"
}
# manifest_list MANIFEST KEY OUT: the manifest's distinct hashes (h) or its paths (p), one a line
manifest_list() {
  $PY -c '
import json, sys
files = json.load(open(sys.argv[1]))["files"]
values = sorted({e["h"] for e in files}) if sys.argv[2] == "h" else [e["p"] for e in files]
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
# stage 8. R[KEY.phase] is the median time from stage 3 (checking) to the end of the run.
drive() {
  local key=$1 prepare=$2 driver=$3; shift 3
  repeat "$key" "$prepare" wine "$driver" "$@"
  local phases=() i
  for ((i = 1; i <= RUNS; i++)); do
    if ! grep -q '^final 8 ' "$W/$key.$i.log"; then
      echo "bench: the patch run '$key.$i' did not finish with stage 8:" >&2
      tail -5 "$W/$key.$i.log" >&2
      exit 1
    fi
    phases+=("$(awk '/^stage-time 3 / && !s { s = $3 } /^final / { f = $3 } END { printf "%.2f", f - s }' "$W/$key.$i.log")")
  done
  R[$key.phase]=$(median "${phases[@]}")
}

# Both drivers when an older one is given: "now" always, "before" as well.
DRIVERS=(now)
[[ -n $BEFORE ]] && DRIVERS+=(before)
driver_exe() { if [[ $1 == now ]]; then echo "$DRIVER"; else echo "$BEFORE"; fi; }

say "machine: $(nproc) processors, $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$(now)

# ---- the games and their releases ---------------------------------------------------
say "generating the games: large ($FILES files, $SIZE), small ($SMALL_FILES files, $SMALL_SIZE), many (2 x $MANY_FILES files, 2 x $MANY_SIZE)"
prep=$(now)
$PY "$GEN" create "$W/small" --files "$SMALL_FILES" --size "$SMALL_SIZE" --seed small >/dev/null &
gen_small=$!
$PY "$GEN" create "$W/many/a" --files "$MANY_FILES" --size "$MANY_SIZE" --seed many-a >/dev/null &
gen_a=$!
$PY "$GEN" create "$W/game" --files "$FILES" --size "$SIZE" --big "$BIG" --big-size "$BIG_SIZE" --seed bench >/dev/null
$PY "$GEN" create "$W/many/b" --files "$MANY_FILES" --size "$MANY_SIZE" --seed many-b >/dev/null
wait "$gen_small" "$gen_a"
"$PUB" keygen --out "$W/bench.key" >"$W/key.hex" 2>/dev/null
KEY=$(cat "$W/key.hex")
# Level 1: the objects' compression level hardly changes inflate speed, and publishing is not
# what is measured here.
say "publishing them"
"$PUB" build "$W/game" "$W/www/big/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-big.log" &
pub_big=$!
"$PUB" build "$W/small" "$W/www/small/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-small.log"
"$PUB" build "$W/many/a" "$W/www/many/patch" --key "$W/bench.key" --version 1 --level 1 >"$W/publish-many.log"
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
manifest_list "$W/www/big/patch/manifest.json" h "$W/big-objects.txt"
manifest_list "$W/www/small/patch/manifest.json" h "$W/small-objects.txt"
manifest_list "$W/www/big/patch/manifest.json" p "$W/big-paths.txt"
manifest_list "$W/www/many/patch/manifest.json" p "$W/many-paths.txt"
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
MANY2_MANIFEST_MIB=$(awk -v b="$(stat -c %s "$W/www/many2/patch/manifest.json")" 'BEGIN { printf "%.1f", b / 1048576 }')

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
x86_64-w64-mingw32-g++-posix -O2 -static -o "$W/winhttp_floor.exe" "$ROOT/bench/winhttp_floor.cpp" -lwinhttp
x86_64-w64-mingw32-gcc-posix -O2 -static -o "$W/stat_loop.exe" "$ROOT/bench/stat_loop.c"
gcc -O2 -o "$W/stat_loop" "$ROOT/bench/stat_loop.c"

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
MANY_URL="http://127.0.0.1:$PORT/many/patch/"
MANY2_URL="http://127.0.0.1:$PORT/many2/patch/"
INSTALL=$(winpath "$W/install")
INSTALL_SMALL=$(winpath "$W/install-small")
MANY_A=$(winpath "$W/many/a")
MANY=$(winpath "$W/many")

# ---- fresh installs: the large game and the small one ----------------------------------
fresh_big() { rm -rf "$W/install"; mkdir -p "$W/install"; }
fresh_small() { rm -rf "$W/install-small"; mkdir -p "$W/install-small"; }
for d in "${DRIVERS[@]}"; do
  say "fresh install of the large game ($BIG_COUNT files), driver: $d"
  drive "big.$d" fresh_big "$(driver_exe "$d")" --dir="$INSTALL" --url="$BIG_URL" --key="$KEY"
  say "fresh install of the small game ($SMALL_COUNT files), driver: $d"
  drive "small.$d" fresh_small "$(driver_exe "$d")" --dir="$INSTALL_SMALL" --url="$SMALL_URL" --key="$KEY"
  fresh_small
  timed "calls.$d" wine "$(driver_exe "$d")" --dir="$INSTALL_SMALL" --url="$SMALL_URL" --key="$KEY" --count-fs-calls
  R[calls.$d]=$(awk -v n="$SMALL_COUNT" '/^fs-calls / { printf "%.2f", $2 / n }' "$W/calls.$d.log")
  R[calls-less-folders.$d]=$(awk -v n="$SMALL_COUNT" -v f="$SMALL_FOLDERS" '/^fs-calls / { printf "%.2f", ($2 - f) / n }' "$W/calls.$d.log")
  say "    file-system calls per file of the small game: ${R[calls.$d]}; less one per folder: ${R[calls-less-folders.$d]}"
done
# Every listed file must be in place with its size (the full verification below hashes them).
$PY -c '
import json, os, sys
m = json.load(open(sys.argv[1]))
bad = [e["p"] for e in m["files"] if not os.path.isfile(os.path.join(sys.argv[2], e["p"]))
       or os.path.getsize(os.path.join(sys.argv[2], e["p"])) != e["s"]]
sys.exit(f"bench: {len(bad)} files not installed, first {bad[:3]}" if bad else 0)
' "$W/www/big/patch/manifest.json" "$W/install"

say "baselines of the fresh installs"
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
grep -q "^objects .* bytes $OBJECT_BYTES\$" "$W/floor.big.1.log" || { echo "bench: the WinHTTP floor did not fetch every byte" >&2; cat "$W/floor.big.1.log" >&2; exit 1; }
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
say "baseline: sha256sum, $JOBS at once"
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
  R[mem.$d]=$(awk -v a="${R[mem-check.$d.rss]}" -v b="${R[mem-manifest.$d.rss]}" 'BEGIN { printf "%.0f", (a - b) / 1024 }')
  say "    beyond the manifest: ${R[mem.$d]} MiB"
done
say "baselines: the bare attribute loop under Wine and natively"
repeat statwine : wine "$W/stat_loop.exe" "$MANY_A" "$(winpath "$W/many-paths.txt")"
repeat statnative : "$W/stat_loop" "$W/many/a" "$W/many-paths.txt"
LOOP_WINE=$(median $(for i in $(seq 1 "$RUNS"); do awk '/^paths / { print $6 }' "$W/statwine.$i.log"; done))
LOOP_NATIVE=$(median $(for i in $(seq 1 "$RUNS"); do awk '/^paths / { print $6 }' "$W/statnative.$i.log"; done))

LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
TOTAL_S=$(elapsed "$STARTED")

# ---- goals ---------------------------------------------------------------------------------
# goal TEXT VALUE LIMIT le|ge: one line, ratio and verdict
verdict() { awk -v v="$1" -v l="$2" -v how="$3" 'BEGIN { ok = (how == "le") ? v <= l : v >= l; print ok ? "PASS" : "FALL SHORT" }'; }
goal_lines() {
  local d=$1
  local g1 g2 g3 g4 g5
  g1=$(ratio "${R[big.$d.wall]}" "${R[floor.big.wall]}")
  g2=$(ratio "${R[small.$d.wall]}" "${R[floor.small.wall]}")
  g3=$(ratio "${R[sha.wall]}" "${R[verify.$d.wall]}")
  g4=$(ratio "${R[check.$d.phase]}" "$LOOP_WINE")
  g5=${R[mem.$d]}
  echo "| fresh install, large game: time / WinHTTP floor | $g1 (curl: $(ratio "${R[big.$d.wall]}" "${R[curl.big.wall]}")) | at most 1.5 | $(verdict "$g1" 1.5 le) |"
  echo "| fresh install, $SMALL_COUNT small files: time / WinHTTP floor | $g2 (curl: $(ratio "${R[small.$d.wall]}" "${R[curl.small.wall]}")) | at most 3 | $(verdict "$g2" 3 le) |"
  echo "| full verification: speed / sha256sum on $JOBS cores | $g3 | at least 0.8 | $(verdict "$g3" 0.8 ge) |"
  echo "| unchanged check of $MANY_COUNT files (stage 3 to the end: cache, checks, apply) / bare GetFileAttributesExW loop under Wine | $g4 (whole process, manifest included, / whole loop program: $(ratio "${R[check.$d.wall]}" "${R[statwine.wall]}")) | at most 1.3 | $(verdict "$g4" 1.3 le) |"
  echo "| peak memory beyond the manifest-only run, $MANY2_COUNT entries | $g5 MiB | at most 64 MiB | $(verdict "$g5" 64 le) |"
}
figure_lines() {
  local d=$1 k
  for k in big small verify check mem-manifest mem-check; do
    echo "| $k | ${R[$k.$d.wall]} s | ${R[$k.$d.cpu]} s | ${R[$k.$d.server]} s | $(mib "${R[$k.$d.rss]}") MiB |"
  done
}

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
  echo "$(awk -v b="$SMALL_BYTES" 'BEGIN { printf "%.1f", b / 1048576 }') MiB ($(awk -v b="$SMALL_COMPRESSED" 'BEGIN { printf "%.1f", b / 1048576 }') MiB compressed); unchanged installations of $MANY_COUNT and $MANY2_COUNT files (manifest of"
  echo "$MANY2_MANIFEST_MIB MiB). Served by nginx on 127.0.0.1; the patch runs are qv_patch_driver.exe under Wine,"
  echo "installing to a folder on the Linux disk, with the Linux file cache warm."
  echo
  for d in "${DRIVERS[@]}"; do
    if [[ $d == now ]]; then echo "## Goals"; else echo "## Goals of the older build (QV_BENCH_BEFORE), same run"; fi
    echo
    echo "| goal | ratio | limit | verdict |"
    echo "|---|---|---|---|"
    goal_lines "$d"
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
    echo "unchanged check (stage 3 to the end): ${R[check.$d.phase]} s."
    echo
  done
  echo "## Baselines"
  echo
  echo "| baseline | wall | CPU | CPU of the wineserver |"
  echo "|---|---|---|---|"
  for k in floor.big floor.small curl.big curl.small sha statwine statnative; do
    echo "| $k | ${R[$k.wall]} s | ${R[$k.cpu]} s | ${R[$k.server]} s |"
  done
  echo
  echo "- floor.*: bench/winhttp_floor.cpp under Wine, the same objects 4 at once, bodies discarded"
  echo "- curl.*: curl, the same objects 4 at once, written to disk"
  echo "- sha: sha256sum of every installed file of the large game, $JOBS at once ($(rate "$BIG_BYTES" "${R[sha.wall]}") MB/s)"
  echo "- statwine, statnative: bench/stat_loop.c over the $MANY_COUNT paths, under Wine (GetFileAttributesExW) and"
  echo "  natively (stat); the loops alone took $LOOP_WINE s and $LOOP_NATIVE s"
  echo "- native zlib inflate of the large game's objects (Python's zlib, one process): $INFLATE_S s, $(rate "$BIG_BYTES" "$INFLATE_S") MB/s of output"
  echo "- peak memory of the driver under Wine doing nothing (it prints its usage and ends): $(mib "$IDLE_RSS") MiB"
  echo
  echo "Times are wall-clock seconds of the whole process, Wine start included; CPU is user plus system"
  echo "time of the process and its children; the wineserver's is read from /proc. Peak memory is the"
  echo "largest resident set of the process as /usr/bin/time reports it, Wine's own share included."
} >"$RESULTS"
cat "$RESULTS"
exit 0
}
