#include "patch/run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "app/languages.h"
#include "patch/download.h"
#include "patch/engine.h"
#include "patch/manifest.h"
#include "patch/phases.h"
#include "patch/state.h"
#include "support/files.h"
#include "support/json.h"
#include "support/sha256.h"

// A launcher replaced by an earlier run left itself behind as <exe>.old; it may still be
// closing, so the removal is tried for a few seconds.
static void RemoveLauncherBackup() {
  const std::wstring backup = GetModulePath() + L".old";
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (GetFileAttributesW(backup.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (DeleteFileW(backup.c_str())) return;
    Sleep(250);
  }
}

static std::wstring WriteFailedText(const std::wstring& detail) {
  return std::wstring(LauncherString(LauncherText::ErrWriteFile)) + L" " + detail;
}

// Launcher mode: replaces the running executable when the manifest carries another one.
// True when the run goes on with the file phases.
static bool UpdateLauncher(PatchEngine& engine, const JsonValue& launcherValue) {
  FileEntry entry;
  if (!ParseFileEntry(launcherValue, entry)) {
    engine.SetError(LauncherString(LauncherText::ErrManifest));
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
  const std::wstring fresh = exe + L".new";
  const std::wstring backup = exe + L".old";
  const DownloadResult result = DownloadFile(engine, entry, fresh);
  if (result == DownloadCancelled) return false;
  if (result != DownloadOk) {
    engine.SetError(WriteFailedText(entry.widePath));
    return false;
  }
  // A running executable can be renamed but not overwritten: step aside, then move in.
  if (!MoveFileExW(exe.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    engine.SetError(WriteFailedText(SystemErrorText(GetLastError())));
    return false;
  }
  if (MoveFileExW(fresh.c_str(), exe.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    engine.PostStage(StageLauncherUpdated);
    return false;
  }
  // Report why the new launcher could not move in, not how the way back went.
  const DWORD error = GetLastError();
  MoveFileExW(backup.c_str(), exe.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  engine.SetError(WriteFailedText(SystemErrorText(error)));
  return false;
}

void RunPatch(PatchEngine& engine, bool fullVerify) {
  if (!engine.installerMode) RemoveLauncherBackup();
  if (!PublicKeyConfigured()) {
    engine.SetError(NoPublicKeyText());
    return;
  }
  engine.PostStage(StageConnecting);

  std::string bytes;
  std::wstring error;
  switch (FetchSignedManifest(engine, bytes, error)) {
    case ManifestFetch::Cancelled: return;
    case ManifestFetch::Failed: engine.SetError(error); return;
    case ManifestFetch::Ok: break;
  }
  JsonValue manifest;
  if (!ParseManifest(bytes, manifest, error) || !CheckManifestVersion(engine, manifest, error)) {
    engine.SetError(error);
    return;
  }
  PublishManifestData(engine, manifest);
  if (engine.manifestOnly) {
    engine.PostStage(StageDone);
    return;
  }

  std::vector<FileEntry> files;
  if (!ReadManifestFiles(manifest, files, error)) {
    engine.SetError(error);
    return;
  }
  const auto launcher = manifest.object.find("launcher");
  if (launcher != manifest.object.end()) {
    if (engine.installerMode) {
      files.emplace_back();
      if (!ParseFileEntry(launcher->second, files.back())) {
        engine.SetError(LauncherString(LauncherText::ErrManifest));
        return;
      }
    } else if (GetFileAttributesW((engine.installFolder + L"quorv_dev.key").c_str()) ==
               INVALID_FILE_ATTRIBUTES) {
      if (!UpdateLauncher(engine, launcher->second)) return;
    }
  }
  if (engine.cancel) return;
  RunFilePhases(engine, files, JsonGetMember(manifest, "delete"), ManifestVersion(manifest),
                fullVerify);
}
