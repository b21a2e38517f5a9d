#include "BenchData.h"

#include "contacts/Form1.h"
#include "contacts/ListChanges.h"
#include "shell/BasConst.h"
#include "shell/History.h"
#include "shell/MessageBox.h"
#include "shell/RecordFile.h"
#include "support/WindowControls.h"

#include <QAction>
#include <benchmark/benchmark.h>

// 編集 › 元に戻す after a delete of the first contact, from the press to the
// reloaded grid: the backup copy, the version kept by a hard link, the
// restored version read and written, the reload (budget: 100 ms). The
// delete before it is not timed.
static void BM_UndoDelete(benchmark::State &state)
{
    const BenchData data(int(state.range(0)));
    const QByteArray original = readWholeFile(PsLoadPass());
    MessageBox::setHook([](const MessageBox::Shown &) {});
    Form1 form;
    QAction *undo = child<QAction>(form, QStringLiteral("ActUndo"));
    for (auto _ : state) {
        state.PauseTiming();
        writeFileAtomically(PsLoadPass(), original);
        const QString first = recordKey(readRecords(PsLoadPass(), FieldCount, 1).first());
        ChangeTransaction change(deletePlan());
        if (!change.apply(deleteChange(first)).done() || !change.cleanUp(false).done())
            state.SkipWithError("the delete didn't go through");
        form.Pf_TextRead();
        state.ResumeTiming();

        undo->trigger();

        state.PauseTiming();
        if (readWholeFile(PsLoadPass()) != original || fileExists(PsLoadBackPass()))
            state.SkipWithError("the undo didn't go through");
        state.ResumeTiming();
    }
    MessageBox::setHook({});
}
BENCHMARK(BM_UndoDelete)->Arg(10000)->Unit(benchmark::kMillisecond);
