// quorvel-publish build: turns a game folder into a signed release folder.
// Objects are written first and flushed; manifest.json and manifest.sig replace the old ones
// last, so a server never offers a manifest whose objects are not all in place.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "support/chunker.h"
#include "support/json.h"
#include "support/layout.h"
#include "tools/file_io.h"
#include "tools/json_writer.h"
#include "tools/objects.h"
#include "tools/publish.h"
#include "tools/release_paths.h"
#include "tools/signing.h"

static constexpr size_t kManifestLimit = layout::kManifestLimit;  // what the installer downloads at most
static constexpr size_t kProblemsShown = 50;

// One piece of a large file: the object of its own bytes.
struct Piece {
  std::string hash;
  uint32_t size = 0;
  uint64_t compressed = 0;
  bool wrote = false;  // its object is new in this release
};

struct GameFile {
  std::string rel;   // manifest path, forward slashes
  std::string full;  // path on this machine
  bool keep = false;
  std::string hash;
  uint64_t size = 0;
  uint64_t compressed = 0;
  std::vector<Piece> pieces;  // files above the threshold only
  bool wroteObject = false;
  bool replacedBadObject = false;
  std::string error;
};

// The path in quotes, bytes that are not printable UTF-8 text written as \xNN.
static std::string Quoted(const std::string& path) {
  std::string out = "\"";
  bool utf8 = IsValidUtf8(path);
  for (unsigned char c : path) {
    if (c < 32 || c == 127 || (!utf8 && c >= 128)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

static void PrintProblems(const char* heading, const std::vector<std::string>& problems) {
  std::fprintf(stderr, "quorvel-publish: %s\n", heading);
  for (size_t i = 0; i < problems.size() && i < kProblemsShown; ++i)
    std::fprintf(stderr, "  %s\n", problems[i].c_str());
  if (problems.size() > kProblemsShown)
    std::fprintf(stderr, "  ... and %zu more\n", problems.size() - kProblemsShown);
}

// ---- Reading the game folder -------------------------------------------------

static void Walk(const std::string& dir, const std::string& rel, std::vector<GameFile>& files,
                 std::vector<std::string>& problems) {
  DIR* d = opendir(dir.c_str());
  if (!d) {
    problems.push_back(Quoted(rel.empty() ? dir : rel) + ": cannot be read (" + std::strerror(errno) + ")");
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string full = dir + "/" + name;
    std::string path = rel.empty() ? name : rel + "/" + name;
    struct stat st{};
    if (lstat(full.c_str(), &st) != 0) {
      problems.push_back(Quoted(path) + ": " + std::strerror(errno));
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      // A link to a file publishes the file's content; links to folders could loop.
      if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        problems.push_back(Quoted(path) + ": a symbolic link that does not lead to a regular file");
        continue;
      }
    }
    std::string why = PublishPathProblem(path);
    if (why.empty()) why = OwnFileProblem(path);
    if (!why.empty()) {
      problems.push_back(Quoted(path) + ": " + why);
      continue;  // a refused folder name is reported once, not for every file inside
    }
    if (S_ISDIR(st.st_mode)) {
      Walk(full, path, files, problems);
    } else if (S_ISREG(st.st_mode)) {
      GameFile f;
      f.rel = path;
      f.full = full;
      files.push_back(std::move(f));
    } else {
      problems.push_back(Quoted(path) + ": not a regular file");
    }
  }
}

// Files whose paths would land on the same file or folder on a case-insensitive disk.
static void FindCaseCollisions(const std::vector<GameFile>& files, std::vector<std::string>& problems) {
  std::map<std::wstring, std::pair<std::string, bool>> seen;  // key -> (path, is a folder)
  for (const GameFile& f : files) {
    for (size_t slash = f.rel.find('/'); slash != std::string::npos; slash = f.rel.find('/', slash + 1)) {
      std::string folder = f.rel.substr(0, slash);
      auto [it, added] = seen.emplace(WindowsPathKey(folder), std::make_pair(folder, true));
      if (!added && !it->second.second)
        problems.push_back(Quoted(f.rel) + ": its folder collides with the file " + Quoted(it->second.first) +
                           " on Windows (names differ only in case)");
    }
    auto [it, added] = seen.emplace(WindowsPathKey(f.rel), std::make_pair(f.rel, false));
    if (!added)
      problems.push_back(Quoted(f.rel) + ": collides with " + Quoted(it->second.first) + " on Windows (names differ only in case)");
  }
}

// Absolute path without symbolic links, also for a path whose last levels do not exist yet.
static std::string ResolvePath(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (char* real = realpath(path.c_str(), nullptr)) {
    std::string out = real;
    free(real);
    return out;
  }
  size_t slash = path.find_last_of('/');
  std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string base = ResolvePath(parent);
  return (base == "/" ? "" : base) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// ---- News and links ----------------------------------------------------------

static bool ReadJsonFile(const std::string& file, JsonValue& value, std::vector<std::string>& problems) {
  std::string text, error;
  if (!ReadFileBytes(file, text, error)) {
    problems.push_back(error);
    return false;
  }
  std::string parseError;
  if (!JsonParse(text, value, &parseError)) {
    problems.push_back(file + ": not valid JSON (" + parseError + ")");
    return false;
  }
  return true;
}

// Every news item must survive the installer's reading of it unchanged: a title, string
// fields, an image path the path rule accepts.
static bool LoadNews(const std::string& file, std::string& json, std::vector<std::string>& problems) {
  JsonValue news;
  if (!ReadJsonFile(file, news, problems)) return false;
  if (news.type != JsonType::Array) {
    problems.push_back(file + ": the news must be a JSON array of objects");
    return false;
  }
  size_t before = problems.size();
  for (size_t i = 0; i < news.array.size(); ++i) {
    const JsonValue& item = news.array[i];
    std::string where = file + ": news item " + std::to_string(i + 1);
    if (item.type != JsonType::Object) {
      problems.push_back(where + " is not an object");
      continue;
    }
    if (JsonAsString(JsonGetMember(item, "title"), "").empty())
      problems.push_back(where + " has no title (the installer would drop it)");
    for (const auto& [key, member] : item.object) {
      bool textField = key == "date" || key == "title" || key == "text" || key == "url" || key == "type" ||
                       key == "author" || key == "image" || key.rfind("title_", 0) == 0 ||
                       key.rfind("text_", 0) == 0;
      if (textField && member.type != JsonType::String)
        problems.push_back(where + ": \"" + key + "\" must be a string");
    }
    const JsonValue& image = JsonGetMember(item, "image");
    if (image.type == JsonType::String && !image.string.empty()) {
      std::string why = InstallerPathProblem(image.string);
      if (!why.empty()) problems.push_back(where + ": image \"" + image.string + "\": " + why);
    }
  }
  std::string why;
  if (problems.size() == before && !JsonWriteValue(json, news, &why)) problems.push_back(file + ": " + why);
  return problems.size() == before;
}

static bool LoadLinks(const std::string& file, std::string& json, std::vector<std::string>& problems) {
  JsonValue links;
  if (!ReadJsonFile(file, links, problems)) return false;
  if (links.type != JsonType::Object) {
    problems.push_back(file + ": the links must be a JSON object of strings");
    return false;
  }
  size_t before = problems.size();
  for (const auto& [key, member] : links.object)
    if (member.type != JsonType::String) problems.push_back(file + ": link \"" + key + "\" must be a string");
  std::string why;
  if (problems.size() == before && !JsonWriteValue(json, links, &why)) problems.push_back(file + ": " + why);
  return problems.size() == before;
}

// ---- Hashing and objects -----------------------------------------------------

struct Work {
  std::vector<GameFile>* files = nullptr;
  std::string releaseDir;
  int level = 9;
  uint64_t chunkThreshold = 0;
  PieceRule pieceRule = kDefaultGearRule;
  std::atomic<size_t> next{0};
  std::atomic<size_t> filesDone{0};
  std::atomic<uint64_t> bytesDone{0};
  std::atomic<unsigned> running{0};
  std::atomic<bool> failed{false};
  std::mutex claimLock;
  std::set<std::string> claimed;  // hashes whose object one worker has taken on
};

// Reads until buffer holds want bytes from at or the file ends; false (with f.error) on a read error.
static bool FillFrom(int fd, GameFile& f, std::string& buffer, size_t& at, size_t& held, size_t want, bool& ended) {
  if (held - at >= want || ended) return true;
  buffer.erase(0, at);  // keep the unread rest at the front
  held -= at;
  at = 0;
  buffer.resize(std::max(buffer.size(), want));
  while (held < want) {
    ssize_t n = read(fd, buffer.data() + held, buffer.size() - held);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      f.error = f.full + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) {
      ended = true;
      break;
    }
    held += static_cast<size_t>(n);
  }
  return true;
}

// Cuts f where the piece rule says and writes each piece's object unless the release already
// holds a good one (a piece shared by two files or two releases is stored once).
static void ProcessPieces(Work& work, GameFile& f) {
  int fd = open(f.full.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    f.error = f.full + ": " + std::strerror(errno);
    return;
  }
  const PieceRule& rule = work.pieceRule;
  std::string buffer;
  size_t at = 0, held = 0;
  bool ended = false;
  uint64_t total = 0;
  for (;;) {
    if (!FillFrom(fd, f, buffer, at, held, rule.maxSize, ended)) break;
    const size_t got = NextPieceLength(rule, reinterpret_cast<const uint8_t*>(buffer.data()) + at, held - at);
    if (got == 0) break;
    Piece piece;
    piece.size = static_cast<uint32_t>(got);
    Sha256 sha;
    if (!Sha256Begin(sha)) {
      f.error = "SHA-256 is not available";
      break;
    }
    Sha256Update(sha, buffer.data() + at, got);
    piece.hash = Sha256Finish(sha);
    total += got;
    bool mine = false;
    {
      std::lock_guard<std::mutex> guard(work.claimLock);
      mine = work.claimed.insert(piece.hash).second;
    }
    const std::string object = work.releaseDir + "/" + ObjectRelativePath(piece.hash);
    if (mine && CheckObject(object, piece.size, piece.hash, nullptr) != ObjectState::Good) {
      if (!MakeFolders(work.releaseDir + "/" + layout::kObjectsFolder.narrow + piece.hash.substr(0, 2), f.error) ||
          !WriteObjectBytes(buffer.substr(at, got), object, work.level, f.error))
        break;
      piece.wrote = true;
    }
    f.pieces.push_back(std::move(piece));
    at += got;
  }
  close(fd);
  if (f.error.empty() && total != f.size) f.error = f.full + " changed while it was being published";
}

static void ProcessFile(Work& work, GameFile& f) {
  if (!HashFile(f.full, f.hash, f.size, f.error)) return;
  if (work.chunkThreshold > 0 && f.size > work.chunkThreshold) {
    ProcessPieces(work, f);
    if (!f.error.empty()) return;
  }
  {
    std::lock_guard<std::mutex> guard(work.claimLock);
    if (!work.claimed.insert(f.hash).second) return;  // identical content, one object
  }
  std::string object = work.releaseDir + "/" + ObjectRelativePath(f.hash);
  ObjectState state = CheckObject(object, f.size, f.hash, nullptr);
  if (state == ObjectState::Good) return;
  f.replacedBadObject = state != ObjectState::Missing;
  if (!MakeFolders(work.releaseDir + "/" + layout::kObjectsFolder.narrow + f.hash.substr(0, 2), f.error)) return;
  f.wroteObject = WriteObject(f.full, object, f.hash, f.size, work.level, f.error);
}

static void Worker(Work& work) {
  for (;;) {
    size_t i = work.next++;
    if (i >= work.files->size() || work.failed) break;
    GameFile& f = (*work.files)[i];
    ProcessFile(work, f);
    if (!f.error.empty()) work.failed = true;
    work.bytesDone += f.size;
    work.filesDone++;
  }
  work.running--;
}

static std::string Megabytes(uint64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
  return buf;
}

// One line rewritten in place on a terminal; a plain line per tenth of the work otherwise.
static void ShowProgress(const Work& work, size_t total, bool tty, int& lastTenth) {
  size_t done = work.filesDone;
  uint64_t bytes = work.bytesDone;
  int percent = total ? static_cast<int>(done * 100 / total) : 100;
  if (tty) {
    std::printf("\r  %zu/%zu files (%d%%), %s hashed", done, total, percent, Megabytes(bytes).c_str());
    std::fflush(stdout);
  } else if (percent / 10 > lastTenth) {
    lastTenth = percent / 10;
    std::printf("  %zu/%zu files (%d%%), %s hashed\n", done, total, percent, Megabytes(bytes).c_str());
    std::fflush(stdout);
  }
}

static bool ProcessAll(std::vector<GameFile>& files, const BuildOptions& options) {
  Work work;
  work.files = &files;
  work.releaseDir = options.releaseDir;
  work.level = options.level;
  work.chunkThreshold = options.chunkThreshold;
  unsigned jobs = options.jobs ? options.jobs : std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::thread> threads;
  work.running = jobs;
  for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(Worker, std::ref(work));
  bool tty = isatty(STDOUT_FILENO);
  int lastTenth = 0;
  while (work.running > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ShowProgress(work, files.size(), tty, lastTenth);
  }
  for (auto& t : threads) t.join();
  ShowProgress(work, files.size(), tty, lastTenth);
  if (tty) std::printf("\n");
  std::vector<std::string> errors;
  for (const GameFile& f : files)
    if (!f.error.empty()) errors.push_back(f.error);
  if (!errors.empty()) {
    PrintProblems("could not publish:", errors);
    return false;
  }
  for (GameFile& f : files) {
    struct stat st{};
    std::string object = options.releaseDir + "/" + ObjectRelativePath(f.hash);
    if (stat(object.c_str(), &st) != 0) {
      std::fprintf(stderr, "quorvel-publish: %s vanished while publishing\n", object.c_str());
      return false;
    }
    f.compressed = static_cast<uint64_t>(st.st_size);
    for (Piece& piece : f.pieces) {
      std::string pieceObject = options.releaseDir + "/" + ObjectRelativePath(piece.hash);
      if (stat(pieceObject.c_str(), &st) != 0) {
        std::fprintf(stderr, "quorvel-publish: %s vanished while publishing\n", pieceObject.c_str());
        return false;
      }
      piece.compressed = static_cast<uint64_t>(st.st_size);
    }
    if (f.replacedBadObject) std::printf("  replaced a damaged object %s\n", ObjectRelativePath(f.hash).c_str());
  }
  return true;
}

// ---- Manifest ------------------------------------------------------------------

static void AppendEntry(std::string& out, const GameFile& f) {
  out += "{\"p\":";
  JsonWriteString(out, f.rel);
  out += ",\"h\":\"" + f.hash + "\",\"s\":";
  JsonWriteUnsigned(out, f.size);
  out += ",\"c\":";
  JsonWriteUnsigned(out, f.compressed);
  if (f.keep) out += ",\"k\":1";
  if (!f.pieces.empty()) {
    out += ",\"x\":[";
    for (size_t i = 0; i < f.pieces.size(); ++i) {
      if (i) out += ",";
      out += "{\"h\":\"" + f.pieces[i].hash + "\",\"s\":";
      JsonWriteUnsigned(out, f.pieces[i].size);
      out += ",\"c\":";
      JsonWriteUnsigned(out, f.pieces[i].compressed);
      out += "}";
    }
    out += "]";
  }
  out += "}";
}

static std::string ManifestText(const BuildOptions& options, const std::vector<GameFile>& files,
                                const GameFile* launcher, const std::string& news, const std::string& links) {
  std::string out = "{\n\"format\": 1,\n\"version\": " + std::to_string(options.version) + ",\n";
  if (options.validDays > 0)
    out += "\"expires\": \"" + UtcTimeText(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::system_clock::now().time_since_epoch()).count() +
                                    options.validDays * 86400LL) + "\",\n";
  if (!options.gameExe.empty()) {
    out += "\"game_exe\": ";
    JsonWriteString(out, options.gameExe);
    out += ",\n";
  }
  if (launcher) {
    out += "\"launcher\": ";
    AppendEntry(out, *launcher);
    out += ",\n";
  }
  out += "\"delete\": [";
  for (size_t i = 0; i < options.deletePaths.size(); ++i) {
    if (i) out += ", ";
    JsonWriteString(out, options.deletePaths[i]);
  }
  out += "],\n";
  if ((launcher && !launcher->pieces.empty()) ||
      std::any_of(files.begin(), files.end(), [](const GameFile& f) { return !f.pieces.empty(); })) {
    // Installers cut their own files with the same rule to find pieces they already hold.
    const PieceRule& rule = kDefaultGearRule;
    out += "\"pieces\": {\"rule\": \"" + std::string(kGearRuleName) + "\", \"min\": " + std::to_string(rule.minSize) +
           ", \"avg\": " + std::to_string(rule.avgSize) + ", \"max\": " + std::to_string(rule.maxSize) + "},\n";
  }
  if (!news.empty()) out += "\"news\": " + news + ",\n";
  if (!links.empty()) out += "\"links\": " + links + ",\n";
  out += "\"files\": [";
  for (size_t i = 0; i < files.size(); ++i) {
    out += i ? ",\n" : "\n";
    AppendEntry(out, files[i]);
  }
  out += "\n]\n}\n";
  return out;
}

// Writes both files under temporary names first so that the two renames follow each other
// as closely as possible.
static bool WriteManifest(const std::string& dir, const std::string& manifest, const std::string& signature) {
  std::string error;
  std::string json = dir + "/" + layout::kManifestFile.narrow, sig = dir + "/" + layout::kSignatureFile.narrow;
  bool ok = WriteTempFile(json + ".tmp", manifest, error) && WriteTempFile(sig + ".tmp", signature, error) &&
            RenameDurably(json + ".tmp", json, error) && RenameDurably(sig + ".tmp", sig, error);
  if (!ok) {
    unlink((json + ".tmp").c_str());
    unlink((sig + ".tmp").c_str());
    std::fprintf(stderr, "quorvel-publish: %s\n", error.c_str());
  }
  return ok;
}

// ---- The command -----------------------------------------------------------------

// The release already in the folder: its version, and whether our key signed it.
static bool CheckPreviousRelease(const BuildOptions& options, const std::string& publicKey) {
  std::string json = options.releaseDir + "/" + layout::kManifestFile.narrow;
  if (!PathExists(json)) return true;
  std::string text, error, parseError;
  JsonValue manifest;
  if (!ReadFileBytes(json, text, error) || !JsonParse(text, manifest, &parseError) ||
      manifest.type != JsonType::Object) {
    std::fprintf(stderr,
                 "quorvel-publish: %s cannot be read (%s); the version of the published release is unknown. "
                 "Move the folder's manifest away to start a new release there.\n",
                 json.c_str(), error.empty() ? parseError.c_str() : error.c_str());
    return false;
  }
  int32_t previous = static_cast<int32_t>(JsonAsInt64(JsonGetMember(manifest, "version")));
  if (options.version < previous) {
    std::fprintf(stderr,
                 "quorvel-publish: version %d is lower than version %d already published in %s; "
                 "installers refuse to go back to an older version\n",
                 options.version, previous, options.releaseDir.c_str());
    return false;
  }
  std::string sig;
  if (ReadFileBytes(options.releaseDir + "/" + layout::kSignatureFile.narrow, sig, error) && !VerifySignature(publicKey, text, sig))
    std::fprintf(stderr, "warning: the release in %s was not signed with this key; installers built with the "
                "earlier key will refuse the new release\n",
                options.releaseDir.c_str());
  return true;
}

// Finds a file named on the command line; accepts backslashes as separators.
static GameFile* FindFile(std::vector<GameFile>& files, std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  for (GameFile& f : files)
    if (f.rel == path) return &f;
  return nullptr;
}

// The game's files as the release publishes them: the launcher apart, kept files marked.
// Every reason to refuse goes into problems.
static void CollectGameFiles(const BuildOptions& options, std::vector<GameFile>& files, std::vector<GameFile>& launcher,
                             std::vector<std::string>& problems) {
  Walk(options.gameDir, "", files, problems);
  FindCaseCollisions(files, problems);
  if (files.empty() && problems.empty()) problems.push_back(options.gameDir + ": holds no files to publish");
  if (!options.launcher.empty()) {
    if (GameFile* f = FindFile(files, options.launcher)) {
      launcher.push_back(*f);
      files.erase(files.begin() + (f - files.data()));
    } else {
      problems.push_back(Quoted(options.launcher) + ": the launcher is not a file in " + options.gameDir);
    }
  }
  for (const std::string& keep : options.keep) {
    if (GameFile* f = FindFile(files, keep)) f->keep = true;
    else problems.push_back(Quoted(keep) + ": a kept file must be a file in " + options.gameDir);
  }
  if (!options.gameExe.empty()) {
    std::string exe = options.gameExe;
    std::replace(exe.begin(), exe.end(), '\\', '/');
    if (!FindFile(files, exe) && !(launcher.size() && launcher[0].rel == exe))
      problems.push_back(Quoted(options.gameExe) + ": the game executable is not a file in " + options.gameDir);
  } else if (!FindFile(files, layout::kDefaultGameExe)) {
    std::fprintf(stderr, "warning: no --game-exe given and no \"%s\" at the top of the game folder\n", layout::kDefaultGameExe);
  }
}

// Refuses each path of the delete list that installers would not delete, or that the release
// publishes (itself or below it).
static void CheckDeleteList(const BuildOptions& options, const std::vector<GameFile>& files,
                            const std::vector<GameFile>& launcher, std::vector<std::string>& problems) {
  std::map<std::wstring, std::string> published;
  for (const GameFile& f : files) published[WindowsPathKey(f.rel)] = f.rel;
  for (const GameFile& f : launcher) published[WindowsPathKey(f.rel)] = f.rel;
  for (const std::string& path : options.deletePaths) {
    std::string why = IsValidUtf8(path) ? InstallerPathProblem(path) : "not valid UTF-8";
    if (why.empty()) why = OwnFileProblem(path);
    if (!why.empty()) {
      problems.push_back(Quoted(path) + ": cannot be deleted by installers: " + why);
      continue;
    }
    std::wstring key = WindowsPathKey(path);
    auto it = published.lower_bound(key);
    if (it != published.end() && (it->first == key || it->first.rfind(key + L"/", 0) == 0))
      problems.push_back(Quoted(path) + ": listed for deletion but " + Quoted(it->second) + " is published");
  }
}

// False (said on stderr) if the game folder is not a folder or holds the release folder.
static bool FoldersUsable(const BuildOptions& options) {
  struct stat st{};
  if (stat(options.gameDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "quorvel-publish: %s is not a folder\n", options.gameDir.c_str());
    return false;
  }
  std::string gameReal = ResolvePath(options.gameDir), releaseReal = ResolvePath(options.releaseDir);
  if (releaseReal == gameReal || releaseReal.rfind(gameReal + "/", 0) == 0) {
    std::fprintf(stderr, "quorvel-publish: the release folder %s lies inside the game folder %s\n",
                 options.releaseDir.c_str(), options.gameDir.c_str());
    return false;
  }
  return true;
}

// Every object must be on disk before a manifest that names it. False (said) if not flushed.
static bool FlushRelease(const std::string& releaseDir) {
  int dirFd = open(releaseDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0 || syncfs(dirFd) != 0) {
    std::fprintf(stderr, "quorvel-publish: %s could not be flushed to disk\n", releaseDir.c_str());
    if (dirFd >= 0) close(dirFd);
    return false;
  }
  close(dirFd);
  return true;
}

// Signs manifest with seed (then wiped) and writes both; false (said) on any failure.
static bool SignAndWrite(const std::string& releaseDir, const std::string& manifest, std::string& seed,
                         const std::string& publicKey) {
  if (manifest.size() > kManifestLimit) {
    std::fprintf(stderr, "quorvel-publish: the manifest would be %zu bytes; installers read at most %zu\n",
                 manifest.size(), kManifestLimit);
    return false;
  }
  std::string signature;
  if (!SignMessage(seed, manifest, signature) || !VerifySignature(publicKey, manifest, signature)) {
    std::fprintf(stderr, "quorvel-publish: signing the manifest failed\n");
    return false;
  }
  explicit_bzero(seed.data(), seed.size());
  return WriteManifest(releaseDir, manifest, signature);
}

// What was published, for the operator.
static void PrintSummary(const BuildOptions& options, const std::vector<GameFile>& all, const std::string& publicKey) {
  uint64_t bytes = 0, compressed = 0, written = 0;
  size_t newObjects = 0, piecedFiles = 0, pieces = 0;
  for (const GameFile& f : all) {
    bytes += f.size;
    compressed += f.compressed;
    if (f.wroteObject) {
      ++newObjects;
      written += f.compressed;
    }
    for (const Piece& piece : f.pieces) {
      if (!piece.wrote) continue;
      ++newObjects;
      written += piece.compressed;
    }
    if (!f.pieces.empty()) ++piecedFiles;
    pieces += f.pieces.size();
  }
  std::printf("Published version %d in %s\n", options.version, options.releaseDir.c_str());
  std::printf("  files: %zu\n", all.size());
  std::printf("  bytes: %llu (%s)\n", static_cast<unsigned long long>(bytes), Megabytes(bytes).c_str());
  std::printf("  compressed bytes: %llu (%s)\n", static_cast<unsigned long long>(compressed),
              Megabytes(compressed).c_str());
  std::printf("  new objects: %zu (%s to upload)\n", newObjects, Megabytes(written).c_str());
  if (piecedFiles) std::printf("  files also in pieces: %zu (%zu pieces)\n", piecedFiles, pieces);
  std::printf("  public key: %s\n", HexEncode(publicKey).c_str());
}

int RunBuild(const BuildOptions& options) {
  if (!CryptoInit()) {
    std::fprintf(stderr, "quorvel-publish: libgcrypt could not be initialised\n");
    return 1;
  }
  std::string seed, publicKey, error;
  if (!ReadKeyFile(options.keyFile, seed, error) || !PublicKeyFromSeed(seed, publicKey)) {
    std::fprintf(stderr, "quorvel-publish: %s\n", error.empty() ? "the key cannot be used" : error.c_str());
    return 1;
  }
  std::vector<std::string> problems;
  std::string news, links;
  if (!options.newsFile.empty()) LoadNews(options.newsFile, news, problems);
  if (!options.linksFile.empty()) LoadLinks(options.linksFile, links, problems);
  if (!problems.empty()) {
    PrintProblems("refused:", problems);
    return 1;
  }
  if (!FoldersUsable(options) || !CheckPreviousRelease(options, publicKey)) return 1;

  std::vector<GameFile> files, launcher;
  CollectGameFiles(options, files, launcher, problems);
  CheckDeleteList(options, files, launcher, problems);
  if (!problems.empty()) {
    PrintProblems("refused:", problems);
    return 1;
  }

  if (!MakeFolders(options.releaseDir + "/files", error)) {
    std::fprintf(stderr, "quorvel-publish: %s\n", error.c_str());
    return 1;
  }
  std::vector<GameFile> all = files;
  all.insert(all.end(), launcher.begin(), launcher.end());
  std::printf("Publishing %zu files from %s as version %d\n", all.size(), options.gameDir.c_str(), options.version);
  if (!ProcessAll(all, options)) return 1;
  std::copy(all.begin(), all.begin() + static_cast<ptrdiff_t>(files.size()), files.begin());
  if (!launcher.empty()) launcher[0] = all.back();
  if (!FlushRelease(options.releaseDir)) return 1;

  const std::string manifest =
      ManifestText(options, files, launcher.empty() ? nullptr : &launcher[0], news, links);
  if (!SignAndWrite(options.releaseDir, manifest, seed, publicKey)) return 1;
  PrintSummary(options, all, publicKey);
  return 0;
}
