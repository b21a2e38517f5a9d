#include "shell/AsideTask.h"

#include "shell/HeapGrowth.h"

#include <sched.h>

namespace Detail {

namespace {
struct Start {
    void (*run)(void *);
    void *arg;
    cpu_set_t allowed;
    bool placed;
};

void *startHere(void *p)
{
    const std::unique_ptr<Start> start(static_cast<Start *>(p));
    // Placed for its start only: from here on it goes where the process may.
    if (start->placed)
        pthread_setaffinity_np(pthread_self(), sizeof start->allowed, &start->allowed);
    HeapGrowth::prepareThread();
    start->run(start->arg);
    return nullptr;
}
} // namespace

bool startThreadAside(pthread_t *thread, void (*run)(void *), void *arg)
{
    auto start = std::make_unique<Start>(Start{run, arg, {}, false});
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    if (sched_getaffinity(0, sizeof start->allowed, &start->allowed) == 0) {
        cpu_set_t elsewhere = start->allowed;
        if (const int here = sched_getcpu(); here >= 0 && here < CPU_SETSIZE)
            CPU_CLR(here, &elsewhere);
        start->placed = CPU_COUNT(&elsewhere) > 0
            && pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere) == 0;
    }
    const bool made = pthread_create(thread, &attributes, &startHere, start.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (made)
        start.release(); // the thread owns it now
    return made;
}

} // namespace Detail
