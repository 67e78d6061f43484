#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "patch/download.h"
#include "patch/engine.h"
#include "patch/manifest.h"
#include "support/layout.h"
#include "pause_recorder.h"
#include "test_release.h"
#include "test_servers.h"

using namespace qvtest;

namespace {

// One object served by the fault server and an install folder to download it into.
struct DownloadCase : ::testing::Test {
  ScratchFolder folder;
  PatchEngine engine;
  Release release;
  PauseRecorder pauses;
  std::string content = RandomBytes(5000, 11);
  FileEntry entry;
  std::wstring destination;

  void SetUp() override {
    EnsureHttpSession();
    g_patchBaseUrl = release.FaultBase();
    engine.installFolder = folder.slashed();
    ASSERT_TRUE(FolderRootOpen(engine.root, engine.installFolder));
    Publish(content);
    destination = folder / L"data\\file.bin";
  }

  void Publish(const std::string& bytes, const std::string* object = nullptr) {
    const PublishedObject published = release.Put(bytes, object);
    entry = FileEntry{};
    entry.path = "data/file.bin";
    entry.widePath = L"data\\file.bin";
    entry.hash = published.hash;
    entry.size = published.size;
    entry.compressedSize = published.compressedSize;
  }

  std::string Object() const { return Compress(content); }
  std::wstring PartPath() const { return PartFilePath(engine, entry.hash); }
  std::string ObjectUrlPath() const { return release.ObjectPath(entry.hash); }
  std::vector<LoggedRequest> Requests() const { return FaultLog(ObjectUrlPath()); }

  void WritePart(const std::string& bytes) {
    CreateDirectoryW((folder / L"patcher_parts").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(PartPath(), bytes));
  }

  // The destination holds exactly the published content and nothing is left over.
  void ExpectInstalled() {
    EXPECT_TRUE(ReadBytes(destination) == content);
    EXPECT_FALSE(Exists(destination + L".ap_tmp"));
    EXPECT_FALSE(Exists(PartPath()));
  }
};

}  // namespace

TEST_F(DownloadCase, FreshDownloadLandsVerifiedAndCountsCompressedBytes) {
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "-");
  EXPECT_EQ(requests[0].cacheControl, "-") << "objects may come from caches";
}

TEST_F(DownloadCase, PartIsResumedWithARangeAndItsBytesCountFromTheStart) {
  content = RandomBytes(1000, 12);
  Publish(content);
  const std::string object = Object();
  WritePart(object.substr(0, 300));
  // A slow first chunk lets the progress be watched before the rest arrives.
  FaultScript(ObjectUrlPath(), R"([{"slow_ms":150,"chunk":1000}])");
  std::atomic<bool> done{false};
  uint64_t firstSeen = 0;
  std::thread watcher([&] {
    while (!done && firstSeen == 0) {
      firstSeen = engine.doneBytes.load();
      Sleep(1);
    }
  });
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  done = true;
  watcher.join();
  ExpectInstalled();
  EXPECT_EQ(firstSeen, 300u) << "the bytes already on disk count before any new byte";
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=300-");
}

TEST_F(DownloadCase, ServerIgnoringTheRangeRestartsThePartWithoutLosingAnAttempt) {
  const std::string object = Object();
  WritePart(object.substr(0, 300));
  FaultScript(ObjectUrlPath(), R"([{"ignore_range":true}])");
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize) << "the 300 bytes were taken back";
  EXPECT_TRUE(pauses.pauses().empty());
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=300-");
}

TEST_F(DownloadCase, PartLongerThanTheObjectStartsOver) {
  WritePart(Object() + std::string(50, 'z'));
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "-");
}

TEST_F(DownloadCase, CompletePartGoesStraightToVerification) {
  WritePart(Object());
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize);
}

TEST_F(DownloadCase, KeptPartServesTheNextEntryOfTheSameHash) {
  EXPECT_EQ(DownloadFile(engine, entry, destination, true), DownloadOk);
  EXPECT_TRUE(ReadBytes(destination) == content);
  EXPECT_TRUE(Exists(PartPath()));
  const std::wstring second = folder / L"copy\\file.bin";
  EXPECT_EQ(DownloadFile(engine, entry, second), DownloadOk);
  EXPECT_TRUE(ReadBytes(second) == content);
  EXPECT_FALSE(Exists(PartPath()));
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(DownloadCase, ZeroSizeObjectIsNeverRequested) {
  // No zlib stream is 0 bytes long, so such an entry can only fail verification.
  entry.compressedSize = 0;
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadCorrupt);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000})) << "verified three times";
  EXPECT_FALSE(Exists(destination));
}

