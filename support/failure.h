#pragma once
// One record for every failure a player or an operator should learn of. Platform-free: the log
// wording and the player's text build natively too.
#include <cstdint>
#include <string>

// What went wrong, one value per reason a player or an operator tells apart.
enum class FailureKind : int32_t {
  None = 0,
  FolderInvalid,   // the install folder breaks the folder rules
  NoSpace,         // its drive has less room than the install needs
  GameRunning,     // the game's launcher is running
  NotWritable,     // the install folder cannot be created or written
  LinkInFolder,    // a link stands where a file of the install folder belongs
  NoInstallation,  // the folder holds no installation
  RegistryWrite,   // a registry key or value could not be written
  BadRate,         // --limit-rate has a value the program cannot use
  NoPublicKey,     // no release key is built in
  Manifest,        // the manifest does not say what the program needs
  Connect,         // the patch server did not deliver
  CorruptFile,     // an object did not verify
  WriteFile,       // a local file could not be made, written or moved
  FileInUse,       // another program holds a file open
  OutOfMemory,     // the run ran out of memory
  OlderVersion,    // the server offers an older version than the one installed
  Count
};

struct Failure {
  FailureKind kind = FailureKind::None;
  uint32_t systemError = 0;  // the Windows error of the failing call, taken on its thread; 0 if none
  int32_t httpStatus = 0;    // the server's answer; 0 if none
  std::wstring path;         // the file, folder or value concerned; empty if none
  std::wstring detail;       // what the player's text names where no path says it; empty if none
};

// True when the record holds a failure.
inline bool Failed(const Failure& failure) { return failure.kind != FailureKind::None; }
// The English wording of kind for the log; the same for every language.
const wchar_t* FailureWording(FailureKind kind);
// Wording, path and HTTP status in one line for the log (the Windows error is the log's to add).
std::wstring FailureLogText(const Failure& failure);
// The text the player reads for failure, in the current installer language.
std::wstring FailureText(const Failure& failure);
