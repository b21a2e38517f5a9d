#include "BenchData.h"
#include "ContactGenerator.h"

#include "contacts/Form1.h"
#include "shell/BasConst.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "support/WindowControls.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <benchmark/benchmark.h>

// The mean time of reading and decoding the list file, in nanoseconds.
static double readFloorNs(int runs)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i) {
        const QList<QStringList> records = readRecords(PsLoadPass(), FieldCount);
        benchmark::DoNotOptimize(records.size());
    }
    return double(timer.nsecsElapsed()) / runs;
}

// Half of the contacts received into a list of the other half, end to end
// through the contact list window: backup copy, reading both files, merge,
// atomic rewrite, reload into the grid, deleting both copies. Reported
// against the floor of reading and decoding the resulting list (budget: 6),
// timed before and after the imports, as a shared machine's speed drifts.
static void BM_ImportHalfIntoHalf(benchmark::State &state)
{
    const int total = int(state.range(0));
    const QList<ContactRecord> all = generateContacts(total, 20261208);
    QList<ContactRecord> listed, received;
    for (int i = 0; i < total; ++i)
        (i % 2 ? received : listed).append(all[i]);
    const QByteArray listedBytes = encodeRecords(listed);
    const QByteArray receivedBytes = encodeRecords(received);

    const BenchData data(total, 20261208);
    const double floorBeforeNs = readFloorNs(10);

    QString message;
    MessageBox::setHook([&message](const MessageBox::Shown &m) { message = m.text; });
    writeFileAtomically(PsLoadPass(), listedBytes);
    Form1 form;
    QPushButton *import = child<QPushButton>(form, QStringLiteral("CmdImport"));
    qint64 importNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeFileAtomically(PsLoadPass(), listedBytes);
        writeFileAtomically(PsImpPass(), receivedBytes);
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        import->click();
        importNs += timer.nsecsElapsed();
    }
    MessageBox::setHook(nullptr);
    const double floorNs = (floorBeforeNs + readFloorNs(10)) / 2;

    if (form.rowCount() != total || !message.isEmpty() || fileExists(PsImpPass()) || fileExists(PsLoadBackPass()))
        state.SkipWithError("the import didn't run through");
    const double meanNs = double(importNs) / double(state.iterations());
    state.counters["floor_ms"] = floorNs / 1e6;
    state.counters["import_ms"] = meanNs / 1e6;
    state.counters["ratio"] = meanNs / floorNs;
}
BENCHMARK(BM_ImportHalfIntoHalf)->Arg(10000)->Unit(benchmark::kMillisecond);
