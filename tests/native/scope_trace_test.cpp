#include "render/scope_trace.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct BandRow {
    int channelCount;
    int traces;
    int tops[2];
};

void PrintTo(const BandRow &row, std::ostream *out) { *out << "channelCount " << row.channelCount; }

class ScopeBands : public ::testing::TestWithParam<BandRow> {};

TEST_P(ScopeBands, TraceCountAndBandTops)
{
    const BandRow &row = GetParam();
    const int traces = scopeTraceCount(row.channelCount);
    ASSERT_EQ(traces, row.traces) << "channelCount " << row.channelCount;
    for (int c = 0; c < traces; ++c) EXPECT_EQ(scopeBandTop(c, traces), row.tops[c]) << "channel " << c;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScopeBands,
    ::testing::Values(BandRow{1, 1, {0}},          // rows 0-255 only
                      BandRow{2, 2, {0, 256}},     // rows 0-255 and 256-511
                      BandRow{0, 0, {}},           // outline only
                      BandRow{-1, 0, {}}, BandRow{INT_MIN, 0, {}},
                      // Only two rows exist: more channels draw the first
                      // two, laid out as for two.
                      BandRow{3, 2, {0, 256}}, BandRow{INT_MAX, 2, {0, 256}}));

struct SampleRow {
    int bandTop;
    int sample;
    int row;
};

void PrintTo(const SampleRow &row, std::ostream *out) { *out << "top " << row.bandTop << ", sample " << row.sample; }

class ScopeSampleRows : public ::testing::TestWithParam<SampleRow> {};

TEST_P(ScopeSampleRows, SampleLandsOnItsRow)
{
    const SampleRow &row = GetParam();
    EXPECT_EQ(scopeSampleRow(row.bandTop, static_cast<signed char>(row.sample)), row.row);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScopeSampleRows,
    ::testing::Values(SampleRow{0, -128, 0}, SampleRow{0, 0, 128}, SampleRow{0, 127, 255},
                      SampleRow{0, -1, 127}, SampleRow{0, 1, 129},
                      SampleRow{256, -128, 256}, SampleRow{256, 0, 384}, SampleRow{256, 127, 511}));

// The 256 byte values fill the band's 256 rows, one row each, in order.
TEST(ScopeSampleRowsAll, EveryByteHasARowOfItsBand)
{
    for (int top : {0, 256}) {
        int previous = top - 1;
        for (int s = -128; s <= 127; ++s) {
            const int row = scopeSampleRow(top, static_cast<signed char>(s));
            ASSERT_EQ(row, previous + 1) << "sample " << s;
            previous = row;
        }
        EXPECT_EQ(previous, top + 255);
    }
}

}  // namespace
