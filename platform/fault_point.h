#pragma once

// A test-only fault point in the file layer. Every system call that can lose or keep data
// asks injectedFault() first; in production the hook is null and the check is one load.
// Tests use FailDevice to make the Nth call of one kind fail with a chosen errno, as a full
// disk or a failing device would.

#include <atomic>
#include <cstdint>

namespace orvane::platform {

enum class FaultOp : std::uint8_t {
    OpenRead,  // open of a file to read it
    OpenWrite, // open/create of a temporary file, safety copy or original for writing
    Read,
    Write,
    Sync, // fsync / fdatasync of a file or a folder
    Rename,
    Chown,
    Chmod,
    SetXattr,
    Truncate,
    Allocate,
    Listing, // getdents of a folder
    Count
};

// Returns the errno a call should fail with, or 0 to let it proceed.
using FaultHook = int (*)(FaultOp op);

namespace detail {
// Atomic so that worker threads may read it while a test sets it; a relaxed load costs what
// a plain one does.
inline std::atomic<FaultHook> faultHook{nullptr};
}

inline int injectedFault(FaultOp op)
{
    FaultHook hook = detail::faultHook.load(std::memory_order_relaxed);
    return hook ? hook(op) : 0;
}

void setFaultHook(FaultHook hook);

// While alive, the `nth` (1-based) call of `op` fails with `errorCode`; with `sticky`, every
// later call of it fails too (a disk stays full). Counts every op meanwhile. One at a time,
// on one thread: a test fixture, not for production.
class FailDevice
{
public:
    FailDevice(FaultOp op, int nth, int errorCode, bool sticky = false);
    ~FailDevice();
    FailDevice(const FailDevice &) = delete;
    FailDevice &operator=(const FailDevice &) = delete;

    // How many times `op` was reached (failed calls included) since construction.
    int calls(FaultOp op) const;
    // How many calls were made to fail.
    int failures() const;
};

} // namespace orvane::platform
