// Work run aside: its result or its exception reaches get(), the work never
// outlives the task, and the thread placed on another processor to start is
// free to run anywhere the process may afterwards.

#include "shell/AsideTask.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <sched.h>
#include <stdexcept>
#include <thread>

class TestAsideTask : public QObject {
    Q_OBJECT

private slots:
    void givesTheResultOrTheException()
    {
        AsideTask<int> sum([] { return 40 + 2; });
        QCOMPARE(sum.get(), 42);

        AsideTask<int> failing([]() -> int { throw std::runtime_error("unreadable"); });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, failing.get());

        int written = 0;
        AsideTask<void> none;
        QVERIFY(!none.valid());
        none = AsideTask<void>([&] { written = 7; });
        QVERIFY(none.valid());
        none.wait();
        QCOMPARE(written, 7);
    }

    // The work uses what the caller holds: a task that goes out of scope
    // (an early return, an exception) first waits for it.
    void theWorkEndsBeforeTheTaskGoes()
    {
        std::atomic<bool> done = false;
        {
            AsideTask<void> slow([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                done = true;
            });
        }
        QVERIFY(done);
    }

    void theThreadMayRunWhereTheProcessMay()
    {
        cpu_set_t process;
        QCOMPARE(sched_getaffinity(0, sizeof process, &process), 0);
        AsideTask<bool> sameMask([&] {
            cpu_set_t mine;
            return pthread_getaffinity_np(pthread_self(), sizeof mine, &mine) == 0 && CPU_EQUAL(&mine, &process);
        });
        QVERIFY(sameMask.get());
    }
};

QTEST_GUILESS_MAIN(TestAsideTask)
#include "test_asidetask.moc"
