#include "support/http.h"

#include <windows.h>
#include <zlib.h>
#include <winhttp.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/build_config.h"
#include "support/log.h"
#include "support/sync.h"
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
// Request threads still inside a transfer, given up or not: the session is closed only when
// none is left.
std::atomic<int> g_liveTransfers{0};
// How long closing the session waits for them.
constexpr ULONGLONG kCloseWaitMs = 1000;

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
  // A request given up a moment ago may still be inside WinHTTP, where it stops at the next
  // return; it gets a moment for that. One a server keeps busy (it never stops sending headers)
  // holds its own references, and the session handle goes without it.
  for (const ULONGLONG end = GetTickCount64() + kCloseWaitMs; g_liveTransfers.load() > 0 && GetTickCount64() < end;)
    Sleep(10);
  Api().closeHandle(g_session);
  g_session = nullptr;
}

bool HttpSessionOpen() { return g_session != nullptr; }

namespace {

// Every request ends: after the deadline floor (a build constant, 30 s in the product) plus the
// time the expected bytes take at kMinimumRate, the request is given up as a failed attempt,
// however slowly the server trickles.
constexpr uint64_t kMinimumRate = 4096;  // bytes per second
std::atomic<uint64_t> g_deadlineFloorOverrideMs{0};  // 0: the build's floor
// How often the waiting side looks at its cancel flag and the deadline.
constexpr DWORD kWatchStepMs = 100;

// The cap on all transfers together: each read first books its bytes on one shared clock, so
// that the sum never runs ahead of the rate, and waits for its turn.
struct RateLimit {
  SlimLock lock;
  std::atomic<uint64_t> bytesPerSecond{0};
  double nextFreeMs = 0;  // on GetTickCount64's clock: when the line is free again
};
RateLimit& Limit() {
  static RateLimit* limit = new RateLimit;  // request threads may outlive static destruction
  return *limit;
}
// How much one read may take under the cap: a quarter second's worth keeps four transfers even.
uint32_t RateSlice(uint32_t want) {
  const uint64_t rate = Limit().bytesPerSecond.load();
  if (rate == 0) return want;
  return static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(want, rate / 4)));
}
// Books bytes on the shared clock and waits until they may come; false if the transfer was
// given up meanwhile.
template <class Abandoned>
bool WaitForTurn(uint32_t bytes, const Abandoned& abandoned) {
  RateLimit& limit = Limit();
  const uint64_t rate = limit.bytesPerSecond.load();
  if (rate == 0) return true;
  double startMs = 0;
  {
    std::lock_guard<SlimLock> hold(limit.lock);
    const double now = static_cast<double>(GetTickCount64());
    startMs = std::max(now, limit.nextFreeMs);
    limit.nextFreeMs = startMs + static_cast<double>(bytes) * 1000.0 / static_cast<double>(rate);
  }
  for (;;) {
    const double now = static_cast<double>(GetTickCount64());
    if (now >= startMs) return true;
    if (abandoned()) return false;
    Sleep(static_cast<DWORD>(std::min(50.0, startMs - now)) + 1);
  }
}
// The slowest rate a request must keep up with: 4 KiB/s, or a quarter of a lower cap.
uint64_t MinimumRate() {
  const uint64_t rate = Limit().bytesPerSecond.load();
  return rate == 0 ? kMinimumRate : std::max<uint64_t>(1, std::min<uint64_t>(kMinimumRate, rate / 4));
}

// One request, shared by the caller's thread, which only waits (watching the clock and the
// cancel flag), and the request thread, which alone makes the blocking WinHTTP calls on the
// request, feeds the sink and closes the request when it is done: WinHTTP forbids a second
// thread on a synchronous request, and under Wine a closed handle's value comes back with the
// next request, so a call on it from elsewhere would read another transfer's body. The two
// meet at the start and the end only, not per chunk: under Wine every wake-up of another
// thread is a round trip through the wineserver. A caller that gives up returns at once; the
// request thread stops at its next return from WinHTTP (every call ends within the session's
// time-outs) and never calls the sink again. The caller waits only for a sink call under way
// (the sink belongs to the caller), never for WinHTTP.
struct Transfer {
  SlimLock lock;
  SlimSignal changed;
  const ByteSink* sink = nullptr;
  uint64_t* contentLength = nullptr;  // the caller's, written before the first chunk
  uint64_t rangeStart = 0;
  uint64_t maxBody = UINT64_MAX;  // the most the caller can take; a longer declared body is refused
  std::wstring url;  // for the log
  bool abandoned = false;  // the caller has given up; the sink is never called again
  bool inSink = false;
  bool finished = false;
  int32_t result = 0;
  std::atomic<bool> headersIn{false};
  std::atomic<uint64_t> declared{0};
  std::atomic<uint64_t> delivered{0};
  std::atomic<bool>* gzipped = nullptr;  // the caller's: the answer came gzip-compressed

