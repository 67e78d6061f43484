// Interaction and speed-sampling state of the wizard window, and the calls other modules make.
#include "app/setup_state.h"
#include "ui/widgets.h"
#include "ui/window.h"

UiState g_ui;
SpeedState g_speed;

void CloseLanguageList() { g_ui.languageListOpen = false; }

void ResetSpeedSampling() {
  g_speed.speed = 0.0f;
  g_speed.lastSampleBytes = 0;
  g_speed.lastSampleTick = GetTickCount64();
}

void Redraw() {
  if (g_setup.mainWindow) InvalidateRect(g_setup.mainWindow, nullptr, FALSE);
}