TEST_F(DownloadCase, CorruptObjectThreeTimesIsCorrupt) {
  std::string damaged = Object();
  damaged[damaged.size() / 2] ^= 0x40;
  Publish(content, &damaged);
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadCorrupt);
  EXPECT_FALSE(Exists(destination));
  EXPECT_FALSE(Exists(destination + L".ap_tmp"));
  EXPECT_FALSE(Exists(PartPath()));
  const auto requests = Requests();
  ExpectRetriesCloseTheirConnections(requests, 3);
  for (const auto& request : requests) EXPECT_EQ(request.range, "-") << "each attempt starts empty";
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000}));
}

TEST_F(DownloadCase, NotFoundThreeTimesAfterOneAndTwoSeconds) {
  FaultScript(ObjectUrlPath(), "[]", R"({"status":404})");
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadNetwork);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000})) << "between the attempts";
  EXPECT_EQ(Requests().size(), 3u);
  EXPECT_FALSE(Exists(destination));
}

TEST_F(DownloadCase, OneByteTooManyIsRefusedAndTheNextAttemptStartsFromZero) {
  FaultScript(ObjectUrlPath(), R"([{"extra":1}])");
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "-");
  EXPECT_EQ(pauses.pauses(), std::vector<uint32_t>{1000});
}

// An object above the size that comes into memory is inflated into the file as it arrives:
// nothing compressed is kept, so a broken connection starts it again, its bytes taken back.
TEST_F(DownloadCase, BrokenConnectionStartsAStreamedObjectAgainAndKeepsNoPart) {
  content = RandomBytes(1300000, 13);
  Publish(content);
  FaultScript(ObjectUrlPath(), R"([{"drop":600000,"slow_ms":30,"chunk":65536}])");
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "-") << "the second attempt starts from the beginning";
  EXPECT_FALSE(Exists(PartPath()));
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize);
  EXPECT_EQ(pauses.pauses(), std::vector<uint32_t>{1000});
}

TEST_F(DownloadCase, SmallObjectComesIntoMemoryWithoutAPartFile) {
  content = RandomBytes(200000, 15);
  Publish(content);
  FaultScript(ObjectUrlPath(), R"([{"slow_ms":40,"chunk":16384}])");
  std::atomic<bool> done{false}, partSeen{false};
  std::thread watcher([&] {
    while (!done) {
      if (Exists(folder / L"patcher_parts")) partSeen = true;
      Sleep(2);
    }
  });
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  done = true;
  watcher.join();
  ExpectInstalled();
  EXPECT_FALSE(partSeen.load());
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize);
}

TEST_F(DownloadCase, BrokenConnectionOfASmallObjectStartsOver) {
  content = RandomBytes(400000, 16);
  Publish(content);
  FaultScript(ObjectUrlPath(), R"([{"drop":200000,"slow_ms":20,"chunk":65536}])");
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "-") << "nothing of a small object is kept between attempts";
  EXPECT_EQ(engine.doneBytes.load(), entry.compressedSize) << "the first attempt's bytes were taken back";
}

TEST_F(DownloadCase, DestinationHeldOpenIsInUse) {
  ASSERT_TRUE(WriteBytes(destination, "old"));
  HANDLE held = CreateFileW(destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadInUse);
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(destination), "old");
  EXPECT_FALSE(Exists(destination + L".ap_tmp"));
  EXPECT_EQ(Requests().size(), 1u) << "no retry for a file in use";
  EXPECT_TRUE(pauses.pauses().empty());
}

TEST_F(DownloadCase, ReadOnlyDestinationIsReplaced) {
  ASSERT_TRUE(WriteBytes(destination, "old"));
  ASSERT_TRUE(SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  ExpectInstalled();
}

TEST_F(DownloadCase, UnwritablePartFolderIsAWriteFailure) {
  ASSERT_TRUE(WriteBytes(folder / L"patcher_parts", "a file where the folder belongs"));
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk) << "a small object needs no part file";
  content = RandomBytes(1100000, 17);
  Publish(content);
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk) << "nor one inflated as it arrives";
  content = RandomBytes(kStreamObjectLimit + 1000, 18);
  Publish(content);
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadWriteFailed);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(DownloadCase, CancelStopsTheTransferAndKeepsNothing) {
  // About 2.5 s of transfer: the cancel comes once the first bytes have reached the file.
  content = RandomBytes(2000000, 14);
  Publish(content);
  FaultScript(ObjectUrlPath(), R"([{"slow_ms":10,"chunk":8192}])");
  auto result = std::async(std::launch::async, [&] { return DownloadFile(engine, entry, destination); });
  while (FileSize(destination + L".ap_tmp") == 0 &&
         result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
  }
  engine.cancel = true;
  EXPECT_EQ(result.get(), DownloadCancelled);
  EXPECT_FALSE(Exists(destination));
  EXPECT_FALSE(Exists(destination + L".ap_tmp")) << "a file without pieces starts again";
  EXPECT_FALSE(Exists(PartPath())) << "nothing compressed is kept";
}

