#pragma once
// Every name of an installation: what the installer writes, the patch engine keeps and the
// uninstaller removes. One list, so that what is removed is exactly what was written.
// Relative paths are below the install folder and use backslashes.
#include <cstdint>

namespace layout {

// Folders of the current layout.
inline constexpr wchar_t kBinFolder[] = L"bin";
inline constexpr wchar_t kConfigFolder[] = L"config";
inline constexpr wchar_t kLogsFolder[] = L"logs";

// The game's launcher and the mutex it holds while it runs.
inline constexpr wchar_t kLauncherExe[] = L"Quorvel.exe";
inline constexpr wchar_t kLauncherMutex[] = L"Quorvel.OrskLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}";
// A developer's key file that keeps a launcher from replacing itself.
inline constexpr wchar_t kDevKeyFile[] = L"quorv_dev.key";

// The uninstaller copy and the installation marker, and where older installations kept them.
inline constexpr wchar_t kUninstallerName[] = L"Uninstall Quorvel.exe";
inline constexpr wchar_t kUninstaller[] = L"bin\\Uninstall Quorvel.exe";
inline constexpr wchar_t kLegacyUninstaller[] = L"Uninstall Quorvel.exe";
inline constexpr wchar_t kMarker[] = L"bin\\quorvel.install";
inline constexpr wchar_t kLegacyMarker[] = L"quorvel.install";
inline constexpr char kMarkerContents[] = "Quorvel";

// The patch engine's local state, its part files and the suffix of every atomic write.
inline constexpr wchar_t kPatcherIni[] = L"config\\patcher.ini";
inline constexpr wchar_t kPatcherCache[] = L"config\\patcher_cache.dat";
// The pieces each installed large file is made of, so that an update finds them unread.
inline constexpr wchar_t kPatcherPieces[] = L"config\\patcher_pieces.dat";
inline constexpr wchar_t kPartsFolder[] = L"patcher_parts";
inline constexpr wchar_t kTempSuffix[] = L".ap_tmp";
// The largest manifest.json the program downloads (and the publisher writes).
inline constexpr uint32_t kManifestLimit = 32u * 1024 * 1024;
// The step of the first piece lists, published before pieces were cut where the content says.
inline constexpr uint32_t kChunkSize = 1u << 20;

// The game client's locale files, written at every install start.
inline constexpr wchar_t kLocaleFile[] = L"config\\locale.cfg";
inline constexpr wchar_t kLocaFile[] = L"config\\loca.cfg";
// Their names in the older layout, at the root.
inline constexpr const wchar_t* kLocaleFiles[] = {L"locale.cfg", L"loca.cfg"};

// The player's settings files, in config\ (at the root in the older layout). An uninstall that
// keeps the player's data keeps these.
inline constexpr const wchar_t* kSettingsFiles[] = {
    L"locale.cfg", L"tarnel.cfg",    L"config.cfg",    L"channel.inf",      L"mouse.cfg",
    L"loca.cfg",   L"interface.cfg", L"switchbot.pkl", L"enbconvertor.ini",
};
// The patcher's own files among the older layout's root files.
inline constexpr const wchar_t* kPatcherStateFiles[] = {L"patcher.ini", L"patcher_cache.dat"};
// Root files of the older layout that the current one drops.
inline constexpr const wchar_t* kObsoleteFiles[] = {L"log.txt", L"ErrorLog.txt", L"config.ini"};

// Program files outside the manifest that an uninstall removes besides the settings and state.
inline constexpr const wchar_t* kProgramFiles[] = {
    L"Quorvel.exe", L"Quorvel.exe.old", L"Quorvel.exe.new", L"QuorvelClient.exe",
    L"bin\\QuorvelClient.exe", L"bin\\QuorvelClient.exe.old",
};
// Folders the game fills while it runs; an uninstall removes them whole.
inline constexpr const wchar_t* kWorkingFolders[] = {L"logs\\syserr", L"logs", L"syserr", L"shadercache", L"mark", L"shop"};
// The player's own folders; an uninstall that keeps the player's data keeps them.
inline constexpr const wchar_t* kUserFolders[] = {L"screenshot", L"Data\\UserData"};

// Registry keys below HKEY_CURRENT_USER, and the shortcut name on the desktop and in the Start menu.
inline constexpr wchar_t kSetupKey[] = L"Software\\Quorvel";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";
inline constexpr wchar_t kShortcutName[] = L"Quorvel.lnk";

}  // namespace layout
