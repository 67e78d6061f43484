#pragma once
// The patch engine: one long-lived record that brings an install folder up to the
// build the patch server publishes, on a thread of its own.
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

enum PatchStage : int32_t {
  StageConnecting = 1,
  StageVerifying = 2,
  StageChecking = 3,
  StageDownloading = 4,
  StageApplying = 5,
  StageUpdatingLauncher = 6,
  StageLauncherUpdated = 7,
  StageDone = 8,
  StageFailed = 9,
};

// One news item of the signed manifest.
struct NewsItem {
  std::wstring date;
  std::wstring title;
  std::wstring text;
  std::wstring url;
  std::wstring type;
  std::wstring author;
  std::wstring image;
  std::map<std::string, std::wstring> titles;  // language code -> translated title
  std::map<std::string, std::wstring> texts;   // language code -> translated text
};

// What the local cache knows of one file: the hash it had at this size and write time.
struct CacheRecord {
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;
  std::string hash;
};

struct PatchEngine {
  bool manifestOnly = false;
  std::wstring requestedFolder;
  bool installerMode = false;
  std::atomic<uint64_t> doneBytes{0};
  std::atomic<uint64_t> totalBytes{0};
  std::atomic<int32_t> doneFiles{0};
  std::atomic<int32_t> totalFiles{0};
  HWND notifyWindow = nullptr;
  std::thread worker;
  std::atomic<bool> running{false};
  std::atomic<bool> cancel{false};
  std::atomic<bool> pause{false};
  std::atomic<int32_t> stage{0};
  std::atomic<int32_t> manifestVersion{0};
  std::mutex stateLock;
  std::wstring currentFile;
  std::wstring errorMessage;
  std::wstring gameExe;
  std::vector<NewsItem> news;
  std::unordered_map<std::string, std::wstring> links;
  std::wstring installFolder;
  std::mutex cacheLock;
  std::unordered_map<std::wstring, CacheRecord> cache;

  PatchEngine() = default;
  PatchEngine(const PatchEngine&) = delete;
  PatchEngine& operator=(const PatchEngine&) = delete;
  ~PatchEngine() { Stop(); }

  // Starts a run on its own thread unless one is running; fullVerify ignores the file cache.
  void Start(bool fullVerify);
  // Sets cancel and joins the run thread if there is one.
  void Stop();
  // Stores the stage code and posts WM_APP + 1 with it to notifyWindow.
  void PostStage(int32_t code);
  // Replaces currentFile under stateLock.
  void SetCurrentFile(const std::wstring& path);
  // Keeps the first error text of the run, then posts stage 9.
  void SetError(const std::wstring& text);
};

// The one engine of the process.
extern PatchEngine g_engine;
