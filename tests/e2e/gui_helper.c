/* Small Windows helper for the wizard's screen tests.
 *   gui_helper agent FOLDER                      stays in the test's Wine desktop and carries out
 *                                                the command files FOLDER\*.cmd in name order:
 *                                                one item a line, UTF-8; "run EXITFILE PROGRAM
 *                                                ARGS..." (not waited for), "window OUTFILE",
 *                                                "access OUTFILE", "dpi DPI", "sync OUTFILE",
 *                                                "env NAME VALUE" (for what it starts later), "quit"
 *   gui_helper run EXITFILE PROGRAM [ARGS...]   runs PROGRAM, waits, writes its exit code
 *   gui_helper window OUTFILE                    describes the wizard window (class QuorvelSetup)
 *   gui_helper access OUTFILE                    the wizard's accessible tree as a screen reader
 *                                                reads it (MSAA): one line per element,
 *                                                "role|states|name|value|default action|K"
 *                                                (K: focusable); an element that is an object of
 *                                                its own (the language list) is followed by its
 *                                                children, each line starting with ">";
 *                                                OUTFILE.ms gets the mean and longest time one
 *                                                element took, in milliseconds
 *   (agent only) events OUTFILE                  from now on appends a line per event the
 *                                                wizard raises for readers: "alert|role|name",
 *                                                "focus|role|name", "namechange|role|name"
 *   gui_helper dpi DPI                           posts WM_DPICHANGED (no suggested rectangle)
 *   gui_helper hold NAME READYFILE STOPFILE      holds a named mutex until STOPFILE appears or
 *                                                READYFILE goes
 *   gui_helper kill PID                          ends one process started by "run"
 * Files are written whole and then renamed, so a reader never sees half a line. */
#define COBJMACROS
#include <windows.h>
#include <oleacc.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static void write_result(const wchar_t* path, const char* text) {
  wchar_t tmp[MAX_PATH + 8];
  swprintf(tmp, MAX_PATH + 8, L"%ls.tmp", path);
  HANDLE f = CreateFileW(tmp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, text, (DWORD)strlen(text), &written, NULL);
  CloseHandle(f);
  MoveFileExW(tmp, path, MOVEFILE_REPLACE_EXISTING);
}

/* Appends one argument to a command line, quoted as the system's splitter expects. */
static void append_argument(wchar_t* line, size_t size, const wchar_t* arg) {
  size_t n = wcslen(line);
#define EMIT(c) do { if (n + 2 < size) line[n++] = (c); } while (0)
  if (n) EMIT(L' ');
  EMIT(L'"');
  for (const wchar_t* p = arg;;) {
    size_t slashes = 0;
    while (*p == L'\\') { ++slashes; ++p; }
    if (*p == 0) {
      for (size_t i = 0; i < slashes * 2; ++i) EMIT(L'\\');
      break;
    }
    if (*p == L'"') {
      for (size_t i = 0; i < slashes * 2 + 1; ++i) EMIT(L'\\');
    } else {
      for (size_t i = 0; i < slashes; ++i) EMIT(L'\\');
    }
    EMIT(*p++);
  }
  EMIT(L'"');
#undef EMIT
  line[n] = 0;
}

struct waiter {
  HANDLE process;
  wchar_t exitFile[MAX_PATH];
};

