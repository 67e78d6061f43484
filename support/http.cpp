#include "support/http.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <vector>

#include "support/system_library.h"

// winhttp.dll is not a KnownDLL: it is loaded from the system folder at first use and its
// functions are called through this table, never through an import.
namespace {

struct WinHttpApi {
  decltype(&WinHttpOpen) open = nullptr;
  decltype(&WinHttpCloseHandle) closeHandle = nullptr;
  decltype(&WinHttpSetTimeouts) setTimeouts = nullptr;
  decltype(&WinHttpSetOption) setOption = nullptr;
  decltype(&WinHttpCrackUrl) crackUrl = nullptr;
  decltype(&WinHttpConnect) connect = nullptr;
  decltype(&WinHttpOpenRequest) openRequest = nullptr;
  decltype(&WinHttpSendRequest) sendRequest = nullptr;
  decltype(&WinHttpReceiveResponse) receiveResponse = nullptr;
  decltype(&WinHttpQueryHeaders) queryHeaders = nullptr;
  decltype(&WinHttpReadData) readData = nullptr;
  decltype(&WinHttpQueryDataAvailable) queryDataAvailable = nullptr;
  bool complete = false;
};

template <class F>
static void Resolve(F& slot, const char* name) {
  slot = SystemProc<F>(L"winhttp.dll", name);
}

static WinHttpApi LoadApi() {
  WinHttpApi api;
  Resolve(api.open, "WinHttpOpen");
  Resolve(api.closeHandle, "WinHttpCloseHandle");
  Resolve(api.setTimeouts, "WinHttpSetTimeouts");
  Resolve(api.setOption, "WinHttpSetOption");
  Resolve(api.crackUrl, "WinHttpCrackUrl");
  Resolve(api.connect, "WinHttpConnect");
  Resolve(api.openRequest, "WinHttpOpenRequest");
  Resolve(api.sendRequest, "WinHttpSendRequest");
  Resolve(api.receiveResponse, "WinHttpReceiveResponse");
  Resolve(api.queryHeaders, "WinHttpQueryHeaders");
  Resolve(api.readData, "WinHttpReadData");
  Resolve(api.queryDataAvailable, "WinHttpQueryDataAvailable");
  api.complete = api.open && api.closeHandle && api.setTimeouts && api.setOption &&
                 api.crackUrl && api.connect && api.openRequest && api.sendRequest &&
                 api.receiveResponse && api.queryHeaders && api.readData && api.queryDataAvailable;
  return api;
}

// Resolved once; the initialisation of a function-local static is thread-safe.
static const WinHttpApi& Api() {
  static const WinHttpApi api = LoadApi();
  return api;
}

// Owns one connection or request handle (never the session, which outlives every request).
class InternetHandle {
public:
  explicit InternetHandle(HINTERNET h) : h_(h) {}
  ~InternetHandle() {
    if (h_) Api().closeHandle(h_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

private:
  HINTERNET h_;
};

constexpr DWORD kBodyBufferSize = 262144;

// The process-wide session: opened and closed by the main thread around every run; requests
// on other threads only read it.
HINTERNET g_session = nullptr;

}  // namespace

ByteSink MemorySink(std::string& out, uint32_t limit) {
  return [&out, limit](const uint8_t* data, uint32_t size) {
    if (out.size() + size > limit) return false;
    out.append(reinterpret_cast<const char*>(data), size);
    return true;
  };
}

void HttpOpenSession() {
  if (g_session) return;
  const WinHttpApi& api = Api();
  if (!api.complete) return;
  HINTERNET session = api.open(L"QuorvelOrskLauncher/2.0", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) {
    // Systems before Windows 8.1 do not know the automatic proxy access type.
    session = api.open(L"QuorvelOrskLauncher/2.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  }
  if (!session) return;
  api.setTimeouts(session, 10000, 15000, 20000, 30000);
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (!api.setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
    // Older systems refuse the TLS 1.3 bit; TLS 1.2 alone is still acceptable.
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    api.setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
  }
  g_session = session;
}

void HttpCloseSession() {
  if (!g_session) return;
  Api().closeHandle(g_session);
  g_session = nullptr;
}

bool HttpSessionOpen() { return g_session != nullptr; }

int32_t HttpGet(const std::wstring& url, const ByteSink& sink, uint64_t* contentLength,
                bool noCache, uint64_t rangeStart) {
  HINTERNET session = g_session;
  if (!session) return 0;
  const WinHttpApi& api = Api();

  wchar_t host[256] = {};
  wchar_t path[2048] = {};
  wchar_t extra[2048] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = 2048;
  if (!api.crackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return 0;
  std::wstring requestPath(path, parts.dwUrlPathLength);
  requestPath.append(extra, parts.dwExtraInfoLength);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  InternetHandle connection(api.connect(session, host, parts.nPort, 0));
  if (!connection) return 0;
  InternetHandle request(api.openRequest(connection.get(), L"GET", requestPath.c_str(), nullptr,
                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                         secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return 0;

  std::wstring headers;
  if (noCache) headers = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  if (rangeStart != 0) headers += L"Range: bytes=" + std::to_wstring(rangeStart) + L"-\r\n";
  if (!api.sendRequest(request.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                       headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !api.receiveResponse(request.get(), nullptr)) {
    return 0;
  }

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (!api.queryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
    status = 0;
  }
  // Content-Length is read for every status and whether or not the caller asked for it:
  // a connection that ends early must not pass for a complete body.
  if (contentLength) *contentLength = 0;
  uint64_t declared = 0;
  wchar_t length[32] = {};
  DWORD lengthSize = sizeof(length);
  const bool hasLength = api.queryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH,
                                          WINHTTP_HEADER_NAME_BY_INDEX, length, &lengthSize,
                                          WINHTTP_NO_HEADER_INDEX);
  if (hasLength) declared = std::wcstoull(length, nullptr, 10);
  if (contentLength) *contentLength = declared;
  const bool bodyWanted = status == 200 || (status == 206 && rangeStart != 0);
  if (!bodyWanted) return static_cast<int32_t>(status);

  std::vector<uint8_t> buffer(kBodyBufferSize);
  uint64_t delivered = 0;
  for (;;) {
    // Whatever has arrived is handed on at once: on a slow line a full buffer takes seconds,
    // and the progress (and the speed shown from it) would move in jumps. No data available
    // is the end of the body.
    DWORD available = 0;
    if (!api.queryDataAvailable(request.get(), &available)) return 0;
    DWORD got = 0;
    if (available > 0 &&
        !api.readData(request.get(), buffer.data(), available < kBodyBufferSize ? available : kBodyBufferSize, &got))
      return 0;
    if (got == 0) {
      // WinHTTP may report a connection closed before the declared length as a normal end.
      if (hasLength && delivered != declared) return 0;
      return static_cast<int32_t>(status);
    }
    if (!sink(buffer.data(), got)) return -1;
    delivered += got;
  }
}

int32_t HttpGetToMemory(const std::wstring& url, std::string& out, uint32_t limit) {
  out.clear();
  return HttpGet(url, MemorySink(out, limit), nullptr, true, 0);
}