  bool Abandoned() {
    std::lock_guard<SlimLock> hold(lock);
    return abandoned;
  }
};

// Reads the body into the sink; the HttpGet result for it.
int32_t ReadBody(Transfer& t, HINTERNET request, int32_t status, bool hasLength) {
  const WinHttpApi& api = Api();
  // One buffer per request thread, kept for its next transfers: a quarter-megabyte block taken
  // and given back for every small file left the heap holding about 4 KB more per file, since
  // the records that outlive a transfer land between the freed blocks.
  thread_local std::vector<uint8_t> buffer(kBodyBufferSize);
  const uint64_t declared = t.declared;
  // Never more than the Content-Length is read: Wine's WinHTTP would hand over (and wait for)
  // bytes a server sends beyond it.
  uint64_t left = hasLength ? declared : UINT64_MAX;
  while (left > 0) {
    // Whatever has arrived is handed on at once: on a slow line a full buffer takes seconds,
    // and the progress (and the speed shown from it) would move in jumps. Nothing available
    // is the end of the body.
    DWORD available = 0;
    if (!api.queryDataAvailable(request, &available) || t.Abandoned()) return 0;
    if (available == 0) break;
    const DWORD want =
        RateSlice(static_cast<DWORD>(std::min<uint64_t>(std::min<uint64_t>(buffer.size(), left), available)));
    if (!WaitForTurn(want, [&t] { return t.Abandoned(); })) return 0;
    DWORD got = 0;
    if (!api.readData(request, buffer.data(), want, &got)) return 0;
    if (got == 0) break;
    left -= got;
    {
      std::lock_guard<SlimLock> hold(t.lock);
      if (t.abandoned) return 0;
      t.inSink = true;
    }
    const bool accepted = (*t.sink)(buffer.data(), got);
    {
      std::lock_guard<SlimLock> hold(t.lock);
      t.inSink = false;
      if (t.abandoned) t.changed.WakeAll();
    }
    if (!accepted) return -1;
    t.delivered += got;
  }
  // WinHTTP may report a connection closed before the declared length as a normal end.
  return hasLength && t.delivered != declared ? 0 : status;
}

// Whether a failed send found no server to talk to at all.
bool NoServerError(DWORD error) {
  return error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_NAME_NOT_RESOLVED ||
         error == ERROR_WINHTTP_TIMEOUT || error == ERROR_WINHTTP_CONNECTION_ERROR;
}

