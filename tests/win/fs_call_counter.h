#pragma once
// Counts the file-system calls this process makes, by pointing its own import table entries for
// them at counting wrappers. Nothing in the program changes: the count sees exactly the calls
// the code under test makes (tests, and the benchmark's driver).
//
// Counted: every call that names a file or folder or asks the file system for work on a file:
// CreateFileW, GetFileAttributesW, GetFileAttributesExW, SetFileAttributesW, CreateDirectoryW,
// RemoveDirectoryW, MoveFileExW, DeleteFileW, FlushFileBuffers, FindFirstFileW, FindNextFileW,
// GetFileSizeEx, GetFileInformationByHandle, GetFileInformationByHandleEx,
// SetFileInformationByHandle, SetEndOfFile, GetPrivateProfileIntW, WritePrivateProfileStringW,
// GetFinalPathNameByHandleW, and the native NtCreateFile and NtSetInformationFile. Not counted:
// ReadFile, WriteFile, SetFilePointerEx and CloseHandle, which move data through a handle that
// an open already paid for.
#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace fscount {

inline std::atomic<uint64_t> g_calls{0};
constexpr int kKinds = 22;
inline std::atomic<uint64_t> g_byKind[kKinds + 1];
inline const char* g_kindNames[kKinds + 1];

template <typename Fn, int Id>
struct Hook;
template <typename R, typename... A, int Id>
struct Hook<R (*)(A...), Id> {
  static inline R (*original)(A...) = nullptr;
  static R Call(A... args) {
    g_calls.fetch_add(1, std::memory_order_relaxed);
    g_byKind[Id].fetch_add(1, std::memory_order_relaxed);
    return original(args...);
  }
};

struct Slot {
  const char* dll;
  const char* name;
  int id;
  void** original;
  void* wrapper;
};

#define QV_FS_HOOK_IN(dll, fn, id) \
  {dll, #fn, id, reinterpret_cast<void**>(&Hook<decltype(&fn), id>::original), reinterpret_cast<void*>(&Hook<decltype(&fn), id>::Call)}
#define QV_FS_HOOK(fn, id) QV_FS_HOOK_IN("kernel32.dll", fn, id)

// Points this executable's imports of the calls above at the counters; once per process.
// Returns how many imports were redirected (0 if the import table could not be read).
inline int Install() {
  static const int installed = [] {
    Slot slots[] = {
        QV_FS_HOOK(CreateFileW, 1),        QV_FS_HOOK(GetFileAttributesW, 2),
        QV_FS_HOOK(GetFileAttributesExW, 3), QV_FS_HOOK(SetFileAttributesW, 4),
        QV_FS_HOOK(CreateDirectoryW, 5),   QV_FS_HOOK(RemoveDirectoryW, 6),
        QV_FS_HOOK(MoveFileExW, 7),        QV_FS_HOOK(DeleteFileW, 8),
        QV_FS_HOOK(FlushFileBuffers, 9),   QV_FS_HOOK(FindFirstFileW, 10),
        QV_FS_HOOK(FindNextFileW, 11),     QV_FS_HOOK(GetFileSizeEx, 12),
        QV_FS_HOOK(GetFileInformationByHandle, 13), QV_FS_HOOK(SetEndOfFile, 14),
        QV_FS_HOOK(GetPrivateProfileIntW, 15), QV_FS_HOOK(WritePrivateProfileStringW, 16),
        QV_FS_HOOK(GetFileInformationByHandleEx, 17), QV_FS_HOOK(SetFileInformationByHandle, 18),
        QV_FS_HOOK(GetFinalPathNameByHandleW, 19),
        QV_FS_HOOK_IN("ntdll.dll", NtCreateFile, 20), QV_FS_HOOK_IN("ntdll.dll", NtSetInformationFile, 21),
    };
    for (const Slot& slot : slots) g_kindNames[slot.id] = slot.name;
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return 0;
    int redirected = 0;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
      const char* dll = reinterpret_cast<const char*>(base + desc->Name);
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
      auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++addresses) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
        for (const Slot& slot : slots) {
          if (_stricmp(slot.dll, dll) != 0 || std::strcmp(slot.name, name) != 0) continue;
          DWORD old = 0;
          VirtualProtect(&addresses->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
          *slot.original = reinterpret_cast<void*>(addresses->u1.Function);
          addresses->u1.Function = reinterpret_cast<ULONG_PTR>(slot.wrapper);
          VirtualProtect(&addresses->u1.Function, sizeof(void*), old, &old);
          ++redirected;
        }
      }
    }
    return redirected;
  }();
  return installed;
}

#undef QV_FS_HOOK
#undef QV_FS_HOOK_IN

// Calls counted since the process started counting.
inline uint64_t Calls() { return g_calls.load(); }
// Calls of the kind with that number since counting began, and its name (null if none).
inline uint64_t CallsOfKind(int kind) { return g_byKind[kind].load(); }
inline const char* KindName(int kind) { return kind > 0 && kind <= kKinds ? g_kindNames[kind] : nullptr; }

}  // namespace fscount
