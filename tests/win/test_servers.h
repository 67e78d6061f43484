#pragma once
// The HTTP servers of a test run (tests/servers/start.sh): where they are, files for nginx to
// serve, and the fault server's script and request log. Talks to the servers over raw winsock
// so that the client under test is never part of the test's own plumbing.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/http.h"
#include "test_files.h"

namespace qvtest {

// The values of QV_TEST_DATA/servers.env, read once.
inline const std::map<std::string, std::string>& ServerEnv() {
  static const std::map<std::string, std::string> env = [] {
    std::map<std::string, std::string> values;
    const char* data = std::getenv("QV_TEST_DATA");
    if (!data) return values;
    std::istringstream lines(ReadBytes(WinePath(std::string(data) + "/servers.env")));
    std::string line;
    while (std::getline(lines, line)) {
      std::size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
  }();
  return env;
}

// One value of servers.env; fails the test when the servers are not running.
inline std::string ServerValue(const char* key) {
  auto it = ServerEnv().find(key);
  if (it == ServerEnv().end()) {
    ADD_FAILURE() << "servers.env has no " << key << " (is QV_TEST_DATA set and start.sh run?)";
    return {};
  }
  return it->second;
}

inline int FaultPort() { return std::atoi(ServerValue("QV_FAULT_PORT").c_str()); }
// http://127.0.0.1:port + path (path begins with a slash).
inline std::wstring NginxUrl(const std::string& path) {
  return Widen("http://127.0.0.1:" + ServerValue("QV_NGINX_PORT") + path);
}
inline std::wstring FaultUrl(const std::string& path) {
  return Widen("http://127.0.0.1:" + ServerValue("QV_FAULT_PORT") + path);
}
// The served folder (Unix path) and a file below it as this process names it.
inline std::string WwwDir() { return ServerValue("QV_WWW"); }
inline std::wstring WwwFile(const std::string& path) { return WinePath(WwwDir() + path); }
// Writes bytes where both servers serve them at path (path begins with a slash).
inline void ServeFile(const std::string& path, const std::string& bytes) { WriteBytes(WwwFile(path), bytes); }

// A URL path prefix of this test alone ("/Suite.Name-pid/"), so that parallel test processes
// never share served files, fault scripts or log lines.
inline std::string UniquePrefix() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_') c = '_';
  return "/" + name + "-" + std::to_string(GetCurrentProcessId()) + "/";
}

// Opens the process-wide session once (the program's entry point does the same).
inline void EnsureHttpSession() {
  static const bool opened = [] { HttpOpenSession(); return true; }();
  (void)opened;
}

struct RawResponse {
  int status = 0;  // 0: no answer
  std::string body;
};

inline void EnsureWinsock() {
  static const bool started = [] { WSADATA d; return WSAStartup(MAKEWORD(2, 2), &d) == 0; }();
  (void)started;
}

// One HTTP/1.0 exchange with 127.0.0.1:port over a plain socket.
inline RawResponse RawHttp(int port, const std::string& method, const std::string& target,
                           const std::string& body = {}) {
  EnsureWinsock();
  RawResponse result;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return result;
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    closesocket(s);
    return result;
  }
  std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                        "Content-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    int n = send(s, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string reply;
  char buf[16384];
  for (int n; (n = recv(s, buf, sizeof(buf), 0)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
  closesocket(s);
  std::size_t split = reply.find("\r\n\r\n");
  if (reply.rfind("HTTP/", 0) != 0 || split == std::string::npos) return result;
  result.status = std::atoi(reply.c_str() + reply.find(' ') + 1);
  result.body = reply.substr(split + 4);
  return result;
}

inline std::string Base64(const std::string& bytes) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += table[(v >> k) & 63];
  }
  if (i + 1 == bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

inline void FaultControl(const std::string& json) {
  RawResponse r = RawHttp(FaultPort(), "POST", "/_control", json);
  ASSERT_EQ(r.status, 200) << "fault server refused " << json << ": " << r.body;
}

// The next requests of path get the behaviours of responsesJson (a JSON array of objects,
// see fault_server.py) in order; afterwards thenJson, or the normal file when it is "null".
inline void FaultScript(const std::string& path, const std::string& responsesJson,
                        const std::string& thenJson = "null") {
  FaultControl("{\"script\":\"" + path + "\",\"responses\":" + responsesJson + ",\"then\":" + thenJson + "}");
}
// The fault server answers path with these bytes (nginx does not see them).
inline void FaultPut(const std::string& path, const std::string& bytes) {
  FaultControl("{\"put\":\"" + path + "\",\"body_b64\":\"" + Base64(bytes) + "\"}");
}

struct LoggedRequest {
  std::string method, target, range, cacheControl, pragma, userAgent;  // "-" when absent
  std::string connection;  // the client's port: the same for the requests of one connection
};

// The requests the fault server received below prefix, oldest first.
inline std::vector<LoggedRequest> FaultLog(const std::string& prefix) {
  std::vector<LoggedRequest> out;
  RawResponse r = RawHttp(FaultPort(), "GET", "/_log?prefix=" + prefix);
  EXPECT_EQ(r.status, 200);
  std::istringstream lines(r.body);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    if (f.size() == 7) out.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
  }
  return out;
}

// The requests of attempts one after another, each after a failed one: one request each, and
// a retry closes the connection it went out on, so the attempt after it goes out on another.
inline void ExpectRetriesCloseTheirConnections(const std::vector<LoggedRequest>& log, size_t attempts) {
  ASSERT_EQ(log.size(), attempts);
  for (size_t k = 1; k + 1 < log.size(); ++k)
    EXPECT_NE(log[k + 1].connection, log[k].connection) << "attempt " << k + 2 << " after a retry's closed connection";
}

// A TCP port on 127.0.0.1 that refuses connections while this object lives: the socket is
// bound but never listens, so no other process can start listening there meanwhile.
class ClosedPort {
public:
  ClosedPort() {
    EnsureWinsock();
    s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    int len = sizeof(addr);
    getsockname(s_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~ClosedPort() { closesocket(s_); }
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  int port() const { return port_; }

private:
  SOCKET s_ = INVALID_SOCKET;
  int port_ = 0;
};

}  // namespace qvtest
