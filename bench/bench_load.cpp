#include "BenchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <benchmark/benchmark.h>

// The floor: reading and decoding the 10000-record list, nothing more.
static void BM_ReadAndDecodeList(benchmark::State &state)
{
    const BenchData data(int(state.range(0)));
    for (auto _ : state) {
        const QList<QStringList> records = readRecords(PsLoadPass(), 20);
        benchmark::DoNotOptimize(records.size());
    }
}
BENCHMARK(BM_ReadAndDecodeList)->Arg(10000)->Unit(benchmark::kMillisecond);

// The list read into the grid of the contact list window (budget: 3 × floor).
static void BM_LoadListIntoGrid(benchmark::State &state)
{
    const BenchData data(int(state.range(0)));
    Form1 form;
    for (auto _ : state) {
        const bool failed = form.Pf_TextRead();
        benchmark::DoNotOptimize(failed);
    }
    if (form.RowCount != state.range(0))
        state.SkipWithError("the list didn't load whole");
}
BENCHMARK(BM_LoadListIntoGrid)->Arg(10000)->Unit(benchmark::kMillisecond);
