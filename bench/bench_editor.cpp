#include "BenchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "editor/Form2.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"

#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <memory>

// One press of "更新" or "削除" on the first contact of the list, from the
// checks to the reloaded grid: backup copy, reading it, the rewrite and the
// reload (budget: 100 ms each). Putting the list back between presses is not
// timed.
template <typename Press>
static void pressOnFirstContact(benchmark::State &state, Press press)
{
    const BenchData data(int(state.range(0)));
    const QByteArray original = readWholeFile(PsLoadPass());
    Form1 form;
    for (auto _ : state) {
        state.PauseTiming();
        writeFileAtomically(PsLoadPass(), original);
        form.Pf_TextRead();
        Pf_WorkClear();
        form.Pf_WorkSet(1);
        auto editor = std::make_unique<Form2>(WorkRecord, [&form] { return form.Pf_TextRead(); }, &form);
        state.ResumeTiming();

        press(*editor);

        state.PauseTiming();
        if (form.RowCount == 0 || fileExists(PsLoadBackPass()))
            state.SkipWithError("the write didn't go through");
        editor.reset();
        state.ResumeTiming();
    }
}

// The reading changed so that the first contact moves to the end of the list.
static void BM_UpdateMovesFirstToLast(benchmark::State &state)
{
    pressOnFirstContact(state, [](Form2 &editor) {
        editor.TexSelData[ReadingField]->setText(QStringLiteral("ﾝﾝﾝ"));
        editor.CmdUpdate2->click();
    });
}
BENCHMARK(BM_UpdateMovesFirstToLast)->Arg(10000)->Unit(benchmark::kMillisecond);

static void BM_DeleteFirst(benchmark::State &state)
{
    pressOnFirstContact(state, [](Form2 &editor) { editor.CmdDelete2->click(); });
}
BENCHMARK(BM_DeleteFirst)->Arg(10000)->Unit(benchmark::kMillisecond);
