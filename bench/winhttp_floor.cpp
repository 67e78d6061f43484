// The platform's floor for fetching objects under Wine: a minimal WinHTTP program that GETs
// every object of a list, 4 at once, and throws the bodies away.
//   winhttp_floor.exe HOST PORT PATH_PREFIX LIST
// LIST holds one object hash per line; each is fetched as PATH_PREFIX + "files/" + the first two
// characters + "/" + hash + ".z". Prints "objects N bytes B"; exit code 1 if any request failed.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: winhttp_floor HOST PORT PATH_PREFIX LIST\n");
    return 2;
  }
  const std::wstring host = Wide(argv[1]);
  const INTERNET_PORT port = static_cast<INTERNET_PORT>(std::atoi(argv[2]));
  const std::string prefix = argv[3];
  std::vector<std::wstring> paths;
  std::ifstream list(argv[4]);
  for (std::string hash; std::getline(list, hash);) {
    if (hash.size() >= 2) paths.push_back(Wide(prefix + "files/" + hash.substr(0, 2) + "/" + hash + ".z"));
  }
  HINTERNET session = WinHttpOpen(L"floor", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return 1;
  std::atomic<size_t> next{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<bool> failed{false};
  auto worker = [&] {
    HINTERNET connection = WinHttpConnect(session, host.c_str(), port, 0);
    std::vector<char> buffer(262144);
    for (size_t i; connection && (i = next.fetch_add(1)) < paths.size();) {
      HINTERNET request = WinHttpOpenRequest(connection, L"GET", paths[i].c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
      DWORD status = 0, size = sizeof status;
      if (!request || !WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
          !WinHttpReceiveResponse(request, nullptr) ||
          !WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                               &size, nullptr) ||
          status != 200) {
        failed = true;
      } else {
        for (DWORD got = 0; WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got) && got;)
          bytes += got;
      }
      if (request) WinHttpCloseHandle(request);
    }
    if (!connection) failed = true;
    if (connection) WinHttpCloseHandle(connection);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(worker);
  for (auto& thread : threads) thread.join();
  WinHttpCloseHandle(session);
  std::printf("objects %zu bytes %llu\n", paths.size(), static_cast<unsigned long long>(bytes.load()));
  return failed ? 1 : 0;
}
