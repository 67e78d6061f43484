#include "install/size_query.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "app/build_config.h"
#include "app/setup_state.h"
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

static std::atomic<bool> s_failed{false};

bool GameSizeQueryFailed() { return s_failed.load(); }

// Tells the window that the query has ended, with or without the numbers.
static void Answer() {
  if (g_setup.mainWindow) PostMessageW(g_setup.mainWindow, kMsgGameSize, 0, 0);
}

static void Fail() {
  s_failed.store(true);
  Answer();
}

void QueryGameSize() {
  s_failed.store(false);
  std::string body;
  if (HttpGetToMemory(g_patchBaseUrl + L"manifest.json", body, layout::kManifestLimit) != 200) return Fail();
  JsonValue root;
  if (!JsonParse(body, root) || root.type != JsonType::Object) return Fail();
  const JsonValue& files = JsonGetMember(root, "files");
  if (files.type != JsonType::Array) return Fail();

  uint64_t total = 0;
  for (const JsonValue& file : files.array) {
    const JsonValue& size = JsonGetMember(file, "s");
    if (size.type == JsonType::Number) total = AddSize(total, size.number);
  }
  g_setup.gameSize.store(total);
  g_setup.remoteVersion.store(static_cast<int32_t>(static_cast<uint32_t>(JsonAsInt64(JsonGetMember(root, "version")))));
  Answer();
}
