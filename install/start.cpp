#include "install/start.h"

#include <windows.h>
// shlobj.h without the shell automation interfaces, whose Folder clashes with the page name.
#define NO_SHDOCVW_GUIDS
#include <shlobj.h>

#include "app/languages.h"
#include "app/setup_state.h"
#include "install/folder.h"
#include "patch/engine.h"
#include "support/files.h"
#include "support/migrate.h"
#include "ui/window.h"

static constexpr wchar_t kLauncherMutex[] = L"Quorvel.OrskLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}";
static constexpr UINT_PTR kAnimationTimer = 1;

std::string LocaleLine(int languageIndex) {
  return std::to_string(InstallerLanguageCodePage(languageIndex)) + " " + InstallerLanguageCode(languageIndex);
}

bool IsLauncherRunning() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kLauncherMutex);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

// Folder, marker and locale files; false at the first step that fails.
static bool PrepareFolder(const std::wstring& folder, const std::string& localeLine) {
  int created = SHCreateDirectoryExW(nullptr, g_setup.installDir.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_FILE_EXISTS && created != ERROR_ALREADY_EXISTS) return false;
  MigrateLegacyLayout(folder);
  if (!CreateDirectoryW((folder + L"bin").c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  return WriteFileAtomic(folder + L"bin\\quorvel.install", "Quorvel") &&
         WriteFileAtomic(folder + L"config\\locale.cfg", localeLine) &&
         WriteFileAtomic(folder + L"config\\loca.cfg", localeLine);
}

bool StartInstall() {
  g_setup.installDir = NormalizeInstallPath(g_setup.installDir);
  g_setup.installFailed = false;
  g_setup.cancelRequested = false;

  if (!ValidateInstallFolder()) {
    CloseLanguageList();
    g_setup.errorText.clear();
    g_setup.page = Folder;
    LayoutFolderField();
    Redraw();
    ValidateInstallFolder();
    Redraw();
    return false;
  }
  if (IsLauncherRunning()) {
    g_setup.errorText = InstallerString(ErrorGameRunning);
    Redraw();
    return false;
  }

  const std::wstring folder = g_setup.installDir + L"\\";
  if (!PrepareFolder(folder, LocaleLine(g_installerLanguage.load()))) {
    g_setup.errorText = InstallerString(ErrorNotWritable);
    Redraw();
    return false;
  }

  g_setup.errorText.clear();
  g_setup.page = Installing;
  CloseLanguageList();
  ResetSpeedSampling();
  LayoutFolderField();
  g_engine.requestedFolder = folder;
  g_engine.installerMode = true;
  g_engine.Start(g_setup.existingInstall);
  if (g_setup.mainWindow) SetTimer(g_setup.mainWindow, kAnimationTimer, 33, nullptr);
  Redraw();
  return true;
}
