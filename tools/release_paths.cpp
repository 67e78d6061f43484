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
    segment.clear();
  }
  return "the installer's path rule refuses it";
}

std::string InstallerPathProblem(const std::string& path) {
  std::wstring converted;
  if (ToSafeRelativePath(path, converted)) return {};
  return ExplainRefusal(path);
}

static bool IsReservedDeviceName(std::string name) {
  // Windows maps these names to devices whatever extension follows (and ignores trailing blanks).
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* reserved : kNames)
    if (name == reserved) return true;
  if (name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0))
    return name[3] >= '0' && name[3] <= '9';
  return false;
}

std::string PublishPathProblem(const std::string& path) {
  if (!IsValidUtf8(path)) return "the name is not valid UTF-8";
  if (path.find('\\') != std::string::npos) return "a name contains a backslash, which Windows reads as a folder separator";
  std::string problem = InstallerPathProblem(path);
  if (!problem.empty()) return problem;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('/', start);
    std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (IsReservedDeviceName(name)) return "\"" + name + "\" is a reserved device name on Windows";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
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
