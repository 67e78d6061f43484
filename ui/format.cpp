#include "ui/format.h"

#include <algorithm>
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
// - when bytes arrive again after none came for 2 s (the server went away and came back) the
//   measure starts over as at the stage's start: the stall is no part of the line's speed;
// - the oldest sample kept is the newest one that is at least kWindowMs older than the last,
//   so speed = bytes between the oldest and the newest sample / the time between them, over a
//   window of 8 s once the stage has run that long;
// - a half-second step more than three times the median step of the window is bytes credited
//   at once (a resumed part file), not received: it counts at the median rate (unless more than
//   a third of the steps are that high: then the line got faster);
// - speed and time left are shown once 3 s have been measured (one second after a start or a
//   Try again was found up to 60 % high), and not while no byte has arrived for 2 s;
// - the time left follows the last 3 s where they differ from the window by more than a
//   quarter, and is shown only while it is at most 99 hours.
static constexpr uint64_t kSampleIntervalMs = 500;
static constexpr uint64_t kStageSettleMs = 500;
static constexpr uint64_t kWindowMs = 8000;
static constexpr uint64_t kRecentMs = 3000;
static constexpr uint64_t kShownAfterMs = 3000;
static constexpr uint64_t kStallMs = 2000;
static constexpr double kJumpFactor = 3.0;
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
    meter.stageSeen = meter.lastGrowth = meter.lastTick = now == 0 ? 1 : now;
    meter.lastDone = done;
    return;
  }
  if (done > meter.lastDone && now - meter.lastGrowth >= kStallMs) {
    ResetSpeedMeter(meter);
    meter.stageSeen = meter.lastGrowth = meter.lastTick = now == 0 ? 1 : now;
    meter.lastDone = done;
    return;
  }
  meter.lastTick = now;
  if (done > meter.lastDone) meter.lastGrowth = now;
  meter.lastDone = done;
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

// Bytes per second from sample first to the newest, steps far above the median taken at the median.
static float RateFrom(const SpeedMeter& meter, int first) {
  const int last = meter.count - 1;
  if (first < 0 || last - first < 1) return 0.0f;
  double rates[SpeedMeter::kMaxSamples];
  int n = 0;
  for (int i = first + 1; i <= last; ++i) {
    const uint64_t dt = meter.ticks[i] - meter.ticks[i - 1];
    rates[n++] = dt == 0 ? 0.0 : static_cast<double>(meter.bytes[i] - meter.bytes[i - 1]) / static_cast<double>(dt);
  }
  double sorted[SpeedMeter::kMaxSamples];
  std::copy(rates, rates + n, sorted);
  std::nth_element(sorted, sorted + n / 2, sorted + n);
  const double median = sorted[n / 2];
  // Many high steps are a faster line, not credits.
  int high = 0;
  for (int k = 0; k < n; ++k) high += rates[k] > median * kJumpFactor ? 1 : 0;
  const bool credits = n >= 3 && median > 0.0 && high * 3 <= n;
  double bytes = 0.0;
  for (int k = 0; k < n; ++k) {
    const double dt = static_cast<double>(meter.ticks[first + k + 1] - meter.ticks[first + k]);
    bytes += (credits && rates[k] > median * kJumpFactor ? median : rates[k]) * dt;
  }
  const uint64_t span = meter.ticks[last] - meter.ticks[first];
  return span == 0 ? 0.0f : static_cast<float>(bytes * 1000.0 / static_cast<double>(span));
}

float MeasuredSpeed(const SpeedMeter& meter) { return RateFrom(meter, 0); }

float RecentSpeed(const SpeedMeter& meter) {
  if (meter.count < 2) return 0.0f;
  const uint64_t newest = meter.ticks[meter.count - 1];
  int first = 0;
  for (int i = 0; i < meter.count - 1; ++i)
    if (newest - meter.ticks[i] >= kRecentMs) first = i;
  return RateFrom(meter, first);
}

bool SpeedKnown(const SpeedMeter& meter) {
  return MeasuredSpan(meter) >= kShownAfterMs && meter.lastTick - meter.lastGrowth < kStallMs;
}

std::wstring SpeedText(const SpeedMeter& meter) {
  if (!SpeedKnown(meter)) return L"-";
  return FormatSpeed(MeasuredSpeed(meter));
}

std::wstring TimeLeftText(const SpeedMeter& meter, uint64_t done, uint64_t total) {
  if (!SpeedKnown(meter)) return L"-";
  const float measured = MeasuredSpeed(meter), recent = RecentSpeed(meter);
  const bool changed = recent > 0.0f && std::fabs(recent - measured) > 0.25f * measured;
  return FormatTimeLeft(changed ? recent : measured, done, total);
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

void ResumeProgress(ShownProgress& shown) {
  shown.resumed = shown.last;
  shown.earlierTotal = shown.downloadTotal;
  shown.carrySet = false;
}

DownloadBytes CarryDownload(ShownProgress& shown, uint64_t done, uint64_t total) {
  // A later run counts only what it still fetches; what the runs before it completed is the
  // part of their total it no longer lists (nothing when the release grew in between).
  if (!shown.carrySet) {
    shown.carried = shown.earlierTotal > total ? shown.earlierTotal - total : 0;
    shown.carrySet = true;
  }
  const DownloadBytes shownBytes{done + shown.carried, total + shown.carried};
  shown.downloadTotal = shownBytes.total;
  return shownBytes;
}

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
