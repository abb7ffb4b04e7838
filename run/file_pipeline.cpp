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
                const platform::FileReader &original, platform::FsError &error)
        : m_rewrite(rewrite)
        , m_folder(folder)
        , m_name(name)
        , m_original(original)
        , m_error(error)
    {}

    void begin() override { m_started = m_rewrite.begin(m_folder, m_name, m_original, m_error); }
    // A failed write is remembered by the rewrite and reported by finish().
    void append(std::string_view bytes) override
    {
        if (m_started)
            m_rewrite.append(bytes);
    }
    bool started() const { return m_started; }

private:
    platform::SafeRewrite &m_rewrite;
    const platform::Folder &m_folder;
    const char *m_name;
    const platform::FileReader &m_original;
    platform::FsError &m_error;
    bool m_started = false;
};

// A reader that once held a very large file gives that memory back, so the window of slots
// does not keep many large buffers alive.
constexpr std::size_t kKeptBuffer = std::size_t(4) << 20;

} // namespace

FilePipeline::FilePipeline(const ActionRewriter &rewriter, bool writes, unsigned workers,
                           std::size_t window)
    : m_rewriter(rewriter)
    , m_writes(writes)
    , m_window(std::max<std::size_t>(window, 1))
    , m_states(m_window, State::Free)
{
    m_slots.reserve(m_window);
    for (std::size_t i = 0; i < m_window; ++i)
        m_slots.push_back(std::make_unique<Slot>());
    m_threads.reserve(workers);
    for (unsigned i = 0; i < workers; ++i)
        m_threads.emplace_back([this] { workerLoop(); });
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
}

unsigned FilePipeline::defaultWorkers()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::min(cores * 4, 8u);
}

void FilePipeline::add(const platform::Folder &folder, std::span<const char *const> names)
{
    if (names.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        // Everything before was taken and released: start the numbering again, so the
        // list of tasks stays as long as a few folders, not the whole run.
        if (m_released == m_tasks.size() && m_busy == 0 && !m_held) {
            m_tasks.clear();
            m_nextTake = m_nextClaim = m_released = 0;
            std::fill(m_states.begin(), m_states.end(), State::Free);
        }
        for (const char *name : names)
            m_tasks.push_back({&folder, name});
    }
    m_workAvailable.notify_all();
}

FilePipeline::Slot &FilePipeline::take()
{
    release();
    std::unique_lock lock(m_mutex);
    const std::size_t index = m_nextTake++;
    const std::size_t slotIndex = index % m_window;
    Slot &slot = *m_slots[slotIndex];
    if (m_nextClaim <= index) {
        // No worker has got this far: do it here rather than wait.
        m_nextClaim = index + 1;
        m_states[slotIndex] = State::Claimed;
        const Task task = m_tasks[index];
        lock.unlock();
        work(task, slot);
        lock.lock();
        m_states[slotIndex] = State::Done;
    } else {
        m_workDone.wait(lock, [&] { return m_states[slotIndex] == State::Done; });
    }
    m_held = &slot;
    return slot;
}

void FilePipeline::release()
{
    if (!m_held)
        return;
    // Workers never touch a slot that is done, so it is released without the lock.
    releaseSlot(*m_held);
    m_held = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_released = m_nextTake;
    }
    m_workAvailable.notify_one(); // a slot came free
}

void FilePipeline::reset()
{
    release();
    std::unique_lock lock(m_mutex);
    m_workDone.wait(lock, [&] { return m_busy == 0; });
    // Work done ahead of a Stop that the walk never took: its temporary files go.
    for (std::size_t i = m_nextTake; i < m_nextClaim; ++i)
        releaseSlot(*m_slots[i % m_window]);
    std::fill(m_states.begin(), m_states.end(), State::Free);
    m_tasks.clear();
    m_nextTake = m_nextClaim = m_released = 0;
}

void FilePipeline::workerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workAvailable.wait(lock, [&] {
            return m_quit
                || (m_nextClaim < m_tasks.size() && m_nextClaim < m_released + m_window);
        });
        if (m_quit)
            return;
        const std::size_t index = m_nextClaim++;
        const std::size_t slotIndex = index % m_window;
        m_states[slotIndex] = State::Claimed;
        ++m_busy;
        const Task task = m_tasks[index]; // the list may grow meanwhile
        lock.unlock();
        work(task, *m_slots[slotIndex]);
        lock.lock();
        m_states[slotIndex] = State::Done;
        --m_busy;
        m_workDone.notify_all();
    }
}

void FilePipeline::work(const Task &task, Slot &slot)
{
    slot.error.clear();
    slot.readOk = false;
    slot.matched = false;
    slot.prepared = false;

    if (!slot.reader.read(*task.folder, task.name, slot.error, platform::Links::NoFollow))
        return;
    slot.readOk = true;
    const std::string_view text = slot.reader.content();
    if (!m_writes) {
        slot.matched = m_rewriter.matches(text);
    } else {
        PrepareInto out(slot.rewrite, *task.folder, task.name, slot.reader, slot.error);
        slot.matched = m_rewriter.apply(text, out);
        // Synced here, ahead of the walk, so many files' syncs overlap; the walk renames.
        if (slot.matched) {
            if (out.started() && slot.rewrite.finish(slot.error))
                slot.prepared = true;
            else
                slot.rewrite.abandon();
        }
    }
    // The rewrite holds its own descriptor of the original; the facts read stay for the walk.
    slot.reader.close();
}

void FilePipeline::releaseSlot(Slot &slot)
{
    if (slot.rewrite.active())
        slot.rewrite.abandon();
    slot.reader.trimBuffer(kKeptBuffer);
    slot.prepared = false;
}

} // namespace orvane
