#pragma once

// Closes descriptors on threads of its own. Closing the last descriptor of a file that lost
// its name (an original replaced by a rename) frees the file's blocks, and a file system
// mounted with `discard` then waits for the disk to trim them: a wait per file that would
// otherwise hold up the thread that closes. Several closers let these waits overlap.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane {

class DescriptorCloser
{
public:
    explicit DescriptorCloser(unsigned threads);
    ~DescriptorCloser(); // closes whatever is still queued, then returns
    DescriptorCloser(const DescriptorCloser &) = delete;
    DescriptorCloser &operator=(const DescriptorCloser &) = delete;

    // Queues `fd` to be closed; the caller must not use it again.
    void close(int fd);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::vector<int> m_fds;
    unsigned m_idle = 0;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

} // namespace orvane
