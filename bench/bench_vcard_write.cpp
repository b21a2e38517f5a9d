#include "ContactGenerator.h"

#include "interchange/ContactExport.h"

#include <benchmark/benchmark.h>

// Writing 10000 contacts as vCard 3.0 from their text in memory: the text
// values' way from UTF-16 to escaped, folded UTF-8, without the reading of
// the list around it.
static void BM_WriteVCards(benchmark::State &state)
{
    const QList<ContactRecord> contacts = generateContacts(int(state.range(0)), 20261208);
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray cards = exportContacts(contacts, ExportFormat::VCard3, QString());
        bytes = cards.size();
        benchmark::DoNotOptimize(cards.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_WriteVCards)->Arg(10000)->Unit(benchmark::kMillisecond);
