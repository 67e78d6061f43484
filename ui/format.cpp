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

// The download speed is what arrived over the last several seconds, not a blend of
// half-second rates, so that one slow or bursty moment cannot swing it (nor the time left).
// Rules, on every timer tick of the download stage:
// - the stage's first half second is not sampled: workers that resume a part file count the
//   bytes it already held as they start, and those bytes are no speed;
// - the first sample then only sets the starting point; later samples come at least 500 ms apart;
// - when the done counter falls (a failed attempt takes its bytes back) the measure starts over
//   from that sample;
// - the oldest sample kept is the newest one that is at least kWindowMs older than the last,
//   so speed = bytes between the oldest and the newest sample / the time between them, over a
//   window of 8 s once the stage has run that long;
// - the speed is shown once 1 s has been measured, the time left once 3 s have been, and the
//   time left only while it is at most 99 hours.
static constexpr uint64_t kSampleIntervalMs = 500;
static constexpr uint64_t kStageSettleMs = 500;
static constexpr uint64_t kWindowMs = 8000;
static constexpr uint64_t kSpeedShownAfterMs = 1000;
static constexpr uint64_t kTimeLeftShownAfterMs = 3000;
static constexpr uint64_t kTimeLeftLimitSeconds = 99ull * 3600;
static_assert(SpeedMeter::kMaxSamples > kWindowMs / kSampleIntervalMs + 1, "a whole window of samples fits");

void ResetSpeedMeter(SpeedMeter& meter) { meter = SpeedMeter{}; }

static void DropOldest(SpeedMeter& meter) {
  for (int i = 1; i < meter.count; ++i) {
    meter.bytes[i - 1] = meter.bytes[i];
    meter.ticks[i - 1] = meter.ticks[i];
  }
  --meter.count;
}

void SampleSpeed(SpeedMeter& meter, bool downloading, uint64_t done, uint64_t now) {
  if (!downloading) {
    ResetSpeedMeter(meter);
    return;
  }
  if (meter.stageSeen == 0) {
    meter.stageSeen = now == 0 ? 1 : now;
    return;
  }
  if (now - meter.stageSeen < kStageSettleMs) return;
  if (meter.count > 0) {
    if (now - meter.ticks[meter.count - 1] < kSampleIntervalMs) return;
    if (done < meter.bytes[meter.count - 1]) meter.count = 0;
  }
  if (meter.count == SpeedMeter::kMaxSamples) DropOldest(meter);
  meter.bytes[meter.count] = done;
  meter.ticks[meter.count] = now;
  ++meter.count;
  while (meter.count > 2 && now - meter.ticks[1] >= kWindowMs) DropOldest(meter);
}

uint64_t MeasuredSpan(const SpeedMeter& meter) {
  return meter.count < 2 ? 0 : meter.ticks[meter.count - 1] - meter.ticks[0];
}

float MeasuredSpeed(const SpeedMeter& meter) {
  const uint64_t span = MeasuredSpan(meter);
  if (span == 0) return 0.0f;
  const uint64_t bytes = meter.bytes[meter.count - 1] - meter.bytes[0];
  return static_cast<float>(static_cast<double>(bytes) * 1000.0 / static_cast<double>(span));
}

std::wstring SpeedText(const SpeedMeter& meter) {
  if (MeasuredSpan(meter) < kSpeedShownAfterMs) return L"-";
  return FormatSpeed(MeasuredSpeed(meter));
}

std::wstring TimeLeftText(const SpeedMeter& meter, uint64_t done, uint64_t total) {
  if (MeasuredSpan(meter) < kTimeLeftShownAfterMs) return L"-";
  return FormatTimeLeft(MeasuredSpeed(meter), done, total);
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
  const uint64_t seconds = TruncateToU64(static_cast<double>(total - done) / speed);
  // Beyond 99 hours an estimate says nothing a player can use.
  if (seconds > kTimeLeftLimitSeconds) return L"-";
  return FormatDuration(seconds);
}

std::wstring FormatPercent(double fraction) {
  if (!(fraction > 0.0)) fraction = 0.0;  // NaN too
  if (fraction > 1.0) fraction = 1.0;
  return std::to_wstring(static_cast<int>(fraction * 100.0)) + L"%";
}

double ShowProgress(ShownProgress& shown, int32_t stage, double fraction) {
  if (!(fraction > 0.0)) fraction = 0.0;
  if (fraction > 1.0) fraction = 1.0;
  double& floor = shown.floor[stage >= 0 && stage < ShownProgress::kStages ? stage : ShownProgress::kStages - 1];
  if (fraction > floor) floor = fraction;
  shown.last = floor > shown.resumed ? floor : shown.resumed;
  return shown.last;
}

void ResumeProgress(ShownProgress& shown) { shown.resumed = shown.last; }

std::wstring TrimMiddleAtBackslash(const std::wstring& text, bool (*fits)(const std::wstring&, void*),
                                   void* context) {
  if (fits(text, context)) return text;
  const size_t slash = text.rfind(L'\\');
  if (slash == std::wstring::npos || slash == 0) return text;
  const std::wstring end = text.substr(slash);
  // The longest beginning that still fits: a shorter beginning never makes the line wider.
  size_t low = 0, high = slash;  // low always fits (or is 0), high + 1 never does
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (fits(text.substr(0, mid) + L"\u2026" + end, context))
      low = mid;
    else
      high = mid - 1;
  }
  return text.substr(0, low) + L"\u2026" + end;
}
