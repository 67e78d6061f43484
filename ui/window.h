#pragma once
// The wizard window: the window procedure and the few calls other modules make into it.
#include <windows.h>
#include <cstdint>
#include <string>

#include "app/setup_state.h"
#include "ui/format.h"

// The window procedure of the "QuorvelSetup" class.
LRESULT CALLBACK WizardWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The window's one timer: animation, speed samples and repaints while a run is going.
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationIntervalMs = 33;

// Shows page: clears the error line, closes the language list, places the folder box, repaints.
void ChangePage(SetupPage page);
// Install, Try again and the unattended install: starts the install and shows its page (the
// Installing page with the timer running, or the Folder page when the folder was refused).
// False when no run started; g_setup.errorText then says why.
bool BeginInstall();
// Checks g_setup.installDir for an install; false leaves exactly one message in g_setup.errorText.
bool ValidateInstallFolder();
// Bytes an install into g_setup.installDir needs (install/folder.h, GetRequiredBytes).
uint64_t RequiredBytes();
// Registers the finished install of g_setup.installDir with the wizard's options; false (nothing
// registered) leaves the reason in g_setup.errorText.
bool RegisterFinishedInstall();
// Uninstall and the unattended uninstall: starts the uninstall worker and shows the
// Uninstalling page with the timer running. False when refused; g_setup.errorText says why.
bool BeginUninstall();
// Places (or hides) the Folder page's text box for the current page and scale.
void LayoutFolderField();
// Closes the language drop-down if it is open.
void CloseLanguageList();
// Forgets the speed samples; the percentage starts from 0 again only for another folder
// (a retried or resumed install of the same folder goes on from where the last run left off).
void ResetSpeedSampling(const std::wstring& folder);
// Repaints the whole window (no-op without a window).
void Redraw();
// What a click on the control (id, value) does; the keyboard and screen readers press controls
// through it too.
void PressControl(int32_t id, int32_t value);
// Takes a new DPI: the window gets the suggested rectangle (or keeps its centre without one) and
// everything drawn, the folder box and its font follow the new scale.
void ApplyDpi(HWND window, UINT dpi, const RECT* suggested);

// Download speed and percentage of the Installing page (user-interface thread only).
extern SpeedMeter g_speed;
extern ShownProgress g_progress;
