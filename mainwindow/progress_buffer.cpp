#include "mainwindow/progress_buffer.h"

#include <utility>

namespace orvane {

ProgressBuffer::ProgressBuffer(std::function<void()> wake)
    : m_wake(std::move(wake))
{
}

void ProgressBuffer::notify(std::unique_lock<std::mutex> &lock)
{
    if (m_wakePending)
        return;
    m_wakePending = true;
    lock.unlock();
    if (m_wake)
        m_wake();
}

void ProgressBuffer::clearRows()
{
    std::unique_lock lock(m_mutex);
    m_pending.rows.clear();
    m_pending.clearRows = true;
    notify(lock);
}

void ProgressBuffer::addRow(const ResultRow &row)
{
    std::unique_lock lock(m_mutex);
    m_pending.rows.push_back(row);
    notify(lock);
}

void ProgressBuffer::setPanel1(const std::string &text)
{
    std::unique_lock lock(m_mutex);
    m_pending.panel1 = text;
    notify(lock);
}

void ProgressBuffer::setPanel2(const std::string &text)
{
    std::unique_lock lock(m_mutex);
    m_pending.panel2 = text;
    notify(lock);
}

void ProgressBuffer::failure(const RunFailure &failure)
{
    std::lock_guard lock(m_mutex);
    m_failures.push_back(failure);
}

ProgressBuffer::Batch ProgressBuffer::take()
{
    std::lock_guard lock(m_mutex);
    Batch batch = std::exchange(m_pending, Batch {});
    m_wakePending = false;
    return batch;
}

void ProgressBuffer::discardPending()
{
    std::lock_guard lock(m_mutex);
    m_pending = Batch {};
}

std::vector<RunFailure> ProgressBuffer::takeFailures()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failures, {});
}

} // namespace orvane
