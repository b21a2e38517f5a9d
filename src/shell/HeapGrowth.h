#pragma once

// How the heap grows for a process that builds megabytes of values at once
// and then ends (the command-line import and export). The setting is the
// whole process's, so only such a process switches it on.
namespace HeapGrowth {

// Grows the heap in large steps and keeps what is freed for the next
// values, and backs the calling thread's heap, and that of each thread
// AsideTask starts from then on, with transparent huge pages.
void growInLargeSteps();

// Called by each thread AsideTask starts, before its work: once the
// process grows in large steps, backs the thread's heap (a malloc arena of
// its own) with transparent huge pages too.
void prepareThread();

} // namespace HeapGrowth
