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

// One download-speed sample at tick now (milliseconds) with done bytes of the run; does
// nothing until 500 ms have passed since lastSampleTick. speed is smoothed bytes per second;
// a done counter that went backwards counts as a sample of 0.
void SampleSpeed(float& speed, uint64_t& lastSampleBytes, uint64_t& lastSampleTick,
                 uint64_t done, uint64_t now);

// FormatSize of the speed truncated to whole bytes, then "/s" (negative or NaN counts as 0).
std::wstring FormatSpeed(float speed);
// FormatSize(done) + " / " + FormatSize(total).
std::wstring FormatDownloaded(uint64_t done, uint64_t total);
// Time left of a download: FormatDuration((total - done) / speed) when speed > 1.0 and
// total > done, else "-". The caller shows "-" outside the download stage itself.
std::wstring FormatTimeLeft(float speed, uint64_t done, uint64_t total);
// The fraction limited to 0..1, times 100, truncated, then "%": 0.999 gives "99%".
std::wstring FormatPercent(double fraction);
