#include "run/folder_syncer.h"

namespace orvane {

FolderSyncer::FolderSyncer() = default;

FolderSyncer::~FolderSyncer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_queued.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool FolderSyncer::sync(const platform::Folder &folder, platform::FsError &error)
{
    platform::Folder copy;
    if (!copy.duplicate(folder, error)) {
        error.clear();
        return platform::syncFolder(folder, error);
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(copy));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_queued.notify_one();
    return true;
}

void FolderSyncer::takeFailures(std::vector<platform::FsError> &out, bool wait)
{
    std::unique_lock lock(m_mutex);
    if (wait)
        m_idle.wait(lock, [&] { return m_queue.empty() && !m_working; });
    for (platform::FsError &failure : m_failures)
        out.push_back(std::move(failure));
    m_failures.clear();
}

void FolderSyncer::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_queued.wait(lock, [&] { return m_quit || !m_queue.empty(); });
        // Queued syncs are finished even when quitting: the renames must become durable.
        if (m_queue.empty())
            return;
        platform::Folder folder = std::move(m_queue.front());
        m_queue.pop_front();
        m_working = true;
        lock.unlock();
        platform::FsError error;
        const bool ok = platform::syncFolder(folder, error);
        folder.close();
        lock.lock();
        if (!ok)
            m_failures.push_back(std::move(error));
        m_working = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

} // namespace orvane
