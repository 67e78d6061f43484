#!/usr/bin/env bash
# Exit codes of an unattended install: 1 for an unusable folder, 3 when the run cannot start
# (launcher running, folder not writable), 6 when the run fails (bad signature); nothing is
# created or registered in those cases.
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

pass_or_fail
