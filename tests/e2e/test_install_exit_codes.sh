#!/usr/bin/env bash
# Exit codes of an unattended install: 1 for an unusable folder, 3 when the run cannot start
# (launcher running, folder not writable, another copy running), 6 when the run fails (a file
# that cannot be written, an uninstaller that cannot be copied, a bad signature, a server that
# trickles or sends headers or a body without end); nothing is registered in those cases, and
# the log says why.
source "$(dirname "$0")/lib.sh"
e2e_begin

GAME=$E2E/game
make_game "$GAME" 12
publish "$GAME" 3
start_patch_server

nothing_registered() {
  key_exists "$SETUP_KEY" && fail "$1: the program's key was written"
  key_exists "$UNINSTALL_KEY" && fail "$1: the uninstall entry was written"
  expect_missing "$DESKTOP_LNK"
}

section "exit 1: folder unusable, and the log says why"
LOG=$E2E/setup.log
long="C:\\qve2e\\$(printf 'a%.0s' {1..172})"   # 181 characters
for dir in 'C:\qve2e\bad?name' 'C:\qve2e\..\Quorvel' 'relative\Quorvel' 'C:\' "$long"; do
  rm -f "$LOG"
  setup --silent "--dir=$dir" "--log=$(winpath "$LOG")"
  expect_eq "exit code for $dir" "$rc" 1
  grep -a "cannot be used: " "$LOG" || fail "the log does not say why $dir is unusable"
done
grep -q "has 181 characters, not 4 to 180" "$LOG" || fail "the log does not give the path's length"
expect_missing "$WINEPREFIX/drive_c/qve2e/bad?name"
nothing_registered "unusable folder"

section "exit 3: the launcher is running"
hold_launcher
setup --silent "--dir=$(winpath "$E2E/Launcher/Quorvel")"
release_launcher
expect_eq "exit code" "$rc" 3
expect_missing "$E2E/Launcher"
nothing_registered "launcher running"

section "--help prints the options and exit codes; an unknown option is logged"
rm -f "$LOG"
timeout 60 wine "$SETUP_EXE" --help --no-such-option "--log=$(winpath "$LOG")" </dev/null >"$E2E/help.txt" 2>/dev/null
grep -q -- '--silent' "$E2E/help.txt" || fail "--help did not print the options"
grep -q '6  an unattended install failed' "$E2E/help.txt" || fail "--help did not print the exit codes"
grep -q 'unknown option ignored: --no-such-option' "$LOG" || fail "the unknown option is not in the log"
$PY "$QV_SOURCE_DIR/tests/tools/docs_check.py" "$QV_SOURCE_DIR" "$E2E/help.txt" ||
  fail "--help, README's tables and the options the program accepts disagree"

section "exit 1: --limit-rate that is not a rate; --help names the option"
grep -q -- '--limit-rate=RATE' "$E2E/help.txt" || fail "--help does not name --limit-rate"
for rate in abc 0 1.5k 5G; do
  rm -f "$LOG"
  setup --silent "--dir=$(winpath "$E2E/Rate/Quorvel")" "--limit-rate=$rate" "--log=$(winpath "$LOG")"
  expect_eq "exit code for --limit-rate=$rate" "$rc" 1
  grep -q -- "--limit-rate=$rate is not a rate" "$LOG" || fail "the log does not say why --limit-rate=$rate was refused"
done
rm -f "$LOG"
setup --silent "--dir=$(winpath "$E2E/Rate/Quorvel")" --limit-rate=10M --limit-rate=abc "--log=$(winpath "$LOG")"
expect_eq "exit code for a repeated --limit-rate" "$rc" 1
grep -a -- "--limit-rate is given 2 times" "$LOG" || fail "the log does not say why the repeated --limit-rate was refused"
setup --help --limit-rate=abc
expect_eq "exit code of --help beside a bad --limit-rate" "$rc" 0
expect_missing "$E2E/Rate"
nothing_registered "bad --limit-rate"

