#pragma once

// Rewrites a file without ever putting its old content at risk.
//
// The new content streams through a large reused buffer into a temporary file in the same
// folder (O_EXCL, mode 0600). finish() copies owner, group, extended attributes and then
// mode from the original and syncs the temporary file; install() checks that the original
// has not changed since it was read and renames the temporary file over it. The folder is
// synced by the caller once after its renames (syncFolder), so syncs can be batched.
//
// Where a rename would lose what an in-place write keeps (several hard links, or an owner
// the process cannot restore), install() overwrites the original in place behind a synced
// safety copy, restoring from it on any error.
//
// Any error before the rename (or before the in-place overwrite) removes the temporary file
// and leaves the original byte for byte as it was. One object serves any number of files,
// one at a time; it allocates only when its buffer is first used.

#include "platform/file_system.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::platform {

// When finish() makes the temporary file durable.
enum class SyncMode : std::uint8_t {
    Now,   // fsync of the temporary file itself
    Later, // by the caller, for many files at once (syncFileSystem), then markDurable()
};

enum class RewriteMode : std::uint8_t {
    Rename,  // temporary file renamed over the original
    InPlace, // original overwritten behind a safety copy
};

// True for a name of the temporary files and safety copies SafeRewrite makes
// (".<name>.orvane-XXXXXXXX.tmp" / ".orig"): one left behind by a crash must not be edited
// by a later run as if it were the user's file.
bool isRewriteLeftoverName(std::string_view name);

class SafeRewrite
{
public:
    explicit SafeRewrite(std::size_t bufferSize = std::size_t(1) << 20);
    ~SafeRewrite(); // abandons a rewrite still under way
    SafeRewrite(const SafeRewrite &) = delete;
    SafeRewrite &operator=(const SafeRewrite &) = delete;

    // How begin() gets its descriptor of the original.
    enum class Original : std::uint8_t {
        Duplicate, // a descriptor of its own; `original` stays open
        Take,      // the reader's own (releaseFd()); saves a system call per file
    };
    // Starts rewriting `name` in `folder`, whose content `original` has just read (and still
    // holds open). Refuses a file without the owner's write bit, or, when not root, one the
    // user may not write; then creates the temporary file. Keeps a descriptor of the
    // original and a copy of its facts, so `original` may go on to the next file at once
    // (several rewrites of one folder can be pending, their syncs overlapped); `folder` must
    // stay open until install() or abandon().
    bool begin(const Folder &folder, const char *name, FileReader &original, FsError &error,
               Original how = Original::Duplicate);
    // Buffers bytes, writing the buffer out whenever it fills (short writes and EINTR
    // handled). After a failure it returns false and ignores further bytes; finish() reports.
    bool append(std::string_view bytes);
    // Asks the kernel to start writing the temporary file back without waiting
    // (sync_file_range), so that the syncs of several files overlap. Optional; a large file
    // is also pushed out this way every few megabytes while it is written.
    bool startSync(FsError &error);
    // Writes out the buffer, copies owner, group, xattrs and then mode onto the temporary
    // file (an owner the process cannot set switches to RewriteMode::InPlace) and syncs it:
    // afterwards the new content is durable, the original still untouched.
    // With SyncMode::Later the sync is left to the caller, who syncs the file system after
    // finish() returned and then calls markDurable(); install() syncs the file itself when
    // that was not done, so nothing is ever renamed into place before it is durable.
    bool finish(FsError &error, SyncMode sync = SyncMode::Now);
    // The caller's sync covered the temporary file (it is a sync point for injected faults,
    // as the file's own fsync would be). On failure the rewrite is abandoned.
    bool markDurable(FsError &error);
    // Checks that the original is unchanged since it was read (dev, ino, size, mtime), then
    // renames over it, or rewrites it in place behind a safety copy. On failure the original
    // is as it was read (changed since: left as the other writer made it) and no temporary
    // file remains. The folder still needs syncFolder() for the rename to be durable.
    bool install(FsError &error);
    // finish() + install() + syncFolder(): the whole rewrite of one file.
    bool commit(FsError &error);
    // Removes the temporary file; the original is untouched. Safe to call at any time.
    void abandon();

    // Writes through `buffer` (of `size` bytes, at least 4 KiB) instead of a buffer of its
    // own, until lendBuffer(nullptr, 0). The buffer is used only from begin() to finish(), so
    // a thread can lend one buffer to the rewrites it prepares one after another and leave
    // their install() to another thread. Null: back to the rewrite's own buffer.
    void lendBuffer(char *buffer, std::size_t size);

    // After install(): the descriptor of the replaced original, still open, handed to the
    // caller (-1 when none). Closing the last descriptor of a file that lost its name frees
    // its blocks, which costs as much as writing a small file; the caller chooses the thread.
    int takeReplacedFd();

    bool active() const { return m_tempFd >= 0; }
    RewriteMode mode() const { return m_mode; }
    // Bytes appended since begin().
    std::size_t written() const { return m_total; }

private:
    bool flushBuffer();
    void pushOut();
    bool copyAttributes(FsError &error);
    bool installInPlace(FsError &error);
    void fail(int errorCode, std::string_view what);

    std::size_t m_bufferSize;     // of the buffer in use, and of the in-place copy buffer
    std::size_t m_ownSize;
    char *m_buffer = nullptr;     // in use: m_own or a lent one
    char *m_own = nullptr;
    std::size_t m_used = 0;
    std::size_t m_total = 0;
    std::size_t m_synced = 0;

    const Folder *m_folder = nullptr;
    int m_originalFd = -1;
    FileStat m_original;
    std::string m_name;
    std::string m_tempName;
    int m_tempFd = -1;
    bool m_finished = false;
    bool m_needsSync = false; // finished with SyncMode::Later, not yet made durable
    RewriteMode m_mode = RewriteMode::Rename;
    FsError m_error; // first failure while appending
};

} // namespace orvane::platform
