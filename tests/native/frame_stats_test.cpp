#include "run/frame_stats.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Intervals in microseconds, each a multiple of the 10 us bin, and what a
// reader works out from them by hand: the rate is the intervals' count over
// their sum, a percentile is the value at rank ceil(count x percent / 100)
// of the sorted list.
struct Series {
    const char *name;
    std::vector<long long> intervals;
    double framesPerSecond;
    long long median, p99, longest;
};

std::unique_ptr<FrameStats> recorded(const std::vector<long long> &intervals)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    long long time = 123456789;
    recordFrame(*stats, time);
    for (long long interval : intervals) recordFrame(*stats, time += interval);
    return stats;
}

// 100 intervals of 25 ms, the first few 31 ms.
std::vector<long long> hundredWithLate(int late)
{
    std::vector<long long> intervals(100, 25000);
    for (int i = 0; i < late; ++i) intervals[i] = 31000;
    return intervals;
}

// 200 frames of 25 ms, one of them 15 ms late and the next as early: the
// sum is still 5 s.
std::vector<long long> oneLateOneEarly()
{
    std::vector<long long> intervals(200, 25000);
    intervals[100] = 40000;
    intervals[101] = 10000;
    return intervals;
}

// 1,000 us down to 10 us: the k-th smallest is 10k, the sum 50,500 us.
std::vector<long long> tenthsOfAMillisecondDown()
{
    std::vector<long long> intervals;
    for (long long interval = 1000; interval >= 10; interval -= 10) intervals.push_back(interval);
    return intervals;
}

class FrameStatsSeries : public ::testing::TestWithParam<Series> {};

TEST_P(FrameStatsSeries, RateAndPercentiles)
{
    const Series &row = GetParam();
    const auto stats = recorded(row.intervals);
    EXPECT_EQ(stats->frames, static_cast<long long>(row.intervals.size()) + 1);
    EXPECT_NEAR(framesPerSecond(*stats), row.framesPerSecond, 1e-3);
    EXPECT_EQ(intervalPercentile(*stats, 50), row.median);
    EXPECT_EQ(intervalPercentile(*stats, 99), row.p99);
    EXPECT_EQ(intervalPercentile(*stats, 100), row.longest);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FrameStatsSeries,
    ::testing::Values(
        Series{"single", {25000}, 40.0, 25000, 25000, 25000},
        // Rank 2 of 4 for the median, rank 4 (3.96 rounded up) for the 99th.
        Series{"evenCountTakesLowerMiddle", {40000, 10000, 30000, 20000}, 40.0, 20000, 40000, 40000},
        Series{"oneLateOneEarly", oneLateOneEarly(), 40.0, 25000, 25000, 40000},
        // 100 intervals summing to 2.506 s and 2.512 s: one late frame in a
        // hundred lies beyond the 99th percentile, two do not.
        Series{"onePercentLate", hundredWithLate(1), 39.9042, 25000, 25000, 31000},
        Series{"twoPercentLate", hundredWithLate(2), 39.8089, 25000, 31000, 31000}),
    [](const ::testing::TestParamInfo<Series> &row) { return std::string(row.param.name); });

TEST(FrameStats, EveryPercentileOfAHundredDistinctIntervals)
{
    const auto stats = recorded(tenthsOfAMillisecondDown());
    EXPECT_NEAR(framesPerSecond(*stats), 1980.198, 1e-3);  // 100 frames in 50.5 ms
    for (int percent = 1; percent <= 100; ++percent) EXPECT_EQ(intervalPercentile(*stats, percent), 10 * percent);
    EXPECT_EQ(intervalPercentile(*stats, 0), 10) << "rank 0 reads as the first";
}

TEST(FrameStats, EmptyAndSingleFrameReportZero)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    EXPECT_EQ(framesPerSecond(*stats), 0.0);
    EXPECT_EQ(intervalPercentile(*stats, 50), 0);
    recordFrame(*stats, 1000);
    EXPECT_EQ(stats->frames, 1);
    EXPECT_EQ(framesPerSecond(*stats), 0.0);
    EXPECT_EQ(intervalPercentile(*stats, 99), 0);
}

TEST(FrameStats, IntervalsRoundDownToTheirBinAndLongOnesLandInTheLast)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    recordFrame(*stats, 0);
    recordFrame(*stats, 25009);            // 25.009 ms reads as 25.000
    recordFrame(*stats, 25009 + 5000000);  // a 5 s stall
    EXPECT_EQ(intervalPercentile(*stats, 50), 25000);
    EXPECT_EQ(intervalPercentile(*stats, 100), 999990);
}

TEST(FrameStats, ClockGoingBackCountsAsZero)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    recordFrame(*stats, 5000);
    recordFrame(*stats, 4000);
    EXPECT_EQ(intervalPercentile(*stats, 50), 0);
}

}  // namespace
