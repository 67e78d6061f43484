#pragma once
// Every name of an installation: what the installer writes, the patch engine keeps and the
// uninstaller removes. One list, so that what is removed is exactly what was written.
// Relative paths are below the install folder and use backslashes.
#include <cstddef>
#include <cstdint>

namespace layout {

// A name put together from other names when compiled, so that each part is spelled once.
template <size_t N>
struct JoinedName {
  wchar_t text[N];
};
template <size_t... N>
consteval JoinedName<(N + ...) - sizeof...(N) + 1> JoinNames(const wchar_t (&... parts)[N]) {
  JoinedName<(N + ...) - sizeof...(N) + 1> out{};
  size_t at = 0;
  auto append = [&](const wchar_t* part) {
    while (*part) out.text[at++] = *part++;
  };
  (append(parts), ...);
  return out;
}
// A name the publisher writes (narrow) and the installer asks for (wide), spelled once.
template <size_t N>
struct AsciiName {
  char narrow[N];
  wchar_t wide[N];
  consteval AsciiName(const char (&name)[N]) : narrow{}, wide{} {
    for (size_t i = 0; i < N; ++i) {
      narrow[i] = name[i];
      wide[i] = static_cast<wchar_t>(name[i]);
    }
  }
};

// Folders of the current layout.
inline constexpr wchar_t kBinFolder[] = L"bin";
inline constexpr wchar_t kConfigFolder[] = L"config";
inline constexpr wchar_t kLogsFolder[] = L"logs";
// The folder the installer adds to a chosen folder, and its default at a drive's root.
inline constexpr wchar_t kProductFolder[] = L"Quorvel";
// What the list of installed programs and the shortcuts show.
inline constexpr wchar_t kProductName[] = L"Quorvel";

// Suffixes of a file's previous copy and of its replacement waiting to be moved in.
inline constexpr wchar_t kOldSuffix[] = L".old";
inline constexpr wchar_t kNewSuffix[] = L".new";

// The game's launcher and the mutex it holds while it runs.
inline constexpr wchar_t kLauncherExe[] = L"Quorvel.exe";
inline constexpr wchar_t kLauncherMutex[] = L"Quorvel.OrskLauncher.{3F8B2C71-9D4E-4A6B-8E15-7C2D9A0B4E63}";
// A developer's key file that keeps a launcher from replacing itself.
inline constexpr wchar_t kDevKeyFile[] = L"quorv_dev.key";

// The uninstaller copy and the installation marker, and where older installations kept them.
inline constexpr wchar_t kUninstallerName[] = L"Uninstall Quorvel.exe";
inline constexpr auto kUninstallerJoined = JoinNames(kBinFolder, L"\\", kUninstallerName);
inline constexpr const auto& kUninstaller = kUninstallerJoined.text;
inline constexpr const auto& kLegacyUninstaller = kUninstallerName;
inline constexpr wchar_t kMarkerName[] = L"quorvel.install";
inline constexpr auto kMarkerJoined = JoinNames(kBinFolder, L"\\", kMarkerName);
inline constexpr const auto& kMarker = kMarkerJoined.text;
inline constexpr const auto& kLegacyMarker = kMarkerName;
inline constexpr char kMarkerContents[] = "Quorvel";

// The patch engine's local state, its part files and the suffix of every atomic write.
inline constexpr wchar_t kPatcherIniName[] = L"patcher.ini";
inline constexpr wchar_t kPatcherCacheName[] = L"patcher_cache.dat";
inline constexpr auto kPatcherIniJoined = JoinNames(kConfigFolder, L"\\", kPatcherIniName);
inline constexpr const auto& kPatcherIni = kPatcherIniJoined.text;
inline constexpr auto kPatcherCacheJoined = JoinNames(kConfigFolder, L"\\", kPatcherCacheName);
inline constexpr const auto& kPatcherCache = kPatcherCacheJoined.text;
// The pieces each installed large file is made of, so that an update finds them unread.
inline constexpr wchar_t kPatcherPieces[] = L"config\\patcher_pieces.dat";
inline constexpr wchar_t kPartsFolder[] = L"patcher_parts";
inline constexpr wchar_t kTempSuffix[] = L".ap_tmp";
// The largest manifest.json the program downloads (and the publisher writes).
inline constexpr uint32_t kManifestLimit = 32u * 1024 * 1024;
// The step of the first piece lists, published before pieces were cut where the content says.
inline constexpr uint32_t kChunkSize = 1u << 20;

// The release on the patch server: the manifest, its signature, and each object at
// kObjectsFolder + the hash's first two characters + "/" + the hash + kObjectSuffix (also the
// suffix of an object's part file in kPartsFolder).
inline constexpr AsciiName kManifestFile{"manifest.json"};
inline constexpr AsciiName kSignatureFile{"manifest.sig"};
inline constexpr AsciiName kObjectsFolder{"files/"};
inline constexpr AsciiName kObjectSuffix{".z"};
// The game's program when the manifest names none.
inline constexpr char kDefaultGameExe[] = "Play Quorvel.exe";

// The game client's locale files, written at every install start.
inline constexpr wchar_t kLocaleName[] = L"locale.cfg";
inline constexpr wchar_t kLocaName[] = L"loca.cfg";
inline constexpr auto kLocaleJoined = JoinNames(kConfigFolder, L"\\", kLocaleName);
inline constexpr const auto& kLocaleFile = kLocaleJoined.text;
inline constexpr auto kLocaJoined = JoinNames(kConfigFolder, L"\\", kLocaName);
inline constexpr const auto& kLocaFile = kLocaJoined.text;
// Their names in the older layout, at the root.
inline constexpr const wchar_t* kLocaleFiles[] = {kLocaleName, kLocaName};

// The player's settings files, in config\ (at the root in the older layout). An uninstall that
// keeps the player's data keeps these.
inline constexpr const wchar_t* kSettingsFiles[] = {
    kLocaleName, L"tarnel.cfg",    L"config.cfg",    L"channel.inf",      L"mouse.cfg",
    kLocaName,   L"interface.cfg", L"switchbot.pkl", L"enbconvertor.ini",
};
// The patcher's own files among the older layout's root files.
inline constexpr const wchar_t* kPatcherStateFiles[] = {kPatcherIniName, kPatcherCacheName};
// Root files of the older layout that the current one drops.
inline constexpr const wchar_t* kObsoleteFiles[] = {L"log.txt", L"ErrorLog.txt", L"config.ini"};

// Program files outside the manifest that an uninstall removes besides the settings and state.
inline constexpr wchar_t kClientExe[] = L"QuorvelClient.exe";
inline constexpr auto kLauncherOld = JoinNames(kLauncherExe, kOldSuffix);
inline constexpr auto kLauncherNew = JoinNames(kLauncherExe, kNewSuffix);
inline constexpr auto kClientInBin = JoinNames(kBinFolder, L"\\", kClientExe);
inline constexpr auto kClientInBinOld = JoinNames(kBinFolder, L"\\", kClientExe, kOldSuffix);
inline constexpr const wchar_t* kProgramFiles[] = {
    kLauncherExe, kLauncherOld.text, kLauncherNew.text, kClientExe, kClientInBin.text, kClientInBinOld.text,
};
// The game's error reports: at the root in the older layout, below logs\ in the current one.
inline constexpr wchar_t kSyserrFolder[] = L"syserr";
inline constexpr auto kSyserrJoined = JoinNames(kLogsFolder, L"\\", kSyserrFolder);
inline constexpr const auto& kLogsSyserrFolder = kSyserrJoined.text;
// Folders the game fills while it runs; an uninstall removes them whole.
inline constexpr const wchar_t* kWorkingFolders[] = {kLogsSyserrFolder, kLogsFolder, kSyserrFolder, L"shadercache", L"mark", L"shop"};
// The game's data folder; an uninstall removes it once it is empty.
inline constexpr wchar_t kDataFolder[] = L"Data";
inline constexpr auto kUserDataJoined = JoinNames(kDataFolder, L"\\UserData");
// The player's own folders; an uninstall that keeps the player's data keeps them.
inline constexpr const wchar_t* kUserFolders[] = {L"screenshot", kUserDataJoined.text};

// Registry keys below HKEY_CURRENT_USER, and the shortcut name on the desktop and in the Start menu.
inline constexpr wchar_t kSetupKey[] = L"Software\\Quorvel";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";
inline constexpr wchar_t kShortcutName[] = L"Quorvel.lnk";
// Values below kSetupKey: the install folder and the wizard's language.
inline constexpr wchar_t kInstallPathValue[] = L"InstallPath";
inline constexpr wchar_t kLanguageValue[] = L"Language";
// Values of the uninstall entry.
inline constexpr wchar_t kEntryDisplayName[] = L"DisplayName";
inline constexpr wchar_t kEntryDisplayIcon[] = L"DisplayIcon";
inline constexpr wchar_t kEntryDisplayVersion[] = L"DisplayVersion";
inline constexpr wchar_t kEntryPublisher[] = L"Publisher";
inline constexpr wchar_t kEntryInstallLocation[] = L"InstallLocation";
inline constexpr wchar_t kEntryUrlInfoAbout[] = L"URLInfoAbout";
inline constexpr wchar_t kEntryUninstallString[] = L"UninstallString";
inline constexpr wchar_t kEntryNoModify[] = L"NoModify";
inline constexpr wchar_t kEntryNoRepair[] = L"NoRepair";
inline constexpr wchar_t kEntryEstimatedSize[] = L"EstimatedSize";

}  // namespace layout
