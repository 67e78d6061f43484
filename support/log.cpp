#include "support/layout.h"
#include "support/log.h"

#include <windows.h>

#include <cwchar>
#include <mutex>

#include "support/files.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

constexpr uint64_t kRotateBytes = 1024 * 1024;

std::mutex g_logLock;
std::wstring g_logPath;
bool g_foreignLog = false;

uint64_t FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True if the file at path begins as this program begins its log: a time stamp, a process id
// and "Quorvel Setup " (a missing file counts as none). Only such a file is ever moved aside,
// so a --log= naming another program's file never renames it or what lies at its ".old".
bool BeginsAsOurLog(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  char head[64] = {};
  DWORD got = 0;
  if (!file.valid() || !ReadFile(file.get(), head, sizeof(head), &got, nullptr)) return false;
  const std::string text(head, got);
  // "2026-12-08 18:53:43.123 [1234] Quorvel Setup "
  static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd [";
  if (text.size() < sizeof(kShape) - 1) return false;
  for (size_t i = 0; i + 1 < sizeof(kShape); ++i) {
    const char c = text[i];
    if (kShape[i] == 'd' ? (c < '0' || c > '9') : c != kShape[i]) return false;
  }
  size_t i = sizeof(kShape) - 1;
  const size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i > digits && text.compare(i, 16, "] Quorvel Setup ") == 0;
}

}  // namespace

std::wstring DefaultLogPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  return std::wstring(buffer, n) + L"Quorvel Setup.log";
}

void LogOpen(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(g_logLock);
  g_logPath = path;
  if (path.empty() || FileSizeOf(path) <= kRotateBytes) return;
  const std::wstring old = path + layout::kOldSuffix;
  const bool oldIsOurs = GetFileAttributesW(old.c_str()) == INVALID_FILE_ATTRIBUTES || BeginsAsOurLog(old);
  if (BeginsAsOurLog(path) && oldIsOurs) {
    MoveFileExW(path.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
    return;
  }
  g_foreignLog = true;  // said in the log once the first line is in
}

void LogLine(const std::wstring& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond, now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()));
  std::wstring line = stamp + text;
  // One entry is one line, whatever the text held.
  for (wchar_t& c : line) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  const std::string bytes = WideToUtf8(line) + "\r\n";

  std::lock_guard<std::mutex> lock(g_logLock);
  if (g_logPath.empty()) return;
  // Opened per line, shared, so that a copy of the program running at the same time (the
  // uninstaller and its temporary copy) appends to the same file without losing lines.
  UniqueHandle file(CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return;
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  if (g_foreignLog) {
    g_foreignLog = false;
    const std::string note = WideToUtf8(std::wstring(stamp)) +
                             "the log file is past 1 MiB but was not written by this program: appending, not moving it aside\r\n";
    WriteFile(file.get(), note.data(), static_cast<DWORD>(note.size()), &written, nullptr);
  }
}

static std::wstring WindowsErrorPart(uint32_t systemError) {
  if (systemError == 0) return {};
  const std::wstring message = SystemErrorText(systemError);
  return L" (Windows error " + std::to_wstring(systemError) + (message.empty() ? L"" : L": " + message) + L")";
}

void LogFailure(const std::wstring& text, uint32_t systemError) { LogLine(text + WindowsErrorPart(systemError)); }

void LogFailure(const std::wstring& context, const Failure& failure) {
  LogLine(context + L": " + FailureText(failure) + WindowsErrorPart(failure.systemError) + L" [" +
          FailureLogText(failure) + L"]");
}
