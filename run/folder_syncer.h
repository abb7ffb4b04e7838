#pragma once

// Syncs folders in the background. A folder is synced once after its files were renamed
// into place, to make the renames durable; the files' own content was synced before each
// rename, so nothing waits on this but the end of the run. One sync after another would
// cost the walk a disk round trip per folder.

#include "platform/file_system.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane {

class FolderSyncer
{
public:
    FolderSyncer();
    ~FolderSyncer(); // finishes every sync asked for
    FolderSyncer(const FolderSyncer &) = delete;
    FolderSyncer &operator=(const FolderSyncer &) = delete;

    // Queues a sync of `folder` (through a duplicate of its descriptor, so the caller may
    // close it). When even that fails, syncs at once; false with `error` when that fails too.
    bool sync(const platform::Folder &folder, platform::FsError &error);
    // Moves the failures so far into `out`; with `wait`, after every queued sync is done.
    void takeFailures(std::vector<platform::FsError> &out, bool wait);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_idle;
    std::deque<platform::Folder> m_queue;
    std::vector<platform::FsError> m_failures;
    bool m_working = false;
    bool m_quit = false;
    std::thread m_thread; // started on the first sync
};

} // namespace orvane
