// Work on many items in parallel with output in input order.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs work(i) for i in 0 .. count-1 on up to `jobs` threads and hands each
// result to deliver(i, result) on the calling thread, strictly in order of i,
// as soon as it and all before it are done; the output is the same whatever
// the number of jobs. With one job nothing runs on another thread. At most a
// few results per thread wait for delivery, so memory does not grow with
// `count`. An exception thrown by work(i) comes out of deliver's place for i.
template <class Result>
void parallelForInOrder(std::size_t count, int jobs, const std::function<Result(std::size_t)>& work,
                        const std::function<void(std::size_t, Result&&)>& deliver)
{
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(1, jobs)), count);
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            deliver(i, work(i));
        return;
    }
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
        bool done = false;
    };
    const std::size_t window = 4 * threads;  // items taken but not yet delivered
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0, delivered = 0;
    bool stop = false;
    auto worker = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || next >= count || next < delivered + window; });
                if (stop || next >= count)
                    return;
                i = next++;
            }
            Slot s;
            try {
                s.result.emplace(work(i));
            } catch (...) {
                s.error = std::current_exception();
            }
            s.done = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                slots[i] = std::move(s);
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    auto finish = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (auto& t : pool)
            t.join();
    };
    try {
        for (std::size_t i = 0; i < count; ++i) {
            Slot s;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return slots[i].done; });
                s = std::move(slots[i]);
                slots[i] = Slot{};
                delivered = i + 1;
            }
            changed.notify_all();
            if (s.error)
                std::rethrow_exception(s.error);
            deliver(i, std::move(*s.result));
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}
