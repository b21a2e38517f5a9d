#include "BenchData.h"

#include "contacts/ContactGrid.h"
#include "contacts/Form1.h"
#include "shell/MessageBox.h"
#include "support/WindowControls.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

namespace {

// The contact list window on a generated list, shown offscreen, with its
// messages collected instead of shown. The handlers are timed; the repaint
// that follows each one runs untimed, so every step starts from a settled
// window.
class LoadedWindow {
public:
    explicit LoadedWindow(int contacts)
        : data_(contacts)
    {
        MessageBox::setHook([this](const MessageBox::Shown &m) { last = m.text; });
        form.show();
        QApplication::processEvents();
    }
    ~LoadedWindow() { MessageBox::setHook(nullptr); }

    bool loaded(const benchmark::State &state) const { return form.rowCount() == state.range(0); }

    void press(const char *button) { child<QPushButton>(form, QString::fromLatin1(button))->click(); }
    ContactGrid *grid() const { return child<ContactGrid>(form, QStringLiteral("MSFlexGrid1")); }

    static void settle(benchmark::State &state)
    {
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }

    BenchData data_;
    Form1 form;
    QString last;
};

} // namespace

// One search step over every row that finds nothing: a new search, so every
// row is painted white first, then the chosen field of every row is tested.
static void BM_SearchStepNoHit(benchmark::State &state)
{
    LoadedWindow w(int(state.range(0)));
    child<QLineEdit>(w.form, QStringLiteral("TextSearch"))->setText(QStringLiteral("該当者なし"));
    auto *fields = child<QComboBox>(w.form, QStringLiteral("ComSelect"));
    // Chosen as from the open list: the entry becomes current, then activated.
    fields->setCurrentIndex(int(state.range(1)));
    emit fields->activated(int(state.range(1)));
    for (auto _ : state) {
        w.press("CmdSearch");
        LoadedWindow::settle(state);
    }
    if (!w.loaded(state) || w.last != QStringLiteral("検索結果は0件です"))
        state.SkipWithError("the search didn't run over the whole list");
    state.SetLabel(fields->currentText().toStdString());
}
// Field entries 0 (氏名) and 5 (アピール文, the longest values).
BENCHMARK(BM_SearchStepNoHit)->Args({10000, 0})->Args({10000, 5})->Unit(benchmark::kMillisecond);

// "全チェック" on a list with every row unchecked.
static void BM_CheckAll(benchmark::State &state)
{
    LoadedWindow w(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        w.press("CmdChkClear");
        QApplication::processEvents();
        state.ResumeTiming();
        w.press("CmdChkAll");
        LoadedWindow::settle(state);
    }
    if (!w.loaded(state) || w.grid()->textAt(w.form.rowCount(), 0) != QStringLiteral("ON"))
        state.SkipWithError("not every row was checked");
}
BENCHMARK(BM_CheckAll)->Arg(10000)->Unit(benchmark::kMillisecond);

// "全クリア" on a list with every row checked.
static void BM_ClearAll(benchmark::State &state)
{
    LoadedWindow w(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        w.press("CmdChkAll");
        QApplication::processEvents();
        state.ResumeTiming();
        w.press("CmdChkClear");
        LoadedWindow::settle(state);
    }
    if (!w.loaded(state) || w.grid()->textAt(w.form.rowCount(), 0) != QStringLiteral("OFF"))
        state.SkipWithError("not every row was unchecked");
}
BENCHMARK(BM_ClearAll)->Arg(10000)->Unit(benchmark::kMillisecond);

// An export of 30 rows spread over the whole list: both passes over every
// row and the export file written to disk.
static void BM_Export30(benchmark::State &state)
{
    LoadedWindow w(int(state.range(0)));
    ContactGrid *grid = w.grid();
    const int step = w.form.rowCount() / 30;
    for (int r = step; r <= w.form.rowCount(); r += step) {
        grid->setRow(r);
        grid->setCol(0);
        grid->setText(QStringLiteral("ON"));
    }
    for (auto _ : state) {
        w.press("CmdExport");
        LoadedWindow::settle(state);
    }
    if (!w.loaded(state) || w.last != QStringLiteral("30件のデータ出力が完了しました"))
        state.SkipWithError("the export didn't write 30 contacts");
}
BENCHMARK(BM_Export30)->Arg(10000)->Unit(benchmark::kMillisecond);
