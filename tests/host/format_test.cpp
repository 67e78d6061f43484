#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/format.h"

TEST(Format, Sizes) {
  EXPECT_EQ(FormatSize(0), L"0 B");
  EXPECT_EQ(FormatSize(1023), L"1023 B");
  EXPECT_EQ(FormatSize(1024), L"1.0 KB");
  EXPECT_EQ(FormatSize(1536), L"1.5 KB");
  EXPECT_EQ(FormatSize(1048575), L"1024.0 KB");
  EXPECT_EQ(FormatSize(1048576), L"1.0 MB");
  EXPECT_EQ(FormatSize(1073741823), L"1024.0 MB");
  EXPECT_EQ(FormatSize(1073741824), L"1.00 GB");
  EXPECT_EQ(FormatSize(5368709120ull), L"5.00 GB");
  EXPECT_EQ(FormatSize(1024 + 51), L"1.0 KB");   // 1.0498
  EXPECT_EQ(FormatSize(1024 + 52), L"1.1 KB");   // 1.0508
  EXPECT_EQ(FormatSize(UINT64_MAX), L"17179869184.00 GB");
}

TEST(Format, Durations) {
  EXPECT_EQ(FormatDuration(0), L"00:00");
  EXPECT_EQ(FormatDuration(59), L"00:59");
  EXPECT_EQ(FormatDuration(61), L"01:01");
  EXPECT_EQ(FormatDuration(3599), L"59:59");
  EXPECT_EQ(FormatDuration(3600), L"1 h 00 min");
  EXPECT_EQ(FormatDuration(3659), L"1 h 00 min");
  EXPECT_EQ(FormatDuration(90061), L"25 h 01 min");
  EXPECT_EQ(FormatDuration(UINT64_MAX), L"5124095576030431 h 00 min");
}

TEST(Format, SpeedDownloadedPercent) {
  EXPECT_EQ(FormatSpeed(0.9f), L"0 B/s");
  EXPECT_EQ(FormatSpeed(1536.7f), L"1.5 KB/s");
  EXPECT_EQ(FormatSpeed(-5.0f), L"0 B/s");
  EXPECT_EQ(FormatSpeed(std::numeric_limits<float>::quiet_NaN()), L"0 B/s");
  EXPECT_EQ(FormatDownloaded(0, 0), L"0 B / 0 B");
  EXPECT_EQ(FormatDownloaded(1536, 5368709120ull), L"1.5 KB / 5.00 GB");
  EXPECT_EQ(FormatPercent(0.999), L"99%");
  EXPECT_EQ(FormatPercent(0.9999999), L"99%");
  EXPECT_EQ(FormatPercent(1.0), L"100%");
  EXPECT_EQ(FormatPercent(0.0), L"0%");
  EXPECT_EQ(FormatPercent(0.5), L"50%");
  EXPECT_EQ(FormatPercent(1.7), L"100%");
  EXPECT_EQ(FormatPercent(-0.2), L"0%");
  EXPECT_EQ(FormatPercent(std::nan("")), L"0%");
}

TEST(Format, TimeLeft) {
  EXPECT_EQ(FormatTimeLeft(0.9f, 0, 1000), L"-");
  EXPECT_EQ(FormatTimeLeft(1.0f, 0, 1000), L"-");         // exactly 1 B/s is not enough
  EXPECT_EQ(FormatTimeLeft(100.0f, 1000, 1000), L"-");    // nothing left
  EXPECT_EQ(FormatTimeLeft(100.0f, 2000, 1000), L"-");    // more done than total
  EXPECT_EQ(FormatTimeLeft(100.0f, 0, 6150), L"01:01");   // 61.5 s truncated
  EXPECT_EQ(FormatTimeLeft(2.0f, 0, 7200), L"1 h 00 min");
  EXPECT_EQ(FormatTimeLeft(1.5f, 0, UINT64_MAX), L"-");  // beyond 99 hours
}

