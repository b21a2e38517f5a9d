#include "ContactGenerator.h"

#include "contacts/ContactPrint.h"
#include "readings/PhoneKey.h"
#include "readings/ReadingGuesser.h"
#include "readings/TypeAhead.h"

#include <benchmark/benchmark.h>

#include <QPdfWriter>
#include <QTemporaryDir>

namespace {

const QList<ContactRecord> &contacts()
{
    static const QList<ContactRecord> list = generateContacts(10000, 20261209);
    return list;
}

} // namespace

// One keystroke of type-ahead: from the first row, for a reading that no
// contact has (the whole list is looked at), and for one that is found.
static void BM_TypeAheadNoHit(benchmark::State &state)
{
    const QList<ContactRecord> &list = contacts();
    for (auto _ : state)
        benchmark::DoNotOptimize(typeAheadRow(list, u"ゑゑ", 0));
}
BENCHMARK(BM_TypeAheadNoHit)->Unit(benchmark::kMillisecond);

static void BM_TypeAheadLettersNoHit(benchmark::State &state)
{
    const QList<ContactRecord> &list = contacts();
    for (auto _ : state)
        benchmark::DoNotOptimize(typeAheadRow(list, u"qqq", 0));
}
BENCHMARK(BM_TypeAheadLettersNoHit)->Unit(benchmark::kMillisecond);

static void BM_TypeAheadLastRow(benchmark::State &state)
{
    const QList<ContactRecord> &list = contacts();
    const QString typed = list.last()[ReadingField].left(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(typeAheadRow(list, typed, 0));
}
BENCHMARK(BM_TypeAheadLastRow)->Unit(benchmark::kMillisecond);

// The step the list's grid takes on a keystroke: over its own rows, from
// the current row on, for a reading no contact has (every row looked at).
static void BM_TypeAheadGridRowsNoHit(benchmark::State &state)
{
    ContactRows rows(std::size_t(contacts().size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i].record = contacts()[qsizetype(i)];
    TypeAheadText text;
    qint64 msecs = 0;
    for (auto _ : state) {
        msecs += 2 * TypeAheadText::PauseMs; // every key starts a new text
        benchmark::DoNotOptimize(typeAheadRow(rows, text.add(u"ゑ", msecs), 5000));
    }
}
BENCHMARK(BM_TypeAheadGridRowsNoHit)->Unit(benchmark::kMillisecond);

// Loading the dictionary: a new guesser and its first guess.
static void BM_GuesserLoad(benchmark::State &state)
{
    for (auto _ : state) {
        ReadingGuesser guesser;
        benchmark::DoNotOptimize(guesser.guess(u"山田 太郎"));
    }
}
BENCHMARK(BM_GuesserLoad)->Unit(benchmark::kMillisecond);

// One guess with the dictionary loaded.
static void BM_GuessName(benchmark::State &state)
{
    ReadingGuesser guesser;
    const QList<ContactRecord> &list = contacts();
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(guesser.guess(list[i][NameField]));
        i = (i + 1) % list.size();
    }
}
BENCHMARK(BM_GuessName)->Unit(benchmark::kMicrosecond);

static void BM_PhoneKey(benchmark::State &state)
{
    const QList<ContactRecord> &list = contacts();
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(phoneKey(list[i][Tel1Field]));
        i = (i + 1) % list.size();
    }
}
BENCHMARK(BM_PhoneKey)->Unit(benchmark::kMicrosecond);

static void BM_Print10000(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        QPdfWriter writer(dir.filePath(QStringLiteral("list.pdf")));
        writer.setPageSize(QPageSize(QPageSize::A4));
        benchmark::DoNotOptimize(printContacts(contacts(), writer));
    }
}
BENCHMARK(BM_Print10000)->Unit(benchmark::kMillisecond)->Iterations(3);
