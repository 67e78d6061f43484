#include "tools/release_paths.h"

#include <locale.h>

#include <cwctype>
#include <vector>

#include "support/text.h"
#include "tools/json_writer.h"

// Names the first rule the path breaks. Only called after ToSafeRelativePath has refused, so
// the decision is always the installer's; this merely explains it.
static std::string ExplainRefusal(const std::string& path) {
  if (path.empty()) return "the path is empty";
  if (path.size() > 400) return "the path is longer than 400 bytes";
  if (path[0] == '/' || path[0] == '\\') return "the path starts with a separator";
  for (unsigned char c : path) {
    if (c == ':') return "it contains a colon";
    if (c < 32) return "it contains a control character";
    if (c == '"' || c == '*' || c == '<' || c == '>' || c == '?' || c == '|')
      return std::string("it contains the character ") + static_cast<char>(c);
  }
  std::string segment;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/' && path[i] != '\\') {
      segment += path[i];
      continue;
    }
    if (segment.empty()) return "it has an empty name between separators";
    if (segment == "." || segment == "..") return "it has a name \"" + segment + "\"";
    if (segment.back() == ' ') return "the name \"" + segment + "\" ends in a blank";
    if (segment.back() == '.') return "the name \"" + segment + "\" ends in a dot";
    if (IsDeviceName(Utf8ToWide(segment))) return "\"" + segment + "\" is a reserved device name on Windows";
    segment.clear();
  }
  return "the installer's path rule refuses it";
}

std::string InstallerPathProblem(const std::string& path) {
  std::wstring converted;
  if (ToSafeRelativePath(path, converted)) return {};
  return ExplainRefusal(path);
}

std::string PublishPathProblem(const std::string& path) {
  if (!IsValidUtf8(path)) return "the name is not valid UTF-8";
  if (path.find('\\') != std::string::npos) return "a name contains a backslash, which Windows reads as a folder separator";
  return InstallerPathProblem(path);
}

std::string OwnFileProblem(const std::string& path) {
  std::wstring converted;
  if (!ToSafeRelativePath(path, converted) || !IsInstallerOwnPath(converted)) return {};
  return "the installer keeps its own files under this name";
}

std::wstring WindowsPathKey(const std::string& path) {
  // Full Unicode case mapping whatever the process locale is; ASCII only if it is missing.
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  std::wstring key = Utf8ToWide(path);
  for (wchar_t& c : key) {
    if (c == L'\\') c = L'/';
    else if (utf8) c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), utf8));
    else if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return key;
}
