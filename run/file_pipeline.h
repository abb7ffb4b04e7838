#pragma once

// Works ahead of the walk, on worker threads: reads each file, asks the action whether it
// matches and, for a matched file of a writing action, streams the new text into a
// temporary file beside it. Temporary files are made durable in batches (one syncfs for many
// files) before the walk may rename them. Nothing a worker does touches an original:
// the walk takes the results one by one in walk order and alone decides, after testing
// Running, whether a prepared rewrite is installed (renamed over the original) or dropped.
// So rows, counts and Stop stay exactly those of a sequential walk, while reading, matching
// and the slow syncs of many files overlap on the cores and the disk.

#include "platform/file_system.h"
#include "platform/safe_rewrite.h"
#include "run/descriptor_closer.h"
#include "text/text_rewrite.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
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
        platform::FileStat stat; // the file's facts when it was read (readOk)
        platform::SafeRewrite rewrite; // writes through the preparing thread's buffer
        platform::FsError error; // why readOk or prepared is false
        bool readOk = false;
        bool matched = false;
        bool prepared = false; // a temporary file waits for makeDurable() and install()
        bool stopped = false;  // left undone: the run was stopped before or while on it
        std::size_t device = 0; // in m_devices, for the batched sync
        std::uint64_t ticket = 0; // 0: not in a batch, install() syncs it itself
    };

    // `writes`: matched files get their rewrite prepared (every action but Just Find).
    // `workers`: threads beside the caller's; with 0 everything is done in take().
    // `window`: how many files the workers may run ahead of the walk.
    // `running`: when it turns false, no further file is started and a large rewrite in
    // hand stops between chunks; those files come out `stopped`.
    FilePipeline(const ActionRewriter &rewriter, bool writes, unsigned workers,
                 std::size_t window, const std::atomic<bool> *running = nullptr);
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
    // Waits until the batched sync of the file system covers the slot's temporary file, so
    // it may be installed. False with `error` when that fails for this file (the rewrite is
    // then dropped). A batch that failed as a whole leaves the file to sync itself.
    bool makeDurable(Slot &slot, platform::FsError &error);
    // The renames just made in `folder` (on file system `device`) become durable with the
    // next batched sync; finishSyncs() waits for it. False when no batch can take it: the
    // caller then syncs the folder itself.
    bool syncLater(const platform::Folder &folder, std::uint64_t device);
    // Waits until every sync asked for is done; a failed one is added to `failures`.
    void finishSyncs(std::vector<platform::FsError> &failures);
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

    // What a thread reuses from file to file: the content of the file in hand and the
    // buffer its rewrite streams through. One per thread, not per slot, so memory and page
    // faults do not grow with the window.
    struct Scratch
    {
        platform::FileReader reader;
        std::unique_ptr<char[]> writeBuffer;
    };

    void workerLoop();
    // Does the next file nobody has claimed, on this thread; false when there is none.
    // Called with m_mutex held, which it releases while working.
    bool helpOnce(std::unique_lock<std::mutex> &lock);
    void syncLoop();
    void joinBatch(const platform::Folder &folder, Slot &slot);
    // The batch of `device`, made on first use; m_syncMutex held. Null without one.
    struct Device;
    Device *deviceFor(const platform::Folder &folder, std::uint64_t device, std::size_t &index);
    void work(const Task &task, Slot &slot, Scratch &scratch);
    void releaseSlot(Slot &slot);

    const ActionRewriter &m_rewriter;
    const bool m_writes;
    const std::size_t m_window;
    const std::atomic<bool> *const m_running;

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
    Scratch m_walkScratch; // for the files the walk does itself
    // Replaced originals are closed there: freeing an old file's blocks can wait on the disk.
    std::unique_ptr<DescriptorCloser> m_closer;

    // Temporary files are made durable in batches, one syncfs per file system for all the
    // files written since the last one, instead of one fsync each: on most disks a sync
    // costs about the same whatever it covers.
    struct Device
    {
        std::uint64_t id = 0;
        platform::Folder folder; // any folder on it, for syncfs
        std::uint64_t written = 0;    // tickets given out
        std::uint64_t synced = 0;     // tickets covered by a finished syncfs
        std::uint64_t failedUpTo = 0; // tickets of a syncfs that failed
        platform::FsError failure;    // the last failed sync, not yet reported
    };
    std::mutex m_syncMutex;
    std::condition_variable m_syncWanted;
    std::condition_variable m_syncDone;
    std::vector<std::unique_ptr<Device>> m_devices;
    bool m_syncQuit = false;
    bool m_syncWaited = false; // the walk waits for a sync: do one now, whatever its size
    std::thread m_syncer;
};

} // namespace orvane