void RunTransfer(std::shared_ptr<Transfer> t, HINTERNET connection, HINTERNET request, std::wstring headers) {
  const WinHttpApi& api = Api();
  int32_t result = 0;
  const bool sent =
      !t->Abandoned() && api.sendRequest(request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                         headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
  if (!sent && NoServerError(GetLastError())) result = kHttpNoServer;
  if (sent && !t->Abandoned() && api.receiveResponse(request, nullptr) && !t->Abandoned()) {
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!api.queryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
      status = 0;
    }
    wchar_t length[32] = {};
    DWORD lengthSize = sizeof(length);
    const bool hasLength = api.queryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                                            length, &lengthSize, WINHTTP_NO_HEADER_INDEX);
    const uint64_t declared = hasLength ? std::wcstoull(length, nullptr, 10) : 0;
    t->declared = std::min(declared, t->maxBody);
    if (t->gzipped) {
      wchar_t encoding[32] = {};
      DWORD encodingSize = sizeof(encoding);
      *t->gzipped = api.queryHeaders(request, WINHTTP_QUERY_CONTENT_ENCODING, WINHTTP_HEADER_NAME_BY_INDEX, encoding,
                                     &encodingSize, WINHTTP_NO_HEADER_INDEX) &&
                    _wcsicmp(encoding, L"gzip") == 0;
    }
    t->headersIn = true;
    {
      std::lock_guard<SlimLock> hold(t->lock);
      if (t->contentLength && !t->abandoned) *t->contentLength = declared;
    }
    const bool bodyWanted = status == 200 || (status == 206 && t->rangeStart != 0);
    if (bodyWanted && hasLength && declared > t->maxBody) {
      // Nothing the caller can take is that long, and its time bound would be the server's.
      LogLine(L"request refused: " + t->url + L" declares " + std::to_wstring(declared) + L" bytes, more than the " +
              std::to_wstring(t->maxBody) + L" expected");
      result = -1;
    } else {
      result = bodyWanted ? ReadBody(*t, request, static_cast<int32_t>(status), hasLength)
                          : static_cast<int32_t>(status);
    }
  }
  api.closeHandle(request);
  api.closeHandle(connection);
  std::lock_guard<SlimLock> hold(t->lock);
  t->finished = true;
  t->result = result;
  g_liveTransfers.fetch_sub(1);
  t->changed.WakeAll();
}

// Starting a thread costs about 2 ms under Wine, as much as a whole small request, so request
// threads are kept: one that has finished its transfer (its caller may have given it up long
// before) waits for the next one, and ends after a few seconds without work. A thread blocked
// in a transfer is never in the idle list, so no request waits behind another.
struct RequestThread {
  SlimLock lock;
  SlimSignal wake;
  std::function<void()> job;
};

struct IdleThreads {
  SlimLock lock;
  std::vector<std::shared_ptr<RequestThread>> list;
};

// Never destroyed: detached request threads may still use it while the process ends.
IdleThreads& Idle() {
  static IdleThreads* idle = new IdleThreads;
  return *idle;
}

constexpr ULONGLONG kRequestThreadIdleMs = 5000;

void RequestThreadLoop(std::shared_ptr<RequestThread> self) {
  for (;;) {
    std::function<void()> job;
    {
      std::lock_guard<SlimLock> hold(self->lock);
      const ULONGLONG since = GetTickCount64();
      for (ULONGLONG waited = 0; !self->job && waited < kRequestThreadIdleMs; waited = GetTickCount64() - since)
        self->wake.WaitFor(self->lock, static_cast<DWORD>(kRequestThreadIdleMs - waited));
      job = std::move(self->job);
      self->job = nullptr;
    }
    IdleThreads& idle = Idle();
    if (!job) {
      // Idle too long: the thread ends, unless a caller has just taken it and a job is coming.
      std::lock_guard<SlimLock> hold(idle.lock);
      const auto found = std::find(idle.list.begin(), idle.list.end(), self);
      if (found == idle.list.end()) continue;
      idle.list.erase(found);
      return;
    }
    job();
    std::lock_guard<SlimLock> hold(idle.lock);
    idle.list.push_back(self);
  }
}

// Runs job on an idle request thread, or on a new one; throws if no thread can be started.
void RunOnRequestThread(std::function<void()> job) {
  std::shared_ptr<RequestThread> thread;
  {
    IdleThreads& idle = Idle();
    std::lock_guard<SlimLock> hold(idle.lock);
    if (!idle.list.empty()) {
      thread = std::move(idle.list.back());
      idle.list.pop_back();
    }
  }
  if (thread) {
    std::lock_guard<SlimLock> hold(thread->lock);
    thread->job = std::move(job);
    thread->wake.WakeAll();
    return;
  }
  thread = std::make_shared<RequestThread>();
  thread->job = std::move(job);
  std::thread(RequestThreadLoop, thread).detach();
}

}  // namespace

