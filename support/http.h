#pragma once
// HTTP GET over the process-wide WinHTTP session, which this module owns.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Receives each body chunk (never empty) in order; false stops the transfer.
using ByteSink = std::function<bool(const uint8_t* data, uint32_t size)>;

// A sink appending to out while out stays within limit bytes; refuses (false) past it.
ByteSink MemorySink(std::string& out, uint32_t limit);

// Opens the process-wide session (user agent, proxy fallback, time-outs, TLS); leaves none
// open if the system refuses; does nothing while one is open. Main thread only.
void HttpOpenSession();
// Closes the process-wide session if open, once no request (one given up included) is inside
// WinHTTP, or after 1 s of waiting for that. Main thread only.
void HttpCloseSession();
// True while the process-wide session is open.
bool HttpSessionOpen();

// What HttpGet returns when no connection could be made at all: the server refused it, could not
// be reached or named, or did not answer while connecting (a line that is down for a moment).
constexpr int32_t kHttpNoServer = -2;
// What HttpGet returns when a server took the request but its answer's head did not come within
// the wait for it.
constexpr int32_t kHttpNoAnswer = -3;

// GETs url into sink. Returns the status after the body (200, or 206 for a range request),
// another status with the body unread, kHttpNoServer when no connection could be made,
// kHttpNoAnswer when the answer's head did not come in time, 0 for any
// other request or read failure (a body shorter than
// its Content-Length, a missed deadline and a cancel included), -1 if the sink refused or the
// body's declared length is above maxBody. contentLength (if given) receives the
// Content-Length (0 if missing) for every status. rangeStart above 0 asks for the bytes from
// there to the end. maxBody is the longest body the caller can take (from signed sizes or its
// own limits); the answer's head must come within the deadline floor (g_requestDeadlineFloorMs,
// 30 s in the product) or headWaitMs when that is shorter and not 0, and every request ends
// within the floor plus maxBody (or a shorter declared length; with no bound, what has arrived)
// at 4 KiB/s, and returns within 0.1 s of *cancel becoming true.
// Only one thread ever uses a request. keepConnection lets WinHTTP keep the connection for
// later requests; without it the connection closes after this one. Any request may go out on a
// kept connection: bytes a server sent beyond an earlier body then reach it, which the caller's
// own check (a hash, a signature) turns into one failed attempt.
// gzipped (if given) asks for a gzip-compressed answer and says, before the first body byte
// reaches the sink, whether it came so (the sink then gets the compressed bytes).
int32_t HttpGet(const std::wstring& url, const ByteSink& sink, uint64_t* contentLength,
                bool noCache, uint64_t rangeStart, const std::atomic<bool>* cancel = nullptr,
                uint64_t maxBody = UINT64_MAX, bool keepConnection = false, uint64_t headWaitMs = 0,
                std::atomic<bool>* gzipped = nullptr);
// Empties out and GETs url into it with no-cache and no range; a body over limit gives -1, and
// limit is the request's bound; headWaitMs as for HttpGet.
int32_t HttpGetToMemory(const std::wstring& url, std::string& out, uint32_t limit,
                        const std::atomic<bool>* cancel = nullptr, uint64_t headWaitMs = 0);
// The deadline floor in force: the build's, or the one set for testing.
uint64_t HttpDeadlineFloorMs();
// HttpGetToMemory for a document a server may send gzip-compressed (it is asked to): out holds the document
// inflated, at most limit bytes; a compressed body that is damaged, cut short or inflates past
// limit gives -1, as a body over limit does.
int32_t HttpGetDocument(const std::wstring& url, std::string& out, uint32_t limit,
                        const std::atomic<bool>* cancel = nullptr, uint64_t headWaitMs = 0);
// Caps the bytes every transfer together receives at bytesPerSecond (0: no cap); each
// request's time bound then assumes a quarter of it for itself. Set before requests start.
void HttpSetRateLimit(uint64_t bytesPerSecond);
// Makes the fixed part of every request's deadline ms instead of the build's floor; 0 restores it.
void SetDeadlineFloorForTesting(uint32_t ms);