// Ticks every 33 ms from start to end (milliseconds) while bytes arrive at rate per second
// on top of base; what the page would show at the end.
struct Download {
  SpeedMeter meter;
  uint64_t now = 1000;
  void Run(uint64_t until, uint64_t base, double rate, uint64_t from) {
    for (; now <= until; now += 33)
      SampleSpeed(meter, true, base + static_cast<uint64_t>(rate * static_cast<double>(now - from) / 1000.0), now);
  }
};

TEST(Format, ResumedBytesAreNoSpeed) {
  Download d;
  // The stage starts with 300 MB already on disk (verified files, resumed parts credited in
  // the first moments), then 100 KB/s arrive.
  SampleSpeed(d.meter, true, 0, d.now);  // the stage is seen before its totals are set
  d.now += 33;
  SampleSpeed(d.meter, true, 300000000, d.now);
  EXPECT_EQ(SpeedText(d.meter), L"-");
  d.Run(1400, 300000000, 100000.0, 1033);
  EXPECT_EQ(SpeedText(d.meter), L"-") << "nothing measured before the starting point plus a second";
  d.Run(4400, 300000000, 100000.0, 1033);
  EXPECT_NEAR(MeasuredSpeed(d.meter), 100000.0f, 5000.0f);
  EXPECT_EQ(SpeedText(d.meter), L"-") << "the first figure waits for three seconds of measure";
  EXPECT_EQ(TimeLeftText(d.meter, 300000000 + 150000, 300000000 + 100000 * 61), L"-");
  d.Run(5000, 300000000, 100000.0, 1033);
  EXPECT_EQ(SpeedText(d.meter).substr(SpeedText(d.meter).size() - 5), L" KB/s");
  EXPECT_EQ(TimeLeftText(d.meter, 300000000, 300000000 + 100000 * 61), L"01:01");
}

TEST(Format, FirstSpeedIsNotRaisedByPartsCreditedLate) {
  // 100 KB/s on the line; two resumed parts of 400 KB are credited as their transfers start,
  // the last well after the stage began.
  Download d;
  uint64_t credited = 0;
  for (; d.now <= 12000; d.now += 33) {
    for (uint64_t at : {2300u, 3600u})
      if (d.now >= at && d.now < at + 33) credited += 400000;
    SampleSpeed(d.meter, true, credited + static_cast<uint64_t>(100.0 * static_cast<double>(d.now - 1000)), d.now);
    if (SpeedText(d.meter) != L"-") {
      EXPECT_NEAR(MeasuredSpeed(d.meter), 100000.0f, 25000.0f) << "first figure at " << d.now << " ms";
      break;
    }
  }
  EXPECT_LT(d.now, 5000u) << "a figure is shown after three seconds";
}

TEST(Format, NoBytesForTwoSecondsShowsADash) {
  Download d;
  d.Run(9000, 0, 721000.0, 1000);
  EXPECT_NE(SpeedText(d.meter), L"-");
  const uint64_t at = 721000ull * 8;
  d.Run(10900, at, 0.0, 9000);
  EXPECT_NE(SpeedText(d.meter), L"-") << "under two seconds without bytes";
  d.Run(11100, at, 0.0, 9000);
  EXPECT_EQ(SpeedText(d.meter), L"-");
  EXPECT_EQ(TimeLeftText(d.meter, at, at * 2), L"-");
  // Bytes again: the figure rests on what arrived since, within a quarter of the line in 4 s.
  d.Run(11500, at, 721000.0, 11100);
  EXPECT_EQ(SpeedText(d.meter), L"-") << "the stall is no part of the speed";
  for (; d.now <= 15100 && SpeedText(d.meter) == L"-"; d.now += 33)
    SampleSpeed(d.meter, true, at + static_cast<uint64_t>(721000.0 * static_cast<double>(d.now - 11100) / 1000.0), d.now);
  EXPECT_NEAR(MeasuredSpeed(d.meter), 721000.0f, 721000.0f / 4) << "first figure at " << d.now << " ms";
}

