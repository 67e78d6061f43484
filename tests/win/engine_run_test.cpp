// Whole patch runs against the test servers: stages as the window receives them, files on
// disk, the local state files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/setup_state.h"
#include "fs_call_counter.h"
#include "message_sink.h"
#include "patch/engine.h"
#include "support/layout.h"
#include "pause_recorder.h"
#include "support/text.h"
#include "test_release.h"
#include "test_servers.h"
#include "ui/format.h"

using namespace qvtest;

namespace {

// A stage post as text: "3", or "2+" for the manifest data (LPARAM 1).
std::string StageText(const Message& m) { return std::to_string(m.wParam) + (m.lParam == 1 ? "+" : ""); }

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : " ") + part;
  return out;
}

std::string Manifest(int version, const std::vector<std::string>& entries, const std::string& extra = "") {
  std::string files;
  for (const std::string& entry : entries) files += (files.empty() ? "" : ",") + entry;
  return "{\"format\":1,\"version\":" + std::to_string(version) + ",\"files\":[" + files + "]" +
         extra + "}";
}

// Every file below folder (relative path with backslashes -> content), skipping the names given.
void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder, prefix + name + L"\\", out);
    } else {
      out[prefix + name] = ReadBytes(folder + prefix + name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

struct RunCase : ::testing::Test {
  ScratchFolder folder;
  PatchEngine engine;
  Release release;
  MessageSink window;
  PauseRecorder pauses;
  std::vector<std::string> received;
  // Runs on the test's thread as each stage arrives.
  std::function<void(const std::string&)> onMessage;

  void SetUp() override {
    EnsureHttpSession();
    UseTestKey();
    g_patchBaseUrl = release.NginxBase();
    ASSERT_NE(window.hwnd(), nullptr);
    window.onMessage = [this](const Message& m) {
      if (m.code == WM_APP + 1 && onMessage) onMessage(StageText(m));
    };
    engine.requestedFolder = folder.slashed();
    engine.installerMode = true;
    engine.notifyWindow = window.hwnd();
    engine.notifyMessage = WM_APP + 1;
  }

  void TearDown() override { engine.Stop(); }

  // Delivers messages until the run has ended (its last post follows the end); with join, also
  // until its thread is gone. Returns every stage received since the last clear.
  std::string Wait(bool join = true) {
    window.DeliverUntil([this] { return !engine.running; });
    if (join && engine.worker.joinable()) engine.worker.join();
    for (const Message& m : window.Take(WM_APP + 1)) received.push_back(StageText(m));
    return Join(received);
  }
  // One whole run; returns its messages.
  std::string Run(bool fullVerify = false) {
    received.clear();
    engine.Start(fullVerify);
    return Wait();
  }

  std::wstring Error() {
    std::lock_guard<SlimLock> lock(engine.stateLock);
    return engine.errorMessage;
  }
  // A path inside the install folder.
  std::wstring Path(const std::wstring& relative) const { return engine.requestedFolder + relative; }
  std::string CacheFile() const { return ReadBytes(Path(L"config\\patcher_cache.dat")); }
  std::string IniVersion() const {
    wchar_t text[32] = {};
    GetPrivateProfileStringW(L"patch", L"version", L"<none>", text, 32, Path(L"config\\patcher.ini").c_str());
    return std::string(text, text + wcslen(text));
  }
  size_t CacheLines() const {
    const std::string cache = CacheFile();
    return cache == "<missing>" ? 0 : static_cast<size_t>(std::count(cache.begin(), cache.end(), '\n'));
  }
  void Put(const std::wstring& relative, const std::string& bytes) {
    ASSERT_TRUE(WriteBytes(Path(relative), bytes));
  }
};

}  // namespace

TEST_F(RunCase, InstallsTheSampleReleaseThenFindsNothingToDo) {
  g_patchBaseUrl = Widen(ServerValue("QV_SAMPLE_BASE_URL"));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(Error(), L"");
  std::map<std::wstring, std::string> expected, installed;
  ListFiles(WinePath(ServerValue("QV_SAMPLE_GAME")) + L"\\", L"", expected);
  ListFiles(folder.slashed(), L"", installed);
  ASSERT_FALSE(expected.empty());
  for (const auto& [path, content] : expected) {
    ASSERT_TRUE(installed.count(path)) << "missing " << WideToUtf8(path);
    EXPECT_TRUE(installed[path] == content) << "wrong content in " << WideToUtf8(path);
  }
  EXPECT_EQ(IniVersion(), ServerValue("QV_SAMPLE_VERSION"));
  EXPECT_EQ(CacheLines(), expected.size());
  EXPECT_FALSE(Exists(Path(L"patcher_parts")));
  EXPECT_EQ(engine.doneFiles.load(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(engine.doneBytes.load(), engine.totalBytes.load());
  std::wstring gameExe;
  {
    std::lock_guard<SlimLock> lock(engine.stateLock);
    gameExe = engine.gameExe;
  }
  EXPECT_FALSE(gameExe.empty());

  const std::string cacheBefore = CacheFile();
  EXPECT_EQ(Run(), "1 2 2+ 3 5 8 8");
  EXPECT_EQ(engine.totalFiles.load(), 0) << "the cache vouched for every file: nothing hashed";
  EXPECT_EQ(engine.totalBytes.load(), 0u);
  EXPECT_EQ(CacheFile(), cacheBefore);
}

// The cache vouches for size and time only: files moved out with their times, behind a link
// under a name that starts like a plain sibling's, are still not the installation's.
TEST_F(RunCase, AFolderThatBecameALinkIsNotTrustedByTheCache) {
  const std::string f = RandomBytes(5000, 31), g = RandomBytes(6000, 32);
  const auto pf = release.Put(f), pg = release.Put(g);
  release.Sign(Manifest(1, {EntryJson("data/a/f.bin", pf), EntryJson("data/ab/g.bin", pg)}));
  ASSERT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  ScratchFolder outside;
  ASSERT_TRUE(MoveFileExW(Path(L"data\\ab").c_str(), (outside / L"ab").c_str(), 0));
  MakeLink(Path(L"data\\ab"), outside / L"ab");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 9 9");
  EXPECT_EQ(Error().rfind(L"Could not write file: data\\ab\\g.bin", 0), 0u) << Narrow(Error());
  EXPECT_TRUE(ReadBytes(outside / L"ab\\g.bin") == g);
  EXPECT_TRUE(ReadBytes(Path(L"data\\a\\f.bin")) == f);
}

TEST_F(RunCase, ChangedFilesAreRepairedAndTheCacheIsUsedOnlyWhenSizeAndTimeMatch) {
  const std::string a = RandomBytes(40000, 21), b = RandomBytes(30000, 22), c = RandomBytes(20000, 23);
  const auto pa = release.Put(a), pb = release.Put(b), pc = release.Put(c);
  release.Sign(Manifest(3, {EntryJson("a.bin", pa), EntryJson("dir/b.bin", pb), EntryJson("dir/c.bin", pc)}));
  ASSERT_EQ(Run(), "1 2 2+ 3 4 5 8 8");

  // Same size, other content (a new write time): hashed, found wrong, downloaded again.
  std::string changed = a;
  changed[100] ^= 1;
  Put(L"a.bin", changed);
  // Another size: downloaded without hashing.
  Put(L"dir\\b.bin", "short");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(engine.totalFiles.load(), 2) << "stage 4 counts the two downloads";
  EXPECT_TRUE(ReadBytes(Path(L"a.bin")) == a);
  EXPECT_TRUE(ReadBytes(Path(L"dir\\b.bin")) == b);

  // Only the write time changes: hashed once, right, nothing downloaded, record renewed.
  HANDLE file = CreateFileW(Path(L"dir\\c.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME old = {0x12345678, 0x01d00000};
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
  CloseHandle(file);
  EXPECT_EQ(Run(), "1 2 2+ 3 5 8 8");
  EXPECT_EQ(engine.totalFiles.load(), 1);
  EXPECT_EQ(engine.totalBytes.load(), c.size());
  const uint64_t oldTime = (static_cast<uint64_t>(old.dwHighDateTime) << 32) | old.dwLowDateTime;
  std::string renewed = "\t";
  renewed += std::to_string(oldTime);
  renewed += "\tdir/c.bin\n";
  EXPECT_NE(CacheFile().find(renewed), std::string::npos);

  // A record that matches size and time is believed; full verification believes nothing.
  std::string cache = CacheFile();
  const size_t line = cache.find(pc.hash);
  ASSERT_NE(line, std::string::npos);
  cache.replace(line, 64, std::string(64, '0'));
  ASSERT_TRUE(WriteBytes(Path(L"config\\patcher_cache.dat"), cache));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8") << "the record says the file is wrong";
  EXPECT_EQ(Run(true), "1 2 2+ 3 5 8 8");
  EXPECT_EQ(engine.totalFiles.load(), 3) << "every present file was hashed";

  // An unchanged run leaves both state files as they are (the same file, not a copy), unless
  // the cache holds a record the list no longer has.
  const auto identity = [this](const wchar_t* name) {
    BY_HANDLE_FILE_INFORMATION info = {};
    HANDLE h = CreateFileW(Path(name).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  };
  const uint64_t ini = identity(L"config\\patcher.ini"), cached = identity(L"config\\patcher_cache.dat");
  EXPECT_EQ(Run(), "1 2 2+ 3 5 8 8");
  EXPECT_EQ(identity(L"config\\patcher.ini"), ini);
  EXPECT_EQ(identity(L"config\\patcher_cache.dat"), cached);
  const std::string kept = CacheFile();
  ASSERT_TRUE(WriteBytes(Path(L"config\\patcher_cache.dat"), kept + std::string(64, 'f') + "\t1\t2\tgone.bin\n"));
  EXPECT_EQ(Run(), "1 2 2+ 3 5 8 8");
  EXPECT_EQ(CacheFile(), kept);
}

TEST_F(RunCase, KeptFilesStayAndMissingOnesAreDownloaded) {
  const std::string settings = "width=1920\n", extra = RandomBytes(5000, 24);
  const auto ps = release.Put(settings), pe = release.Put(extra);
  release.Sign(Manifest(1, {EntryJson("config/user.cfg", ps, true), EntryJson("extra.bin", pe, true)}));
  Put(L"config\\user.cfg", "the player's own settings, another size");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(ReadBytes(Path(L"config\\user.cfg")), "the player's own settings, another size");
  EXPECT_TRUE(ReadBytes(Path(L"extra.bin")) == extra);
}

TEST_F(RunCase, DeleteListRemovesFilesAndTheFoldersTheyLeaveEmpty) {
  // The install folder sits one level down, so that "../outside.txt" names a file of this test.
  engine.requestedFolder = folder / L"game\\";
  const auto p = release.Put("game");
  release.Sign(Manifest(2, {EntryJson("game.bin", p)},
                        R"(,"delete":["old/deep/a.txt",5,"../outside.txt","shared/b.txt","gone.txt","ro.txt"])"));
  Put(L"old\\deep\\a.txt", "a");
  Put(L"shared\\b.txt", "b");
  Put(L"shared\\other.txt", "stays");
  Put(L"ro.txt", "read-only");
  ASSERT_TRUE(SetFileAttributesW(Path(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(folder / L"outside.txt", "not the game's"));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_FALSE(Exists(Path(L"old\\deep\\a.txt")));
  EXPECT_FALSE(Exists(Path(L"old\\deep")));
  EXPECT_FALSE(Exists(Path(L"old")));
  EXPECT_FALSE(Exists(Path(L"shared\\b.txt")));
  EXPECT_TRUE(Exists(Path(L"shared\\other.txt")));
  EXPECT_FALSE(Exists(Path(L"ro.txt")));
  EXPECT_TRUE(Exists(Path(L"game.bin")));
  EXPECT_EQ(ReadBytes(folder / L"outside.txt"), "not the game's") << "no delete leaves the folder";
  EXPECT_TRUE(Exists(Path(L""))) << "the install folder itself is never removed";
}

TEST_F(RunCase, FilesSharingOneHashAllArriveFromOneTransfer) {
  const std::string same = RandomBytes(150000, 25), other = RandomBytes(1000, 26);
  const auto ps = release.Put(same), po = release.Put(other);
  g_patchBaseUrl = release.FaultBase();
  release.Sign(Manifest(1, {EntryJson("one/same.bin", ps), EntryJson("two/same.bin", ps),
                            EntryJson("other.bin", po), EntryJson("three/Same.bin", ps),
                            EntryJson("four/same.bin", ps)}));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(Error(), L"");
  for (const wchar_t* path : {L"one\\same.bin", L"two\\same.bin", L"three\\Same.bin", L"four\\same.bin"}) {
    EXPECT_TRUE(ReadBytes(Path(path)) == same) << WideToUtf8(path);
  }
  EXPECT_EQ(FaultLog(release.ObjectPath(ps.hash)).size(), 1u);
  EXPECT_EQ(engine.doneFiles.load(), 5);
  EXPECT_EQ(engine.doneBytes.load(), engine.totalBytes.load());
  EXPECT_EQ(CacheLines(), 5u);
  EXPECT_FALSE(Exists(Path(L"patcher_parts")));
}

TEST_F(RunCase, InstallerModeInstallsTheLauncherLikeAnyOtherFile) {
  const std::string game = RandomBytes(1000, 32), launcher = RandomBytes(2000, 33);
  const auto pg = release.Put(game), pl = release.Put(launcher);
  release.Sign(Manifest(1, {EntryJson("game.bin", pg)}, ",\"launcher\":" + EntryJson("Quorvel.exe", pl)));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_TRUE(ReadBytes(Path(L"Quorvel.exe")) == launcher);
  EXPECT_EQ(CacheLines(), 2u);

  release.Sign(Manifest(1, {EntryJson("game.bin", pg)}, R"(,"launcher":{"p":"Quorvel.exe","h":"xyz"})"));
  EXPECT_EQ(Run(), "1 2 2+ 9 9");
  EXPECT_EQ(Error(), L"Invalid patch manifest.");
}

// What a small file costs in file-system calls (fs_call_counter.h says which count): two fresh
// installs into the same folders, one with 40 files more; their difference is the files' own
// cost, without what a run pays once. The temporary file's create and flush, the move by its
// handle and the query for the cache record make 4; the check asks once per missing folder, not
// per file, and the folder is made, checked and held once for all the files made in it.
TEST_F(RunCase, SmallFilesCostAtMostFourFileSystemCallsEach) {
  ASSERT_GT(fscount::Install(), 0);
  std::vector<std::string> entries;
  for (int i = 0; i < 60; ++i) {
    const auto p = release.Put(RandomBytes(3000 + i, 100 + i));
    entries.push_back(EntryJson("data/" + std::string(i % 2 ? "a" : "b") + "/f" + std::to_string(i) + ".bin", p));
  }
  const auto installCalls = [&](size_t count, const std::wstring& where) {
    release.Sign(Manifest(1, std::vector<std::string>(entries.begin(), entries.begin() + count)));
    engine.requestedFolder = where;
    const uint64_t before = fscount::Calls();
    EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
    return fscount::Calls() - before;
  };
  ScratchFolder other;
  const uint64_t few = installCalls(20, folder.slashed()), many = installCalls(60, other.slashed());
  EXPECT_TRUE(ReadBytes(other / L"data\\a\\f59.bin") == RandomBytes(3059, 159));
  std::printf("file-system calls per file: %.2f\n", static_cast<double>(many - few) / 40);
  EXPECT_LE(static_cast<double>(many - few) / 40, 4.25) << few << " calls for 20 files, " << many << " for 60";
}

TEST_F(RunCase, ManifestOnlyStopsAfterPublishing) {
  const auto p = release.Put("x");
  release.Sign(Manifest(4, {EntryJson("x.bin", p)}, R"(,"game_exe":"bin/Game.exe")"));
  engine.manifestOnly = true;
  EXPECT_EQ(Run(), "1 2 2+ 8 8");
  EXPECT_FALSE(Exists(Path(L"x.bin")));
  EXPECT_EQ(IniVersion(), "<none>");
  EXPECT_EQ(engine.manifestVersion.load(), 4);
  std::lock_guard<SlimLock> lock(engine.stateLock);
  EXPECT_EQ(engine.gameExe, L"bin\\Game.exe");
}

TEST_F(RunCase, FailedDownloadNamesTheFirstFailureAndStopsTheOthers) {
  const std::string good = RandomBytes(2000, 27);
  std::string damaged = Compress("will not verify");
  damaged[damaged.size() - 1] ^= 1;
  const auto pg = release.Put(good), pd = release.Put("will not verify", &damaged);
  g_patchBaseUrl = release.FaultBase();
  std::vector<std::string> entries = {EntryJson("data/first.bin", pg), EntryJson("data/bad.bin", pd)};
  // Slow objects that are still on their way when the failure comes.
  std::vector<PublishedObject> slow;
  for (int i = 0; i < 3; ++i) {
    // Above the size that comes into memory, so that their parts are on disk.
    slow.push_back(release.Put(RandomBytes(1100000, 40 + i)));
    FaultScript(release.ObjectPath(slow.back().hash), "[]", R"({"slow_ms":100,"chunk":16384})");
    entries.push_back(EntryJson("slow" + std::to_string(i) + ".bin", slow.back()));
  }
  release.Sign(Manifest(1, entries));
  // The damaged object's retries wait (without sleeping) until the good file is in place.
  pauses.during = [&](uint32_t) {
    for (int i = 0; i < 10000 && engine.doneFiles.load() < 1; ++i) Sleep(1);
  };
  EXPECT_EQ(Run(), "1 2 2+ 3 4 9 9");
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000}));
  EXPECT_EQ(Error(), L"File corrupted after download: data\\bad.bin");
  EXPECT_TRUE(ReadBytes(Path(L"data\\first.bin")) == good);
  EXPECT_FALSE(Exists(Path(L"data\\bad.bin")));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Exists(Path(L"slow" + std::to_wstring(i) + L".bin")));
  EXPECT_EQ(engine.doneFiles.load(), 1);
  EXPECT_EQ(CacheLines(), 1u) << "the finished file is cached";
  EXPECT_EQ(IniVersion(), "<none>");
  EXPECT_FALSE(Exists(Path(L"patcher_parts"))) << "objects of this size are inflated as they arrive, never kept compressed";
}

TEST_F(RunCase, DownloadErrorTextsByCause) {
  const auto p = release.Put(RandomBytes(1000, 28));
  g_patchBaseUrl = release.FaultBase();
  release.Sign(Manifest(1, {EntryJson("bin/game.dll", p)}));
  FaultScript(release.ObjectPath(p.hash), "[]", R"({"status":404})");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 9 9");
  EXPECT_EQ(Error(), L"Could not connect to the patch server. bin\\game.dll");
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000})) << "three attempts";

  // An object the server sends shorter than it declares is no failure to connect.
  FaultScript(release.ObjectPath(p.hash), "[]", R"({"truncate":500})");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 9 9");
  EXPECT_EQ(Error(), L"File corrupted after download: bin\\game.dll");

  FaultControl("{\"clear\":\"" + release.ObjectPath(p.hash) + "\"}");
  Put(L"bin\\game.dll", "old");
  HANDLE held = CreateFileW(Path(L"bin\\game.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(), "1 2 2+ 3 4 9 9");
  CloseHandle(held);
  EXPECT_EQ(Error(), L"File in use - close the game and try again: bin\\game.dll");
  EXPECT_EQ(pauses.pauses().size(), 4u) << "no retry for a file in use";
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8") << "the next run repairs it";
}

TEST_F(RunCase, CancelWhileFetchingTheManifestEndsWithoutText) {
  g_patchBaseUrl = release.FaultBase();
  release.Sign(Manifest(1, {}));
  const std::string manifestPath = release.urlPath + "manifest.json";
  FaultScript(manifestPath, R"([{"status":503,"delay_ms":300}])");
  // The cancel arrives while the server is still holding the first request (or, on a slow
  // machine, in the pause after it).
  pauses.during = [&](uint32_t) {
    for (int i = 0; i < 10000 && !engine.cancel; ++i) Sleep(1);
  };
  std::thread canceller([&] {
    for (int i = 0; i < 500 && FaultLog(manifestPath).empty(); ++i) Sleep(10);
    engine.cancel = true;
  });
  const std::string stages = Run();
  canceller.join();
  EXPECT_EQ(stages, "1 1");
  EXPECT_EQ(Error(), L"");
  EXPECT_EQ(FaultLog(manifestPath).size(), 1u) << "no further attempt after the cancel";
  EXPECT_EQ(IniVersion(), "<none>");
  EXPECT_FALSE(Exists(Path(L"config\\patcher_cache.dat")));
}

TEST_F(RunCase, CancelWhileCheckingKeepsTheCacheFileAsItWas) {
  const std::string big(48u << 20, 'b');
  const auto p = release.Put(big);
  release.Sign(Manifest(1, {EntryJson("big.bin", p)}));
  Put(L"big.bin", big);
  Put(L"config\\patcher_cache.dat", std::string(64, 'f') + "\t1\t2\tsomething.txt\n");
  onMessage = [&](const std::string& m) {
    if (m == "3") engine.cancel = true;
  };
  EXPECT_EQ(Run(), "1 2 2+ 3 3");
  EXPECT_EQ(Error(), L"");
  EXPECT_EQ(CacheFile(), std::string(64, 'f') + "\t1\t2\tsomething.txt\n");
  EXPECT_EQ(IniVersion(), "<none>");
}

TEST_F(RunCase, CancelWhileDownloadingSavesTheCacheAndKeepsNoCompressedCopy) {
  const std::string small = RandomBytes(3000, 29), big = RandomBytes(2000000, 30);
  const auto ps = release.Put(small), pb = release.Put(big);
  g_patchBaseUrl = release.FaultBase();
  FaultScript(release.ObjectPath(pb.hash), "[]", R"({"slow_ms":50,"chunk":32768})");
  release.Sign(Manifest(1, {EntryJson("small.bin", ps), EntryJson("big.bin", pb)}));
  onMessage = [&](const std::string& m) {
    if (m == "4") {
      // Cancel once the small file is in place and the big one has begun.
      while (engine.doneFiles < 1 || engine.doneBytes <= ps.compressedSize) Sleep(5);
      engine.cancel = true;
    }
  };
  EXPECT_EQ(Run(), "1 2 2+ 3 4 4");
  EXPECT_EQ(Error(), L"");
  EXPECT_TRUE(ReadBytes(Path(L"small.bin")) == small);
  EXPECT_FALSE(Exists(Path(L"big.bin")));
  EXPECT_EQ(CacheLines(), 1u);
  EXPECT_EQ(IniVersion(), "<none>");
  EXPECT_FALSE(Exists(Path(L"patcher_parts"))) << "nothing compressed is kept";
  EXPECT_FALSE(Exists(Path(L"big.bin.ap_tmp"))) << "a file without pieces starts again";

  // Installing again counts only what it fetches: the small file, right on disk, is neither done
  // nor to do.
  uint64_t startTotal = 0;
  onMessage = [&](const std::string& m) {
    if (m == "4") startTotal = engine.totalBytes;
  };
  qvtest::FaultControl("{\"clear\":\"" + release.ObjectPath(pb.hash) + "\"}");
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(startTotal, pb.compressedSize);
  EXPECT_EQ(engine.doneBytes.load(), startTotal);
  EXPECT_TRUE(ReadBytes(Path(L"big.bin")) == big);
}

// A repair without the cache hashes every file: the check's counters move with the hashed bytes
// before it ends, and the download then counts only the one file it fetches.
TEST_F(RunCase, RepairWithoutTheCacheShowsCheckingProgressAndCountsOnlyItsDownload) {
  std::vector<std::string> entries;
  for (int i = 0; i < 4; ++i) {
    entries.push_back(EntryJson("data/big" + std::to_string(i) + ".pak", release.Put(std::string(32u << 20, 'a' + i))));
  }
  const std::string small = RandomBytes(1500, 34);
  const auto ps = release.Put(small);
  entries.push_back(EntryJson("data/small.bin", ps));
  release.Sign(Manifest(1, entries));
  ASSERT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  ASSERT_TRUE(DeleteFileW(Path(L"config\\patcher_cache.dat").c_str()));
  Put(L"data\\small.bin", RandomBytes(1500, 35));

  std::vector<int> percentages;  // every percentage the check's counters gave, in order
  onMessage = [&](const std::string& m) {
    if (m != "3") return;
    // The check sets its total once; the download's total, set before its stage is posted,
    // ends the samples.
    uint64_t checkTotal = 0;
    const uint64_t end = GetTickCount64() + 120000;
    while (engine.stage == StageChecking && GetTickCount64() < end) {
      const uint64_t done = engine.doneBytes, total = engine.totalBytes;
      if (checkTotal == 0) checkTotal = total;
      if (total != checkTotal) break;
      const int percent = total == 0 ? 0 : static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total));
      if (percentages.empty() || percent != percentages.back()) percentages.push_back(percent);
    }
  };
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  std::string read;
  for (int percent : percentages) read += " " + std::to_string(percent);
  std::printf("percentages during checking:%s\n", read.c_str());
  ASSERT_FALSE(percentages.empty());
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end())) << read;
  EXPECT_TRUE(std::any_of(percentages.begin(), percentages.end(), [](int p) { return p > 0 && p < 100; })) << read;
  EXPECT_EQ(engine.totalFiles.load(), 1);
  EXPECT_EQ(engine.totalBytes.load(), ps.compressedSize) << "files right on disk are not the download's";
  EXPECT_EQ(engine.doneBytes.load(), ps.compressedSize);
  std::printf("Downloaded after the repair: %s\n", Narrow(FormatDownloaded(engine.doneBytes, engine.totalBytes)).c_str());
  EXPECT_TRUE(ReadBytes(Path(L"data\\small.bin")) == small);
}