// After an interruption at any place inside a piece, the pieces before it are kept and the file
// is cut at its start; a damaged earlier piece keeps nothing from there on.
TEST_F(DownloadCase, AResumedFileKeepsThePiecesBeforeTheInterruption) {
  const uint32_t piece = 300000;
  const std::string bytes = RandomBytes(piece * 3, 23);
  for (uint32_t k = 0; k < 3; ++k) {
    const std::string slice = bytes.substr(k * piece, piece);
    entry.chunks.push_back({HashOf(slice), piece, 0});
  }
  const std::wstring temp = destination + L".kept";
  for (const auto& [length, damageAt, kept] :
       {std::tuple<size_t, size_t, size_t>{0, SIZE_MAX, 0}, {1, SIZE_MAX, 0}, {piece - 1, SIZE_MAX, 0},
        {piece, SIZE_MAX, 1}, {piece + 1, SIZE_MAX, 1}, {piece + piece / 2, SIZE_MAX, 1}, {2 * piece - 1, SIZE_MAX, 1},
        {2 * piece, SIZE_MAX, 2}, {3 * piece, SIZE_MAX, 3}, {2 * piece, 10, 0}, {2 * piece, piece + 10, 1}}) {
    SCOPED_TRACE(std::to_string(length) + " " + std::to_string(damageAt));
    std::string written = bytes.substr(0, length);
    if (damageAt < written.size()) written[damageAt] ^= 1;
    ASSERT_TRUE(WriteBytes(temp, written));
    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    Sha256Hasher whole;
    std::string buffer;
    EXPECT_EQ(KeptPieces(file.get(), entry, whole, buffer), kept);
    file.reset();
    EXPECT_EQ(FileSize(temp), kept * piece) << "cut after the pieces kept";
  }
}

TEST_F(DownloadCase, PauseWaitsAndThenGoesOn) {
  engine.pause = true;
  // The player lifts the pause during the third step of the wait.
  std::vector<size_t> requestsWhilePaused;
  pauses.during = [&](uint32_t) {
    requestsWhilePaused.push_back(Requests().size());
    if (requestsWhilePaused.size() == 3) engine.pause = false;
  };
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadOk);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{100, 100, 100}));
  EXPECT_EQ(requestsWhilePaused, (std::vector<size_t>{0, 0, 0}));
  ExpectInstalled();
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(DownloadCase, CleanPartFilesRemovesPartsAndTheEmptyFolder) {
  WritePart("x");
  WriteBytes(folder / L"patcher_parts\\other.z", "y");
  CleanPartFiles(engine);
  EXPECT_FALSE(Exists(folder / L"patcher_parts"));
  WritePart("x");
  WriteBytes(folder / L"patcher_parts\\note.txt", "kept");
  CleanPartFiles(engine);
  EXPECT_FALSE(Exists(PartPath()));
  EXPECT_TRUE(Exists(folder / L"patcher_parts\\note.txt"));
}

TEST_F(DownloadCase, FolderWhereTheFileBelongsIsAWriteFailureNotInUse) {
  ASSERT_TRUE(WriteBytes(destination + L"\\inside", "a folder where the file belongs"));
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadWriteFailed);
  EXPECT_FALSE(Exists(destination + L".ap_tmp"));
}

