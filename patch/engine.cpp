// The engine record's own operations; starting and stopping a run live with the run.
#include "patch/engine.h"

#include "support/log.h"

PatchEngine g_engine;

void PatchEngine::PostStage(int32_t code) {
  stage.exchange(code);
  if (notifyWindow && notifyMessage) PostMessageW(notifyWindow, notifyMessage, static_cast<WPARAM>(code), 0);
}

void PatchEngine::SetCurrentFile(const std::wstring& path) {
  std::lock_guard<SlimLock> lock(stateLock);
  currentFile = path;
}

void PatchEngine::SetError(const std::wstring& text, uint32_t systemError) {
  LogFailure(L"patch run failed: " + text, systemError);
  {
    std::lock_guard<SlimLock> lock(stateLock);
    if (errorMessage.empty()) errorMessage = text;
  }
  PostStage(StageFailed);
}
