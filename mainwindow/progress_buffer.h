#pragma once

// Hands a run's progress from the walk's thread to the window. The walk writes here as it
// goes; the window takes everything that piled up a few times a second, so a walk that visits
// thousands of files a second costs the window a few list insertions and label updates.

#include "run/batch_run.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class ProgressBuffer final : public RunSink
{
public:
    // wake is called on the reporting thread (the walk's, or the window's for BeginRun) when
    // something new waits and the window has not yet been told since it last took; it must
    // only post, never touch the window.
    explicit ProgressBuffer(std::function<void()> wake);

    struct Batch
    {
        bool clearRows = false; // the walk emptied the list before these rows
        std::vector<ResultRow> rows;
        std::optional<std::string> panel1;
        std::optional<std::string> panel2;
    };

    // Walk side.
    void clearRows() override;
    void addRow(const ResultRow &row) override;
    void setPanel1(const std::string &text) override;
    void setPanel2(const std::string &text) override;
    void failure(const RunFailure &failure) override;

    // Window side.
    Batch take();
    // The user cleared the list: what the walk reported until now is no longer wanted.
    void discardPending();
    std::vector<RunFailure> takeFailures();

private:
    void notify(std::unique_lock<std::mutex> &lock);

    std::function<void()> m_wake;
    std::mutex m_mutex;
    Batch m_pending;
    std::vector<RunFailure> m_failures;
    bool m_wakePending = false;
};

} // namespace orvane
