#include "BenchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "editor/Form2.h"
#include "shell/BasConst.h"
#include "shell/RecordFile.h"
#include "support/WindowControls.h"

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
        auto editor = std::make_unique<Form2>(form.contacts().front().record, [&form] { return form.Pf_TextRead(); }, &form);
        state.ResumeTiming();

        press(*editor);

        state.PauseTiming();
        if (form.rowCount() == 0 || fileExists(PsLoadBackPass()))
            state.SkipWithError("the write didn't go through");
        editor.reset();
        state.ResumeTiming();
    }
}

// The reading changed so that the first contact moves to the end of the list.
static void BM_UpdateMovesFirstToLast(benchmark::State &state)
{
    pressOnFirstContact(state, [](Form2 &editor) {
        child<QLineEdit>(editor, QStringLiteral("TexSelData_%1").arg(ReadingField))->setText(QStringLiteral("ﾝﾝﾝ"));
        child<QPushButton>(editor, QStringLiteral("CmdUpdate2"))->click();
    });
}
BENCHMARK(BM_UpdateMovesFirstToLast)->Arg(10000)->Unit(benchmark::kMillisecond);

static void BM_DeleteFirst(benchmark::State &state)
{
    pressOnFirstContact(state,
                        [](Form2 &editor) { child<QPushButton>(editor, QStringLiteral("CmdDelete2"))->click(); });
}
BENCHMARK(BM_DeleteFirst)->Arg(10000)->Unit(benchmark::kMillisecond);
