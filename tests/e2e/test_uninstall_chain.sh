#!/usr/bin/env bash
# The uninstall as Windows runs it: the registered command (plus --silent and --keep=) starts a
# temporary copy, which removes the installation, the registry keys and the shortcuts, keeps the
# player's settings, screenshots and user data unless told otherwise, and deletes itself.
source "$(dirname "$0")/lib.sh"
e2e_begin

GAME=$E2E/game
make_game "$GAME" 21
publish "$GAME" 9
start_patch_server

SETTINGS=(locale.cfg tarnel.cfg config.cfg channel.inf mouse.cfg loca.cfg interface.cfg switchbot.pkl enbconvertor.ini)
add_player_data() {
  for f in "${SETTINGS[@]}"; do echo "player $f" >"$1/config/$f"; done
  mkdir -p "$1/screenshot" "$1/Data/UserData/saves"
  echo "a screenshot" >"$1/screenshot/shot1.jpg"
  echo "a save" >"$1/Data/UserData/saves/slot1.dat"
}
expect_player_data_kept() {
  local expected
  expected=$( (for f in "${SETTINGS[@]}"; do echo "config/$f"; done
               echo "screenshot/shot1.jpg"; echo "Data/UserData/saves/slot1.dat") | LC_ALL=C sort)
  expect_eq "what stays of ${1#"$E2E"/}" "$(files_below "$1")" "$expected"
  for f in "${SETTINGS[@]}"; do expect_content "$1/config/$f" "player $f"; done
  expect_content "$1/screenshot/shot1.jpg" "a screenshot"
  expect_content "$1/Data/UserData/saves/slot1.dat" "a save"
}
expect_unregistered() {
  key_exists "$SETUP_KEY" && fail "the program's key is still there"
  key_exists "$UNINSTALL_KEY" && fail "the uninstall entry is still there"
  expect_missing "$DESKTOP_LNK"
  expect_missing "$PROGRAMS_LNK"
}

section "keep on (--keep=1 forwarded): settings, screenshots and user data stay, the rest goes"
A=$E2E/A/Quorvel
install_game "$A"
add_player_data "$A"
expect_exists "$DESKTOP_LNK"
uninstall_via_registry "--silent --keep=1"
expect_player_data_kept "$A"
expect_unregistered

section "empty --keep= is not forwarded: keep stays on"
B=$E2E/B/Quorvel
install_game "$B"
add_player_data "$B"
uninstall_via_registry "--silent --keep="
expect_player_data_kept "$B"
expect_unregistered

section "keep off (--keep=0): a folder holding only known files disappears"
C=$E2E/C/Quorvel
install_game "$C"
add_player_data "$C"
# What a cancelled or failed run leaves behind: part files and temporary files.
mkdir -p "$C/patcher_parts" && echo "part" >"$C/patcher_parts/0123.z"
first=$(cd "$C" && find . -type f -path './Data/*' | head -n 1)
echo "half written" >"$C/$first.new-file.ap_tmp"
uninstall_via_registry "--silent --keep=0"
expect_missing "$C"
expect_exists "$E2E/C"
expect_unregistered

section "a player's own files survive with their folders"
D=$E2E/D/Quorvel
install_game "$D"
echo "mine" >"$D/notes.txt"
mkdir -p "$D/data/mymod"
echo "my mod" >"$D/data/mymod/readme.txt"
uninstall_via_registry "--silent --keep=0"
expect_eq "what stays" "$(files_below "$D")" "$(printf '%s\n' data/mymod/readme.txt notes.txt | LC_ALL=C sort)"
expect_content "$D/notes.txt" "mine"
expect_unregistered

section "the registered command tells the truth: 3 when nothing was uninstalled"
F=$E2E/F/Quorvel
install_game "$F"
command=$(reg_value "$UNINSTALL_KEY" UninstallString)
hold_launcher
run_command_line "$command --silent --keep=0"
release_launcher
expect_eq "exit code with the game running" "$rc" 3
expect_exists "$F/bin/quorvel.install"
wait_for_uninstaller
# The temporary copy cannot be made.
make_immutable "$WINE_TEMP_UNIX"
run_command_line "$command --silent --keep=0"
chattr -i "$WINE_TEMP_UNIX"
expect_eq "exit code without a temporary copy" "$rc" 3
expect_exists "$F/bin/quorvel.install"
uninstall_via_registry "--silent --keep=0"
expect_missing "$F"

section "an uninstaller in a folder named BIN"
E=$E2E/E/Quorvel
install_game "$E"
mv "$E/bin" "$E/BIN"
rm -f "$WINE_TEMP_UNIX"/Quorvel-Uninstall-*.exe
run_command_line "\"$(winpath "$E")\\BIN\\Uninstall Quorvel.exe\" --uninstall --silent --keep=0"
expect_eq "relaunch exit code" "$rc" 0
wait_for_uninstaller
expect_missing "$E"
expect_unregistered

