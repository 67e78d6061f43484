#include "patch/run.h"

#include <windows.h>

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "patch/download.h"
#include "patch/engine.h"
#include "patch/manifest.h"
#include "patch/phases.h"
#include "patch/state.h"
#include "support/files.h"
#include "support/json.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/migrate.h"
#include "support/sha256.h"
#include "support/wait.h"

// A launcher replaced by an earlier run left itself behind as <exe>.old; it may still be
// closing, so the removal is tried for a few seconds.
static void RemoveLauncherBackup(PatchEngine& engine) {
  const std::wstring backup = GetModulePath() + layout::kOldSuffix;
  FolderRoot outside;
  const FolderRoot& root = RootFor(engine.root, backup, outside);
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (GetFileAttributesW(backup.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (DeleteFileBelow(root, backup)) return;
    PauseUnlessCancelled(250, engine.cancel);
  }
}

// A move that failed, named by the system's wording of its error, taken at once.
static Failure MoveFailure() {
  const DWORD error = GetLastError();
  return {FailureKind::WriteFile, error, 0, {}, SystemErrorText(error)};
}

// Launcher mode: replaces the running executable when the manifest carries another one.
// True when the run goes on with the file phases.
static bool UpdateLauncher(PatchEngine& engine, const JsonValue& launcherValue) {
  FileEntry entry;
  if (!ParseFileEntry(launcherValue, entry)) {
    engine.SetError({FailureKind::Manifest});
    return false;
  }
  const std::wstring exe = GetModulePath();
  const std::string current = Sha256FileHex(exe);
  if (current.empty() || current == entry.hash) return true;

  engine.PostStage(StageUpdatingLauncher);
  engine.SetCurrentFile(entry.widePath);
  engine.totalBytes = entry.compressedSize;
  engine.doneBytes = 0;
  engine.totalFiles = 1;
  engine.doneFiles = 0;
  const std::wstring fresh = exe + layout::kNewSuffix;
  const std::wstring backup = exe + layout::kOldSuffix;
  const DownloadResult result = DownloadFile(engine, entry, fresh);
  if (result == DownloadCancelled) return false;
  if (result != DownloadOk) {
    engine.SetError({FailureKind::WriteFile, 0, 0, entry.widePath});
    return false;
  }
  // A running executable can be renamed but not overwritten: step aside, then move in.
  FolderRoot outside;
  const FolderRoot& root = RootFor(engine.root, exe, outside);
  if (!MoveBelow(root, exe, backup, MOVEFILE_REPLACE_EXISTING)) {
    engine.SetError(MoveFailure());
    return false;
  }
  if (MoveBelow(root, fresh, exe, MOVEFILE_REPLACE_EXISTING)) {
    engine.PostStage(StageLauncherUpdated);
    return false;
  }
  // Report why the new launcher could not move in, not how the way back went.
  const Failure failure = MoveFailure();
  MoveBelow(root, backup, exe, MOVEFILE_REPLACE_EXISTING);
  engine.SetError(failure);
  return false;
}

void RunPatch(PatchEngine& engine, bool fullVerify) {
  if (!engine.installerMode) RemoveLauncherBackup(engine);
  if (!PublicKeyConfigured()) {
    engine.SetError({FailureKind::NoPublicKey});
    return;
  }
  engine.PostStage(StageConnecting);

  // No server may take this installation below what it has installed, or below what an
  // earlier run took even if it never finished: a server held back cannot freeze it.
  ManifestRule rule;
  int32_t installed = 0, accepted = 0;
  const bool haveInstalled = ReadInstalledVersion(engine.root, installed);
  const bool haveAccepted = ReadAcceptedVersion(engine.root, accepted);
  rule.haveFloor = haveInstalled || haveAccepted;
  rule.floorInstalled = haveInstalled && (!haveAccepted || installed >= accepted);
  rule.floor = rule.floorInstalled ? installed : accepted;
  rule.now = UnixNow();

  std::wstring error;
  CompactManifest manifest;
  switch (FetchCurrentManifest(engine, rule, manifest, error)) {
    case ManifestFetch::Cancelled: return;
    case ManifestFetch::Failed: engine.SetError(error); return;
    case ManifestFetch::Ok: break;
  }
  if (const Failure older = CheckManifestVersion(engine, manifest.members); Failed(older)) {
    engine.SetError(older);
    return;
  }
  // Recorded only when it raises the floor, so that an unchanged run writes nothing.
  const int32_t offered = ManifestVersion(manifest.members);
  if ((!rule.haveFloor || offered > rule.floor) && !WriteAcceptedVersion(engine.root, offered)) {
    engine.SetError({FailureKind::WriteFile, GetLastError(), 0, layout::kPatcherIni});
    return;
  }
  PublishManifestData(engine, manifest.members);
  if (engine.manifestOnly) {
    engine.PostStage(StageDone);
    return;
  }

  FileList files;
  if (!ReadManifestFiles(manifest, files, error)) {
    engine.SetError(error);
    return;
  }
  uint64_t listed = 0;
  for (const FileList::Item& item : files.items) listed += item.size;
  engine.listedBytes = listed;
  const auto launcher = manifest.members.object.find("launcher");
  if (launcher != manifest.members.object.end()) {
    if (engine.installerMode) {
      FileEntry entry;
      if (!ParseFileEntry(launcher->second, entry)) {
        engine.SetError({FailureKind::Manifest});
        return;
      }
      files.Add(entry);
    } else if (GetFileAttributesW((engine.installFolder + layout::kDevKeyFile).c_str()) ==
               INVALID_FILE_ATTRIBUTES) {
      if (!UpdateLauncher(engine, launcher->second)) return;
    }
  }
  // The file phases need only the file list, the delete list and the version.
  const std::vector<std::string> deleteList = ManifestDeleteList(manifest.members);
  const int32_t version = ManifestVersion(manifest.members);
  manifest = CompactManifest();
  if (!CheckManifestPaths(files, deleteList, error)) {
    engine.SetError(error);
    return;
  }
  if (engine.cancel) return;
  RunFilePhases(engine, files, deleteList, version, fullVerify);
}

// Entry of the run thread: the run, then the end of the run made visible to the owner.
// A run that ran out of memory, named by the system's wording.
static Failure OutOfMemory() {
  return {FailureKind::OutOfMemory, ERROR_NOT_ENOUGH_MEMORY, 0, {}, SystemErrorText(ERROR_NOT_ENOUGH_MEMORY)};
}

static void RunThread(PatchEngine* engine, bool fullVerify) {
  // Running out of memory anywhere in the run fails the run; it never ends the process.
  try {
    RunPatch(*engine, fullVerify);
  } catch (const std::bad_alloc&) {
    engine->cancel = true;  // workers still running stop at their next check
    try {
      engine->SetError(OutOfMemory());
    } catch (const std::bad_alloc&) {
      engine->PostStage(StageFailed);
    }
  }
  FolderRootClose(engine->root);
  engine->running = false;
  if (engine->notifyWindow && engine->notifyMessage) {
    PostMessageW(engine->notifyWindow, engine->notifyMessage, static_cast<WPARAM>(engine->stage.load()), 0);
  }
}

void PatchEngine::Start(bool fullVerify) {
  if (running) return;
  if (worker.joinable()) worker.join();
  cancel = false;
  running = true;
  {
    // Every run asks every server again, from the first: the list is read anew on first use.
    std::lock_guard<SlimLock> lock(mirrorLock);
    mirrorSource.clear();
    mirrors.clear();
    mirrorFailed.clear();
    mirror = 0;
  }
  installFolder = requestedFolder.empty() ? GetModuleDir() : requestedFolder;
  if (installFolder.back() != L'\\' && installFolder.back() != L'/') installFolder += L'\\';
  // Opened once: every act of the run below it goes through this handle, never the name again.
  if (!FolderRootOpen(root, installFolder)) LogFailure(L"the install folder could not be opened: " + installFolder, GetLastError());
  MigrateLegacyLayout(root);
  {
    std::lock_guard<SlimLock> lock(stateLock);
    errorMessage.clear();
    currentFile.clear();
  }
  totalBytes = 0;
  doneBytes = 0;
  totalFiles = 0;
  doneFiles = 0;
  try {
    worker = std::thread(RunThread, this, fullVerify);
  } catch (const std::exception&) {
    // Without a thread there is no run: report it like any failed run rather than leave
    // the owner waiting for messages that never come.
    SetError(OutOfMemory());
    FolderRootClose(root);
    running = false;
    if (notifyWindow && notifyMessage) PostMessageW(notifyWindow, notifyMessage, static_cast<WPARAM>(stage.load()), 0);
  }
}

void PatchEngine::Stop() {
  cancel = true;
  if (worker.joinable()) worker.join();
}
