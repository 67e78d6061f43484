#!/usr/bin/env bash
# A bcrypt.dll planted beside the program (a Downloads folder) must never be loaded.
# Wine is told to prefer a native bcrypt.dll, as Windows would take one from the program's
# folder; the program's hashing and system-library tests then run from a folder that holds a
# fake bcrypt.dll whose DllMain leaves a trace file. The control: a small program that imports
# bcrypt implicitly does load the fake from the same place, so the check can fail.
# Needs QV_BUILD_DIR (the Windows build folder, with qv_tests.exe); uses WINEPREFIX if set.
set -euo pipefail
: "${QV_BUILD_DIR:?QV_BUILD_DIR must name the Windows build folder}"
BUILD=$(cd "$QV_BUILD_DIR" && pwd)
export WINEPREFIX=${WINEPREFIX:-$BUILD/../wineprefix}
export WINEDEBUG=-all WINEARCH=win64
CC=x86_64-w64-mingw32-gcc
[[ -f $BUILD/qv_tests.exe ]] || { echo "no $BUILD/qv_tests.exe: build the windows preset first" >&2; exit 1; }
command -v "$CC" >/dev/null || { echo "$CC is missing" >&2; exit 1; }

WORK=$(mktemp -d "$BUILD/dll-planting.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
TRACE=$WORK/bcrypt-loaded.txt

# The fake: appends the loading program's path to a trace file beside itself.
cat > "$WORK/fake_bcrypt.c" <<'C'
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char trace[MAX_PATH], program[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, trace, MAX_PATH);
    while (n > 0 && trace[n - 1] != '\\') n--;
    lstrcpyA(trace + n, "bcrypt-loaded.txt");
    DWORD len = GetModuleFileNameA(NULL, program, MAX_PATH);
    HANDLE f = CreateFileA(trace, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written;
      WriteFile(f, program, len, &written, NULL);
      WriteFile(f, "\r\n", 2, &written, NULL);
      CloseHandle(f);
    }
  }
  return TRUE;
}
__declspec(dllexport) LONG BCryptOpenAlgorithmProvider(void** alg, const WCHAR* id, const WCHAR* impl, ULONG flags) {
  (void)id; (void)impl; (void)flags;
  *alg = NULL;
  return (LONG)0xC0000001;  /* STATUS_UNSUCCESSFUL */
}
C
cat > "$WORK/implicit.c" <<'C'
#include <windows.h>
#include <bcrypt.h>
#include <stdio.h>
int main(void) {
  BCRYPT_ALG_HANDLE alg = NULL;
  NTSTATUS status = BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, NULL, 0);
  printf("BCryptOpenAlgorithmProvider: 0x%08lx\n", (unsigned long)status);
  return 0;
}
C
"$CC" -shared -o "$WORK/bcrypt.dll" "$WORK/fake_bcrypt.c"
"$CC" -o "$WORK/implicit.exe" "$WORK/implicit.c" -lbcrypt
cp "$BUILD/qv_tests.exe" "$WORK/"

planted_wine() {
  WINEDLLOVERRIDES="mscoree=;mshtml=;bcrypt=n,b" timeout 300 wine "$@" </dev/null
}

echo "== the program's tests, run beside the planted bcrypt.dll"
status=0
planted_wine "$WORK/qv_tests.exe" --gtest_filter='Sha256*:SystemLibrary*' >"$WORK/tests.log" 2>&1 || status=$?
cat "$WORK/tests.log"
if [[ $status -ne 0 ]] || ! grep -q '\[  PASSED  \]' "$WORK/tests.log"; then
  echo "FAIL: the tests did not pass beside the planted DLL (exit $status)"; exit 1
fi
if ! grep -q 'Sha256File\.' "$WORK/tests.log" || ! grep -q 'SystemLibrary\.' "$WORK/tests.log"; then
  echo "FAIL: the hashing or system-library tests did not run"; exit 1
fi
if [[ -e $TRACE ]]; then
  echo "FAIL: the planted bcrypt.dll was loaded by:"; cat "$TRACE"; exit 1
fi

echo "== control: a program importing bcrypt implicitly"
planted_wine "$WORK/implicit.exe" || true
if [[ ! -e $TRACE ]] || ! grep -qi 'implicit.exe' "$TRACE"; then
  echo "FAIL: the planted DLL was not loaded by the control program either; the check above proves nothing"
  exit 1
fi
echo "control loaded the planted DLL as expected: $(tr -d '\r' < "$TRACE")"
echo "PASS: no planted bcrypt.dll reached the program"