TEST(Format, TimeLeftFollowsTheLineAsTheLastFilesComeOverFewerTransfers) {
  Download d;
  d.Run(11000, 0, 400000.0, 1000);  // four transfers
  const uint64_t at = 4000000;
  d.Run(15000, at, 100000.0, 11000);  // one left
  EXPECT_GT(MeasuredSpeed(d.meter), 200000.0f) << "the window still holds the four transfers";
  // 1 MB left at 100 KB/s: 10 s, not the window's 4 or 5.
  const uint64_t done = at + 400000;
  EXPECT_EQ(TimeLeftText(d.meter, done, done + 1000000), L"00:10");
  // A steady line keeps the window's figure.
  Download steady;
  steady.Run(11000, 0, 400000.0, 1000);
  EXPECT_EQ(TimeLeftText(steady.meter, 4000000, 4000000 + 4000000), L"00:10");
}

TEST(Format, SpeedIsAMovingWindow) {
  Download d;
  d.Run(20000, 0, 1000000.0, 1000);  // 1 MB/s for 19 s
  EXPECT_NEAR(MeasuredSpeed(d.meter), 1000000.0f, 20000.0f);
  EXPECT_GE(MeasuredSpan(d.meter), 8000u);
  EXPECT_LT(MeasuredSpan(d.meter), 8600u);
  // A stall of two seconds moves it by a quarter or so, not to nothing.
  const uint64_t at = 19000000;
  d.Run(22000, at, 0.0, 20000);
  EXPECT_GT(MeasuredSpeed(d.meter), 650000.0f);
  EXPECT_LT(MeasuredSpeed(d.meter), 850000.0f);
  // Nine seconds later only the new rate is left.
  d.Run(31000, at, 200000.0, 22000);
  EXPECT_NEAR(MeasuredSpeed(d.meter), 200000.0f, 10000.0f);
}

TEST(Format, FallingCounterStartsTheMeasureOverAndOtherStagesForgetIt) {
  Download d;
  d.Run(6000, 0, 500000.0, 1000);
  ASSERT_NEAR(MeasuredSpeed(d.meter), 500000.0f, 20000.0f);
  // A failed attempt takes 1 MB back: no negative speed, the measure starts over.
  SampleSpeed(d.meter, true, 1000000, 6600);
  EXPECT_EQ(d.meter.count, 1);
  EXPECT_EQ(SpeedText(d.meter), L"-");
  SampleSpeed(d.meter, true, 1500000, 7600);
  EXPECT_FLOAT_EQ(MeasuredSpeed(d.meter), 500000.0f);
  // Leaving the download stage (a retry's checking) forgets everything.
  SampleSpeed(d.meter, false, 0, 8000);
  EXPECT_EQ(d.meter.count, 0);
  EXPECT_EQ(d.meter.stageSeen, 0u);
}

TEST(Format, TimeLeftBeyondNinetyNineHoursIsADash) {
  EXPECT_EQ(FormatTimeLeft(1.5f, 0, UINT64_MAX), L"-");
  EXPECT_EQ(FormatTimeLeft(10.0f, 0, 3564000), L"99 h 00 min");  // exactly 99 hours
  EXPECT_EQ(FormatTimeLeft(10.0f, 0, 3564010), L"-");
  Download d;
  d.Run(10000, 0, 1000.0, 1000);  // 1000 B/s
  EXPECT_EQ(TimeLeftText(d.meter, 0, 3600000), L"1 h 00 min");
  EXPECT_EQ(TimeLeftText(d.meter, 0, 99ull * 3600 * 1000), L"99 h 00 min");
  EXPECT_EQ(TimeLeftText(d.meter, 0, 99ull * 3600 * 1000 + 60000), L"-");
}