static DWORD WINAPI wait_for_exit(void* arg) {
  struct waiter* w = arg;
  WaitForSingleObject(w->process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(w->process, &code);
  char text[32];
  snprintf(text, sizeof text, "%lu\n", (unsigned long)code);
  write_result(w->exitFile, text);
  CloseHandle(w->process);
  free(w);
  return 0;
}

/* Starts argv[1] with the arguments argv[1..argc-1]; the exit code is written to exitFile
 * (and the process id to exitFile.pid) by a thread that waits for it. */
static HANDLE start_program(const wchar_t* exitFile, int argc, wchar_t** argv) {
  static wchar_t line[32768];
  line[0] = 0;
  for (int i = 0; i < argc; ++i) append_argument(line, 32768, argv[i]);
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(argv[0], line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    write_result(exitFile, "start-failed\n");
    return NULL;
  }
  CloseHandle(pi.hThread);
  wchar_t pidFile[MAX_PATH + 8];
  char text[32];
  swprintf(pidFile, MAX_PATH + 8, L"%ls.pid", exitFile);
  snprintf(text, sizeof text, "%lu\n", (unsigned long)pi.dwProcessId);
  write_result(pidFile, text);
  struct waiter* w = calloc(1, sizeof *w);
  w->process = pi.hProcess;
  wcsncpy(w->exitFile, exitFile, MAX_PATH - 1);
  return CreateThread(NULL, 0, wait_for_exit, w, 0, NULL);
}

static int run(int argc, wchar_t** argv) {
  HANDLE waiter = start_program(argv[2], argc - 3, argv + 3);
  if (!waiter) return 1;
  WaitForSingleObject(waiter, INFINITE);
  return 0;
}

static int window(const wchar_t* out) {
  HWND w = FindWindowW(L"QuorvelSetup", NULL);
  if (!w) {
    write_result(out, "none\n");
    return 0;
  }
  RECT r;
  GetWindowRect(w, &r);
  wchar_t title[256] = {0};
  GetWindowTextW(w, title, 256);
  char utf8[1024] = {0};
  WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, NULL, NULL);
  char text[1400];
  snprintf(text, sizeof text, "visible=%d iconic=%d foreground=%d rect=%ld,%ld,%ld,%ld title=%s\n",
           IsWindowVisible(w) ? 1 : 0, IsIconic(w) ? 1 : 0, GetForegroundWindow() == w ? 1 : 0,
           r.left, r.top, r.right, r.bottom, utf8);
  write_result(out, text);
  return 0;
}

static const char* role_word(long role) {
  switch (role) {
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_STATICTEXT: return "text";
    case ROLE_SYSTEM_TEXT: return "edit";
    case ROLE_SYSTEM_PUSHBUTTON: return "button";
    case ROLE_SYSTEM_CHECKBUTTON: return "checkbox";
    case ROLE_SYSTEM_COMBOBOX: return "combobox";
    case ROLE_SYSTEM_LISTITEM: return "listitem";
    case ROLE_SYSTEM_PROGRESSBAR: return "progressbar";
    case ROLE_SYSTEM_ALERT: return "alert";
    case ROLE_SYSTEM_DIALOG: return "dialog";
    case ROLE_SYSTEM_LIST: return "list";
    default: return "other";
  }
}

/* Appends a BSTR as UTF-8 (nothing for NULL) and frees it. */
static void put_bstr(char* line, size_t size, BSTR text) {
  if (!text) return;
  size_t n = strlen(line);
  WideCharToMultiByte(CP_UTF8, 0, text, -1, line + n, (int)(size - n), NULL, NULL);
  SysFreeString(text);
}

/* How long the reader waited per element of the last tree read (its five calls), for the
 * benchmark: the sum and the longest, in performance counter ticks. */
static LONGLONG s_elementTicks, s_longestTicks;
static long s_elements;

