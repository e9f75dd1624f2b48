// Builds the paint plan of a binary view 640 x 600 pixels with a 8 x 12 cell
// (50 rows in view) over 1 KiB and over 1 GiB of bytes, at the first row and
// at the last rows. Only the rows in view are read: the times must match.
#include "controls/binedit/binedit_paint_plan.h"

#include <benchmark/benchmark.h>

#include <stdint.h>
#include <stdlib.h>

namespace {

void PaintPlan(benchmark::State &bench)
{
    uint64_t size = (uint64_t)bench.range(0);
    int atEnd = (int)bench.range(1);
    // calloc maps zero pages lazily: only the pages the plan reads are touched.
    unsigned char *bytes = (unsigned char *)calloc((size_t)size, 1);
    if (!bytes) {
        bench.SkipWithError("cannot allocate the bytes");
        return;
    }
    BinEditState state = {};
    state.data = bytes;
    state.size = (uint32_t)size;
    state.cellWidth = 8;
    state.cellHeight = 12;
    state.caret = 0;
    BinEditPaintInput input;
    input.state = &state;
    input.clientWidth = 640;
    input.clientHeight = 600;
    input.focused = 1;
    // The last 50 rows, or the first.
    int32_t lastRow = (int32_t)((size + 15) / 16) - 1;
    input.topRow = atEnd ? lastRow - 49 : 0;
    input.windowColour = 0x00FFFFFF;
    input.windowTextColour = 0;
    uint32_t ops = 0;
    for (auto _ : bench) {
        BinEditPaintPlan plan;
        MakeBinEditPaintPlan(&input, &plan);
        ops = plan.count;
        benchmark::DoNotOptimize(plan.ops);
        FreeBinEditPaintPlan(&plan);
    }
    bench.counters["ops"] = ops;
    free(bytes);
}

}  // namespace

BENCHMARK(PaintPlan)
    ->ArgNames({"bytes", "at_end"})
    ->Args({1 << 10, 0})
    ->Args({1 << 30, 0})
    ->Args({1 << 30, 1});
