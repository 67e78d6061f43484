#pragma once
// DLLs that Windows does not always take from the system folder (bcrypt, winhttp,
// d2d1, dwrite, dwmapi, ...) are loaded here, from the system folder only, so that a
// DLL planted beside the executable (a Downloads folder) is never loaded.
#include <windows.h>

// Returns the module loaded from the system folder only, or nullptr. The module stays loaded
// for the life of the process; later calls return the same handle.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Returns the named export of a system DLL cast to F, or nullptr if the DLL or export is missing.
template <class F>
F SystemProc(const wchar_t* dll, const char* name) {
  HMODULE m = LoadSystemLibrary(dll);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}