TEST_F(RunCase, VersionRulesAndTheKeyCheck) {
  const auto p = release.Put("v");
  release.Sign(Manifest(11, {EntryJson("v.bin", p)}));
  Put(L"config\\patcher.ini", "[patch]\r\nversion=12\r\n");
  EXPECT_EQ(Run(), "1 2 9 9");
  EXPECT_EQ(Error(), L"The server sent an older version than the installed one.");
  EXPECT_EQ(engine.manifestVersion.load(), 11);
  EXPECT_FALSE(Exists(Path(L"v.bin")));

  release.Sign(Manifest(12, {EntryJson("v.bin", p)}));
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(IniVersion(), "12");

  for (unsigned char& byte : g_publicKey) byte = 0;
  EXPECT_EQ(Run(), "9 9");
  EXPECT_EQ(Error(), L"Public key not configured (public_key).");
}

TEST_F(RunCase, StartWhileRunningDoesNothingAndStartAfterARunJoinsIt) {
  const auto p = release.Put(RandomBytes(200000, 31));
  g_patchBaseUrl = release.FaultBase();
  FaultScript(release.ObjectPath(p.hash), R"([{"slow_ms":100,"chunk":262144}])");
  release.Sign(Manifest(1, {EntryJson("p.bin", p)}));
  received.clear();
  engine.Start(false);
  const std::thread::id first = engine.worker.get_id();
  engine.Start(false);
  EXPECT_EQ(engine.worker.get_id(), first);
  Wait(false);
  EXPECT_EQ(FaultLog(release.urlPath + "manifest.json").size(), 1u);
  // The finished thread is still joinable; the next Start must join it first.
  engine.Start(false);
  EXPECT_EQ(Wait(), "1 2 2+ 3 4 5 8 8 1 2 2+ 3 5 8 8");
  engine.Start(false);
  engine.Stop();
  EXPECT_FALSE(engine.running);
}

