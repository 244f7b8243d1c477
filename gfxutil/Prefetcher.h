// Work done ahead on a thread of its own: items 0 .. count-1 in order, each
// result kept until a caller takes it (waiting for it if need be). At most
// `maxWaiting` results wait for their callers, unless a caller waits for a
// later item; destroying the prefetcher stops the thread and frees what was
// not taken. The owner finds an item's index and keeps the prefetcher where
// its callers can reach it.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

template <typename Result>
class Prefetcher {
public:
    typedef std::function<void(size_t index, Result& result)> Work;

    Prefetcher(size_t count, size_t maxWaiting, Work work, const char* threadName)
        : items(count), maxWaiting(maxWaiting), work(std::move(work))
    {
        if (count == 0) return;
        try {
            thread = std::thread(&Prefetcher::run, this);
            pthread_setname_np(thread.native_handle(), threadName);
        } catch (const std::system_error&) {
            // No thread: nothing is done ahead, and every take says so.
            items.clear();
        }
    }

    ~Prefetcher()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        if (thread.joinable()) thread.join();
    }

    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // Waits for item `index` and hands its result over; false when there is
    // no such item or it was taken already.
    bool take(size_t index, Result& out)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (index >= items.size() || items[index].taken) return false;
        if (index >= wanted) {
            wanted = index + 1;
            changed.notify_all();
        }
        // A prefetcher stopped meanwhile leaves the item undone: the caller
        // does the work itself.
        changed.wait(lock, [&] { return items[index].done || stopping; });
        if (!items[index].done) return false;
        items[index].taken = true;
        --waiting;
        changed.notify_all();
        out = std::move(items[index].result);
        return true;
    }

private:
    struct Item {
        bool done = false;
        bool taken = false;
        Result result;
    };

    void run()
    {
        for (size_t i = 0; i < items.size(); ++i) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stopping || waiting < maxWaiting || i < wanted; });
                if (stopping) return;
            }
            Result result;
            work(i, result);
            std::lock_guard<std::mutex> lock(mutex);
            items[i].result = std::move(result);
            items[i].done = true;
            ++waiting;
            changed.notify_all();
        }
    }

    std::vector<Item> items;
    const size_t maxWaiting;
    const Work work;
    std::mutex mutex;
    std::condition_variable changed;  // an item done, taken or wanted; the stop
    size_t waiting = 0;               // items done and not taken
    size_t wanted = 0;                // items up to here are waited for
    bool stopping = false;
    std::thread thread;               // last: started once the rest exists
};
