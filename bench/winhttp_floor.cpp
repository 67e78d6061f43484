// The platform's floor for fetching objects under Wine: a minimal WinHTTP program that GETs
// every object of a list, 4 at once.
//   winhttp_floor.exe [--close] [--write=FOLDER [--replace]] HOST PORT PATH_PREFIX LIST
// LIST holds one object hash per line; each is fetched as PATH_PREFIX + "files/" + the first two
// characters + "/" + hash + ".z".
//   (no --write)  the bodies are thrown away.
//   --write       each LIST line is "HASH<TAB>PATH" (UTF-8, forward slashes); every object is
//                 fetched once, inflated with zlib as it arrives and written to FOLDER\PATH for
//                 each of its paths, the file's folders made first.
//   --replace     with --write: into PATH + ".tmp", flushed (FlushFileBuffers) and moved onto PATH
//                 (MoveFileExW, MOVEFILE_REPLACE_EXISTING), the way an installer keeps a half-written
//                 file from ever standing at the final name.
//   --close       the patch engine's network settings: every request on a connection handle of
//                 its own, with keep-alive disabled (WINHTTP_DISABLE_KEEP_ALIVE); without it each
//                 worker keeps one connection alive for all its requests.
// Prints "objects N bytes B files F written W" (W: bytes written after inflating); exit code 1
// if any request, inflate or write failed.
#include <windows.h>
#include <winhttp.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

static std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

