/* Small Windows helper of the end-to-end scripts, built by lib.sh with the cross compiler.
 *   e2e_helper hold NAME READY STOP   create and own the named mutex NAME (waiting while another
 *                                     process owns it), create the file READY, keep the mutex
 *                                     until the file STOP exists or READY is gone (at most 15
 *                                     minutes)
 *   e2e_helper holdfile PATH READY STOP   the same with the file PATH open and shared with nobody
 *   e2e_helper run COMMAND_LINE EXIT  start COMMAND_LINE as Windows starts an uninstall command
 *                                     (CreateProcess with no application name), wait, and write
 *                                     its exit code to the file EXIT
 * The exit code goes to a file because under Wine the shell has seen 137 (SIGKILL) for runs
 * that had ended, instead of their Windows exit code.
 */
#include <windows.h>
#include <stdio.h>

static int Hold(const wchar_t* name, const wchar_t* ready, const wchar_t* stop, int file) {
  HANDLE mutex = file ? CreateFileW(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) : CreateMutexW(NULL, FALSE, name);
  if (!mutex || mutex == INVALID_HANDLE_VALUE) return 2;
  DWORD r = file ? WAIT_OBJECT_0 : WaitForSingleObject(mutex, INFINITE);
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return 2;
  HANDLE f = CreateFileW(ready, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 2;
  CloseHandle(f);
  // A script that ended before this loop saw the stop file has removed its folder, READY with
  // it: without that check the hold would keep the next script waiting for 15 minutes.
  for (int i = 0; i < 15 * 60 * 20; ++i) {
    if (GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES) break;
    if (GetFileAttributesW(ready) == INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  if (!file) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}

static int Run(const wchar_t* commandLine, const wchar_t* exitFile) {
  wchar_t line[4096];
  if (wcslen(commandLine) >= 4096) return 2;
  wcscpy(line, commandLine);
  STARTUPINFOW startup = {0};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {0};
  if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 2;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HANDLE f = CreateFileW(exitFile, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 2;
  char text[16];
  DWORD written = 0;
  WriteFile(f, text, (DWORD)snprintf(text, sizeof text, "%lu\n", (unsigned long)code), &written, NULL);
  CloseHandle(f);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && wcscmp(argv[1], L"hold") == 0) return Hold(argv[2], argv[3], argv[4], 0);
  if (argc == 5 && wcscmp(argv[1], L"holdfile") == 0) return Hold(argv[2], argv[3], argv[4], 1);
  if (argc == 4 && wcscmp(argv[1], L"run") == 0) return Run(argv[2], argv[3]);
  fwprintf(stderr, L"usage: e2e_helper hold NAME READY STOP | holdfile PATH READY STOP | run COMMAND_LINE EXIT\n");
  return 2;
}
