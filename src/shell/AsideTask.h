#pragma once

#include <chrono>
#include <cstddef>
#include <future>
#include <memory>
#include <pthread.h>
#include <utility>

namespace Detail {
// Starts run(arg) on a new thread placed on another processor than the
// caller's, where the process may use one; the thread may then move to any
// processor the process may use. False when no thread could be made.
bool startThreadAside(pthread_t *thread, void (*run)(void *), void *arg);
} // namespace Detail

// Work on fewer items than this (contacts, records) is done on one thread:
// starting a second and waiting for it costs more than it saves.
inline constexpr std::ptrdiff_t SecondThreadFrom = 2000;

// Work run on a thread of its own, as std::async with std::launch::async |
// std::launch::deferred runs it, but started on another processor than the
// caller's. A thread started the usual way waits on the caller's busy
// processor until the scheduler moves it: one to three milliseconds on the
// virtual machines this runs on, whose idle processors sleep, and the work
// split in two is only a few times that. get() waits and gives the result
// or rethrows; the destructor waits too, so that the work never outlives
// what it uses. Where no thread can be made, get() or wait() runs the work.
template <typename R>
class AsideTask {
public:
    AsideTask() = default;

    template <typename Work>
    explicit AsideTask(Work &&work) : task_(std::make_unique<std::packaged_task<R()>>(std::forward<Work>(work)))
    {
        result_ = task_->get_future();
        if (Detail::startThreadAside(&thread_, &AsideTask::run, task_.get()))
            started_ = true;
    }

    AsideTask(const AsideTask &) = delete;
    AsideTask &operator=(const AsideTask &) = delete;
    AsideTask(AsideTask &&other) noexcept { *this = std::move(other); }
    AsideTask &operator=(AsideTask &&other) noexcept
    {
        join();
        task_ = std::move(other.task_);
        result_ = std::move(other.result_);
        thread_ = other.thread_;
        started_ = std::exchange(other.started_, false);
        return *this;
    }
    ~AsideTask() { join(); }

    bool valid() const { return result_.valid(); }
    void wait()
    {
        finish();
        result_.wait();
    }
    R get()
    {
        finish();
        return result_.get();
    }

private:
    static void run(void *task) { (*static_cast<std::packaged_task<R()> *>(task))(); }

    void join()
    {
        if (started_) {
            pthread_join(thread_, nullptr);
            started_ = false;
        }
    }
    // Waits for the thread, or runs the work here when it had none (once:
    // the task's result is then ready).
    void finish()
    {
        join();
        if (task_ && result_.valid() && result_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            (*task_)();
    }

    std::unique_ptr<std::packaged_task<R()>> task_;
    std::future<R> result_;
    pthread_t thread_{};
    bool started_ = false;
};
