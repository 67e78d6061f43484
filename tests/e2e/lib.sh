#!/usr/bin/env bash
# Shared by the end-to-end scripts that drive QuorvelSetup-e2e.exe under Wine. Source it, then
# call e2e_begin. Each script gets: its own folder below C:\qve2e, an X server of its own, the
# patch server (nginx on 127.0.0.1:$QV_E2E_PORT serving a release published with
# quorvel-publish), and the shared-state lock that the Windows unit tests take as well. Everything
# it started is stopped again however the script ends.
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PUBLISH=$(cd "$QV_BUILD_DIR/.." && pwd)/host/tools/quorvel-publish
SIGNING_KEY=$QV_SOURCE_DIR/tests/data/test_release.key
LAUNCHER_MUTEX='Quorvel.OrskLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}'

E2E_NAME=$(basename "$0" .sh)
E2E=$WINEPREFIX/drive_c/qve2e/$E2E_NAME   # Unix path of this script's folder
E2E_WIN="C:\\qve2e\\$E2E_NAME"             # the same folder as Windows names it
HELPER= RUNNER= _runs=0 WINE_TEMP= WINE_TEMP_UNIX= DESKTOP_LNK= PROGRAMS_LNK= _desktop= _desktop_link=
_holds=()
_immutable=()

expect_exists() { [[ -e "$1" || -L "$1" ]] || fail "missing: ${1#"$E2E"/}"; }
expect_missing() { [[ ! -e "$1" && ! -L "$1" ]] || fail "still there: ${1#"$E2E"/}"; }
expect_content() {  # file, exact contents
  if [[ ! -f "$1" ]]; then fail "missing: ${1#"$E2E"/}"; return; fi
  [[ "$(cat "$1")" == "$2" ]] || fail "${1#"$E2E"/} holds '$(head -c 200 "$1")', expected '$2'"
}