/* One line for the element (child 0: the object itself). */
static void describe(IAccessible* acc, long child, char* line, size_t size) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  VARIANT id;
  VariantInit(&id);
  id.vt = VT_I4;
  id.lVal = child;
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  IAccessible_get_accRole(acc, id, &role);
  IAccessible_get_accState(acc, id, &state);
  long s = state.vt == VT_I4 ? state.lVal : 0;
  char states[16] = "";
  if (s & STATE_SYSTEM_FOCUSED) strcat(states, "F");
  if (s & STATE_SYSTEM_UNAVAILABLE) strcat(states, "U");
  if (s & STATE_SYSTEM_CHECKED) strcat(states, "C");
  if (s & STATE_SYSTEM_DEFAULT) strcat(states, "D");
  if (s & STATE_SYSTEM_SELECTED) strcat(states, "S");
  if (s & STATE_SYSTEM_EXPANDED) strcat(states, "E");
  snprintf(line, size, "%s|%s|", role_word(role.vt == VT_I4 ? role.lVal : -1), states);
  BSTR text = NULL;
  IAccessible_get_accName(acc, id, &text);
  put_bstr(line, size, text);
  strncat(line, "|", size - strlen(line) - 1);
  text = NULL;
  IAccessible_get_accValue(acc, id, &text);
  put_bstr(line, size, text);
  strncat(line, "|", size - strlen(line) - 1);
  text = NULL;
  IAccessible_get_accDefaultAction(acc, id, &text);
  put_bstr(line, size, text);
  strncat(line, (s & STATE_SYSTEM_FOCUSABLE) ? "|K\n" : "|\n", size - strlen(line) - 1);
  QueryPerformanceCounter(&end);
  s_elementTicks += end.QuadPart - start.QuadPart;
  if (end.QuadPart - start.QuadPart > s_longestTicks) s_longestTicks = end.QuadPart - start.QuadPart;
  ++s_elements;
}

/* Spelled out: which library's IID_IAccessible the linker takes depends on their order. */
static const IID kAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

/* Appends the lines of acc's children to text, each prefixed; children that are objects of
 * their own are followed by theirs. */
static void describe_children(IAccessible* acc, char* text, size_t size, const char* prefix, int depth) {
  long count = 0;
  IAccessible_get_accChildCount(acc, &count);
  for (long i = 1; i <= count; ++i) {
    char line[2048];
    strcpy(line, prefix);
    describe(acc, i, line + strlen(prefix), sizeof line - strlen(prefix));
    strncat(text, line, size - strlen(text) - 1);
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = i;
    IDispatch* child = NULL;
    if (depth < 3 && IAccessible_get_accChild(acc, id, &child) == S_OK && child) {
      IAccessible* inner = NULL;
      if (SUCCEEDED(IDispatch_QueryInterface(child, &kAccessible, (void**)&inner)) && inner) {
        char deeper[8];
        snprintf(deeper, sizeof deeper, "%s>", prefix);
        describe_children(inner, text, size, deeper, depth + 1);
        IAccessible_Release(inner);
      }
      IDispatch_Release(child);
    }
  }
}

static int access_tree(const wchar_t* out) {
  HWND w = FindWindowW(L"QuorvelSetup", NULL);
  IAccessible* acc = NULL;
  if (!w || FAILED(AccessibleObjectFromWindow(w, (DWORD)OBJID_CLIENT, &kAccessible, (void**)&acc)) || !acc) {
    write_result(out, "none\n");
    return 0;
  }
  static char text[65536];
  text[0] = 0;
  s_elementTicks = s_longestTicks = 0;
  s_elements = 0;
  char line[2048];
  describe(acc, CHILDID_SELF, line, sizeof line);
  strncat(text, line, sizeof text - strlen(text) - 1);
  describe_children(acc, text, sizeof text, "", 0);
  IAccessible_Release(acc);
  LARGE_INTEGER hz;
  QueryPerformanceFrequency(&hz);
  char timing[64];
  snprintf(timing, sizeof timing, "%.1f %.1f\n", 1000.0 * s_elementTicks / hz.QuadPart / s_elements,
           1000.0 * s_longestTicks / hz.QuadPart);
  wchar_t timingFile[MAX_PATH];
  _snwprintf(timingFile, MAX_PATH, L"%ls.ms", out);
  timingFile[MAX_PATH - 1] = 0;
  write_result(timingFile, timing);
  write_result(out, text);
  return 0;
}

/* The reader's side of the wizard's events: each is resolved to its element as a reader does
 * (AccessibleObjectFromEvent) and appended to the log as one line. */
static wchar_t s_eventLog[MAX_PATH];

