#!/usr/bin/env bash
# What an uninstall must never touch: files outside the folder named by cache lines, what a link
# inside a working folder points to, a Quorvel.lnk that points to another installation; and
# refused starts (launcher running, no marker) that remove nothing and end with exit code 3.
source "$(dirname "$0")/lib.sh"
e2e_begin

GAME=$E2E/game
make_game "$GAME" 31
publish "$GAME" 4
start_patch_server
OUT=$E2E/outside
mkdir -p "$OUT/linked/deeper"
echo "outside" >"$OUT/outside.txt"
echo "outside" >"$OUT/linked/a.dat"
echo "outside" >"$OUT/linked/deeper/b.dat"
outside_before=$(cd "$OUT" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
outside_unchanged() {
  expect_eq "files outside the installation" "$(cd "$OUT" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)" "$outside_before"
}

section "cache lines leading outside, a link inside shadercache, a read-only game file"
A=$E2E/A/Quorvel
install_game "$A" --no-shortcuts
{
  printf '%s\t1\t1\t..\\..\\outside\\outside.txt\n' "$(printf 'a%.0s' {1..64})"
  printf '%s\t1\t1\t../../outside/linked/a.dat\n' "$(printf 'a%.0s' {1..64})"
  printf '%s\t1\t1\t%s\n' "$(printf 'a%.0s' {1..64})" "$(winpath "$OUT/outside.txt")"
  printf '%s\t1\t1\tshadercache/junction/deeper/b.dat\n' "$(printf 'a%.0s' {1..64})"
} >>"$A/config/patcher_cache.dat"
mkdir -p "$A/shadercache"
ln -s "$OUT/linked" "$A/shadercache/junction"
readonly_file=$(cd "$GAME" && find . -type f -size +1k | LC_ALL=C sort | sed -n 3p)
chmod 444 "$A/$readonly_file"
uninstall_via_registry "--silent --keep=0"
outside_unchanged
expect_eq "what stays" "$(files_below "$A")" "shadercache/junction"
[[ -L $A/shadercache/junction ]] || fail "the link inside shadercache was removed"
expect_missing "$A/$readonly_file"
key_exists "$UNINSTALL_KEY" && fail "the uninstall entry is still there"

section "a Quorvel.lnk pointing to another installation stays"
P=$E2E/P/Quorvel
P2=$E2E/P/Quorvel2
install_game "$P"
install_game "$P2"   # the shortcuts now lead into Quorvel2
expect_eq "desktop shortcut before" "$(lnk_field "$DESKTOP_LNK" 'Local path')" "$(winpath "$P2")\\Quorvel.exe"
rm -f "$WINE_TEMP_UNIX"/Quorvel-Uninstall-*.exe
run_command_line "\"$(winpath "$P")\\bin\\Uninstall Quorvel.exe\" --uninstall --silent --keep=0"
wait_for_uninstaller
expect_missing "$P"
same_tree "$GAME" "$P2"
for lnk in "$DESKTOP_LNK" "$PROGRAMS_LNK"; do
  expect_exists "$lnk"
  expect_eq "shortcut kept" "$(lnk_field "$lnk" 'Local path')" "$(winpath "$P2")\\Quorvel.exe"
done

section "launcher running: the unattended uninstall removes nothing and ends with 3"
H=$E2E/H/Quorvel
install_game "$H"
before=$(files_below "$H")
TOOLS=$E2E/tools
mkdir -p "$TOOLS"
cp "$SETUP_EXE" "$TOOLS/setup.exe"
hold_launcher
run_windows "$TOOLS/setup.exe" --uninstall-run "--dir=$(winpath "$H")" --silent --keep=0
expect_eq "exit code" "$rc" 3
uninstall_via_registry "--silent --keep=0" 3   # through the temporary copy as well
release_launcher
expect_eq "installation untouched" "$(files_below "$H")" "$before"
key_exists "$UNINSTALL_KEY" || fail "the uninstall entry went although nothing was uninstalled"
expect_exists "$DESKTOP_LNK"

section "no installation marker: removes nothing and ends with 3"
mv "$H/bin/quorvel.install" "$E2E/marker.keep"
before=$(files_below "$H")
run_windows "$TOOLS/setup.exe" --uninstall-run "--dir=$(winpath "$H")" --silent --keep=0
expect_eq "exit code" "$rc" 3
expect_eq "installation untouched" "$(files_below "$H")" "$before"

section "run directly from outside the temporary folder: removes, never deletes itself"
mv "$E2E/marker.keep" "$H/bin/quorvel.install"
run_windows "$TOOLS/setup.exe" --uninstall-run "--dir=$(winpath "$H")" --silent --keep=0
expect_eq "exit code" "$rc" 0
expect_missing "$H"
# Whatever the run left behind to delete files after it ended has ended too.
wait_until 60 not_running '[Cc][Mm][Dd](\.[Ee][Xx][Ee])? ' || fail "a command the uninstall started is still running"
expect_exists "$TOOLS/setup.exe"
outside_unchanged

pass_or_fail
