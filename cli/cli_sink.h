#pragma once

// The command line's sink: rows to standard output through one large buffer (a run may list
// thousands of files), failures to standard error at once, the last panel-1 text kept for
// the closing summary line.

#include "run/batch_run.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvane::cli {

class CliSink final : public RunSink
{
public:
    // With nullTerminated, each row ends with NUL instead of a line feed, and the summary
    // goes to `errors`, so standard output holds nothing but records.
    CliSink(int outFd, std::FILE *errors, bool pathsOnly, bool nullTerminated = false);
    ~CliSink() override;

    void clearRows() override {}
    void addRow(const ResultRow &row) override;
    void setPanel1(const std::string &text) override { m_panel1 = text; }
    void setPanel2(const std::string &) override {}
    void failure(const RunFailure &failure) override;
    bool wantsRowDetails() const override { return !m_pathsOnly; }

    // Writes the last panel-1 text as the closing line and flushes everything.
    void finish();
    std::int64_t failureCount() const { return m_failures; }

private:
    void flush();

    int m_outFd;
    std::FILE *m_errors;
    bool m_pathsOnly;
    bool m_nullTerminated;
    bool m_outBroken = false; // a closed pipe: stop writing, let the run finish its files
    std::string m_out;
    std::string m_panel1;
    std::int64_t m_failures = 0;
};

} // namespace orvane::cli
