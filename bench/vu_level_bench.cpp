// Cost of one needle update: the model runs twice per VU frame.
#include "render/vu_level.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>

static void BM_updateNeedle(benchmark::State &state)
{
    // A few different frames so that neither the branch predictor nor the
    // needle's level settles into one pattern.
    std::array<std::array<signed char, 576>, 16> frames;
    std::srand(1);
    for (auto &frame : frames)
        for (auto &sample : frame) sample = static_cast<signed char>(std::rand() % 256 - 128);
    frames[3].fill(0);

    double levels[2] = {0.0, 0.0};
    std::size_t i = 0;
    for (auto _ : state) {
        const int channel = static_cast<int>(i & 1);
        const NeedleLine line = updateNeedle(channel, levels[channel], frames[i & 15].data());
        levels[channel] = line.level;
        benchmark::DoNotOptimize(line);
        ++i;
    }
}
BENCHMARK(BM_updateNeedle);
