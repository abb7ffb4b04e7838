#include "cli/cli_sink.h"

#include <cerrno>
#include <unistd.h>

namespace orvane::cli {

namespace {
constexpr std::size_t kFlushAt = 1 << 16;
}

CliSink::CliSink(int outFd, std::FILE *errors, bool pathsOnly, bool nullTerminated)
    : m_outFd(outFd)
    , m_errors(errors)
    , m_pathsOnly(pathsOnly)
    , m_nullTerminated(nullTerminated)
{
    m_out.reserve(kFlushAt + 4096);
}

CliSink::~CliSink()
{
    flush();
}

void CliSink::addRow(const ResultRow &row)
{
    if (m_pathsOnly) {
        m_out += row.FolderPath;
        if (row.FolderPath.empty() || row.FolderPath.back() != '/')
            m_out += '/';
        m_out += row.FileName;
    } else {
        m_out += row.FileName;
        m_out += '\t';
        m_out += row.FolderPath;
        m_out += '\t';
        m_out += row.SizeText;
        m_out += '\t';
        m_out += row.TypeText;
        m_out += '\t';
        m_out += row.DateText;
    }
    m_out += m_nullTerminated ? '\0' : '\n';
    if (m_out.size() >= kFlushAt)
        flush();
}

void CliSink::failure(const RunFailure &failure)
{
    ++m_failures;
    // Rows listed so far go out first, so a terminal shows both streams in order.
    flush();
    std::fprintf(m_errors, "%s: %s\n", failure.path.c_str(), failure.reason.c_str());
    std::fflush(m_errors);
}

void CliSink::finish()
{
    if (m_nullTerminated) {
        flush();
        std::fprintf(m_errors, "%s\n", m_panel1.c_str());
        std::fflush(m_errors);
        return;
    }
    m_out += m_panel1;
    m_out += '\n';
    flush();
}

void CliSink::flush()
{
    std::size_t done = 0;
    while (!m_outBroken && done < m_out.size()) {
        const ssize_t wrote = ::write(m_outFd, m_out.data() + done, m_out.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            m_outBroken = true;
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    m_out.clear();
}

} // namespace orvane::cli