static void CALLBACK on_event(HWINEVENTHOOK hook, DWORD event, HWND w, LONG object, LONG child, DWORD thread,
                              DWORD time) {
  (void)hook; (void)thread; (void)time;
  wchar_t cls[64] = {0};
  if (!w || !GetClassNameW(w, cls, 64) || wcscmp(cls, L"QuorvelSetup") != 0) return;
  const char* word = event == EVENT_SYSTEM_ALERT ? "alert" : event == EVENT_OBJECT_FOCUS ? "focus" : "namechange";
  IAccessible* acc = NULL;
  VARIANT id;
  VariantInit(&id);
  if (FAILED(AccessibleObjectFromEvent(w, object, child, &acc, &id)) || !acc) return;
  char line[2048];
  snprintf(line, sizeof line, "%s|", word);
  VARIANT role;
  VariantInit(&role);
  IAccessible_get_accRole(acc, id, &role);
  strncat(line, role_word(role.vt == VT_I4 ? role.lVal : -1), sizeof line - strlen(line) - 1);
  strncat(line, "|", sizeof line - strlen(line) - 1);
  BSTR name = NULL;
  IAccessible_get_accName(acc, id, &name);
  put_bstr(line, sizeof line, name);
  strncat(line, "\n", sizeof line - strlen(line) - 1);
  IAccessible_Release(acc);
  HANDLE f = CreateFileW(s_eventLog, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, line, (DWORD)strlen(line), &written, NULL);
  CloseHandle(f);
}

static void hook_events(const wchar_t* out) {
  wcsncpy(s_eventLog, out, MAX_PATH - 1);
  HANDLE f = CreateFileW(out, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, NULL, on_event, 0, 0, WINEVENT_OUTOFCONTEXT);
  SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, NULL, on_event, 0, 0, WINEVENT_OUTOFCONTEXT);
  SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, NULL, on_event, 0, 0, WINEVENT_OUTOFCONTEXT);
}

/* What Windows sends when the window moves to a monitor of another scale. */
static int post_dpi(const wchar_t* dpi) {
  HWND w = FindWindowW(L"QuorvelSetup", NULL);
  if (!w) return 1;
  WORD value = (WORD)wcstoul(dpi, NULL, 10);
  return PostMessageW(w, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(value, value), 0) ? 0 : 1;
}

