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

#include "support/failure.h"
#include "support/files.h"
#include "support/sync.h"

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

// The outcome of one file download (and of inflating and verifying one object).
enum DownloadResult : int32_t {
  DownloadOk = 0,           // the destination holds the verified file
  DownloadNetwork = 1,      // the transfer did not complete in 3 attempts
  DownloadCorrupt = 2,      // the object did not inflate to the expected size and hash 3 times
  DownloadWriteFailed = 3,  // a local file could not be created, written or moved
  DownloadInUse = 4,        // the destination is held open by another program
  DownloadCancelled = 5,
};

// What the local cache knows of one file: the hash it had at this size and write time.
struct CacheRecord {
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;
  std::string hash;
};

// Who writes what: "owner" is the thread that calls Start and Stop (the user-interface thread in
// the wizard), and writes only while no run is going; "run" is the run thread and its workers.
struct PatchEngine {
  bool manifestOnly = false;            // owner: stop after publishing the manifest's data
  std::wstring requestedFolder;         // owner: the folder to patch; empty = the program's own
  bool installerMode = false;           // owner: the installer, not the launcher, runs this
  HWND notifyWindow = nullptr;          // owner: receives notifyMessage with each stage code
  UINT notifyMessage = 0;               // owner: the message id; 0 posts nothing
  std::atomic<uint64_t> doneBytes{0};   // run (reset by Start): progress of the current stage
  std::atomic<uint64_t> totalBytes{0};  // run (reset by Start)
  std::atomic<int32_t> doneFiles{0};    // run (reset by Start)
  std::atomic<int32_t> waitingForServer{0};  // run: transfers waiting for a server that does not answer
  std::atomic<int32_t> totalFiles{0};   // run (reset by Start)
  std::thread worker;                   // owner: the run thread
  std::atomic<bool> running{false};     // set by Start, cleared by the run thread as it ends
  std::atomic<bool> cancel{false};      // anyone: ends the run at its next check
  std::atomic<bool> pause{false};       // owner: holds transfers until cleared
  std::atomic<int32_t> stage{0};        // run: the last PatchStage posted
  std::atomic<int32_t> manifestVersion{0};  // run: the version of the manifest being applied
  std::atomic<uint64_t> listedBytes{0};     // run: the size of every file that manifest lists
  std::atomic<int32_t> spareTransfers{0};   // run: transfers the download workers leave unused, to borrow
  SlimLock stateLock;                   // guards the five fields below
  std::wstring currentFile;             // run, under stateLock: the file being worked on
  std::wstring errorMessage;            // run, under stateLock: the run's first error text
  std::wstring gameExe;                 // run, under stateLock: the manifest's game_exe
  std::vector<NewsItem> news;           // run, under stateLock
  std::unordered_map<std::string, std::wstring> links;  // run, under stateLock
  SlimLock mirrorLock;                  // guards the four fields below
  std::wstring mirrorSource;            // run: the base URL text mirrors were read from
  std::vector<std::wstring> mirrors;    // run: the patch servers, in order
  std::vector<uint8_t> mirrorFailed;    // run, under mirrorLock: servers not asked again this run
  size_t mirror = 0;                    // run, under mirrorLock: the server objects come from
  std::wstring installFolder;           // Start: the folder of the current run, ending in "\"
  FolderRoot root;                      // Start: installFolder opened, for every file act of the run
  SlimLock cacheLock;                   // guards cache while the phases' workers run
  std::unordered_map<std::wstring, CacheRecord> cache;  // run, under cacheLock: lower-case path -> record
  std::string cacheFileDigest;          // run: SHA-256 of the cache file as last read or written; empty if unknown
  bool cacheChanged = true;             // run, under cacheLock: cache differs from the file as last read or written
  size_t cacheListed = SIZE_MAX;        // run: files of the list the check found a record for; SIZE_MAX if not counted

  PatchEngine() = default;
  PatchEngine(const PatchEngine&) = delete;
  PatchEngine& operator=(const PatchEngine&) = delete;
  ~PatchEngine() { Stop(); }

  // Starts a run on its own thread unless one is running; fullVerify ignores the file cache.
  // (Defined with the run, patch/run.cpp.)
  void Start(bool fullVerify);
  // Sets cancel and joins the run thread if there is one.
  void Stop();
  // Stores the stage code and posts notifyMessage with it to notifyWindow.
  void PostStage(int32_t code);
  // Replaces currentFile under stateLock.
  void SetCurrentFile(const std::wstring& path);
  // Copies of currentFile and errorMessage, read under stateLock: what the owner may read.
  std::wstring CurrentFile();
  std::wstring ErrorMessage();
  // Keeps the player's text of the run's first failure and logs the record, then posts stage 9.
  void SetError(const Failure& failure);
  // The same for a text the manifest's checks already put in the player's words.
  void SetError(const std::wstring& text, uint32_t systemError = 0);
};

// The one engine of the process.
extern PatchEngine g_engine;
