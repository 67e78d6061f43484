#pragma once
// The uninstaller runs from a temporary copy that deletes itself when it ends.
#include <windows.h>

// Copies the running program to the temporary folder and starts it as the uninstall
// wizard, forwarding --silent and --keep=; argv/argc are the split command line.
void RelaunchForUninstall(int argc, wchar_t** argv);
// Starts a hidden command processor that deletes the running executable once it has ended.
void ScheduleSelfDelete();
