#!/usr/bin/env bash
# Exit codes of an unattended install: 1 for an unusable folder, 3 when the run cannot start
# (launcher running, folder not writable), 6 when the run fails (bad signature; a server that
# trickles, sends headers or a body without end); nothing is created or registered in those cases.
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

section "exit 1: folder unusable"
for dir in 'C:\qve2e\bad?name' 'C:\qve2e\..\Quorvel' 'relative\Quorvel' 'C:\'; do
  setup --silent "--dir=$dir"
  expect_eq "exit code for $dir" "$rc" 1
done
expect_missing "$WINEPREFIX/drive_c/qve2e/bad?name"
nothing_registered "unusable folder"

section "exit 3: the launcher is running"
hold_launcher
setup --silent "--dir=$(winpath "$E2E/Launcher/Quorvel")"
release_launcher
expect_eq "exit code" "$rc" 3
expect_missing "$E2E/Launcher"
nothing_registered "launcher running"

section "exit 3: the folder cannot be written"
mkdir -p "$E2E/locked"
make_immutable "$E2E/locked"
setup --silent "--dir=$(winpath "$E2E/locked/Quorvel")"
expect_eq "exit code" "$rc" 3
expect_missing "$E2E/locked/Quorvel"
nothing_registered "folder not writable"

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
stop_patch_server
$PY "$QV_SOURCE_DIR/tests/servers/fault_server.py" --root "$E2E/www" --port "$QV_E2E_PORT" \
  --port-file "$E2E/fault.port" --pid-file "$E2E/fault.pid" </dev/null >/dev/null 2>&1 &
_pids+=($!)
wait_until 20 test -s "$E2E/fault.port" || fail "the fault server did not start"
manifest_size=$(stat -c %s "$E2E/www/patch/manifest.json")
# Three attempts, each 30 s plus the manifest at 4 KiB/s, two pauses of 1.5 s; and the start.
bound=$((3 * (30 + manifest_size / 4096 + 1) + 3 + 30))
for mode in '{"trickle_ms": 1000}' '{"endless_header": true}' '{"endless_body": true}'; do
  curl -sf -o /dev/null -X POST --data "{\"script\": \"/patch/manifest.json\", \"responses\": [], \"then\": $mode}" \
    "http://127.0.0.1:$QV_E2E_PORT/_control" || fail "the fault server took no script"
  DIR=$E2E/Fault/Quorvel
  started=$SECONDS
  setup --silent "--dir=$(winpath "$DIR")"
  took=$((SECONDS - started))
  echo "  $mode: exit $rc after $took s (bound $bound s)"
  expect_eq "exit code for $mode" "$rc" 6
  ((took <= bound)) || fail "$mode: the install took $took s, beyond its bound of $bound s"
  [[ -z $(cd "$DIR" && find . -type f -not -path './bin/*' -not -path './config/*') ]] || fail "$mode: game files written"
  nothing_registered "$mode"
  rm -rf "$DIR"
done

pass_or_fail
