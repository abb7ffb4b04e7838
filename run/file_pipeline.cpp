#include "run/file_pipeline.h"

#include <algorithm>

namespace orvane {

namespace {

// Streams a matched file's new text into its rewrite. The temporary file is created only
// once the action says the file matched, so an unmatched file is never opened for writing.
class PrepareInto final : public RewriteOutput
{
public:
    PrepareInto(platform::SafeRewrite &rewrite, const platform::Folder &folder, const char *name,
                platform::FileReader &original, platform::FsError &error,
                const std::atomic<bool> *running)
        : m_rewrite(rewrite)
        , m_folder(folder)
        , m_name(name)
        , m_original(original)
        , m_error(error)
        , m_running(running)
    {}

    // The rewrite takes the reader's descriptor of the original, not a copy of it.
    void begin() override
    {
        m_started = m_rewrite.begin(m_folder, m_name, m_original, m_error,
                                    platform::SafeRewrite::Original::Take);
    }
    // A failed write is remembered by the rewrite and reported by finish(). After a Stop the
    // rest of a large file is not written: the temporary file is dropped anyway.
    void append(std::string_view bytes) override
    {
        if (!m_started || m_stopped)
            return;
        if (m_running && !m_running->load(std::memory_order_relaxed)) {
            m_stopped = true;
            return;
        }
        m_rewrite.append(bytes);
    }
    bool started() const { return m_started; }
    bool stopped() const { return m_stopped; }

private:
    platform::SafeRewrite &m_rewrite;
    const platform::Folder &m_folder;
    const char *m_name;
    platform::FileReader &m_original;
    platform::FsError &m_error;
    const std::atomic<bool> *m_running;
    bool m_started = false;
    bool m_stopped = false;
};

// A reader that once held a very large file gives that memory back, so the threads do not
// keep large buffers alive.
constexpr std::size_t kKeptBuffer = std::size_t(1) << 20;
// What a rewrite writes out at a time.
constexpr std::size_t kWriteBuffer = std::size_t(256) << 10;

// Threads that close replaced originals. Where freeing a file's blocks waits for the disk
// (a file system mounted with `discard` and no journal trims them there and then), the
// waits overlap; a disk takes a few at a time.
constexpr unsigned kClosers = 8;

// Files written before a sync starts without being asked for.
constexpr std::uint64_t kSyncBatch = 32;

} // namespace

FilePipeline::FilePipeline(const ActionRewriter &rewriter, bool writes, unsigned workers,
                           std::size_t window, const std::atomic<bool> *running)
    : m_rewriter(rewriter)
    , m_writes(writes)
    , m_window(std::max<std::size_t>(window, 1))
    , m_running(running)
    , m_states(new std::atomic<State>[m_window])
{
    m_slots.reserve(m_window);
    for (std::size_t i = 0; i < m_window; ++i) {
        m_slots.push_back(std::make_unique<Slot>());
        m_states[i].store(State::Free, std::memory_order_relaxed);
    }
    m_threads.reserve(workers);
    for (unsigned i = 0; i < workers; ++i)
        m_threads.emplace_back([this] { workerLoop(); });
    if (m_writes) {
        m_syncer = std::thread([this] { syncLoop(); });
        if (workers > 0)
            m_closer = std::make_unique<DescriptorCloser>(kClosers);
    }
}

FilePipeline::~FilePipeline()
{
    reset();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_workAvailable.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    {
        std::lock_guard lock(m_syncMutex);
        m_syncQuit = true;
    }
    m_syncWanted.notify_all();
    if (m_syncer.joinable())
        m_syncer.join();
    if (m_closer) {
        for (const std::unique_ptr<Slot> &slot : m_slots) {
            const int replaced = slot->rewrite.takeReplacedFd();
            if (replaced >= 0)
                m_closer->close(replaced);
        }
        m_closer.reset(); // returns once every one is closed
    }
}

unsigned FilePipeline::defaultWorkers(bool writes)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // Reading and matching keep a core busy: one worker per core beside the walk's, which
    // does files itself whenever it would otherwise wait. Rewrites also wait on syncs, which
    // take the disk, not a core, so more workers overlap them.
    return writes ? std::max(4u, cores * 2) : std::max(1u, cores - 1);
}

