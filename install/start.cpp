#include "install/start.h"

#include <windows.h>
#include <shlobj.h>

#include "app/languages.h"
#include "app/setup_state.h"  // kMsgPatchStage
#include "install/folder.h"
#include "patch/engine.h"
#include "support/files.h"
#include "support/layout.h"
#include "support/log.h"
#include "support/migrate.h"
#include "support/text.h"


std::string LocaleLine(int languageIndex) {
  return std::to_string(InstallerLanguageCodePage(languageIndex)) + " " + InstallerLanguageCode(languageIndex);
}

bool IsLauncherRunning() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, layout::kLauncherMutex);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

// Folder (ending in a backslash), marker and locale files; the first step that fails says why:
// NotWritable, or LinkInFolder with the path below the folder where a link stood (nothing is
// written through one).
static Failure PrepareFolder(const std::wstring& folder, const std::string& localeLine) {
  const Failure notWritable{FailureKind::NotWritable, 0, 0, folder.substr(0, folder.size() - 1)};
  const int created = SHCreateDirectoryExW(nullptr, notWritable.path.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_FILE_EXISTS && created != ERROR_ALREADY_EXISTS)
    return {FailureKind::NotWritable, static_cast<uint32_t>(created), 0, notWritable.path};
  // Opened once: the folder's own files go through this handle, never its name again.
  FolderRoot root;
  if (!FolderRootOpen(root, folder)) return {FailureKind::NotWritable, GetLastError(), 0, notWritable.path};
  MigrateLegacyLayout(root);
  // A link at bin is named by the first file that cannot be written through it.
  if (!EnsureFoldersBelow(root, folder + layout::kBinFolder + L"\\")) {
    const DWORD error = GetLastError();
    if (IsLinkFreeByName(root, folder + layout::kBinFolder)) return {FailureKind::NotWritable, error, 0, notWritable.path};
  }
  const std::pair<const wchar_t*, std::string> files[] = {
      {layout::kMarker, layout::kMarkerContents}, {layout::kLocaleFile, localeLine}, {layout::kLocaFile, localeLine}};
  for (const auto& [name, contents] : files) {
    const std::wstring path = folder + name;
    if (WriteFileAtomicBelow(root, path, contents)) continue;
    const DWORD error = GetLastError();
    if (!IsLinkFreeByName(root, path) || !IsLinkFreeByName(root, path + layout::kTempSuffix))
      return {FailureKind::LinkInFolder, error, 0, name};
    return {FailureKind::NotWritable, error, 0, notWritable.path};
  }
  return {};
}

Failure StartInstall(const InstallRequest& request) {
  LogLine(L"install into " + request.folder + L" (language " + Utf8ToWide(InstallerLanguageCode(g_installerLanguage.load())) +
          L", desktop shortcut " + (request.desktopShortcut ? L"yes" : L"no") +
          L", start menu shortcut " + (request.startMenuShortcut ? L"yes" : L"no") +
          L", repair " + (request.repair ? L"yes" : L"no") + L")");
  Failure failure = CheckInstallFolder(request.folder, request.requiredBytes);
  if (!Failed(failure) && IsLauncherRunning()) failure = {FailureKind::GameRunning};
  const std::wstring folder = request.folder + L"\\";
  if (!Failed(failure)) failure = PrepareFolder(folder, LocaleLine(g_installerLanguage.load()));
  if (Failed(failure)) {
    LogFailure(L"install not started", failure);
    return failure;
  }

  g_engine.requestedFolder = folder;
  g_engine.installerMode = true;
  g_engine.notifyWindow = request.notifyWindow;
  g_engine.notifyMessage = kMsgPatchStage;
  g_engine.pause = false;  // every run starts unpaused, whatever the last one was left at
  g_engine.Start(request.repair);
  return {};
}