namespace {

// What a request is made of, from its URL.
struct RequestTarget {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // the query, if any, included
  bool secure = false;
};

// Splits url with the platform's parser; false if it cannot.
bool SplitUrl(const std::wstring& url, RequestTarget& target) {
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
  if (!Api().crackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  target.host.assign(host, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.path.assign(path, parts.dwUrlPathLength);
  target.path.append(extra, parts.dwExtraInfoLength);
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

// The headers a request adds for its caller's wishes.
std::wstring RequestHeaders(bool noCache, uint64_t rangeStart, bool gzip) {
  std::wstring headers;
  if (noCache) headers = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  if (rangeStart != 0) headers += L"Range: bytes=" + std::to_wstring(rangeStart) + L"-\r\n";
  if (gzip) headers += L"Accept-Encoding: gzip\r\n";
  return headers;
}

// A GET request for target on connection, which closes after it unless keepConnection; null if
// the platform refuses.
HINTERNET OpenGetRequest(HINTERNET connection, const RequestTarget& target, bool keepConnection) {
  const WinHttpApi& api = Api();
  HINTERNET request = api.openRequest(connection, L"GET", target.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0);
  // WinHTTP lends a kept connection even to a request that keeps none (Wine's does), and
  // nothing here tells connections apart: the caller's hash or signature check turns bytes a
  // server left beyond an earlier body into one failed attempt.
  if (request && !keepConnection) {
    DWORD noKeepAlive = WINHTTP_DISABLE_KEEP_ALIVE;
    api.setOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noKeepAlive, sizeof(noKeepAlive));
  }
  return request;
}

// Hands t, with its connection and request, to a request thread, which closes both when done;
// false, with both closed, if no thread could take it.
bool StartTransfer(const std::shared_ptr<Transfer>& t, HINTERNET connection, HINTERNET request,
                   std::wstring headers) {
  g_liveTransfers.fetch_add(1);
  try {
    RunOnRequestThread([t, connection, request, headers = std::move(headers)] {
      RunTransfer(t, connection, request, headers);
    });
    return true;
  } catch (const std::exception&) {
    g_liveTransfers.fetch_sub(1);
    Api().closeHandle(request);
    Api().closeHandle(connection);
    return false;
  }
}

// How long t may take from its start, in ms. The answer's head must come within the floor (or
// headWaitMs when that is shorter and not 0); then the body's time comes from what the caller
// knows, which a declared length (never above that) or, without a known bound, what has arrived
// can only bring closer. expected receives the body bytes that time allows for.
uint64_t AllowedMs(const Transfer& t, uint64_t headWaitMs, uint64_t& expected) {
  const bool headIn = t.headersIn;
  const uint64_t declared = t.declared;
  expected = !headIn ? 0
             : declared > 0 ? declared
             : t.maxBody != UINT64_MAX ? t.maxBody
                                       : t.delivered.load();
  const uint64_t floor =
      headIn || headWaitMs == 0 ? HttpDeadlineFloorMs() : std::min(HttpDeadlineFloorMs(), headWaitMs);
  const uint64_t minimumRate = MinimumRate();
  return floor + expected / minimumRate * 1000 + expected % minimumRate * 1000 / minimumRate;
}

// Waits for t, started at started, to finish: its result; or gives it up once cancel is set or
// its time has run out (0, or kHttpNoAnswer when its answer's head never came).
int32_t AwaitTransfer(Transfer& t, const std::atomic<bool>* cancel, uint64_t headWaitMs, ULONGLONG started) {
  std::unique_lock<SlimLock> lock(t.lock);
  while (!t.finished) {
    uint64_t expected = 0;
    const uint64_t allowed = AllowedMs(t, headWaitMs, expected);
    const bool cancelled = cancel && cancel->load();
    if (cancelled || GetTickCount64() - started > allowed) {
      // The request thread stops at its next return from WinHTTP and closes the request itself.
      t.abandoned = true;
      // Said before waiting for a sink call under way: a paused download holds one until Resume.
      if (!cancelled) {
        LogLine(L"request given up after its bound of " + std::to_wstring(allowed) + L" ms: " + t.url + L" (" +
                std::to_wstring(t.delivered.load()) + L" of " + std::to_wstring(expected) + L" bytes)");
      }
      while (t.inSink) t.changed.Wait(t.lock);
      return cancelled || t.headersIn ? 0 : kHttpNoAnswer;
    }
    t.changed.WaitFor(t.lock, kWatchStepMs);
  }
  return t.result;
}

}  // namespace

int32_t HttpGet(const std::wstring& url, const ByteSink& sink, uint64_t* contentLength,
                bool noCache, uint64_t rangeStart, const std::atomic<bool>* cancel, uint64_t maxBody,
                bool keepConnection, uint64_t headWaitMs, std::atomic<bool>* gzipped) {
  HINTERNET session = g_session;
  if (!session) return 0;
  const ULONGLONG started = GetTickCount64();
  RequestTarget target;
  std::shared_ptr<Transfer> t;
  std::wstring headers;
  try {
    if (!SplitUrl(url, target)) return 0;
    t = std::make_shared<Transfer>();
    t->sink = &sink;
    t->contentLength = contentLength;
    t->rangeStart = rangeStart;
    t->maxBody = maxBody;
    t->url = url;
    t->gzipped = gzipped;
    headers = RequestHeaders(noCache, rangeStart, gzipped != nullptr);
  } catch (const std::exception&) {
    return 0;
  }
  const WinHttpApi& api = Api();
  HINTERNET connection = api.connect(session, target.host.c_str(), target.port, 0);
  if (!connection) return 0;
  HINTERNET request = OpenGetRequest(connection, target, keepConnection);
  if (!request) {
    api.closeHandle(connection);
    return 0;
  }
  if (!StartTransfer(t, connection, request, std::move(headers))) return 0;
  return AwaitTransfer(*t, cancel, headWaitMs, started);
}

int32_t HttpGetToMemory(const std::wstring& url, std::string& out, uint32_t limit,
                        const std::atomic<bool>* cancel, uint64_t headWaitMs) {
  out.clear();
  return HttpGet(url, MemorySink(out, limit), nullptr, true, 0, cancel, limit, false, headWaitMs);
}

namespace {

// A gzip body inflated into out as it arrives, never past limit bytes.
struct Gunzip {
  z_stream zs{};
  bool started = false, ended = false, failed = false;
  ~Gunzip() {
    if (started) inflateEnd(&zs);
  }
  bool Feed(std::string& out, uint32_t limit, const uint8_t* data, uint32_t size) {
    if (!started) {
      if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) return !(failed = true);
      started = true;
    }
    if (ended || failed) return !(failed = true);  // nothing may follow the stream
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = size;
    uint8_t block[65536];
    while (zs.avail_in > 0 || zs.avail_out == 0) {
      zs.next_out = block;
      zs.avail_out = sizeof(block);
      const int ret = inflate(&zs, Z_NO_FLUSH);
      if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR) return !(failed = true);
      const size_t produced = sizeof(block) - zs.avail_out;
      if (out.size() + produced > limit) return !(failed = true);
      out.append(reinterpret_cast<const char*>(block), produced);
      if (ret == Z_STREAM_END) {
        ended = true;
        return zs.avail_in == 0 || !(failed = true);
      }
      if (ret == Z_BUF_ERROR && produced == 0) break;
    }
    return true;
  }
};

}  // namespace

int32_t HttpGetDocument(const std::wstring& url, std::string& out, uint32_t limit, const std::atomic<bool>* cancel,
                        uint64_t headWaitMs) {
  out.clear();
  std::atomic<bool> gzipped{false};
  Gunzip gunzip;
  const ByteSink plain = MemorySink(out, limit);
  const ByteSink sink = [&](const uint8_t* data, uint32_t size) {
    return gzipped ? gunzip.Feed(out, limit, data, size) : plain(data, size);
  };
  // The compressed body is bounded by the same limit as the document it holds.
  const int32_t status = HttpGet(url, sink, nullptr, true, 0, cancel, limit, false, headWaitMs, &gzipped);
  if (status == 200 && gzipped && !gunzip.ended) return -1;  // cut short: not the document
  return status;
}

uint64_t HttpDeadlineFloorMs() {
  const uint64_t floor = g_deadlineFloorOverrideMs.load();
  return floor ? floor : g_requestDeadlineFloorMs;
}

void SetDeadlineFloorForTesting(uint32_t ms) { g_deadlineFloorOverrideMs = ms; }

void HttpSetRateLimit(uint64_t bytesPerSecond) { Limit().bytesPerSecond = bytesPerSecond; }