void FilePipeline::add(const platform::Folder &folder, std::span<const char *const> names)
{
    if (names.empty())
        return;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        // Everything before was taken and released: start the numbering again, so the
        // list of tasks stays as long as a few folders, not the whole run.
        if (!m_held && m_nextTake == m_tasks.size() && m_nextClaim == m_tasks.size()
            && m_busy == 0) {
            m_tasks.clear();
            m_nextTake = m_nextClaim = m_released = 0;
            m_unpublished = 0;
            for (std::size_t i = 0; i < m_window; ++i)
                m_states[i].store(State::Free, std::memory_order_relaxed);
        }
        for (const char *name : names)
            m_tasks.push_back({&folder, name});
        wake = m_idleWorkers > 0;
    }
    if (wake)
        m_workAvailable.notify_all();
}

FilePipeline::Slot &FilePipeline::take()
{
    release();
    const std::size_t index = m_nextTake++;
    const std::size_t slotIndex = index % m_window;
    Slot &slot = *m_slots[slotIndex];
    m_held = &slot;
    m_heldSlot = slotIndex;
    // The common case once the workers are ahead: done, no lock taken.
    if (m_states[slotIndex].load(std::memory_order_acquire) == State::Done)
        return slot;

    std::unique_lock lock(m_mutex);
    while (m_states[slotIndex].load() != State::Done) {
        if (m_nextClaim <= index) {
            // No worker has got this far: do it here rather than wait.
            m_nextClaim = index + 1;
            m_states[slotIndex].store(State::Claimed, std::memory_order_relaxed);
            const Task task = m_tasks[index];
            lock.unlock();
            work(task, slot, m_walkScratch);
            m_states[slotIndex].store(State::Done, std::memory_order_release);
            return slot;
        }
        // A worker has this file: rather than wait for it, do a later one meanwhile.
        if (helpOnce(lock))
            continue;
        if (m_idleWorkers > 0)
            m_workAvailable.notify_all();
        m_waiting.store(true);
        m_workDone.wait(lock, [&] {
            return m_states[slotIndex].load() == State::Done
                || (m_nextClaim < m_tasks.size() && m_nextClaim < m_released + m_window);
        });
        m_waiting.store(false);
    }
    return slot;
}

bool FilePipeline::helpOnce(std::unique_lock<std::mutex> &lock)
{
    m_released += m_unpublished; // let the workers have every free slot too
    m_unpublished = 0;
    if (m_nextClaim >= m_tasks.size() || m_nextClaim >= m_released + m_window)
        return false;
    const std::size_t later = m_nextClaim++;
    m_states[later % m_window].store(State::Claimed, std::memory_order_relaxed);
    const Task task = m_tasks[later];
    lock.unlock();
    work(task, *m_slots[later % m_window], m_walkScratch);
    m_states[later % m_window].store(State::Done);
    lock.lock();
    return true;
}

void FilePipeline::release()
{
    if (!m_held)
        return;
    // Workers never touch a slot that is done, so it is released without the lock.
    if (m_closer) {
        const int replaced = m_held->rewrite.takeReplacedFd();
        if (replaced >= 0)
            m_closer->close(replaced);
    }
    releaseSlot(*m_held);
    m_states[m_heldSlot].store(State::Free, std::memory_order_relaxed);
    m_held = nullptr;
    // Told to the workers a few at a time: a wake-up per file would cost more than the file.
    if (++m_unpublished >= std::max<std::size_t>(m_window / 8, 1))
        publishReleases();
}

void FilePipeline::publishReleases()
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_released += m_unpublished;
        m_unpublished = 0;
        wake = m_idleWorkers > 0;
    }
    if (wake)
        m_workAvailable.notify_all();
}

void FilePipeline::reset()
{
    release();
    std::unique_lock lock(m_mutex);
    m_waiting.store(true);
    m_workDone.wait(lock, [&] { return m_busy.load() == 0; });
    m_waiting.store(false);
    // Work done ahead of a Stop that the walk never took: its temporary files go.
    for (std::size_t i = m_nextTake; i < m_nextClaim; ++i)
        releaseSlot(*m_slots[i % m_window]);
    for (std::size_t i = 0; i < m_window; ++i)
        m_states[i].store(State::Free, std::memory_order_relaxed);
    m_tasks.clear();
    m_nextTake = m_nextClaim = m_released = 0;
    m_unpublished = 0;
}

