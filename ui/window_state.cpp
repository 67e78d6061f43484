// Interaction and speed-sampling state of the wizard window, and the calls other modules make.
#include "app/setup_state.h"
#include "ui/widgets.h"
#include "ui/window.h"

UiState g_ui;
SpeedMeter g_speed;
ShownProgress g_progress;
static std::wstring s_progressFolder;

void CloseLanguageList() { g_ui.languageListOpen = false; }

void ResetSpeedSampling(const std::wstring& folder) {
  ResetSpeedMeter(g_speed);
  if (folder != s_progressFolder)
    g_progress = ShownProgress{};
  else
    ResumeProgress(g_progress);
  s_progressFolder = folder;
}

void Redraw() {
  if (g_setup.mainWindow) InvalidateRect(g_setup.mainWindow, nullptr, FALSE);
}
