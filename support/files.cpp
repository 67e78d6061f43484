// The program's own path, folder creation, and whole-file reads and atomic writes.
#include "support/files.h"

#include <windows.h>

#include <vector>

#include "support/handles.h"
#include "support/layout.h"

std::wstring GetModulePath() {
  // A longer name than 32767 units cannot exist; stop doubling there.
  for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
    std::vector<wchar_t> buffer(size, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return std::wstring();
    if (n < size) return std::wstring(buffer.data(), n);
  }
  return std::wstring();
}

std::wstring FolderOfPath(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".\\";
  return path.substr(0, slash + 1);
}

std::wstring GetModuleDir() { return FolderOfPath(GetModulePath()); }

bool EnsureParentFolders(const std::wstring& path) {
  std::size_t slash = path.rfind(L'\\');
  if (path.empty() || slash == std::wstring::npos) return true;
  std::wstring parent = path.substr(0, slash);
  DWORD attributes = GetFileAttributesW(parent.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!EnsureParentFolders(parent)) return false;
  return CreateDirectoryW(parent.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 64 * 1024 * 1024) return false;
  DWORD expected = static_cast<DWORD>(size.QuadPart);
  out.resize(expected);
  if (expected == 0) return true;
  DWORD read = 0;
  return ReadFile(file.get(), out.data(), expected, &read, nullptr) && read == expected;
}

static bool WriteAll(HANDLE file, const std::string& contents) {
  // One call for any file this program writes; larger contents go in 1 GiB pieces.
  const char* p = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written != chunk) return false;
    p += chunk;
    left -= chunk;
  }
  return true;
}

bool WriteFileAtomic(const std::wstring& path, const std::string& contents) {
  std::wstring temp = path + layout::kTempSuffix;
  UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  // The bytes must be on disk before the name points at them, or a crash could leave a
  // target that reads back as zeros.
  bool written = WriteAll(file.get(), contents) && FlushFileBuffers(file.get());
  file.reset();
  if (!written || !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

std::wstring SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (n != 0 && buffer) text.assign(buffer, n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}
