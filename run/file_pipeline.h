#pragma once

// Works ahead of the walk, on worker threads: reads each file, asks the action whether it
// matches and, for a matched file of a writing action, streams the new text into a
// temporary file beside it and syncs that file. Nothing a worker does touches an original:
// the walk takes the results one by one in walk order and alone decides, after testing
// Running, whether a prepared rewrite is installed (renamed over the original) or dropped.
// So rows, counts and Stop stay exactly those of a sequential walk, while reading, matching
// and the slow syncs of many files overlap on the cores and the disk.

#include "platform/file_system.h"
#include "platform/safe_rewrite.h"
#include "text/text_rewrite.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace orvane {

class FilePipeline
{
public:
    // What was found and prepared for one file.
    struct Slot
    {
        platform::FileReader reader; // closed again; its facts are those read
        platform::SafeRewrite rewrite{std::size_t(256) << 10};
        platform::FsError error; // why readOk or prepared is false
        bool readOk = false;
        bool matched = false;
        bool prepared = false; // a synced temporary file waits for install()
    };

    // `writes`: matched files get their rewrite prepared (every action but Just Find).
    // `workers`: threads beside the caller's; with 0 everything is done in take().
    // `window`: how many files the workers may run ahead of the walk.
    FilePipeline(const ActionRewriter &rewriter, bool writes, unsigned workers,
                 std::size_t window);
    ~FilePipeline();
    FilePipeline(const FilePipeline &) = delete;
    FilePipeline &operator=(const FilePipeline &) = delete;

    // Appends files of one folder, in walk order, behind those added before. `folder` and
    // every name must stay valid until they are taken and released, or reset().
    void add(const platform::Folder &folder, std::span<const char *const> names);
    // The next file in the order added. Done here when no worker has started it; while a
    // worker is on it, this thread does later files rather than wait idle. The slot taken
    // before is released.
    Slot &take();
    // Releases the slot taken last: an uninstalled rewrite is dropped. Call before its
    // folder closes.
    void release();
    // Files added but not taken yet.
    std::size_t pending() const
    {
        std::lock_guard lock(m_mutex);
        return m_tasks.size() - m_nextTake;
    }
    // Drops every file not taken: waits for the workers, removes prepared temporary files.
    // The originals were never touched.
    void reset();

    // Workers for this machine: they also wait on syncs, which take the disk, not a core,
    // so there are more of them than cores.
    static unsigned defaultWorkers(bool writes);

private:
    struct Task
    {
        const platform::Folder *folder;
        const char *name;
    };
    enum class State : unsigned char { Free, Claimed, Done };

    void workerLoop();
    void work(const Task &task, Slot &slot);
    void releaseSlot(Slot &slot);

    const ActionRewriter &m_rewriter;
    const bool m_writes;
    const std::size_t m_window;

    std::vector<std::unique_ptr<Slot>> m_slots; // task index % window
    // Per slot; read without the lock by the walk, so a finished file costs it no lock.
    std::unique_ptr<std::atomic<State>[]> m_states;

    mutable std::mutex m_mutex; // guards what follows, up to the walk's own fields
    std::condition_variable m_workAvailable;
    std::condition_variable m_workDone;
    std::vector<Task> m_tasks;
    std::size_t m_nextClaim = 0; // the next task to claim, by a worker or the walk
    std::size_t m_released = 0;  // tasks below this are released: their slots are free
    std::size_t m_idleWorkers = 0;
    bool m_quit = false;
    // Tasks claimed by workers and not done; and whether the walk waits for one of them.
    // Atomic, so a worker finishing a file takes the lock only when the walk waits.
    std::atomic<std::size_t> m_busy{0};
    std::atomic<bool> m_waiting{false};

    // The walk's own.
    std::size_t m_nextTake = 0; // the walk takes this one next
    Slot *m_held = nullptr;     // taken last, not released yet
    std::size_t m_heldSlot = 0;
    std::size_t m_unpublished = 0; // releases not yet told to the workers
    void publishReleases();
    std::vector<std::thread> m_threads;
};

} // namespace orvane