void FilePipeline::workerLoop()
{
    // A few files per claim, so the lock is taken once for several files.
    constexpr std::size_t kClaim = 4;
    Task tasks[kClaim];
    Scratch scratch;
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idleWorkers;
        m_workAvailable.wait(lock, [&] {
            return m_quit
                || (m_nextClaim < m_tasks.size() && m_nextClaim < m_released + m_window);
        });
        --m_idleWorkers;
        if (m_quit)
            return;
        const std::size_t first = m_nextClaim;
        const std::size_t count = std::min(
            {kClaim, m_tasks.size() - first, m_released + m_window - first});
        for (std::size_t i = 0; i < count; ++i) {
            m_states[(first + i) % m_window].store(State::Claimed, std::memory_order_relaxed);
            tasks[i] = m_tasks[first + i]; // the list may grow meanwhile
        }
        m_nextClaim = first + count;
        m_busy.fetch_add(count);
        lock.unlock();
        for (std::size_t i = 0; i < count; ++i) {
            work(tasks[i], *m_slots[(first + i) % m_window], scratch);
            // Done before the look at m_waiting (both sequentially consistent): either the
            // walk sees Done before it sleeps, or this sees it waiting and wakes it.
            m_states[(first + i) % m_window].store(State::Done);
            m_busy.fetch_sub(1);
            if (m_waiting.load()) {
                { std::lock_guard wake(m_mutex); }
                m_workDone.notify_all();
            }
        }
        lock.lock();
    }
}

void FilePipeline::work(const Task &task, Slot &slot, Scratch &scratch)
{
    slot.error.clear();
    slot.readOk = false;
    slot.matched = false;
    slot.prepared = false;
    slot.stopped = false;

    // After a Stop no further file is read or written: the walk will not take it.
    if (m_running && !m_running->load(std::memory_order_relaxed)) {
        slot.stopped = true;
        return;
    }
    platform::FileReader &reader = scratch.reader;
    if (!reader.read(*task.folder, task.name, slot.error, platform::Links::NoFollow,
                     m_running)) {
        slot.stopped = reader.stopped(); // a large file given up at a Stop
        reader.trimBuffer(kKeptBuffer);
        return;
    }
    slot.readOk = true;
    slot.stat = reader.stat();
    const std::string_view text = reader.content();
    if (!m_writes) {
        slot.matched = m_rewriter.matches(text);
    } else {
        if (!scratch.writeBuffer)
            scratch.writeBuffer = std::make_unique_for_overwrite<char[]>(kWriteBuffer);
        slot.rewrite.lendBuffer(scratch.writeBuffer.get(), kWriteBuffer);
        PrepareInto out(slot.rewrite, *task.folder, task.name, reader, slot.error, m_running);
        slot.matched = m_rewriter.apply(text, out);
        if (out.stopped()) {
            slot.rewrite.abandon();
            slot.matched = false;
            slot.stopped = true;
        } else if (slot.matched) {
            // Written here, ahead of the walk, and made durable in a batch with the files
            // around it; the walk renames it only after that.
            if (out.started() && slot.rewrite.finish(slot.error, platform::SyncMode::Later)) {
                slot.prepared = true;
                joinBatch(*task.folder, slot);
            } else {
                slot.rewrite.abandon();
            }
        }
    }
    // The rewrite holds its own descriptor of the original; the facts read stay for the walk.
    reader.close();
    reader.trimBuffer(kKeptBuffer);
}

FilePipeline::Device *FilePipeline::deviceFor(const platform::Folder &folder, std::uint64_t id,
                                              std::size_t &index)
{
    index = 0;
    while (index < m_devices.size() && m_devices[index]->id != id)
        ++index;
    if (index == m_devices.size()) {
        auto device = std::make_unique<Device>();
        device->id = id;
        platform::FsError ignored; // without a descriptor of its own, each file syncs itself
        if (!device->folder.duplicate(folder, ignored))
            return nullptr;
        m_devices.push_back(std::move(device));
    }
    return m_devices[index].get();
}