static int hold(const wchar_t* name, const wchar_t* ready, const wchar_t* stop) {
  HANDLE m = CreateMutexW(NULL, FALSE, name);
  if (!m) return 1;
  DWORD r = WaitForSingleObject(m, INFINITE);
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return 1;
  write_result(ready, "held\n");
  // Also ends when READY is gone (the script removed its folder) and after 15 minutes, so that
  // a script that ended without the stop file keeps no other test waiting.
  for (int i = 0; i < 15 * 60 * 10; ++i) {
    if (GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES) break;
    if (GetFileAttributesW(ready) == INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  ReleaseMutex(m);
  CloseHandle(m);
  return 0;
}

static int kill_process(const wchar_t* pid) {
  HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, (DWORD)wcstoul(pid, NULL, 10));
  if (!p) return 1;
  BOOL ok = TerminateProcess(p, 99);
  CloseHandle(p);
  return ok ? 0 : 1;
}

/* Answers once the wizard's thread has taken in what was sent to it before: the first reply
 * means it has read the input events that were waiting, the second that it has handled them. */
static int sync_window(const wchar_t* out) {
  HWND w = FindWindowW(L"QuorvelSetup", NULL);
  DWORD_PTR result;
  for (int i = 0; i < 2 && w; ++i) SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
  write_result(out, w ? "ok\n" : "none\n");
  return 0;
}

static int compare_names(const void* a, const void* b) {
  return wcscmp((const wchar_t*)a, (const wchar_t*)b);
}

static int agent(const wchar_t* folder) {
  static wchar_t names[256][MAX_PATH];
  CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  // Woken as soon as a command file arrives; the time-out only covers a missed notification.
  HANDLE change = FindFirstChangeNotificationW(folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  for (;;) {
    wchar_t pattern[MAX_PATH];
    swprintf(pattern, MAX_PATH, L"%ls\\*.cmd", folder);
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(pattern, &fd);
    int count = 0;
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (count < 256) wcsncpy(names[count++], fd.cFileName, MAX_PATH - 1);
      } while (FindNextFileW(find, &fd));
      FindClose(find);
    }
    qsort(names, count, sizeof names[0], compare_names);
    for (int i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH];
      swprintf(path, MAX_PATH, L"%ls\\%ls", folder, names[i]);
      HANDLE f = CreateFileW(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
      if (f == INVALID_HANDLE_VALUE) continue;
      static char bytes[65536];
      DWORD got = 0;
      ReadFile(f, bytes, sizeof bytes - 1, &got, NULL);
      CloseHandle(f);
      DeleteFileW(path);
      bytes[got] = 0;
      static wchar_t text[65536];
      int n = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, text, 65536);
      if (n <= 0) continue;
      wchar_t* items[64];
      int argc = 0;
      for (wchar_t* p = text; *p && argc < 64;) {
        items[argc++] = p;
        wchar_t* end = wcschr(p, L'\n');
        if (!end) break;
        *end = 0;
        if (end > p && end[-1] == L'\r') end[-1] = 0;
        p = end + 1;
      }
      if (argc >= 1 && wcscmp(items[0], L"quit") == 0) return 0;
      if (argc >= 3 && wcscmp(items[0], L"run") == 0) {
        HANDLE waiter = start_program(items[1], argc - 2, items + 2);
        if (waiter) CloseHandle(waiter);
      } else if (argc == 3 && wcscmp(items[0], L"env") == 0) {
        SetEnvironmentVariableW(items[1], items[2]);
      } else if (argc == 2 && wcscmp(items[0], L"window") == 0) {
        window(items[1]);
      } else if (argc == 2 && wcscmp(items[0], L"access") == 0) {
        access_tree(items[1]);
      } else if (argc == 2 && wcscmp(items[0], L"dpi") == 0) {
        post_dpi(items[1]);
      } else if (argc == 2 && wcscmp(items[0], L"sync") == 0) {
        sync_window(items[1]);
      } else if (argc == 2 && wcscmp(items[0], L"events") == 0) {
        hook_events(items[1]);
      }
    }
    /* Woken by a new command file or by a message (out-of-context event hooks are called from
     * this thread's message loop); the time-out only covers a missed notification. */
    const DWORD woke = change == INVALID_HANDLE_VALUE
                           ? MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT)
                           : MsgWaitForMultipleObjects(1, &change, FALSE, 200, QS_ALLINPUT);
    if (change != INVALID_HANDLE_VALUE && woke == WAIT_OBJECT_0) FindNextChangeNotification(change);
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && wcscmp(argv[1], L"agent") == 0) return agent(argv[2]);
  if (argc == 3 && wcscmp(argv[1], L"kill") == 0) return kill_process(argv[2]);
  if (argc >= 4 && wcscmp(argv[1], L"run") == 0) return run(argc, argv);
  if (argc == 3 && wcscmp(argv[1], L"window") == 0) return window(argv[2]);
  if (argc == 3 && wcscmp(argv[1], L"access") == 0) {
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    return access_tree(argv[2]);
  }
  if (argc == 3 && wcscmp(argv[1], L"dpi") == 0) return post_dpi(argv[2]);
  if (argc == 5 && wcscmp(argv[1], L"hold") == 0) return hold(argv[2], argv[3], argv[4]);
  fwprintf(stderr, L"usage: gui_helper agent FOLDER | run EXITFILE PROGRAM [ARGS...] | window OUTFILE | hold NAME READY STOP | kill PID\n");
  return 2;
}