namespace {

struct Object {
  std::wstring url;
  std::vector<std::wstring> paths;  // full destinations; empty when bodies are thrown away
};

struct Options {
  bool close = false;
  bool replace = false;
  std::wstring folder;  // empty: discard
  int transfers = 4;    // at once, against one server
};

// Folders known to exist, shared by the workers: each is made (or found) once.
class Folders {
public:
  bool Ensure(const std::wstring& file) {
    const size_t last = file.rfind(L'\\');
    if (last == std::wstring::npos) return true;
    const std::wstring folder = file.substr(0, last);
    if (Known(folder)) return true;
    for (size_t cut = file.find(L'\\', root_); cut != std::wstring::npos && cut <= last;
         cut = file.find(L'\\', cut + 1)) {
      const std::wstring level = file.substr(0, cut);
      if (Known(level)) continue;
      if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      AcquireSRWLockExclusive(&lock_);
      made_.insert(level);
      ReleaseSRWLockExclusive(&lock_);
    }
    return true;
  }
  void SetRoot(size_t length) { root_ = length; }  // levels from here on may be missing

private:
  bool Known(const std::wstring& folder) {
    AcquireSRWLockShared(&lock_);
    const bool known = made_.count(folder) > 0;
    ReleaseSRWLockShared(&lock_);
    return known;
  }
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::unordered_set<std::wstring> made_;
  size_t root_ = 0;
};

// The destinations of one object while its body comes in.
class Writer {
public:
  Writer(const Options& options, Folders& folders) : options_(options), folders_(folders), out_(kOutputSize) {
    ok_ = inflateInit(&zs_) == Z_OK;
  }
  ~Writer() {
    if (ok_) inflateEnd(&zs_);
  }
  bool Begin(const Object& object) {
    object_ = &object;
    ended_ = false;
    handles_.clear();
    if (!ok_ || inflateReset(&zs_) != Z_OK) return false;
    for (const std::wstring& path : object.paths) {
      if (!folders_.Ensure(path)) return false;
      const std::wstring name = options_.replace ? path + L".tmp" : path;
      HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) return false;
      handles_.push_back(file);
    }
    return true;
  }
  bool Take(const uint8_t* data, DWORD size) {
    zs_.next_in = const_cast<Bytef*>(data);
    zs_.avail_in = size;
    // Until the input is used up and the window was not filled (a full window may leave output
    // pending inside zlib).
    while (!ended_) {
      zs_.next_out = out_.data();
      zs_.avail_out = static_cast<uInt>(out_.size());
      const int ret = inflate(&zs_, Z_NO_FLUSH);
      if (ret == Z_BUF_ERROR) break;  // nothing more without more input
      if (ret != Z_OK && ret != Z_STREAM_END) return false;
      const DWORD produced = static_cast<DWORD>(out_.size() - zs_.avail_out);
      for (HANDLE file : handles_) {
        DWORD written = 0;
        if (!WriteFile(file, out_.data(), produced, &written, nullptr) || written != produced) return false;
        written_ += written;
      }
      ended_ = ret == Z_STREAM_END;
      if (zs_.avail_in == 0 && zs_.avail_out > 0) break;
    }
    return true;
  }
  // Closes the files (placing them with --replace); false if the stream did not end.
  bool End(bool fine) {
    fine = fine && ended_;
    for (size_t i = 0; i < handles_.size(); ++i) {
      if (options_.replace && fine && !FlushFileBuffers(handles_[i])) fine = false;
      CloseHandle(handles_[i]);
      if (options_.replace && fine) {
        const std::wstring& path = object_->paths[i];
        if (!MoveFileExW((path + L".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) fine = false;
      }
    }
    handles_.clear();
    return fine;
  }
  uint64_t written() const { return written_; }

private:
  static constexpr size_t kOutputSize = 524288;
  const Options& options_;
  Folders& folders_;
  const Object* object_ = nullptr;
  z_stream zs_{};
  bool ok_ = false;
  bool ended_ = false;
  std::vector<uint8_t> out_;
  std::vector<HANDLE> handles_;
  uint64_t written_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--close") options.close = true;
    else if (arg == "--replace") options.replace = true;
    else if (arg.rfind("--write=", 0) == 0) options.folder = Wide(arg.substr(8));
    else if (arg.rfind("--transfers=", 0) == 0) options.transfers = std::max(1, std::atoi(arg.c_str() + 12));
    else positional.push_back(arg);
  }
  if (positional.size() != 4 || (options.replace && options.folder.empty())) {
    std::fprintf(stderr, "usage: winhttp_floor [--close] [--transfers=N] [--write=FOLDER [--replace]] HOST PORT PATH_PREFIX LIST\n");
    return 2;
  }
  const bool write = !options.folder.empty();
  if (write && options.folder.back() != L'\\') options.folder += L'\\';
  const std::wstring host = Wide(positional[0]);
  const INTERNET_PORT port = static_cast<INTERNET_PORT>(std::atoi(positional[1].c_str()));
  const std::string prefix = positional[2];

  // Objects in the order of their first line; a hash listed again adds a destination.
  std::vector<Object> objects;
  std::unordered_map<std::string, size_t> index;
  size_t files = 0;
  std::ifstream list(positional[3], std::ios::binary);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t tab = line.find('\t');
    const std::string hash = line.substr(0, tab);
    if (hash.size() < 2) continue;
    const auto placed = index.emplace(hash, objects.size());
    if (placed.second) objects.push_back({Wide(prefix + "files/" + hash.substr(0, 2) + "/" + hash + ".z"), {}});
    if (write && tab != std::string::npos) {
      std::wstring path = options.folder + Wide(line.substr(tab + 1));
      for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
      objects[placed.first->second].paths.push_back(std::move(path));
      ++files;
    }
  }
  Folders folders;
  folders.SetRoot(options.folder.size());

  HINTERNET session = WinHttpOpen(L"floor", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return 1;
  std::atomic<size_t> next{0};
  std::atomic<uint64_t> bytes{0}, written{0};
  std::atomic<bool> failed{false};
  auto worker = [&] {
    HINTERNET kept = options.close ? nullptr : WinHttpConnect(session, host.c_str(), port, 0);
    if (!options.close && !kept) failed = true;
    Writer writer(options, folders);
    std::vector<char> buffer(262144);
    for (size_t i; !failed && (i = next.fetch_add(1)) < objects.size();) {
      const Object& object = objects[i];
      HINTERNET connection = options.close ? WinHttpConnect(session, host.c_str(), port, 0) : kept;
      HINTERNET request = connection ? WinHttpOpenRequest(connection, L"GET", object.url.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                          WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                     : nullptr;
      if (request && options.close) {
        DWORD noKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
        WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noKeepAlive, sizeof noKeepAlive);
      }
      DWORD status = 0, size = sizeof status;
      bool fine = request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
                  WinHttpReceiveResponse(request, nullptr) &&
                  WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                                      &size, nullptr) &&
                  status == 200;
      if (fine && write) fine = writer.Begin(object);
      if (fine) {
        DWORD got = 0;
        while ((fine = WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) && got) {
          bytes += got;
          if (write && !(fine = writer.Take(reinterpret_cast<const uint8_t*>(buffer.data()), got))) break;
        }
      }
      if (write && !writer.End(fine)) fine = false;
      if (!fine) failed = true;
      if (request) WinHttpCloseHandle(request);
      if (options.close && connection) WinHttpCloseHandle(connection);
    }
    written += writer.written();
    if (kept) WinHttpCloseHandle(kept);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < options.transfers; ++t) threads.emplace_back(worker);
  for (auto& thread : threads) thread.join();
  WinHttpCloseHandle(session);
  std::printf("objects %zu bytes %llu files %zu written %llu\n", objects.size(),
              static_cast<unsigned long long>(bytes.load()), files, static_cast<unsigned long long>(written.load()));
  return failed ? 1 : 0;
}
