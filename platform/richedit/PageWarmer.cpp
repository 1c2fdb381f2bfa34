#include "platform/richedit/PageWarmer.h"

#include <algorithm>
#include <sys/mman.h>

namespace {

// Pages are faulted in this many bytes at a time, so a storage that forgets its requests
// waits for one step at most. Steps of 2 MB held the UI thread up for longer (longest timer
// gap while station data flows about 25 ms, against 16-18 ms with these).
constexpr std::size_t Step = std::size_t(256) << 10;

} // namespace

PageWarmer& PageWarmer::Instance() {
    // Never destroyed: a storage that is itself a static may give its range back during the
    // process's exit, after any static warmer would have gone. Its thread ends with the process.
    static PageWarmer* const warmer = new PageWarmer;
    return *warmer;
}

PageWarmer::PageWarmer() : thread_([this] { Run(); }) {
    thread_.detach();
}

void PageWarmer::Warm(const void* owner, std::byte* begin, std::size_t bytes) {
    if (bytes == 0) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({owner, begin, bytes});
    }
    work_.notify_one();
}

void PageWarmer::Forget(const void* owner) {
    std::unique_lock lock(mutex_);
    std::erase_if(queue_, [owner](const Request& r) { return r.owner == owner; });
    if (running_ == owner) {
        cancel_ = true;
        idle_.wait(lock, [this, owner] { return running_ != owner; });
        cancel_ = false;
    }
}

void PageWarmer::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return !queue_.empty(); });
        const Request request = queue_.front();
        queue_.pop_front();
        running_ = request.owner;
        for (std::size_t done = 0; done < request.bytes && !cancel_;) {
            const std::size_t step = std::min(Step, request.bytes - done);
            lock.unlock();
            // A kernel without MADV_POPULATE_WRITE (before 5.14) refuses it: the writer then
            // faults the pages in itself, as it would without the warmer.
            const bool ok = ::madvise(request.begin + done, step, MADV_POPULATE_WRITE) == 0;
            lock.lock();
            done = ok ? done + step : request.bytes;
        }
        running_ = nullptr;
        idle_.notify_all();
    }
}