TEST_F(RunCase, AnUpdateOfAFileInPiecesCountsAndFetchesOnlyTheChangedPiece) {
  const uint32_t piece = layout::kChunkSize;
  // Entry JSON of content published whole and in pieces.
  const auto pieced = [this, piece](const std::string& content, uint64_t& changedBytes, const std::string& old) {
    std::string x;
    changedBytes = 0;
    for (size_t at = 0; at < content.size(); at += piece) {
      const std::string bytes = content.substr(at, piece);
      const PublishedObject p = release.Put(bytes);
      if (old.size() <= at || old.substr(at, piece) != bytes) changedBytes += p.compressedSize;
      x += std::string(x.empty() ? "" : ",") + "{\"h\":\"" + p.hash + "\",\"s\":" + std::to_string(p.size) +
           ",\"c\":" + std::to_string(p.compressedSize) + "}";
    }
    std::string entry = EntryJson("data/world.pak", release.Put(content));
    return entry.substr(0, entry.size() - 1) + ",\"x\":[" + x + "]}";
  };
  const std::string v1 = RandomBytes(piece * 3 + 100, 41);
  std::string v2 = v1;
  v2.replace(piece + 7, 4, "two!");
  uint64_t changed = 0;
  release.Sign(Manifest(1, {pieced(v1, changed, std::string())}));
  ASSERT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_EQ(engine.totalBytes.load(), changed) << "a fresh install fetches it piece by piece";
  changed = 0;
  release.Sign(Manifest(2, {pieced(v2, changed, v1)}));
  ASSERT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_TRUE(ReadBytes(Path(L"data\\world.pak")) == v2);
  EXPECT_EQ(engine.totalBytes.load(), changed) << "the totals are the one changed piece";
  EXPECT_EQ(engine.doneBytes.load(), changed);
}

