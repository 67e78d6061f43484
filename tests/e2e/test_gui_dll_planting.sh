#!/usr/bin/env bash
# The finished program, started from a folder that also holds fake d2d1.dll, dwrite.dll,
# winhttp.dll, bcrypt.dll and dwmapi.dll (a Downloads folder), must load none of them: its
# import table names only DLLs that Windows always takes from the system folder, and every
# other DLL comes from there explicitly. Wine is told to prefer a DLL found beside the program,
# as Windows would. The wizard is shown and painted, then an unattended install runs (HTTP
# session, hashing). The control: a program that imports the five DLLs implicitly does load
# every fake from the same folder, so the check can fail.
. "$(dirname "$0")/gui_lib.sh"
gui_begin

CC=x86_64-w64-mingw32-gcc
PLANTED=$GUI/Downloads
PLANTED_WIN="$GUI_WIN\\Downloads"
OVERRIDES="mscoree=;mshtml=;d2d1,dwrite,winhttp,bcrypt,dwmapi=n,b"
mkdir -p "$PLANTED"
gui_cleanup() { clean_user_state; }

section "the program's import table"
# DLLs that are KnownDLLs or always come from the system folder (ntdll is in every process
# before the program's own imports are looked up).
KNOWN="advapi32 gdi32 kernel32 msvcrt ntdll ole32 oleaut32 shell32 shlwapi user32 ws2_32 comdlg32 imm32"
imports=$(x86_64-w64-mingw32-objdump -p "$SETUP_EXE" | awk '/DLL Name:/ { print tolower($3) }')
[[ -n $imports ]] || fail "no import table read"
for dll in $imports; do
  [[ " $KNOWN " == *" ${dll%.dll} "* ]] || fail "the program imports $dll"
done

section "the fake DLLs and the control"
fake() {  # NAME EXPORT...: a DLL whose DllMain leaves NAME-loaded.txt beside itself
  local name=$1; shift
  {
    cat <<C
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char trace[MAX_PATH], program[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, trace, MAX_PATH);
    while (n > 0 && trace[n - 1] != '\\\\') n--;
    lstrcpyA(trace + n, "$name-loaded.txt");
    DWORD len = GetModuleFileNameA(NULL, program, MAX_PATH);
    HANDLE f = CreateFileA(trace, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written;
      WriteFile(f, program, len, &written, NULL);
      WriteFile(f, "\\r\\n", 2, &written, NULL);
      CloseHandle(f);
    }
  }
  return TRUE;
}
C
    for e in "$@"; do echo "__declspec(dllexport) LONG WINAPI $e(void) { return (LONG)0x80004005; }"; done
  } >"$GUI/fake_$name.c"
  "$CC" -shared -o "$PLANTED/$name.dll" "$GUI/fake_$name.c" || { echo "cannot build fake $name"; exit 1; }
}
fake d2d1 D2D1CreateFactory
fake dwrite DWriteCreateFactory
fake winhttp WinHttpOpen
fake bcrypt BCryptOpenAlgorithmProvider
fake dwmapi DwmSetWindowAttribute
cat >"$GUI/implicit.c" <<'C'
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
LONG WINAPI D2D1CreateFactory(void);
LONG WINAPI DWriteCreateFactory(void);
LONG WINAPI WinHttpOpen(void);
LONG WINAPI BCryptOpenAlgorithmProvider(void);
LONG WINAPI DwmSetWindowAttribute(void);
int main(int argc, char** argv) {
  (void)argv;
  if (argc > 5) {  /* never true: the imports only have to exist */
    D2D1CreateFactory(); DWriteCreateFactory(); WinHttpOpen(); BCryptOpenAlgorithmProvider();
    DwmSetWindowAttribute();
  }
  return 0;
}
C
"$CC" -o "$PLANTED/implicit.exe" "$GUI/implicit.c" -ld2d1 -ldwrite -lwinhttp -lbcrypt -ldwmapi ||
  { echo "cannot build the control"; exit 1; }
WINEDLLOVERRIDES=$OVERRIDES timeout 120 wine "$PLANTED/implicit.exe" </dev/null >/dev/null 2>&1
for name in d2d1 dwrite winhttp bcrypt dwmapi; do
  [[ -s $PLANTED/$name-loaded.txt ]] || fail "control: the fake $name.dll was not picked up by a program that imports it"
  rm -f "$PLANTED/$name-loaded.txt"
done
rm -f "$PLANTED/implicit.exe"

section "the wizard beside the fakes"
cp "$SETUP_EXE" "$PLANTED/QuorvelSetup.exe"
SETUP_EXE=$PLANTED/QuorvelSetup.exe
agent_do env WINEDLLOVERRIDES "$OVERRIDES"
make_game "$GUI/game" 12 2M
publish "$GUI/game" "$GUI/www/patch" 3
start_patch_server "$GUI/www"
start_wizard shown --page=0
shot planted-welcome
expect_text "the wizard drew its title" 282 64 850 104 ead8b8
for _ in $(seq 1 60); do   # the size query over WinHTTP
  grab "$GUI/probe.png"
  [[ $($PROBE count "$GUI/probe.png" 282 311 452 334 ecd6ae 24) -ge 12 ]] && break
  sleep 1
done
[[ $($PROBE count "$GUI/probe.png" 282 311 452 334 ecd6ae 24) -ge 12 ]] || fail "the version never showed"
click 859 40
expect_eq "exit code of the shown wizard" "$(exit_code shown 60)" 0

run_wizard silent --silent --no-shortcuts "--dir=$GUI_WIN\\Installed" || fail "the unattended install did not end"
expect_eq "exit code of the unattended install" "$(exit_code silent 5)" 0
while IFS= read -r -d '' rel; do
  rel=${rel#./}
  cmp -s "$GUI/game/$rel" "$GUI/Installed/$rel" || fail "installed file differs or is missing: $rel"
done < <(cd "$GUI/game" && find . -type f -print0)

for name in d2d1 dwrite winhttp bcrypt dwmapi; do
  if [[ -e $PLANTED/$name-loaded.txt ]]; then
    fail "the planted $name.dll was loaded by: $(tr -d '\r' <"$PLANTED/$name-loaded.txt" | sort -u | tr '\n' ' ')"
  fi
done
pass_or_fail
