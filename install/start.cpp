#include "install/start.h"

#include <windows.h>
#include <shlobj.h>

#include "app/languages.h"
#include "app/setup_state.h"
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

// Folder, marker and locale files; false at the first step that fails, with failedPath set
// to the path below the folder when a link stood there (nothing is written through one).
static bool PrepareFolder(const std::wstring& folder, const std::string& localeLine, std::wstring& failedPath) {
  int created = SHCreateDirectoryExW(nullptr, g_setup.installDir.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_FILE_EXISTS && created != ERROR_ALREADY_EXISTS) return false;
  // Opened once: the folder's own files go through this handle, never its name again.
  FolderRoot root;
  if (!FolderRootOpen(root, folder)) return false;
  MigrateLegacyLayout(root);
  // A link at bin is named by the first file that cannot be written through it.
  if (!EnsureFoldersBelow(root, folder + layout::kBinFolder + L"\\") && IsLinkFreeByName(root, folder + layout::kBinFolder))
    return false;
  const std::pair<const wchar_t*, std::string> files[] = {
      {layout::kMarker, layout::kMarkerContents}, {layout::kLocaleFile, localeLine}, {layout::kLocaFile, localeLine}};
  for (const auto& [name, contents] : files) {
    const std::wstring path = folder + name;
    if (WriteFileAtomicBelow(root, path, contents)) continue;
    if (!IsLinkFreeByName(root, path) || !IsLinkFreeByName(root, path + layout::kTempSuffix)) failedPath = name;
    return false;
  }
  return true;
}

InstallStartResult StartInstall() {
  g_setup.installDir = NormalizeInstallPath(g_setup.installDir);
  g_setup.installFailed = false;
  g_setup.cancelRequested = false;

  LogLine(L"install into " + g_setup.installDir + L" (language " + Utf8ToWide(InstallerLanguageCode(g_installerLanguage.load())) +
          L", desktop shortcut " + (g_setup.optDesktopShortcut && !g_setup.noShortcuts ? L"yes" : L"no") +
          L", start menu shortcut " + (g_setup.optStartMenuShortcut && !g_setup.noShortcuts ? L"yes" : L"no") +
          L", repair " + (g_setup.existingInstall ? L"yes" : L"no") + L")");
  if (!ValidateInstallFolder()) {
    LogLine(L"install not started: " + g_setup.errorText);
    return InstallStartResult::FolderRefused;
  }
  if (IsLauncherRunning()) {
    g_setup.errorText = InstallerString(ErrorGameRunning);
    LogLine(L"install not started: " + g_setup.errorText);
    return InstallStartResult::GameRunning;
  }

  const std::wstring folder = g_setup.installDir + L"\\";
  std::wstring linked;
  if (!PrepareFolder(folder, LocaleLine(g_installerLanguage.load()), linked)) {
    const DWORD error = GetLastError();
    g_setup.errorText = linked.empty() ? std::wstring(InstallerString(ErrorNotWritable))
                                       : std::wstring(LauncherString(LauncherText::ErrWriteFile)) + L" " + linked;
    LogFailure(L"install not started: " + g_setup.errorText + L" " + g_setup.installDir, error);
    return InstallStartResult::NotWritable;
  }

  g_setup.errorText.clear();
  g_engine.requestedFolder = folder;
  g_engine.installerMode = true;
  g_engine.notifyWindow = g_setup.mainWindow;
  g_engine.notifyMessage = kMsgPatchStage;
  g_engine.pause = false;  // every run starts unpaused, whatever the last one was left at
  g_engine.Start(g_setup.existingInstall);
  return InstallStartResult::Started;
}