// A file of three pieces replaces one that holds its first and last: the middle one alone is
// fetched; a middle piece the server does not have, or one that never verifies, leaves the old
// file as it was for the whole object to replace.
TEST_F(DownloadCase, PiecesTheOldFileHoldsAreKeptAndOnlyTheOthersFetched) {
  const uint32_t piece = layout::kChunkSize;
  const std::string old = RandomBytes(piece * 2 + 1000, 21);
  struct Variant {
    const char* name;  // five letters, also what changes in the middle piece
    enum { Served, Missing, Damaged } middle;
    DownloadResult expected;
  };
  for (const Variant& v : {Variant{"servd", Variant::Served, DownloadOk}, Variant{"missg", Variant::Missing, DownloadNetwork},
                           Variant{"damgd", Variant::Damaged, DownloadNetwork}}) {
    SCOPED_TRACE(v.name);
    std::string fresh = old;
    fresh.replace(piece + 10, 5, v.name);
    const size_t pausesBefore = pauses.pauses().size();
    ASSERT_TRUE(WriteBytes(destination, old));
    Publish(fresh);
    std::string middleObject;
    for (uint32_t k = 0; k < 3; ++k) {
      const std::string bytes = fresh.substr(k * piece, piece);
      const std::string damaged = Compress(std::string(bytes.size(), 'x'));
      PublishedObject published{HashOf(bytes), bytes.size(), Compress(bytes).size()};
      if (k != 1 || v.middle == Variant::Served) published = release.Put(bytes);
      if (k == 1 && v.middle == Variant::Damaged) published = release.Put(bytes, &damaged);
      if (k == 1) middleObject = release.ObjectPath(published.hash);
      entry.chunks.push_back({published.hash, static_cast<uint32_t>(bytes.size()), published.compressedSize});
    }
    UpdatePlan plan;
    plan.sources = {destination};
    plan.held = {{0, 0}, {0, 2 * piece}};
    FilePlan made;
    made.pieces = {0, -1, 1};
    engine.doneBytes = 0;
    uint64_t credited = 0;
    EXPECT_EQ(MakeFromLocal(engine, entry, made, plan, destination, credited, nullptr), v.expected);
    ExpectRetriesCloseTheirConnections(FaultLog(middleObject), v.middle == Variant::Damaged ? 3 : 1);  // only the middle piece
    EXPECT_EQ(FaultLog(release.ObjectPath(entry.chunks[0].hash)).size(), 0u);
    EXPECT_FALSE(Exists(destination + L".ap_tmp"));
    if (v.middle == Variant::Served) {
      EXPECT_TRUE(ReadBytes(destination) == fresh);
      EXPECT_EQ(credited, entry.chunks[1].compressedSize);
      EXPECT_EQ(engine.doneBytes.load(), credited);
      // Made again after an interruption that left two pieces and a bit in the temporary file:
      // those two are kept, so the fetched piece is not fetched again.
      ASSERT_TRUE(WriteBytes(destination, old));
      ASSERT_TRUE(WriteBytes(destination + L".ap_tmp", fresh.substr(0, 2 * piece + 500)));
      EXPECT_EQ(MakeFromLocal(engine, entry, made, plan, destination, credited, nullptr), DownloadOk);
      EXPECT_EQ(FaultLog(middleObject).size(), 1u) << "a piece kept from before is not fetched again";
      EXPECT_TRUE(ReadBytes(destination) == fresh);
    } else {
      EXPECT_TRUE(ReadBytes(destination) == old) << "the old file stays for the whole object";
      EXPECT_EQ(engine.doneBytes.load(), 0u) << "what was taken back is not counted";
    }
    EXPECT_EQ(pauses.pauses().size() - pausesBefore, v.middle == Variant::Damaged ? 2u : 0u)
        << "a missing piece is not retried";
  }
  // Local bytes that no longer are what the plan says are fetched instead.
  ASSERT_TRUE(WriteBytes(destination, RandomBytes(piece * 2 + 1000, 22)));
  UpdatePlan plan;
  plan.sources = {destination};
  plan.held = {{0, 0}, {0, 2 * piece}};
  FilePlan made;
  made.pieces = {0, -1, 1};
  uint64_t credited = 0;
  EXPECT_EQ(MakeFromLocal(engine, entry, made, plan, destination, credited, nullptr), DownloadNetwork);
  EXPECT_EQ(FaultLog(release.ObjectPath(entry.chunks[0].hash)).size(), 1u) << "the first piece is fetched instead";
}

// A server that refuses every connection is waited for with growing pauses, a minute in all,
// counted as waiting rather than as attempts; a cancel ends the wait at once.
TEST_F(DownloadCase, AServerThatDoesNotAnswerIsWaitedForAMinute) {
  ClosedPort closed;
  g_patchBaseUrl = L"http://127.0.0.1:" + std::to_wstring(closed.port()) + L"/patch/";
  int32_t waitingSeen = 0;
  pauses.during = [&](uint32_t) { waitingSeen = std::max(waitingSeen, engine.waitingForServer.load()); };
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadNetwork);
  EXPECT_EQ(pauses.pauses(), (std::vector<uint32_t>{1000, 2000, 4000, 8000, 15000, 15000, 15000}));
  EXPECT_EQ(waitingSeen, 1) << "the window is told a transfer waits for the server";
  EXPECT_EQ(engine.waitingForServer.load(), 0);
  EXPECT_FALSE(Exists(destination));

  pauses.during = [&](uint32_t) { engine.cancel = true; };
  EXPECT_EQ(DownloadFile(engine, entry, destination), DownloadCancelled);
  EXPECT_EQ(pauses.pauses().size(), 8u) << "one pause, then the cancel";
  EXPECT_EQ(engine.waitingForServer.load(), 0);
}
