// Parses a generated manifest of 32 MiB (the download limit) several times and prints the
// time and throughput of the JSON reader, whole and with its files streamed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "support/json.h"

static const std::size_t kManifestLimit = 33554432;

static std::string Hex64(std::mt19937_64& rng) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    uint64_t v = rng();
    for (int k = 0; k < 16; ++k, v >>= 4) s.push_back(kHex[v & 15]);
  }
  return s;
}

// A manifest as the publisher writes it: format, version, game, files, delete list, news,
// links; file entries are added until the next one would pass the limit.
static std::string MakeManifest(std::size_t& entries) {
  std::mt19937_64 rng(2024);
  static const char* kFolders[] = {"data/maps", "data/sound/ambient", "bin", "data/textures/characters", "locale/pt"};
  std::string head = "{\n  \"format\": 1,\n  \"version\": 1873,\n  \"game_exe\": \"Play Quorvel.exe\",\n"
                     "  \"launcher\": {\"p\": \"Quorvel.exe\", \"h\": \"" + Hex64(rng) + "\", \"s\": 5242880, \"c\": 2104331},\n"
                     "  \"files\": [\n";
  std::string tail = "\n  ],\n  \"delete\": [\"bin/old_client.dll\", \"data/maps/retired.pak\"],\n"
                     "  \"news\": [{\"title\": \"Atualiza\\u00e7\\u00e3o de ver\\u00e3o\", \"date\": \"2024-06-21\", "
                     "\"url\": \"https://www.quorvel.net/news/1873\", \"image\": \"news/summer.jpg\"}],\n"
                     "  \"links\": {\"forum\": \"https://forum.quorvel.net/\", \"support\": \"https://www.quorvel.net/help\"}\n}\n";
  std::string doc = head;
  entries = 0;
  for (;;) {
    char entry[512];
    uint64_t size = rng() % 200000000;
    int n = std::snprintf(entry, sizeof entry,
                          "%s    {\"p\": \"%s/file_%06zu.pak\", \"h\": \"%s\", \"s\": %llu, \"c\": %llu, \"k\": %d}",
                          entries ? ",\n" : "", kFolders[rng() % 5], entries, Hex64(rng).c_str(),
                          static_cast<unsigned long long>(size), static_cast<unsigned long long>(size / 3),
                          static_cast<int>(rng() % 50 == 0));
    if (doc.size() + static_cast<std::size_t>(n) + tail.size() > kManifestLimit) break;
    doc.append(entry, static_cast<std::size_t>(n));
    ++entries;
  }
  return doc + tail;
}

int main() {
  std::size_t entries = 0;
  std::string doc = MakeManifest(entries);
  const int runs = 7;
  std::vector<double> seconds;
  uint64_t checksum = 0;
  for (int i = 0; i < runs; ++i) {
    JsonValue value;
    std::string error;
    auto start = std::chrono::steady_clock::now();
    bool ok = JsonParse(doc, value, &error);
    auto stop = std::chrono::steady_clock::now();
    if (!ok) {
      std::fprintf(stderr, "parse failed: %s\n", error.c_str());
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(stop - start).count());
    for (const JsonValue& f : JsonGetMember(value, "files").array) checksum += static_cast<uint64_t>(JsonAsInt64(JsonGetMember(f, "s")));
  }
  // The manifest as a run reads it: files streamed an element at a time, no tree of them.
  std::vector<double> streamed;
  for (int i = 0; i < runs; ++i) {
    JsonValue rest;
    JsonStream stream;
    stream.key = "files";
    stream.begin = [](size_t, size_t) {};
    stream.element = [&checksum](JsonValue& f) { checksum += static_cast<uint64_t>(JsonAsInt64(JsonGetMember(f, "s"))); };
    auto start = std::chrono::steady_clock::now();
    const bool ok = JsonParseStreamed(doc, stream, rest);
    streamed.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) return 1;
  }
  std::sort(streamed.begin(), streamed.end());
  std::sort(seconds.begin(), seconds.end());
  double best = seconds.front(), median = seconds[runs / 2];
  std::printf("document: %zu bytes (%.1f MiB), %zu file entries\n", doc.size(), doc.size() / 1048576.0, entries);
  std::printf("parse over %d runs: best %.1f ms, median %.1f ms\n", runs, best * 1e3, median * 1e3);
  std::printf("throughput: best %.0f MB/s, median %.0f MB/s (MB = 10^6 bytes)\n", doc.size() / best / 1e6,
              doc.size() / median / 1e6);
  std::printf("streamed (files an element at a time): best %.1f ms, median %.1f ms\n", streamed.front() * 1e3,
              streamed[runs / 2] * 1e3);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory: %.0f MiB (document plus one parsed tree)\n", usage.ru_maxrss / 1024.0);
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
