// SHA-256 of every file of a list by the library the patch engine hashes with (libgcrypt, which
// uses the processor's SHA instructions where there are any), read as the engine reads them:
// 1 MiB at a time, sequential-scan hint, one file per thread at a time.
//   sha_threads.exe THREADS FOLDER LIST
// LIST holds UTF-8 paths relative to FOLDER with forward slashes, one per line. Prints
// "files N bytes B seconds S threads T" (S: the hashing alone); exit code 1 if a file could not
// be read.
#include <windows.h>
#include <gcrypt.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

static std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

namespace {

struct alignas(32) ReadBuffer {
  unsigned char bytes[1 << 20];
};

// Bytes hashed, or -1 if the file could not be read.
int64_t HashFile(const std::wstring& path, ReadBuffer& buffer) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  gcry_md_hd_t md = nullptr;
  int64_t total = gcry_md_open(&md, GCRY_MD_SHA256, 0) == 0 ? 0 : -1;
  for (DWORD read = 0; total >= 0;) {
    if (!ReadFile(file, buffer.bytes, sizeof buffer.bytes, &read, nullptr)) total = -1;
    else if (read == 0) break;
    else {
      gcry_md_write(md, buffer.bytes, read);
      total += read;
    }
  }
  if (md) {
    // The digest is read, as the engine reads it, so that no work is skipped.
    if (total >= 0 && !gcry_md_read(md, GCRY_MD_SHA256)) total = -1;
    gcry_md_close(md);
  }
  CloseHandle(file);
  return total;
}

double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::atoi(argv[1]) < 1) {
    std::fprintf(stderr, "usage: sha_threads THREADS FOLDER LIST\n");
    return 2;
  }
  const int threadCount = std::atoi(argv[1]);
  const std::string folder = argv[2];
  std::vector<std::wstring> paths;
  std::ifstream list(argv[3], std::ios::binary);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::wstring path = Wide(folder + "\\" + line);
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    paths.push_back(std::move(path));
  }
  if (!gcry_check_version(GCRYPT_VERSION)) return 1;
  gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

  std::atomic<size_t> next{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<bool> failed{false};
  const double started = Now();
  std::vector<std::thread> threads;
  for (int t = 0; t < threadCount; ++t) {
    threads.emplace_back([&] {
      auto buffer = std::make_unique<ReadBuffer>();
      for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
        const int64_t got = HashFile(paths[i], *buffer);
        if (got < 0) failed = true;
        else bytes += static_cast<uint64_t>(got);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::printf("files %zu bytes %llu seconds %.3f threads %d\n", paths.size(),
              static_cast<unsigned long long>(bytes.load()), Now() - started, threadCount);
  return failed ? 1 : 0;
}
