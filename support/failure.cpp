#include "support/failure.h"

#include "app/languages.h"

namespace {

struct KindRow {
  FailureKind kind;
  const wchar_t* wording;  // for the log: English, lower case, no full stop
};

// One row per kind, in the enum's order.
constexpr KindRow kKinds[] = {
    {FailureKind::None, L"no failure"},
    {FailureKind::FolderInvalid, L"the install folder breaks the folder rules"},
    {FailureKind::NoSpace, L"the drive has too little free space"},
    {FailureKind::GameRunning, L"the game's launcher is running"},
    {FailureKind::NotWritable, L"the install folder cannot be created or written"},
    {FailureKind::LinkInFolder, L"a link stands where a file of the install folder belongs"},
    {FailureKind::NoInstallation, L"the folder holds no installation"},
    {FailureKind::RegistryWrite, L"a registry value could not be written"},
    {FailureKind::BadRate, L"--limit-rate has a value the program cannot use"},
    {FailureKind::NoPublicKey, L"no release public key is built in"},
    {FailureKind::Manifest, L"the manifest could not be used"},
    {FailureKind::Connect, L"the patch server did not deliver"},
    {FailureKind::CorruptFile, L"an object did not verify"},
    {FailureKind::WriteFile, L"a local file could not be written"},
    {FailureKind::FileInUse, L"a file is held open by another program"},
    {FailureKind::OutOfMemory, L"the run ran out of memory"},
    {FailureKind::OlderVersion, L"the server offers an older version than the installed one"},
};
constexpr bool RowsInOrder() {
  for (size_t i = 0; i < sizeof(kKinds) / sizeof(kKinds[0]); ++i)
    if (kKinds[i].kind != static_cast<FailureKind>(i)) return false;
  return sizeof(kKinds) / sizeof(kKinds[0]) == static_cast<size_t>(FailureKind::Count);
}
static_assert(RowsInOrder(), "one wording per failure kind, in the enum's order");

// The launcher text for the kinds whose message names a file after a colon.
bool NamedText(FailureKind kind, LauncherText& field) {
  switch (kind) {
    case FailureKind::LinkInFolder:
    case FailureKind::WriteFile: field = LauncherText::ErrWriteFile; return true;
    case FailureKind::CorruptFile: field = LauncherText::ErrCorruptFile; return true;
    case FailureKind::FileInUse: field = LauncherText::ErrFileInUse; return true;
    case FailureKind::Connect: field = LauncherText::ErrConnect; return true;
    default: return false;
  }
}

}  // namespace

const wchar_t* FailureWording(FailureKind kind) {
  const auto index = static_cast<size_t>(kind);
  if (index >= sizeof(kKinds) / sizeof(kKinds[0])) return L"an unknown failure";
  return kKinds[index].wording;
}

std::wstring FailureLogText(const Failure& failure) {
  std::wstring text = FailureWording(failure.kind);
  if (!failure.path.empty()) text += L": " + failure.path;
  if (failure.httpStatus != 0) text += L" (HTTP status " + std::to_wstring(failure.httpStatus) + L")";
  return text;
}

std::wstring FailureText(const Failure& failure) {
  const std::wstring& name = failure.path.empty() ? failure.detail : failure.path;
  LauncherText field{};
  if (NamedText(failure.kind, field)) return std::wstring(LauncherString(field)) + L" " + name;
  switch (failure.kind) {
    case FailureKind::None: return {};
    case FailureKind::FolderInvalid: return InstallerString(ErrorFolderInvalid);
    case FailureKind::NoSpace: return InstallerString(ErrorNoSpace);
    case FailureKind::GameRunning: return InstallerString(ErrorGameRunning);
    case FailureKind::NotWritable: return InstallerString(ErrorNotWritable);
    case FailureKind::NoInstallation: return InstallerString(ErrorNoInstallation);
    case FailureKind::BadRate: return InstallerString(ErrorLimitRate);
    case FailureKind::NoPublicKey: return LauncherString(LauncherText::ErrNoPublicKey);
    case FailureKind::OlderVersion: return LauncherString(LauncherText::ErrOlderVersion);
    case FailureKind::Manifest:
      return name.empty() ? std::wstring(LauncherString(LauncherText::ErrManifest))
                          : std::wstring(LauncherString(LauncherText::ErrManifest)) + L" " + name;
    case FailureKind::OutOfMemory:
      return name.empty() ? L"Error " + std::to_wstring(failure.systemError) : name;
    default: return FailureWording(failure.kind);
  }
}