section "a limit of 8k slows a small release and completes it"
TINY=$E2E/tiny
mkdir -p "$TINY/data"
for i in 1 2 3 4 5; do head -c $((3000 * i)) /dev/urandom >"$TINY/data/part$i.bin"; done
publish "$TINY" 4
rm -f "$LOG"
setup --silent --no-shortcuts "--dir=$(winpath "$E2E/Slow/Quorvel")" --limit-rate=8k "--log=$(winpath "$LOG")"
expect_eq "exit code with --limit-rate=8k" "$rc" 0
same_tree "$TINY" "$E2E/Slow/Quorvel"
grep -q 'downloads limited to 8192 bytes per second in all' "$LOG" || fail "the log does not name the limit"
clean_user_state
publish "$GAME" 3

section "exit 3: another copy of the setup is running"
hold_mutex setup 'Quorvel.Setup.{9B6A7C14-52E1-4F7D-8E0A-1C3D5F7A9B20}'
setup --silent "--dir=$(winpath "$E2E/Second/Quorvel")" "--log=$(winpath "$LOG")"
release_mutex setup
expect_eq "exit code" "$rc" 3
expect_missing "$E2E/Second"
grep -q 'another copy of the setup is running' "$LOG" || fail "the log does not say why"

section "exit 3: the folder cannot be written"
mkdir -p "$E2E/locked"
make_immutable "$E2E/locked"
setup --silent "--dir=$(winpath "$E2E/locked/Quorvel")"
expect_eq "exit code" "$rc" 3
expect_missing "$E2E/locked/Quorvel"
nothing_registered "folder not writable"