// Several servers: one that refuses connections is left after one attempt, without a pause; one
// that serves a damaged object gives way for that object to the next, which is then asked for
// the rest of the run; a single server keeps its three attempts.
TEST_F(RunCase, MirrorsTakeOverFromAServerThatIsDownOrServesDamage) {
  const std::string a = RandomBytes(3000, 61), b = RandomBytes(4000, 62);
  const PublishedObject pa = release.Put(a), pb = release.Put(b);
  release.Sign(Manifest(1, {EntryJson("data/a.bin", pa), EntryJson("data/b.bin", pb)}));
  ClosedPort closed;
  const std::wstring down = L"http://127.0.0.1:" + std::to_wstring(closed.port()) + L"/patch/";
  g_patchBaseUrl = down + L";" + release.NginxBase();
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_TRUE(ReadBytes(Path(L"data\\b.bin")) == b);
  EXPECT_TRUE(pauses.pauses().empty()) << "a server that is down costs no pause";

  // The first server serves a.bin damaged (same length); b.bin is right there.
  ASSERT_TRUE(DeleteFileW(Path(L"data\\a.bin").c_str()));
  ASSERT_TRUE(DeleteFileW(Path(L"data\\b.bin").c_str()));
  std::string damaged = Compress(a);
  damaged[damaged.size() / 2] ^= 0x55;
  FaultPut(release.ObjectPath(pa.hash), damaged);
  g_patchBaseUrl = release.FaultBase() + L";" + release.NginxBase();
  EXPECT_EQ(Run(), "1 2 2+ 3 4 5 8 8");
  EXPECT_TRUE(ReadBytes(Path(L"data\\a.bin")) == a);
  EXPECT_TRUE(ReadBytes(Path(L"data\\b.bin")) == b);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000})) << "three attempts on the first server";
  EXPECT_GE(FaultLog(release.ObjectPath(pa.hash)).size(), 3u);
  EXPECT_LE(FaultLog(release.ObjectPath(pb.hash)).size(), 1u);
}
