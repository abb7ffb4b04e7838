#include "run/descriptor_closer.h"

#include <unistd.h>

namespace orvane {

DescriptorCloser::DescriptorCloser(unsigned threads)
{
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { loop(); });
}

DescriptorCloser::~DescriptorCloser()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_queued.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    for (const int fd : m_fds) // without threads
        ::close(fd);
}

void DescriptorCloser::close(int fd)
{
    if (m_threads.empty()) {
        ::close(fd);
        return;
    }
    bool wake;
    {
        std::lock_guard lock(m_mutex);
        m_fds.push_back(fd);
        wake = m_idle > 0;
    }
    if (wake)
        m_queued.notify_one();
}

void DescriptorCloser::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_queued.wait(lock, [&] { return m_quit || !m_fds.empty(); });
        --m_idle;
        if (m_fds.empty())
            return; // quit, and nothing left
        const int fd = m_fds.back();
        m_fds.pop_back();
        lock.unlock();
        ::close(fd);
        lock.lock();
    }
}

} // namespace orvane