section "exit 6: a game file cannot be written; the log names it and the Windows error"
DIR=$E2E/Blocked/Quorvel
victim=$(cd "$GAME" && find . -type f | sort | head -n 1 | sed 's|^\./||')
mkdir -p "$DIR/$victim/in the way"   # a folder where the file belongs
setup --silent "--dir=$(winpath "$DIR")" "--log=$(winpath "$LOG")"
expect_eq "exit code" "$rc" 6
winvictim=${victim//\//\\}
grep -F "$winvictim (Windows error" "$LOG" | grep -q "patch run failed: " ||
  fail "the log does not name $winvictim with its Windows error: $(grep 'patch run failed' "$LOG" | tail -n 1)"
grep -q 'exit code 6' "$LOG" || fail "the log does not end with the exit code"
nothing_registered "blocked file"

section "exit 6: the disk refuses a write during a transfer; the log names the write's error"
# Files may grow to 100 KiB in this run only (and the signal that would end the process is
# ignored): the first larger file fails while it is written, on the request's own thread.
DIR=$E2E/Full/Quorvel
( trap '' XFSZ; ulimit -f 100; setup --silent "--dir=$(winpath "$DIR")" "--log=$(winpath "$LOG")"; echo "$rc" >"$E2E/full.rc" )
expect_eq "exit code" "$(cat "$E2E/full.rc")" 6
failed=$(grep 'patch run failed' "$LOG" | tail -n 1)
[[ $failed == *"Could not write file: "*"(Windows error 29: "* ]] ||
  fail "the log does not carry the failed write's error: $failed"

section "exit 6: the uninstaller cannot be copied into bin; nothing is registered"
DIR=$E2E/NoUninstaller/Quorvel
mkdir -p "$DIR/bin/Uninstall Quorvel.exe"   # a folder where the copy belongs
setup --silent "--dir=$(winpath "$DIR")" "--log=$(winpath "$LOG")"
expect_eq "exit code" "$rc" 6
same_tree "$GAME" "$DIR"
nothing_registered "uninstaller not copied"
grep -q 'registration failed: Could not write file: .*Uninstall Quorvel.exe (Windows error' "$LOG" ||
  fail "the log does not say why nothing was registered"

section "exit 6: the run fails on a bad signature"
sig=$E2E/www/patch/manifest.sig
$PY -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[0] ^= 1; open(p, "wb").write(b)' "$sig"
DIR=$E2E/BadSig/Quorvel
setup --silent "--dir=$(winpath "$DIR")"
expect_eq "exit code" "$rc" 6
expect_content "$DIR/bin/quorvel.install" "Quorvel"
[[ -z $(cd "$DIR" && find . -type f -not -path './bin/*' -not -path './config/*') ]] || fail "game files written despite the bad signature"
nothing_registered "bad signature"

section "exit 6 within the stated bound: servers that never finish an answer"
$PY -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[0] ^= 1; open(p, "wb").write(b)' "$sig"
fault_server_behind "$E2E" "$E2E/www"
manifest_size=$(stat -c %s "$E2E/www/patch/manifest.json")
# The bound the program states for itself, from the variant's deadline floor: three attempts,
# each the floor plus the manifest at 4 KiB/s, two pauses of 1.5 s; and the start. The run is
# waited for that long (and a little more for Wine), so a request that never ends fails here.
floor_s=$(( (${QV_E2E_DEADLINE_FLOOR_MS:?deadline floor of the test variant} + 999) / 1000 ))
bound=$((3 * (floor_s + manifest_size / 4096 + 1) + 3 + 10))
for mode in '{"trickle_ms": 1000}' '{"endless_header": true}' '{"endless_body": true}'; do
  curl -sf -o /dev/null -X POST --data "{\"script\": \"/patch/manifest.json\", \"responses\": [], \"then\": $mode}" \
    "http://127.0.0.1:$FAULT_PORT/_control" || fail "the fault server took no script"
  DIR=$E2E/Fault/Quorvel
  rm -f "$LOG"
  RUN_LIMIT=$bound setup --silent "--dir=$(winpath "$DIR")" "--log=$(winpath "$LOG")"
  echo "  $mode: exit $rc (waited at most $bound s), $(grep -a -o 'patch run failed: .*' "$LOG" | tail -n 1)"
  expect_eq "exit code for $mode (a run still going after $bound s is \"timeout\")" "$rc" 6
  [[ -z $(cd "$DIR" && find . -type f -not -path './bin/*' -not -path './config/*') ]] || fail "$mode: game files written"
  nothing_registered "$mode"
  rm -rf "$DIR"
done

section "an object whose server declares 2^60 bytes and sends one byte every 29 s: exit 6 at once"
read -r obj_hash obj_size < <($PY -c 'import json, sys; f = json.load(open(sys.argv[1]))["files"][0]; print(f["h"], f["c"])' \
  "$E2E/www/patch/manifest.json")
curl -sf -o /dev/null -X POST --data "{\"script\": \"/patch/manifest.json\", \"responses\": [], \"then\": null}" \
  "http://127.0.0.1:$FAULT_PORT/_control" || fail "the fault server took no script"
curl -sf -o /dev/null -X POST --data "{\"script\": \"/patch/files/${obj_hash:0:2}/$obj_hash.z\", \"responses\": [],
  \"then\": {\"declare_length\": 1152921504606846976, \"chunk\": 1, \"slow_ms\": 29000}}" \
  "http://127.0.0.1:$FAULT_PORT/_control" || fail "the fault server took no script"
DIR=$E2E/Huge/Quorvel
rm -f "$LOG"
setup --silent "--dir=$(winpath "$DIR")" "--log=$(winpath "$LOG")"
echo "  exit $rc, $(grep -a -o 'request refused: .*' "$LOG" | tail -n 1)"
expect_eq "exit code for a declared 2^60 bytes" "$rc" 6
# The bound is the object's signed compressed size, not what the server declares.
[[ $(grep -a -c "declares 1152921504606846976 bytes, more than the $obj_size expected" "$LOG") -eq 3 ]] ||
  fail "the three attempts were not refused for their declared length"
nothing_registered "declared 2^60 bytes"

pass_or_fail