# ---- set-up and clean-up -------------------------------------------------------------------
e2e_begin() {
  trap e2e_end EXIT
  [[ -x $SETUP_EXE ]] || { echo "no $SETUP_EXE"; exit 1; }
  [[ -x $PUBLISH ]] || { echo "no $PUBLISH (host build)"; exit 1; }
  # A server for the prefix when run outside ./run test (it exits at once if one is running),
  # and its services started with no inherited descriptors, so that none keeps a caller's pipe.
  qv_wine_server
  qv_wine_boot
  rm -rf "$E2E"
  mkdir -p "$E2E/www" "$E2E/nginx/tmp" "$E2E/flags"
  HELPER=$E2E/e2e_helper.exe
  x86_64-w64-mingw32-gcc -municode -static -O2 -o "$HELPER" "$QV_SOURCE_DIR/tests/e2e/e2e_helper.c" ||
    { echo "cannot build the helper"; exit 1; }
  RUNNER=$E2E/gui_helper.exe
  x86_64-w64-mingw32-gcc -municode -static -O2 -o "$RUNNER" "$QV_SOURCE_DIR/tests/e2e/gui_helper.c" \
    -loleacc -loleaut32 -lole32 -luuid ||
    { echo "cannot build the runner"; exit 1; }
  start_screen "$E2E" 1280 800
  local places
  # A prefix still starting under load can answer nothing: ask again until it names the folders.
  local try
  for try in 1 2 3 4 5; do
    mapfile -t places < <(wine cmd /c 'echo %TEMP%& echo %USERPROFILE%& echo %APPDATA%' 2>/dev/null | tr -d '\r')
    ((${#places[@]} >= 3)) && break
  done
  WINE_TEMP=${places[0]}
  WINE_TEMP_UNIX=$(winepath -u "$WINE_TEMP" 2>/dev/null | tr -d '\r')
  # Wine links a new prefix's Desktop to the Unix home folder, which every other prefix on the
  # machine shares; this prefix gets a Desktop of its own so no other run sees its shortcuts.
  local desktop
  desktop=$(winepath -u "${places[1]}\\Desktop" 2>/dev/null | tr -d '\r')
  desktop=${desktop%/}
  if [[ -L $desktop ]]; then
    _desktop_link=$(readlink "$desktop")
    _desktop=$desktop
    rm -f "$desktop" && mkdir -p "$desktop"
  fi
  DESKTOP_LNK=$(winepath -u "${places[1]}\\Desktop\\Quorvel.lnk" 2>/dev/null | tr -d '\r')
  PROGRAMS_LNK=$(winepath -u "${places[2]}\\Microsoft\\Windows\\Start Menu\\Programs\\Quorvel.lnk" 2>/dev/null | tr -d '\r')
  [[ -n $WINE_TEMP_UNIX && -n $DESKTOP_LNK && -n $PROGRAMS_LNK ]] || { echo "cannot find the prefix's user folders"; exit 1; }
  clean_user_state
}

e2e_end() {
  local rc=$?
  for f in "${_immutable[@]}"; do chattr -i "$f" 2>/dev/null; done
  for name in "${_holds[@]}"; do release_mutex "$name"; done
  stop_patch_server
  # Wait (bounded) for our Windows processes, so that nothing of ours keeps running; those that
  # name this script's folder and still run are ended.
  wait_until 10 not_running 'QuorvelSetup-e2e.exe|Quorvel-Uninstall-|e2e_helper.exe|gui_helper.exe'
  end_leftovers "$E2E_WIN\\"
  clean_user_state
  # The Desktop link goes back as Wine made it, unless something else was put there meanwhile.
  if [[ -n $_desktop_link ]] && rmdir "$_desktop" 2>/dev/null; then ln -s "$_desktop_link" "$_desktop"; fi
  for pid in "${_pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$E2E"
  qv_wine_stop
  exit $rc
}

# The program's registry keys, shortcuts and leftover temporary copies of earlier runs.
clean_user_state() {
  [[ -n $DESKTOP_LNK ]] || return 0
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
  wine reg delete "$SETUP_KEY" /f >/dev/null 2>&1
  rm -f "$DESKTOP_LNK" "$PROGRAMS_LNK"
  [[ -n $WINE_TEMP_UNIX ]] && rm -f "$WINE_TEMP_UNIX"/Quorvel-Uninstall-*.exe
  return 0
}

# ---- named mutexes held by a helper process -------------------------------------------------
hold_mutex() {  # tag, mutex name [, helper mode: holdfile holds the file of that name open]
  local tag=$1 ready=$E2E/flags/$1.ready stop=$E2E/flags/$1.stop
  rm -f "$ready" "$stop"
  command wine "$HELPER" "${3:-hold}" "$2" "$(winepath "$ready")" "$(winepath "$stop")" </dev/null >/dev/null 2>&1 &
  # Well below the test's time limit, so that a lock nobody gives back is reported with its holders.
  wait_until 300 test -e "$ready" ||
    { echo "could not take mutex $2 in 5 minutes; running:"; processes_naming '.exe'; exit 1; }
  _holds+=("$tag")
}
release_mutex() {  # tag
  local stop=$E2E/flags/$1.stop
  [[ -e $E2E/flags/$1.ready ]] || return 0
  touch "$stop"
  wait_until 10 not_running "e2e_helper.exe hold(file)?.*$1.stop"
  rm -f "$E2E/flags/$1.ready"
}
hold_launcher() { hold_mutex launcher "$LAUNCHER_MUTEX"; }
release_launcher() { release_mutex launcher; }

# ---- the patch server -----------------------------------------------------------------------
# make_game DIR SEED: a small deterministic sample game.
make_game() {
  $PY "$QV_SOURCE_DIR/tools/make_sample_game.py" create "$1" --files 40 --size 3M --seed "$2" >/dev/null ||
    { echo "sample game failed"; exit 1; }
}
# publish GAME_DIR VERSION: the signed release the patch server serves at /patch/.
publish() {
  rm -rf "$E2E/www/patch"
  "$PUBLISH" build "$1" "$E2E/www/patch" --key "$SIGNING_KEY" --version "$2" >"$E2E/publish.log" 2>&1 ||
    { cat "$E2E/publish.log"; echo "publishing failed"; exit 1; }
}
start_patch_server() { serve_release "$E2E/nginx" "$E2E/www"; }
stop_patch_server() { stop_release "$E2E/nginx"; }

# older_program COMMIT: OLDER_EXE, the e2e variant built from that commit's own sources, once per
# build folder (about a minute).
older_program() {
  local build
  build=$(cd "$QV_BUILD_DIR/.." && pwd)/older-${1:0:12}
  OLDER_EXE=$build/QuorvelSetup-e2e.exe
  # Scripts running side by side may want the same one: one builds it, the others wait.
  (
    flock 9
    [[ -x $OLDER_EXE ]] && exit 0
    rm -rf "$build.src" && mkdir -p "$build.src" && git -C "$QV_SOURCE_DIR" archive "$1" | tar -x -C "$build.src" &&
      cmake -S "$build.src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$build.src/cmake/mingw-w64-x86_64.cmake" >"$E2E/older.log" 2>&1 &&
      cmake --build "$build" --target QuorvelSetup-e2e >>"$E2E/older.log" 2>&1
  ) 9>"$build.lock" || { tail -20 "$E2E/older.log"; fail "the older program could not be built"; }
}

# ---- running the program ----------------------------------------------------------------------
# Exit codes are read the way Windows callers read them, from a Windows parent: under Wine the
# shell has seen 137 (SIGKILL) for runs that had ended, instead of their exit code.
_exit_file() {
  _runs=$((_runs + 1))
  EXIT_FILE=$E2E/flags/exit.$_runs
  rm -f "$EXIT_FILE"
}
_read_exit() {  # the Unix status to fall back on (a timeout, a runner that did not start)
  if [[ -s $EXIT_FILE ]]; then rc=$(tr -dc '0-9a-z-' <"$EXIT_FILE"); else rc=$1; fi
}
# run_windows EXE ARGS...: runs a Windows program with these arguments; its exit code in $rc
# ("timeout" if it did not end within RUN_LIMIT seconds, default 600).
run_windows() {
  _exit_file
  local exe
  exe=$(winpath "$1"); shift
  timeout "${RUN_LIMIT:-600}" wine "$RUNNER" run "$(winpath "$EXIT_FILE")" "$exe" "$@" </dev/null >>"$E2E/wine.log" 2>&1
  _read_exit $?
  [[ $rc == 124 && ! -s $EXIT_FILE ]] && rc=timeout
  return 0
}
# setup ARGS...: runs the e2e variant and leaves its exit code in $rc.
setup() { run_windows "$SETUP_EXE" "$@"; }
# run_command_line LINE: starts LINE as Windows starts a registered uninstall command.
run_command_line() {
  _exit_file
  timeout 600 wine "$HELPER" run "$1" "$(winpath "$EXIT_FILE")" </dev/null >>"$E2E/wine.log" 2>&1
  _read_exit $?
}

# ---- reading results -----------------------------------------------------------------------------
reg_type() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $2; exit }'
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
# lnk_field FILE LABEL: one field of lnkinfo's report ("Local path", "Working directory", ...).
lnk_field() {
  lnkinfo "$1" 2>/dev/null | awk -F': ' -v want="$2" '{ k=$1; gsub(/^[ \t]+|[ \t]+$/, "", k); if (k == want) { sub(/^[^:]*: /, ""); print; exit } }'
}
# same_tree GAME INSTALL: every file of GAME is in INSTALL with the same SHA-256.
same_tree() {
  local bad=0 rel
  while IFS= read -r -d '' rel; do
    rel=${rel#./}
    if [[ ! -f "$2/$rel" ]] || [[ $(sha256sum <"$1/$rel") != $(sha256sum <"$2/$rel") ]]; then
      fail "installed file differs or is missing: $rel"; bad=1
    fi
  done < <(cd "$1" && find . -type f -print0)
  return $bad
}
# make_immutable PATH: a folder nobody can write, not even root (ext4 attribute), undone at exit.
make_immutable() {
  chattr +i "$1" || { echo "chattr not supported here"; exit 1; }
  _immutable+=("$1")
}

# ---- installing and uninstalling ---------------------------------------------------------------
# install_game DIR [ARGS...]: an unattended install that must succeed.
install_game() {
  local dir=$1; shift
  setup --silent "--dir=$(winpath "$dir")" "$@"
  [[ $rc -eq 0 ]] || { fail "install into ${dir#"$E2E"/} ended with $rc"; return 1; }
}
# files_below DIR: every file and link below DIR, relative, sorted, one per line.
files_below() { (cd "$1" 2>/dev/null && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); }
_uninstall_running() { prefix_running 'Quorvel-Uninstall-[0-9]+\.exe'; }
not_running() { ! prefix_running "$1"; }
_temp_copies() { compgen -G "$WINE_TEMP_UNIX/Quorvel-Uninstall-*.exe" >/dev/null; }
# uninstall_via_registry EXTRA [CODE]: runs the registered uninstall command exactly as stored,
# with EXTRA appended, as the system's list of programs does; checks its exit code (CODE, default
# 0), that the temporary copy was started, waits for it to end and for it to have deleted itself.
uninstall_via_registry() {
  local command
  command=$(reg_value "$UNINSTALL_KEY" UninstallString)
  [[ -n $command ]] || { fail "no UninstallString registered"; return 1; }
  rm -f "$WINE_TEMP_UNIX"/Quorvel-Uninstall-*.exe
  run_command_line "$command $1"
  [[ $rc -eq ${2:-0} ]] || fail "the uninstall command ended with $rc, expected ${2:-0}"
  _temp_copies || _uninstall_running || fail "no temporary uninstaller copy was started"
  wait_for_uninstaller
}
# wait_for_uninstaller: the temporary copy has ended and deleted its own file (bounded).
wait_for_uninstaller() {
  wait_until 300 not_running 'Quorvel-Uninstall-[0-9]+\.exe' || fail "the uninstaller copy is still running"
  wait_until 60 bash -c "! compgen -G '$WINE_TEMP_UNIX/Quorvel-Uninstall-*.exe' >/dev/null" ||
    fail "the temporary uninstaller copy did not delete itself"
  # An unattended uninstall that waited for its copy removes its own file after it ended.
  wait_until 60 not_running 'del /f /q .?(Quorvel-Uninstall-|Uninstall Quorvel)' ||
    fail "the installed uninstaller's own deletion did not end"
}