void FilePipeline::joinBatch(const platform::Folder &folder, Slot &slot)
{
    slot.ticket = 0;
    {
        std::lock_guard lock(m_syncMutex);
        // The temporary file lies beside the original, on its file system.
        Device *device = deviceFor(folder, slot.stat.dev, slot.device);
        if (!device)
            return;
        slot.ticket = ++device->written;
        if (device->written - device->synced < kSyncBatch)
            return; // not worth waking the syncer yet
    }
    m_syncWanted.notify_one();
}

bool FilePipeline::syncLater(const platform::Folder &folder, std::uint64_t id)
{
    if (!m_writes)
        return false;
    std::lock_guard lock(m_syncMutex);
    std::size_t index;
    Device *device = deviceFor(folder, id, index);
    if (!device)
        return false;
    ++device->written; // covered by the next sync that starts from now on
    return true;
}

void FilePipeline::finishSyncs(std::vector<platform::FsError> &failures)
{
    std::unique_lock lock(m_syncMutex);
    auto allDone = [&] {
        for (const std::unique_ptr<Device> &device : m_devices) {
            if (device->written > std::max(device->synced, device->failedUpTo))
                return false;
        }
        return true;
    };
    if (!allDone()) {
        m_syncWaited = true;
        m_syncWanted.notify_one();
        m_syncDone.wait(lock, allDone);
        m_syncWaited = false;
    }
    for (const std::unique_ptr<Device> &device : m_devices) {
        if (device->failure.failed()) {
            failures.push_back(std::move(device->failure));
            device->failure.clear();
        }
    }
}

bool FilePipeline::makeDurable(Slot &slot, platform::FsError &error)
{
    if (slot.ticket == 0)
        return true; // install() syncs it
    bool covered = false;
    for (;;) {
        std::unique_lock lock(m_syncMutex);
        const Device &device = *m_devices[slot.device];
        auto done = [&] {
            return device.synced >= slot.ticket || device.failedUpTo >= slot.ticket;
        };
        if (!done()) {
            // Rather than ask for a sync of the few files written so far, do later files
            // first, so the sync covers them too; ask only when nothing is left to do.
            lock.unlock();
            {
                std::unique_lock workLock(m_mutex);
                if (helpOnce(workLock))
                    continue;
            }
            lock.lock();
            if (!done()) {
                m_syncWaited = true;
                m_syncWanted.notify_one();
                m_syncDone.wait(lock, done);
                m_syncWaited = false;
            }
        }
        covered = device.synced >= slot.ticket;
        break;
    }
    // A batch that failed tells nothing about this file: install() syncs it on its own and
    // reports what that gives.
    return !covered || slot.rewrite.markDurable(error);
}

void FilePipeline::syncLoop()
{
    std::unique_lock lock(m_syncMutex);
    for (;;) {
        Device *due = nullptr;
        // A sync costs about the same for one file as for many: wait until the walk needs
        // one, or a good batch has gathered, so each covers as many files as it can.
        m_syncWanted.wait(lock, [&] {
            for (const std::unique_ptr<Device> &device : m_devices) {
                const std::uint64_t pending =
                    device->written - std::max(device->synced, device->failedUpTo);
                if (pending > 0 && (m_syncWaited || pending >= kSyncBatch || m_syncQuit)) {
                    due = device.get();
                    return true;
                }
            }
            return m_syncQuit;
        });
        if (!due)
            return;
        // Covers every file written before the sync starts; files written meanwhile wait for
        // the next one, so batches grow while a sync is under way.
        const std::uint64_t target = due->written;
        lock.unlock();
        platform::FsError error;
        const bool ok = platform::syncFileSystem(due->folder, error);
        lock.lock();
        if (ok) {
            due->synced = target;
        } else {
            due->failedUpTo = target;
            due->failure = std::move(error);
        }
        m_syncDone.notify_all();
    }
}

void FilePipeline::releaseSlot(Slot &slot)
{
    if (slot.rewrite.active())
        slot.rewrite.abandon();
    slot.prepared = false;
}

} // namespace orvane
