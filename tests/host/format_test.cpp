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
  EXPECT_EQ(FormatTimeLeft(1.5f, 0, UINT64_MAX), FormatDuration(static_cast<uint64_t>(18446744073709551615.0 / 1.5)));
}

struct Sampler {
  float speed = 0.0f;
  uint64_t lastBytes = 0;
  uint64_t lastTick = 0;
  void Sample(uint64_t done, uint64_t now) { SampleSpeed(speed, lastBytes, lastTick, done, now); }
};

TEST(Format, SamplingWaitsHalfASecond) {
  Sampler s{0.0f, 0, 10000};
  s.Sample(5000, 10033);
  s.Sample(5000, 10499);
  EXPECT_EQ(s.speed, 0.0f);
  EXPECT_EQ(s.lastBytes, 0u);
  EXPECT_EQ(s.lastTick, 10000u);
  s.Sample(5000, 10500);  // first positive sample is taken as it is
  EXPECT_FLOAT_EQ(s.speed, 10000.0f);
  EXPECT_EQ(s.lastBytes, 5000u);
  EXPECT_EQ(s.lastTick, 10500u);
  s.Sample(10000, 11500);  // 5000 B/s blended 20 / 80
  EXPECT_FLOAT_EQ(s.speed, 5000.0f * 0.2f + 10000.0f * 0.8f);
}

TEST(Format, SamplingAfterTheCounterFell) {
  Sampler s{0.0f, 0, 0};
  s.Sample(4000, 1000);
  ASSERT_FLOAT_EQ(s.speed, 4000.0f);
  s.Sample(1000, 2000);  // restarted part file: an instant rate of 0 is blended in
  EXPECT_FLOAT_EQ(s.speed, 3200.0f);
  EXPECT_EQ(s.lastBytes, 1000u);
  s.Sample(3000, 3000);
  EXPECT_FLOAT_EQ(s.speed, 2000.0f * 0.2f + 3200.0f * 0.8f);
}

TEST(Format, SamplingStartsOverFromZeroSpeed) {
  Sampler s{0.0f, 0, 0};
  s.Sample(0, 600);  // nothing downloaded yet: speed stays 0
  EXPECT_EQ(s.speed, 0.0f);
  EXPECT_EQ(s.lastTick, 600u);
  s.Sample(1200, 1200);  // the next positive sample is taken unchanged again
  EXPECT_FLOAT_EQ(s.speed, 2000.0f);
}