TEST(Format, PercentageNeverFallsWithinAStage) {
  const int32_t checking = 3, downloading = 4;
  ShownProgress shown;
  EXPECT_DOUBLE_EQ(ShowProgress(shown, checking, 0.4), 0.4);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, checking, 1.0), 1.0);
  // The download starts again from its own figure.
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, 0.33), 0.33);
  // Try again: connecting shows 0, checking keeps what it reached, and the download resumes at
  // 0.24 of what is still to fetch; the page keeps 0.33 until the run passes it.
  EXPECT_DOUBLE_EQ(ShowProgress(shown, 1, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, checking, 0.1), 1.0);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, 0.24), 0.33);
  EXPECT_DOUBLE_EQ(shown.last, 0.33);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, 0.5), 0.5);
  EXPECT_DOUBLE_EQ(shown.last, 0.5);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, std::nan("")), 0.5);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, downloading, 1.7), 1.0);
  EXPECT_DOUBLE_EQ(ShowProgress(shown, 99, 0.7), 0.7);  // any code has a floor of its own
  EXPECT_DOUBLE_EQ(ShowProgress(shown, -1, 0.2), 0.7);
  // A resumed run starts where the last one left off, whatever its stage shows.
  ShownProgress again;
  ShowProgress(again, downloading, 0.4);
  ResumeProgress(again);
  EXPECT_DOUBLE_EQ(ShowProgress(again, 1, 0.0), 0.4);
  EXPECT_DOUBLE_EQ(ShowProgress(again, checking, 0.1), 0.4);
  EXPECT_DOUBLE_EQ(ShowProgress(again, downloading, 0.6), 0.6);
}

TEST(Format, ARetriedDownloadCountsWhatTheRunsBeforeItFetched) {
  ShownProgress shown;
  DownloadBytes b = CarryDownload(shown, 55, 100);
  EXPECT_EQ(b.done, 55u);
  EXPECT_EQ(b.total, 100u);
  // Try again: 40 of the 100 are in finished files; the run lists 60, 15 of them in part files.
  ResumeProgress(shown);
  b = CarryDownload(shown, 15, 60);
  EXPECT_EQ(b.done, 55u);
  EXPECT_EQ(b.total, 100u);
  b = CarryDownload(shown, 30, 65);  // pieces that failed join as whole files: the carry stays
  EXPECT_EQ(b.done, 70u);
  EXPECT_EQ(b.total, 105u);
  // Again, and a release that grew in between carries nothing.
  ResumeProgress(shown);
  EXPECT_EQ(CarryDownload(shown, 0, 50).done, 55u);
  ResumeProgress(shown);
  EXPECT_EQ(CarryDownload(shown, 0, 500).total, 500u);
}

// A text fits when it has at most the number of characters the context points to.
static bool FitsChars(const std::wstring& text, void* context) {
  return text.size() <= *static_cast<size_t*>(context);
}

TEST(Format, MiddleTrimmingKeepsTheLastName) {
  std::wstring folder = L"D:\\";
  while (folder.size() < 122) folder += L"Games\\";
  folder.resize(122);
  folder += L"\\Quorvel";
  ASSERT_EQ(folder.size(), 130u);
  size_t room = 40;
  const std::wstring trimmed = TrimMiddleAtBackslash(folder, FitsChars, &room);
  EXPECT_EQ(trimmed.size(), 40u);
  EXPECT_EQ(trimmed, folder.substr(0, 31) + L"\u2026\\Quorvel");
  room = 130;
  EXPECT_EQ(TrimMiddleAtBackslash(folder, FitsChars, &room), folder) << "a text that fits stays whole";
  // An error line: the file name at its end survives.
  const std::wstring error = L"Could not write file: data\\maps\\north\\castle_of_the_long_winter.pak";
  room = 62;
  const std::wstring line = TrimMiddleAtBackslash(error, FitsChars, &room);
  EXPECT_EQ(line, L"Could not write file: data\\maps\u2026\\castle_of_the_long_winter.pak");
  // Too narrow for even the sign and the name: the name is kept for the style to cut.
  room = 5;
  EXPECT_EQ(TrimMiddleAtBackslash(error, FitsChars, &room), L"\u2026\\castle_of_the_long_winter.pak");
  room = 10;
  EXPECT_EQ(TrimMiddleAtBackslash(L"no backslash in this text", FitsChars, &room), L"no backslash in this text");
}
