#include "tools/objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>
#include <zlib.h>

#include "support/layout.h"
#include "tools/signing.h"

static constexpr size_t kInputSize = 256 * 1024;
static constexpr size_t kOutputSize = 512 * 1024;

// Buffers kept by each thread: allocating and clearing them for every file would cost more
// than hashing a small file.
struct Buffers {
  std::vector<unsigned char> in = std::vector<unsigned char>(kInputSize * 4);
  std::vector<unsigned char> out = std::vector<unsigned char>(kOutputSize);
};
static Buffers& ThreadBuffers() {
  thread_local Buffers buffers;
  return buffers;
}

std::string ObjectRelativePath(const std::string& hash) {
  return layout::kObjectsFolder.narrow + hash.substr(0, 2) + "/" + hash + layout::kObjectSuffix.narrow;
}

// Reads up to size bytes, retrying after interruptions; -1 on error.
static ssize_t ReadSome(int fd, unsigned char* buf, size_t size) {
  for (;;) {
    ssize_t n = read(fd, buf, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

static bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool HashFile(const std::string& path, std::string& hash, uint64_t& size, std::string& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  Sha256 sha;
  if (!Sha256Begin(sha)) {
    close(fd);
    error = "SHA-256 is not available";
    return false;
  }
  std::vector<unsigned char>& buf = ThreadBuffers().in;
  uint64_t total = 0;
  ssize_t n;
  while ((n = ReadSome(fd, buf.data(), buf.size())) > 0) {
    Sha256Update(sha, buf.data(), static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
  }
  int saved = errno;
  close(fd);
  std::string hex = Sha256Finish(sha);
  if (n < 0) {
    error = path + ": " + std::strerror(saved);
    return false;
  }
  hash = hex;
  size = total;
  return true;
}

// Closes the temporary object and, if all went well (ok), renames it onto target; otherwise, or
// if that fails (error then says why), the temporary file goes.
static bool FinishTemp(int out, bool ok, const std::string& temp, const std::string& target, std::string& error) {
  if (close(out) != 0 && ok) {
    error = temp + ": " + std::strerror(errno);
    ok = false;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    error = target + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool WriteObject(const std::string& source, const std::string& target, const std::string& hash,
                 uint64_t size, int level, std::string& error) {
  static std::atomic<unsigned> counter{0};
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    error = source + ": " + std::strerror(errno);
    return false;
  }
  posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  std::string temp = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    error = temp + ": " + std::strerror(errno);
    close(in);
    return false;
  }
  z_stream z{};
  bool ok = deflateInit(&z, level) == Z_OK;
  if (!ok) error = "zlib could not start compressing";
  unsigned char* inBuf = ThreadBuffers().in.data();
  std::vector<unsigned char>& outBuf = ThreadBuffers().out;
  Sha256 sha;
  ok = ok && Sha256Begin(sha);
  uint64_t total = 0;
  int flush = Z_NO_FLUSH;
  while (ok && flush != Z_FINISH) {
    ssize_t n = ReadSome(in, inBuf, kInputSize);
    if (n < 0) {
      error = source + ": " + std::strerror(errno);
      ok = false;
      break;
    }
    Sha256Update(sha, inBuf, static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
    flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = inBuf;
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = outBuf.data();
      z.avail_out = static_cast<uInt>(outBuf.size());
      int rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) {
        error = "zlib failed while compressing " + source;
        ok = false;
        break;
      }
      if (!WriteAll(out, outBuf.data(), outBuf.size() - z.avail_out)) {
        error = temp + ": " + std::strerror(errno);
        ok = false;
        break;
      }
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  close(in);
  std::string actual = Sha256Finish(sha);
  if (ok && (total != size || actual != hash)) {
    error = source + " changed while it was being published";
    ok = false;
  }
  return FinishTemp(out, ok, temp, target, error);
}

bool WriteObjectBytes(const std::string& bytes, const std::string& target, int level, std::string& error) {
  static std::atomic<unsigned> counter{0};
  std::string temp = target + ".tmp" + std::to_string(getpid()) + "-p" + std::to_string(counter++);
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<unsigned char> packed(length);
  if (compress2(packed.data(), &length, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                level) != Z_OK) {
    error = "zlib failed while compressing a piece of " + target;
    return false;
  }
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    error = temp + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = WriteAll(out, packed.data(), length);
  if (!ok) error = temp + ": " + std::strerror(errno);
  return FinishTemp(out, ok, temp, target, error);
}

ObjectState CheckObject(const std::string& path, uint64_t size, const std::string& hash, uint64_t* fileSize,
                        Sha256* also, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ObjectState::Missing : ObjectState::Unreadable;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return ObjectState::Unreadable;
  }
  if (fileSize) *fileSize = static_cast<uint64_t>(st.st_size);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    close(fd);
    return ObjectState::Unreadable;
  }
  Sha256 sha;
  if (!Sha256Begin(sha)) {
    inflateEnd(&z);
    close(fd);
    return ObjectState::Unreadable;
  }
  unsigned char* inBuf = ThreadBuffers().in.data();
  std::vector<unsigned char>& outBuf = ThreadBuffers().out;
  uint64_t total = 0;
  ObjectState state = ObjectState::Good;
  bool ended = false;
  while (!ended && state == ObjectState::Good) {
    ssize_t n = ReadSome(fd, inBuf, kInputSize);
    if (n < 0) {
      state = ObjectState::Unreadable;
      break;
    }
    if (n == 0) {
      state = ObjectState::Corrupt;  // the file ended before the stream did
      break;
    }
    z.next_in = inBuf;
    z.avail_in = static_cast<uInt>(n);
    // Inflate may hold output back when the buffer fills, so go on while it is full.
    do {
      z.next_out = outBuf.data();
      z.avail_out = static_cast<uInt>(outBuf.size());
      int rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        state = ObjectState::Corrupt;
        break;
      }
      size_t produced = outBuf.size() - z.avail_out;
      total += produced;
      if (total > size) {
        state = ObjectState::TooLong;
        break;
      }
      Sha256Update(sha, outBuf.data(), produced);
      if (also) Sha256Update(*also, outBuf.data(), produced);
      if (bytes) bytes->append(reinterpret_cast<const char*>(outBuf.data()), produced);
      if (rc == Z_STREAM_END) ended = true;
      else if (rc == Z_BUF_ERROR && produced == 0) break;
    } while (!ended && (z.avail_in > 0 || z.avail_out == 0));
    // Bytes after the stream are never read by the installer, but they make `c` wrong.
    if (ended && (z.avail_in > 0 || ReadSome(fd, inBuf, 1) != 0)) state = ObjectState::TrailingData;
  }
  inflateEnd(&z);
  close(fd);
  std::string actual = Sha256Finish(sha);
  if (state != ObjectState::Good) return state;
  if (total < size) return ObjectState::TooShort;
  if (actual != hash) return ObjectState::WrongHash;
  return ObjectState::Good;
}

const char* ObjectStateText(ObjectState state) {
  switch (state) {
    case ObjectState::Good: return "good";
    case ObjectState::Missing: return "missing";
    case ObjectState::Unreadable: return "cannot be read";
    case ObjectState::Corrupt: return "not a complete zlib stream";
    case ObjectState::TooLong: return "inflates to more bytes than the manifest's size";
    case ObjectState::TooShort: return "inflates to fewer bytes than the manifest's size";
    case ObjectState::WrongHash: return "inflates to content with another SHA-256";
    case ObjectState::TrailingData: return "has bytes after the end of its zlib stream";
  }
  return "unknown";
}
