#pragma once
// Files and folders for the tests, made through the system's own calls so that they never lean
// on the code under test: whole files, a scratch folder per test, and the few Unix tools that
// Wine's API cannot stand in for (symbolic links, removal of folders that hold links).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"

namespace qvtest {

// ASCII text between the two string kinds (test names, paths, server values).
inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
inline std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// True if anything (file, folder, link) is at path.
inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// True if path is a folder (or a link to one).
inline bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Size of the file at path; 0 when there is none.
inline uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(file);
  return out;
}

// Writes the whole file, creating the folders above it; a failure also fails the running test.
inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  for (size_t cut = path.find(L'\\', 3); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
    CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool ok = file != INVALID_HANDLE_VALUE &&
                  (bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) &&
                  written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!ok) ADD_FAILURE() << "cannot write " << Narrow(path);
  return ok;
}

// Bytes that do not compress (a fixed seed, so a failure can be repeated).
inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(generator() & 0xff);
  return out;
}

// A Unix path as this Wine process names it (drive Z: is the Unix root).
inline std::wstring WinePath(const std::string& unixPath) {
  std::wstring out = L"Z:";
  for (char c : unixPath) out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

// The Unix name of a Windows path under Wine; empty if it has none.
inline std::string UnixPath(const std::wstring& windowsPath) {
  using Convert = char* (*)(const wchar_t*);
  static const Convert convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* unix = convert(windowsPath.c_str());
  if (!unix) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Runs a Unix program (Wine starts ELF executables directly) and waits until it has ended.
// Wine returns no usable process record for a Unix program (the handles in it are stale
// values that must not be closed), so a shell reports the end through a file.
inline void RunUnix(const std::vector<std::string>& argv) {
  static int counter = 0;
  const std::string done = "/tmp/qv-unix-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::wstring line = L"/bin/sh -c \"\\\"$0\\\" \\\"$@\\\"; touch " + Widen(done) + L"\"";
  for (const std::string& a : argv) line += L" \"" + Widen(a) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(L"/bin/sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      << "cannot run " << argv[0];
  const std::wstring doneFile = WinePath(done);
  for (const ULONGLONG end = GetTickCount64() + 60000; !Exists(doneFile) && GetTickCount64() < end;) Sleep(1);
  ASSERT_TRUE(DeleteFileW(doneFile.c_str())) << argv[0] << " did not finish";
}

// A symbolic link made by the host system: Wine lists a linked folder as a reparse point
// (as Windows lists a junction) and a linked file as a plain file.
inline void MakeLink(const std::wstring& link, const std::wstring& target) {
  const std::string unixTarget = UnixPath(target), unixLink = UnixPath(link);
  ASSERT_FALSE(unixTarget.empty() || unixLink.empty());
  RunUnix({"/bin/ln", "-s", unixTarget, unixLink});
  ASSERT_TRUE(Exists(link)) << "no link at " << Narrow(link);
}

// A second name for an existing file, made by the host system (a hard link): both names
// share the bytes and the attributes.
inline void MakeHardLink(const std::wstring& link, const std::wstring& target) {
  RunUnix({"/bin/ln", UnixPath(target), UnixPath(link)});
  ASSERT_TRUE(Exists(link)) << "no hard link at " << Narrow(link);
}

// A new empty folder C:\qvtests\<test>-<pid>-<n> of one test, removed with everything below it
// when the object ends; links inside are removed, never followed.
class ScratchFolder {
public:
  ScratchFolder() {
    static int counter = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    name = name.substr(0, 60);  // deep paths below it stay far from MAX_PATH
    CreateDirectoryW(L"C:\\qvtests", nullptr);
    path_ = L"C:\\qvtests\\" + Widen(name) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    Remove();
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, without a trailing backslash (as an install folder is written).
  const std::wstring& path() const { return path_; }
  // The folder with a trailing backslash (as the patch engine and the layout code take it).
  std::wstring slashed() const { return path_ + L"\\"; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
  // Deletes what is below folder except links, which it neither enters nor changes; true
  // when it met none.
  static bool RemoveBelow(const std::wstring& folder) {
    bool noLinks = true;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return true;
    do {
      const std::wstring name = found.cFileName, full = folder + L"\\" + name;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        noLinks = false;
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (RemoveBelow(full)) RemoveDirectoryW(full.c_str());
        else noLinks = false;
      } else {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return noLinks;
  }
  void Remove() {
    if (!Exists(path_)) return;
    // Folder links are left to the host's rm, which removes a link without following it.
    if (RemoveBelow(path_) && RemoveDirectoryW(path_.c_str())) return;
    const std::string unix = UnixPath(path_);
    if (!unix.empty()) RunUnix({"/bin/rm", "-rf", unix});
  }
  std::wstring path_;
};

// folder opened as the root the file helpers work below (invalid if it cannot be opened).
inline FolderRoot OpenRoot(const std::wstring& folder) {
  FolderRoot root;
  static_cast<void>(FolderRootOpen(root, folder));  // a root without handle: every helper fails
  return root;
}

}  // namespace qvtest
