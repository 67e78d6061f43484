#include "tools/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

static std::string Failure(const std::string& path) { return path + ": " + std::strerror(errno); }

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = Failure(path);
    return false;
  }
  std::string out;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      error = Failure(path);
      close(fd);
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  bytes = std::move(out);
  return true;
}

bool PathExists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

bool MakeFolders(const std::string& path, std::string& error) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = path + " exists and is not a folder";
    return false;
  }
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error)) return false;
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    error = Failure(path);
    return false;
  }
  return true;
}

bool WriteTempFile(const std::string& tempPath, const std::string& bytes, std::string& error) {
  int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = Failure(tempPath);
    return false;
  }
  const char* p = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (ok && left) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  ok = ok && fsync(fd) == 0;
  if (!ok) error = Failure(tempPath);
  if (close(fd) != 0 && ok) {
    error = Failure(tempPath);
    ok = false;
  }
  if (!ok) unlink(tempPath.c_str());
  return ok;
}

bool RenameDurably(const std::string& from, const std::string& to, std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = Failure(to);
    return false;
  }
  size_t slash = to.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}
