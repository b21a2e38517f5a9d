#include "BenchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QApplication>
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
    if (form.rowCount() != state.range(0))
        state.SkipWithError("the list didn't load whole");
}
BENCHMARK(BM_LoadListIntoGrid)->Arg(10000)->Unit(benchmark::kMillisecond);

#include "ContactGenerator.h"

#include <malloc.h>

// Heap in use, large blocks of their own included, which (unlike the
// resident size) doesn't hide memory that the generator freed and the load
// then reused.
static double heapMegabytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

// Memory of the program with 10000 contacts loaded, above the same window
// with an empty list (budget: 25 MB).
static void BM_MemoryOfLoadedList(benchmark::State &state)
{
    const BenchData data(0);
    Form1 form;
    form.show();
    QApplication::processEvents();
    writeContactFile(PsLoadPass(), generateContacts(int(state.range(0)), 20261208));
    const double empty = heapMegabytes();
    double loaded = empty;
    for (auto _ : state) {
        form.Pf_TextRead();
        QApplication::processEvents();
        loaded = heapMegabytes();
    }
    state.counters["MB_above_empty"] = loaded - empty;
}
BENCHMARK(BM_MemoryOfLoadedList)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);
