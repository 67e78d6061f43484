#include "install/size_query.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "app/build_config.h"
#include "patch/manifest.h"
#include "app/setup_state.h"  // kMsgGameSize
#include "support/http.h"
#include "support/json.h"
#include "support/layout.h"

// A size beyond the 64-bit range (or a sum running over it) saturates instead of
// wrapping around to a small number that would pass the free-space rule.
static uint64_t AddSize(uint64_t total, double size) {
  if (!(size >= 0)) return total;
  uint64_t bytes = size >= 18446744073709551616.0 ? UINT64_MAX : static_cast<uint64_t>(size);
  return bytes > UINT64_MAX - total ? UINT64_MAX : total + bytes;
}

// What the query reads of the manifest, gathered while the document is scanned: the tree is
// never built, so an unsigned body of any shape costs no more than its own bytes. A repeated
// key counts as the reader counts it: the last occurrence wins.
struct SizeScan {
  bool rootIsObject = false;
  bool filesIsArray = false;
  uint64_t total = 0;
  bool inElement = false;
  double elementSize = -1;  // the element's "s", or -1 when it has none that is a number
  double version = 0;
  bool hasVersion = false;

  void EndElement() {
    if (inElement) total = AddSize(total, elementSize);
    inElement = false;
  }
  void Visit(const std::vector<JsonStep>& path, const JsonValue& value) {
    if (path.empty()) {
      rootIsObject = value.type == JsonType::Object;
      return;
    }
    if (path[0].element) return;
    if (path[0].key == "version" && path.size() == 1) {
      hasVersion = value.type == JsonType::Number;
      version = value.number;
      return;
    }
    if (path[0].key != "files") return;
    if (path.size() == 1) {  // a (repeated) files member starts the count again
      filesIsArray = value.type == JsonType::Array;
      total = 0;
      inElement = false;
      return;
    }
    if (!path[1].element) return;
    if (path.size() == 2) {
      EndElement();
      inElement = value.type == JsonType::Object;
      elementSize = -1;
    } else if (path.size() == 3 && !path[2].element && path[2].key == "s") {
      elementSize = value.type == JsonType::Number ? value.number : -1;
    }
  }
};

static int32_t VersionOf(const SizeScan& scan) {
  JsonValue number;
  if (scan.hasVersion) {
    number.type = JsonType::Number;
    number.number = scan.version;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(JsonAsInt64(number)));
}

static std::atomic<bool> s_failed{false};
static std::atomic<bool> s_stop{false};
// Never destroyed: a process that ends another way than through StopGameSizeQuery must not
// meet a joinable thread among its static objects.
static std::thread* s_thread = nullptr;

bool GameSizeQueryFailed() { return s_failed.load(); }

// Tells the window that the query has ended, with or without the numbers.
static void Answer(const GameSizeTarget& target) {
  if (target.notifyWindow) PostMessageW(target.notifyWindow, kMsgGameSize, 0, 0);
}

static void Fail(const GameSizeTarget& target) {
  s_failed.store(true);
  Answer(target);
}

void QueryGameSize(const GameSizeTarget& target, const std::atomic<bool>* stop) {
  s_failed.store(false);
  try {
    std::string body;
    int32_t status = 0;
    std::wstring answered;
    // The servers in their order: the first that answers gives the size.
    for (const std::wstring& base : PatchMirrors()) {
      status = HttpGetDocument(base + layout::kManifestFile.wide, body, layout::kManifestLimit, stop);
      answered = base;
      if (status == 200 || (stop && stop->load())) break;
    }
    if (stop && stop->load()) return;  // the program is ending: nobody waits for the answer
    if (status != 200) return Fail(target);
    SizeScan scan;
    const bool parsed =
        JsonScan(body, [&scan](const std::vector<JsonStep>& path, const JsonValue& value) { scan.Visit(path, value); });
    scan.EndElement();
    if (!parsed || !scan.rootIsObject || !scan.filesIsArray) return Fail(target);
    if (target.size) target.size->store(scan.total);
    if (target.version) target.version->store(VersionOf(scan));
    OfferManifestCopy(answered, std::move(body));  // the install then fetches only the signature
    Answer(target);
  } catch (const std::bad_alloc&) {
    // Without memory for the body there is no size to show.
    Fail(target);
  }
}

void StartGameSizeQuery(const GameSizeTarget& target) {
  if (s_thread) return;
  s_stop.store(false);
  try {
    s_thread = new std::thread(QueryGameSize, target, &s_stop);
  } catch (const std::exception&) {
    Fail(target);  // no thread: the Welcome page says the size is unknown
  }
}

void StopGameSizeQuery() {
  s_stop.store(true);
  if (!s_thread) return;
  s_thread->join();
  delete s_thread;
  s_thread = nullptr;
}
