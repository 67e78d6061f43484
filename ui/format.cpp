#include "ui/format.h"

#include <cmath>
#include <cstdio>

// Every text here is ASCII, so the narrow printf family formats it identically on every
// platform and the result widens unit by unit.
static std::wstring Widen(const char* text, int length) {
  if (length < 0) return std::wstring();
  return std::wstring(text, text + length);
}

std::wstring FormatSize(uint64_t bytes) {
  char buf[64];
  int n;
  if (bytes < 1024ull) {
    n = std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1048576ull) {
    n = std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) * 0x1p-10);
  } else if (bytes < 1073741824ull) {
    n = std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) * 0x1p-20);
  } else {
    n = std::snprintf(buf, sizeof buf, "%.2f GB", static_cast<double>(bytes) * 0x1p-30);
  }
  return Widen(buf, n);
}

std::wstring FormatDuration(uint64_t seconds) {
  char buf[32];
  int n;
  if (seconds < 3600) {
    n = std::snprintf(buf, sizeof buf, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
  } else {
    n = std::snprintf(buf, sizeof buf, "%llu h %02llu min", static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>((seconds % 3600) / 60));
  }
  return Widen(buf, n);
}

void SampleSpeed(float& speed, uint64_t& lastSampleBytes, uint64_t& lastSampleTick,
                 uint64_t done, uint64_t now) {
  uint64_t elapsed = now - lastSampleTick;
  if (elapsed < 500) return;
  // A restarted partial download moves the counter backwards; that is no negative speed.
  float inst = 0.0f;
  if (done >= lastSampleBytes) {
    inst = static_cast<float>(done - lastSampleBytes) * 1000.0f / static_cast<float>(elapsed);
  }
  speed = speed > 0.0f ? inst * 0.2f + speed * 0.8f : inst;
  lastSampleBytes = done;
  lastSampleTick = now;
}

// Truncates towards zero into 0..2^64-1; out-of-range values (NaN included) must not reach
// the conversion, which would be undefined.
static uint64_t TruncateToU64(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 0x1p64) return UINT64_MAX;
  return static_cast<uint64_t>(value);
}

std::wstring FormatSpeed(float speed) { return FormatSize(TruncateToU64(speed)) + L"/s"; }

std::wstring FormatDownloaded(uint64_t done, uint64_t total) {
  return FormatSize(done) + L" / " + FormatSize(total);
}

std::wstring FormatTimeLeft(float speed, uint64_t done, uint64_t total) {
  if (!(speed > 1.0f) || total <= done) return L"-";
  return FormatDuration(TruncateToU64(static_cast<double>(total - done) / speed));
}

std::wstring FormatPercent(double fraction) {
  if (!(fraction > 0.0)) fraction = 0.0;  // NaN too
  if (fraction > 1.0) fraction = 1.0;
  return std::to_wstring(static_cast<int>(fraction * 100.0)) + L"%";
}
