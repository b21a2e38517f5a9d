// The heap of a process that grows in large steps: the values allocated
// after the switch, on the calling thread and on each thread AsideTask
// starts, lie in the part marked for huge pages, past the first 2 MB
// boundary, and not in the range before it that the kernel can only map a
// 4 KB page at a time.

#include "shell/AsideTask.h"
#include "shell/HeapGrowth.h"

#include <QtTest>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::uintptr_t HugePage = 2 * 1024 * 1024;

// Larger than any free piece the heap may hold, so it comes from the top.
constexpr std::size_t FromTheTop = 512 * 1024;

// How far past a 2 MB boundary a fresh allocation lies.
std::uintptr_t pastBoundary(void *p)
{
    return reinterpret_cast<std::uintptr_t>(p) & (HugePage - 1);
}

} // namespace

class TestHeapGrowth : public QObject {
    Q_OBJECT

private slots:
    void valuesLieInTheHugePagePart()
    {
        HeapGrowth::growInLargeSteps();
        void *here = std::malloc(FromTheTop);
        QVERIFY(here);
        QVERIFY2(pastBoundary(here) < 4096, qPrintable(QString::number(pastBoundary(here))));
        std::free(here);

        AsideTask<std::uintptr_t> aside([] {
            void *p = std::malloc(FromTheTop);
            const std::uintptr_t past = pastBoundary(p);
            std::free(p);
            return past;
        });
        const std::uintptr_t past = aside.get();
        QVERIFY2(past < 4096, qPrintable(QString::number(past)));
    }
};

QTEST_GUILESS_MAIN(TestHeapGrowth)
#include "test_heapgrowth.moc"