section "a folder name cmd.exe would expand or split: nothing outside it changes"
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
G=$E2E/G/%USERNAME%
# What the clean-up would reach if it let cmd.exe expand the name.
mkdir -p "$E2E/G/$user/bin"
echo "not ours" >"$E2E/G/$user/bin/Uninstall Quorvel.exe"
install_game "$G"
uninstall_via_registry "--silent --keep=0"
expect_missing "$G"
expect_content "$E2E/G/$user/bin/Uninstall Quorvel.exe" "not ours"
H="$E2E/H/a&b^c %TEMP%"
mkdir -p "$E2E/H/a"
echo "not ours" >"$E2E/H/a/keep.txt"
install_game "$H"
uninstall_via_registry "--silent --keep=0"
expect_missing "$H"
expect_content "$E2E/H/a/keep.txt" "not ours"
expect_exists "$WINE_TEMP_UNIX"

section "an uninstall followed at once by a reinstall: the new uninstaller stays"
R=$E2E/R/Quorvel
install_game "$R"
command=$(reg_value "$UNINSTALL_KEY" UninstallString)
run_command_line "$command --silent --keep=0"
expect_eq "uninstall exit code" "$rc" 0
install_game "$R"
wait_for_uninstaller
expect_exists "$R/bin/Uninstall Quorvel.exe"
expect_exists "$R/bin/quorvel.install"

section "a setup program kept in the folder and started with --uninstall --silent keeps itself"
cp "$SETUP_EXE" "$R/QuorvelSetup.exe"
run_command_line "\"$(winpath "$R")\\QuorvelSetup.exe\" --uninstall --silent --keep=0"
expect_eq "uninstall exit code" "$rc" 0
wait_for_uninstaller
expect_exists "$R/QuorvelSetup.exe"
expect_missing "$R/bin/Uninstall Quorvel.exe"

section "a game file held open: exit 7 naming it, the entry stays; once free, a second run removes the rest"
K=$E2E/K/Quorvel
install_game "$K"
held=$(cd "$GAME" && find . -type f | LC_ALL=C sort | head -n 1 | sed 's|^\./||')
hold_mutex game "$(winpath "$K/$held")" holdfile
LOG=$E2E/uninstall.log
uninstall_via_registry "--silent --keep=0 \"--log=$(winpath "$LOG")\"" 7
release_mutex game
grep -aF "could not remove $(winpath "$K/$held") (Windows error" "$LOG" || fail "the log does not name the held file"
grep -a 'incomplete\|exit code' "$LOG"
expect_eq "what stays" "$(files_below "$K")" \
  "$(printf '%s\n' "$held" "bin/Uninstall Quorvel.exe" bin/quorvel.install config/patcher_cache.dat | LC_ALL=C sort)"
key_exists "$UNINSTALL_KEY" || fail "the uninstall entry went although a file stayed"
uninstall_via_registry "--silent --keep=0"
expect_missing "$K"
expect_unregistered

section "a second uninstall while a setup runs is refused with 3 and leaves no temporary copy"
L=$E2E/L/Quorvel
install_game "$L"
hold_mutex setup 'Quorvel.Setup.{9B6A7C14-52E1-4F7D-8E0A-1C3D5F7A9B20}'
uninstall_via_registry "--silent --keep=0" 3   # waits until the copy has deleted itself
release_mutex setup
expect_exists "$L/bin/quorvel.install"

section "a temporary folder with % in its name"
saved_temp=$(reg_value 'HKCU\Environment' TEMP) saved_type=$(reg_type 'HKCU\Environment' TEMP) saved_unix=$WINE_TEMP_UNIX
WINE_TEMP_UNIX="$E2E/tmp %USERNAME% x"
mkdir -p "$WINE_TEMP_UNIX"
for v in TEMP TMP; do wine reg add 'HKCU\Environment' /v $v /t REG_SZ /d "$(winpath "$WINE_TEMP_UNIX")" /f >/dev/null; done
uninstall_via_registry "--silent --keep=0"
for v in TEMP TMP; do wine reg add 'HKCU\Environment' /v $v /t "$saved_type" /d "$saved_temp" /f >/dev/null; done
WINE_TEMP_UNIX=$saved_unix
expect_missing "$L"

section "an unattended uninstall on another drive than the temporary folder leaves no folder"
SHM=/dev/shm/qve2e-$$   # another file system: no rename reaches the temporary folder from there
mkdir -p "$SHM"
ln -sfn "$SHM" "$WINEPREFIX/dosdevices/q:"
setup --silent '--dir=Q:\Games\Quorvel'
expect_eq "install exit code" "$rc" 0
uninstall_via_registry "--silent --keep=0"
expect_missing "$SHM/Games/Quorvel"
expect_exists "$SHM/Games"
expect_unregistered
rm -rf "$SHM" "$WINEPREFIX/dosdevices/q:"

pass_or_fail
