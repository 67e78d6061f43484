#pragma once
// Numbers as the wizard shows them: byte counts, durations, download speed, percentages.
// Platform-free: the caller passes the clock, so sampling can be driven without one.
#include <cstdint>
#include <string>

// "1023 B", "1.5 KB", "1024.0 KB", "1.0 MB", "5.00 GB" (units of 1024; the unit is chosen
// before rounding, so a value just below a threshold may show 1024.0 of the smaller unit).
std::wstring FormatSize(uint64_t bytes);
// "mm:ss" below an hour, else "H h MM min" (seconds dropped, hours unlimited).
std::wstring FormatDuration(uint64_t seconds);

// Download speed of the Installing page, measured on the window's timer (user-interface
// thread). Plain data; the functions below are its only writers.
struct SpeedMeter {
  static constexpr int kMaxSamples = 24;  // more than a full window of half-second samples
  uint64_t stageSeen = 0;   // tick at which the download stage was first seen; 0 outside it
  uint64_t lastDone = 0;    // done bytes at the latest tick
  uint64_t lastGrowth = 0;  // latest tick at which done bytes grew (or the stage was first seen)
  uint64_t lastTick = 0;    // latest tick of the download stage
  int count = 0;            // samples held, oldest first
  uint64_t bytes[kMaxSamples] = {};
  uint64_t ticks[kMaxSamples] = {};
};
// Forgets every sample (a new run, or the run is not downloading).
void ResetSpeedMeter(SpeedMeter& meter);
// One timer tick at now (milliseconds): samples done bytes while downloading, forgets
// everything otherwise.
void SampleSpeed(SpeedMeter& meter, bool downloading, uint64_t done, uint64_t now);
// Bytes per second over the samples held, half-second steps that jumped far above the others
// (bytes credited at once, not received) left out; 0 while fewer than two are held.
float MeasuredSpeed(const SpeedMeter& meter);
// The same over the last three seconds only: what the line gives now.
float RecentSpeed(const SpeedMeter& meter);
// Milliseconds between the oldest and the newest sample held.
uint64_t MeasuredSpan(const SpeedMeter& meter);
// True while a figure can be shown: three seconds measured, and a byte arrived in the last two.
bool SpeedKnown(const SpeedMeter& meter);
// The Speed column: "-" unless SpeedKnown, then FormatSpeed.
std::wstring SpeedText(const SpeedMeter& meter);
// The Time left column: "-" unless SpeedKnown, then FormatTimeLeft at the recent rate where it
// differs from the measured one by more than a quarter (as the last files come over fewer
// transfers), else at the measured one.
std::wstring TimeLeftText(const SpeedMeter& meter, uint64_t done, uint64_t total);

// FormatSize of the speed truncated to whole bytes, then "/s" (negative or NaN counts as 0).
std::wstring FormatSpeed(float speed);
// FormatSize(done) + " / " + FormatSize(total).
std::wstring FormatDownloaded(uint64_t done, uint64_t total);
// Time left of a download: FormatDuration((total - done) / speed) when speed > 1.0, total >
// done and the result is at most 99 hours, else "-". The caller shows "-" outside the
// download stage itself.
std::wstring FormatTimeLeft(float speed, uint64_t done, uint64_t total);
// The fraction limited to 0..1, times 100, truncated, then "%": 0.999 gives "99%".
std::wstring FormatPercent(double fraction);

// The percentage an install shows, stage by stage: within a stage it never falls below what
// that stage showed before in this install, a retried or resumed run's included; another
// stage starts from its own figure. A retried or resumed run never shows less than where the
// run before it left off.
struct ShownProgress {
  static constexpr int kStages = 16;
  double floor[kStages] = {};  // per stage code: the highest fraction shown in it
  double resumed = 0.0;        // where the run before this one left off
  double last = 0.0;           // the fraction of the last paint (kept on the failure page)
  uint64_t downloadTotal = 0;  // the download stage's total as last shown, carried bytes included
  uint64_t earlierTotal = 0;   // downloadTotal when this run began
  uint64_t carried = 0;        // bytes the runs before this one fetched that it no longer lists
  bool carrySet = false;       // carried is known for this run
};
// The fraction to show for the fraction of stage (limited to 0..1; stage codes outside
// 0..kStages-1 share the last floor).
double ShowProgress(ShownProgress& shown, int32_t stage, double fraction);
// Another run of the same install begins: it goes on from the last fraction shown, and its
// download from the bytes the runs before it fetched.
void ResumeProgress(ShownProgress& shown);
// The download stage's done and total bytes as the page shows them, so that the percentage and
// Downloaded describe one install: a retried or resumed run's own counters plus what the runs
// before it fetched of the files it no longer lists (fixed at its first call in that run).
struct DownloadBytes {
  uint64_t done = 0;
  uint64_t total = 0;
};
DownloadBytes CarryDownload(ShownProgress& shown, uint64_t done, uint64_t total);

// text, or text with a middle part replaced by U+2026 so that fits(result) holds and the text
// after its last backslash (the last folder or file name) stays whole. When not even "…" and
// that end fit, returns "…" and the end (the one-line style then trims its right side).
std::wstring TrimMiddleAtBackslash(const std::wstring& text, bool (*fits)(const std::wstring&, void*),
                                   void* context);
