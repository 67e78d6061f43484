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

std::wstring PatchEngine::CurrentFile() {
  std::lock_guard<SlimLock> lock(stateLock);
  return currentFile;
}

std::wstring PatchEngine::ErrorMessage() {
  std::lock_guard<SlimLock> lock(stateLock);
  return errorMessage;
}

static void KeepFirstError(PatchEngine& engine, const std::wstring& text) {
  {
    std::lock_guard<SlimLock> lock(engine.stateLock);
    if (engine.errorMessage.empty()) engine.errorMessage = text;
  }
  engine.PostStage(StageFailed);
}

void PatchEngine::SetError(const Failure& failure) {
  LogFailure(L"patch run failed", failure);
  KeepFirstError(*this, FailureText(failure));
}

void PatchEngine::SetError(const std::wstring& text, uint32_t systemError) {
  LogFailure(L"patch run failed: " + text, systemError);
  KeepFirstError(*this, text);
}
