#pragma once
// Faults in, on a thread of its own, the pages a large storage has just committed, before the
// thread that fills them gets there. A page written for the first time costs the writer a trip
// into the kernel (on a virtual machine a slow one, as the host backs the page); for a document
// that grows by hundreds of megabytes, that cost would otherwise fall on the UI thread, one
// page at a time, as it appends.
//
// Warming never changes what memory holds: the kernel only maps the pages writable, as if each
// had been written. A storage that gives its range back first forgets its requests, waiting
// for one under way, so the warmer never touches an address range that has changed hands.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

class PageWarmer {
public:
    // The one warmer of the process, started on first use.
    static PageWarmer& Instance();

    // Queues [begin, begin + bytes) of owner's range for warming.
    void Warm(const void* owner, std::byte* begin, std::size_t bytes);
    // Drops owner's queued requests and returns once none of them is being worked on.
    void Forget(const void* owner);

    PageWarmer(const PageWarmer&) = delete;
    PageWarmer& operator=(const PageWarmer&) = delete;

private:
    PageWarmer();
    ~PageWarmer() = delete;
    void Run();

    struct Request {
        const void* owner;
        std::byte* begin;
        std::size_t bytes;
    };

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Request> queue_;
    const void* running_ = nullptr; // the owner whose request is being worked on
    bool cancel_ = false;           // stop the running request at its next step
    std::thread thread_;
};
