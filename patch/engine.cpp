#include "patch/engine.h"

#include <exception>
#include <string>

#include "app/setup_state.h"
#include "patch/run.h"
#include "support/files.h"
#include "support/migrate.h"

PatchEngine g_engine;

// Entry of the run thread: the run, then the end of the run made visible to the owner.
static void RunThread(PatchEngine* engine, bool fullVerify) {
  RunPatch(*engine, fullVerify);
  engine->running = false;
  if (engine->notifyWindow) {
    PostMessageW(engine->notifyWindow, WM_APP + 1, static_cast<WPARAM>(engine->stage.load()), 0);
  }
}

void PatchEngine::Start(bool fullVerify) {
  if (running) return;
  if (worker.joinable()) worker.join();
  notifyWindow = g_setup.mainWindow;
  cancel = false;
  running = true;
  installFolder = requestedFolder.empty() ? GetModuleDir() : requestedFolder;
  if (installFolder.back() != L'\\' && installFolder.back() != L'/') installFolder += L'\\';
  MigrateLegacyLayout(installFolder);
  {
    std::lock_guard<std::mutex> lock(stateLock);
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
    std::wstring text = SystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    if (text.empty()) text = L"Error " + std::to_wstring(ERROR_NOT_ENOUGH_MEMORY);
    SetError(text);
    running = false;
    if (notifyWindow) PostMessageW(notifyWindow, WM_APP + 1, static_cast<WPARAM>(stage.load()), 0);
  }
}

void PatchEngine::Stop() {
  cancel = true;
  if (worker.joinable()) worker.join();
}

void PatchEngine::PostStage(int32_t code) {
  stage.exchange(code);
  if (notifyWindow) PostMessageW(notifyWindow, WM_APP + 1, static_cast<WPARAM>(code), 0);
}

void PatchEngine::SetCurrentFile(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(stateLock);
  currentFile = path;
}

void PatchEngine::SetError(const std::wstring& text) {
  {
    std::lock_guard<std::mutex> lock(stateLock);
    if (errorMessage.empty()) errorMessage = text;
  }
  PostStage(StageFailed);
}
