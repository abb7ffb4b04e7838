#include "platform/safe_rewrite.h"

#include "platform/fault_point.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace orvane::platform {

namespace {

// The temporary and safety-copy names keep a readable part of the original's name, so a
// file left behind by a crash shows what it belongs to; NAME_MAX is 255 bytes.
constexpr std::size_t kNameKept = 200;
constexpr int kNameTries = 100;
constexpr std::size_t kWritebackStep = std::size_t(8) << 20;

std::string uniqueSuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = std::uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull
                                      ^ std::uint64_t(std::time(nullptr));
    std::uint64_t x = seed + counter.fetch_add(1, std::memory_order_relaxed) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 29;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char &c : s) {
        c = digits[x % 36];
        x /= 36;
    }
    return s;
}

std::string sideName(std::string_view original, std::string_view kind)
{
    std::string name = ".";
    name.append(original.substr(0, kNameKept));
    name.append(".orvane-");
    name.append(uniqueSuffix());
    name.append(kind);
    return name;
}

bool isSuffixChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

bool isRewriteLeftoverName(std::string_view name)
{
    // Exactly what sideName() makes: "." + part of the original (never empty) + ".orvane-"
    // + 8 characters of uniqueSuffix() + ".tmp" or ".orig".
    constexpr std::string_view kMark = ".orvane-";
    constexpr std::size_t kSuffix = 8;
    if (name.ends_with(".tmp"))
        name.remove_suffix(4);
    else if (name.ends_with(".orig"))
        name.remove_suffix(5);
    else
        return false;
    if (name.size() < 2 + kMark.size() + kSuffix || name.front() != '.')
        return false;
    const std::string_view suffix = name.substr(name.size() - kSuffix);
    if (!std::all_of(suffix.begin(), suffix.end(), isSuffixChar))
        return false;
    name.remove_suffix(kSuffix);
    return name.ends_with(kMark);
}

namespace {

// Creates a new file beside the original (never reusing a name that exists), mode 0600.
int createSideFile(const Folder &folder, std::string_view original, std::string_view kind,
                   std::string &name)
{
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = sideName(original, kind);
        if (int fault = injectedFault(FaultOp::OpenWrite)) {
            errno = fault;
            return -1;
        }
        int fd;
        do {
            fd = ::openat(folder.fd(), name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes until every byte is out: short writes continue, EINTR retries. A negative offset
// writes at the file position (write), any other at that offset (pwrite).
bool writeFully(int fd, const char *data, std::size_t size, off_t offset)
{
    while (size > 0) {
        ssize_t n;
        if (int fault = injectedFault(FaultOp::Write)) {
            errno = fault;
            n = -1;
        } else {
            n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC; // no progress and no error: treat as a full disk
            return false;
        }
        data += n;
        size -= std::size_t(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    return writeFully(fd, data, size, -1);
}

bool pwriteAll(int fd, const char *data, std::size_t size, off_t offset)
{
    return writeFully(fd, data, size, offset);
}

// Copies `size` bytes from the start of `from` to the start of `to` through `buffer`.
bool copyContent(int from, int to, std::size_t size, char *buffer, std::size_t bufferSize)
{
    off_t offset = 0;
    while (std::size_t(offset) < size) {
        const std::size_t want = std::min(bufferSize, size - std::size_t(offset));
        ssize_t n;
        if (int fault = injectedFault(FaultOp::Read)) {
            errno = fault;
            n = -1;
        } else {
            n = ::pread(from, buffer, want, offset);
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO; // the source is shorter than it was: never copy a short file
            return false;
        }
        if (!pwriteAll(to, buffer, std::size_t(n), offset))
            return false;
        offset += n;
    }
    return true;
}

bool syncFd(int fd)
{
    if (int fault = injectedFault(FaultOp::Sync)) {
        errno = fault;
        return false;
    }
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool truncateFd(int fd, off_t size)
{
    if (int fault = injectedFault(FaultOp::Truncate)) {
        errno = fault;
        return false;
    }
    while (::ftruncate(fd, size) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool sameFile(const FileStat &a, const FileStamp &b)
{
    return a.dev == b.dev && a.ino == b.ino;
}

std::string reasonWhile(int errorCode, std::string_view what)
{
    std::string reason = errorText(errorCode);
    reason.append(" (");
    reason.append(what);
    reason.push_back(')');
    return reason;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

SafeRewrite::SafeRewrite(std::size_t bufferSize)
    : m_bufferSize(bufferSize < 4096 ? 4096 : bufferSize)
    , m_ownSize(m_bufferSize)
{}

void SafeRewrite::lendBuffer(char *buffer, std::size_t size)
{
    if (buffer && size >= 4096) {
        m_buffer = buffer;
        m_bufferSize = size;
    } else {
        m_buffer = m_own;
        m_bufferSize = m_ownSize;
    }
}

SafeRewrite::~SafeRewrite()
{
    abandon();
    std::free(m_own);
}

void SafeRewrite::fail(int errorCode, std::string_view what)
{
    if (m_error.failed())
        return;
    m_error.code = errorCode;
    m_error.path = m_folder ? m_folder->childPath(m_name) : m_name;
    m_error.reason = reasonWhile(errorCode, what);
}

bool SafeRewrite::begin(const Folder &folder, const char *name, FileReader &original,
                        FsError &error, Original how)
{
    abandon();
    m_folder = &folder;
    m_original = original.stat();
    m_name.assign(name);
    m_error.clear();
    m_used = 0;
    m_total = 0;
    m_synced = 0;
    m_finished = false;
    m_needsSync = false;

    const FileStat &st = m_original;
    if (!original.isOpen()) {
        error.refuse(folder.childPath(m_name), "not read before rewriting");
        return false;
    }
    // Root passes access(): the mode bits decide, so a file marked read-only stays so.
    if ((st.mode & S_IWUSR) == 0) {
        error.refuse(folder.childPath(m_name), "read-only file (no write permission)");
        return false;
    }
    // The owner's write bit was checked above; for anyone else the kernel decides (groups,
    // ACLs).
    static const uid_t euid = ::geteuid();
    if (euid != 0 && st.uid != euid
        && ::faccessat(folder.fd(), name, W_OK, AT_EACCESS) != 0) {
        error.set(errno, folder.childPath(m_name));
        return false;
    }
    // The name must be the very file that was read, not a link to it: a rename would
    // replace the link itself. A reader that did not follow links opened the name itself;
    // install() checks again, just before the rename, that it has not changed since.
    if (original.followedLinks()) {
        FileStat now;
        if (!statAt(folder, name, Links::NoFollow, now, error))
            return false;
        if (!sameFile(now, st.stamp())) {
            error.refuse(folder.childPath(m_name),
                         now.kind() == EntryKind::Symlink
                             ? "is a symbolic link: rewrite the file it points to"
                             : "changed since it was read: not rewritten");
            return false;
        }
    }
    m_mode = st.nlink > 1 ? RewriteMode::InPlace : RewriteMode::Rename;

    if (!m_buffer) {
        m_buffer = m_own = static_cast<char *>(std::malloc(m_bufferSize));
        if (!m_buffer) {
            error.set(ENOMEM, folder.childPath(m_name));
            return false;
        }
    }
    m_originalFd = how == Original::Take ? original.releaseFd()
                                          : ::fcntl(original.fd(), F_DUPFD_CLOEXEC, 0);
    if (m_originalFd < 0) {
        error.set(errno, folder.childPath(m_name));
        return false;
    }
    m_tempFd = createSideFile(folder, m_name, ".tmp", m_tempName);
    if (m_tempFd < 0) {
        error.code = errno;
        error.path = folder.childPath(m_name);
        error.reason = reasonWhile(errno, "creating the temporary file");
        m_tempName.clear();
        closeFd(m_originalFd);
        return false;
    }
    return true;
}

bool SafeRewrite::flushBuffer()
{
    if (m_used == 0)
        return true;
    if (!writeAll(m_tempFd, m_buffer, m_used)) {
        fail(errno, "writing the temporary file");
        return false;
    }
    m_used = 0;
    pushOut();
    return true;
}

void SafeRewrite::pushOut()
{
    // Start writeback of what a large file has written so far, so the final sync finds most
    // of it on disk already instead of writing it all then.
    const std::size_t written = m_total - m_used;
    if (written - m_synced >= kWritebackStep) {
        ::sync_file_range(m_tempFd, off_t(m_synced), off_t(written - m_synced),
                          SYNC_FILE_RANGE_WRITE);
        m_synced = written;
    }
}

bool SafeRewrite::append(std::string_view bytes)
{
    // After finish() the temporary file is synced: bytes added then would not be durable.
    if (m_tempFd < 0 || m_finished || m_error.failed())
        return false;
    m_total += bytes.size();
    if (m_used + bytes.size() > m_bufferSize) {
        if (!flushBuffer())
            return false;
        if (bytes.size() >= m_bufferSize) {
            // A large piece goes straight out, without a copy through the buffer.
            if (!writeAll(m_tempFd, bytes.data(), bytes.size())) {
                fail(errno, "writing the temporary file");
                return false;
            }
            pushOut();
            return true;
        }
    }
    std::memcpy(m_buffer + m_used, bytes.data(), bytes.size());
    m_used += bytes.size();
    return true;
}

bool SafeRewrite::startSync(FsError &error)
{
    if (m_tempFd < 0)
        return false;
    if (!flushBuffer()) {
        error = m_error;
        abandon();
        return false;
    }
    // Advisory: a kernel or file system without it just syncs later, in finish().
    ::sync_file_range(m_tempFd, off_t(m_synced), 0, SYNC_FILE_RANGE_WRITE);
    m_synced = m_total - m_used;
    return true;
}

bool SafeRewrite::copyAttributes(FsError &error)
{
    const int from = m_originalFd;
    // Owner, group and mode as the read found them.
    const FileStat &st = m_original;

    // Owner and group first: chown clears set-user-ID bits, which the mode restores last.
    int chownResult;
    if (int fault = injectedFault(FaultOp::Chown)) {
        errno = fault;
        chownResult = -1;
    } else {
        chownResult = ::fchown(m_tempFd, st.uid, st.gid);
    }
    if (chownResult != 0) {
        if (errno == EPERM) {
            // An owner we may not give away: a rename would change it, an in-place write
            // keeps it.
            m_mode = RewriteMode::InPlace;
            return true;
        }
        fail(errno, "setting the owner of the temporary file");
        error = m_error;
        return false;
    }

    // Extended attributes of every namespace we can read and set (user.*, and for root
    // trusted.* and security.*; ACLs travel as system.posix_acl_*).
    ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize < 0 && errno != ENOTSUP && errno != EOPNOTSUPP) {
        fail(errno, "listing the original's extended attributes");
        error = m_error;
        return false;
    }
    if (listSize > 0) {
        std::vector<char> names(std::size_t(listSize) + 1);
        listSize = ::flistxattr(from, names.data(), names.size());
        if (listSize < 0) {
            fail(errno, "listing the original's extended attributes");
            error = m_error;
            return false;
        }
        std::vector<char> value;
        for (ssize_t pos = 0; pos < listSize;) {
            const char *attr = names.data() + pos;
            pos += ssize_t(std::strlen(attr)) + 1;
            ssize_t valueSize = ::fgetxattr(from, attr, nullptr, 0);
            if (valueSize < 0) {
                if (errno == ENODATA)
                    continue; // removed meanwhile
                fail(errno, "reading an extended attribute of the original");
                error = m_error;
                return false;
            }
            value.resize(std::size_t(valueSize) + 1);
            valueSize = ::fgetxattr(from, attr, value.data(), value.size());
            if (valueSize < 0) {
                fail(errno, "reading an extended attribute of the original");
                error = m_error;
                return false;
            }
            int setResult;
            if (int fault = injectedFault(FaultOp::SetXattr)) {
                errno = fault;
                setResult = -1;
            } else {
                setResult = ::fsetxattr(m_tempFd, attr, value.data(), std::size_t(valueSize), 0);
            }
            if (setResult != 0) {
                if (errno == ENOTSUP || errno == EOPNOTSUPP)
                    continue;
                if (errno == EPERM || errno == EACCES) {
                    // An attribute we may not set: keep it by writing in place.
                    m_mode = RewriteMode::InPlace;
                    return true;
                }
                fail(errno, "copying an extended attribute");
                error = m_error;
                return false;
            }
        }
    }

    int chmodResult;
    if (int fault = injectedFault(FaultOp::Chmod)) {
        errno = fault;
        chmodResult = -1;
    } else {
        chmodResult = ::fchmod(m_tempFd, st.mode & 07777);
    }
    if (chmodResult != 0) {
        fail(errno, "setting the mode of the temporary file");
        error = m_error;
        return false;
    }
    return true;
}

bool SafeRewrite::finish(FsError &error, SyncMode sync)
{
    if (m_tempFd < 0) {
        if (!error.failed())
            error.refuse(m_name, "no rewrite under way");
        return false;
    }
    if (m_error.failed() || !flushBuffer()) {
        error = m_error;
        abandon();
        return false;
    }
    if (m_mode == RewriteMode::Rename && !copyAttributes(error)) {
        abandon();
        return false;
    }
    if (sync == SyncMode::Later) {
        m_needsSync = true;
    } else if (!syncFd(m_tempFd)) {
        fail(errno, "syncing the temporary file");
        error = m_error;
        abandon();
        return false;
    }
    m_finished = true;
    return true;
}

bool SafeRewrite::markDurable(FsError &error)
{
    if (int fault = injectedFault(FaultOp::Sync)) {
        fail(fault, "syncing the temporary file");
        error = m_error;
        abandon();
        return false;
    }
    m_needsSync = false;
    return true;
}

bool SafeRewrite::install(FsError &error)
{
    if (!m_finished && !finish(error))
        return false;
    // Finished for a sync by the caller that did not come: sync it here, before the rename.
    if (m_needsSync) {
        if (!syncFd(m_tempFd)) {
            fail(errno, "syncing the temporary file");
            error = m_error;
            abandon();
            return false;
        }
        m_needsSync = false;
    }

    // Not clobbering a change made by someone else since the file was read.
    FileStat now;
    if (!statAt(*m_folder, m_name.c_str(), Links::NoFollow, now, error)) {
        abandon();
        return false;
    }
    if (now.stamp() != m_original.stamp()) {
        error.refuse(m_folder->childPath(m_name), "changed since it was read: not rewritten");
        abandon();
        return false;
    }

    if (m_mode == RewriteMode::InPlace)
        return installInPlace(error);

    int result;
    if (int fault = injectedFault(FaultOp::Rename)) {
        errno = fault;
        result = -1;
    } else {
        result = ::renameat(m_folder->fd(), m_tempName.c_str(), m_folder->fd(), m_name.c_str());
    }
    if (result != 0) {
        fail(errno, "renaming the temporary file over the original");
        error = m_error;
        abandon();
        return false;
    }
    closeFd(m_tempFd);
    m_tempName.clear();
    m_finished = false;
    return true;
}

bool SafeRewrite::installInPlace(FsError &error)
{
    const std::size_t newSize = m_total;
    const std::size_t oldSize = std::size_t(m_original.size);
    int target = -1;
    int copy = -1;
    std::string copyName;

    auto giveUp = [&](int errorCode, std::string_view what) {
        fail(errorCode, what);
        error = m_error;
        closeFd(target);
        closeFd(copy);
        if (!copyName.empty())
            ::unlinkat(m_folder->fd(), copyName.c_str(), 0);
        abandon();
        return false;
    };

    if (int fault = injectedFault(FaultOp::OpenWrite)) {
        errno = fault;
        target = -1;
    } else {
        target = ::openat(m_folder->fd(), m_name.c_str(),
                          O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    if (target < 0)
        return giveUp(errno, "opening the original for writing");
    struct stat st;
    if (::fstat(target, &st) != 0)
        return giveUp(errno, "opening the original for writing");
    if (st.st_ino != m_original.ino || st.st_dev != m_original.dev) {
        closeFd(target);
        error.refuse(m_folder->childPath(m_name), "changed since it was read: not rewritten");
        abandon();
        return false;
    }

    // Copies go through the rewrite's own buffer: a lent one may be another thread's by now.
    if (!m_own)
        m_own = static_cast<char *>(std::malloc(m_ownSize));
    if (!m_own)
        return giveUp(ENOMEM, "opening the original for writing");
    char *const buffer = m_own;
    const std::size_t bufferSize = m_ownSize;

    // The safety copy: the original's bytes (unchanged since they were read, as checked
    // above), durable, and its name durable in the folder, before one byte of the original
    // is touched.
    copy = createSideFile(*m_folder, m_name, ".orig", copyName);
    if (copy < 0) {
        copyName.clear();
        return giveUp(errno, "creating the safety copy");
    }
    if (!copyContent(m_originalFd, copy, oldSize, buffer, bufferSize))
        return giveUp(errno, "writing the safety copy");
    if (!syncFd(copy) || !syncFd(m_folder->fd()))
        return giveUp(errno, "syncing the safety copy");

    // Claim the space first, so a full disk shows before the original is touched.
    if (newSize > oldSize) {
        int allocated;
        if (int fault = injectedFault(FaultOp::Allocate)) {
            errno = fault;
            allocated = -1;
        } else {
            allocated = ::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, off_t(newSize));
        }
        if (allocated != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
            return giveUp(errno, "reserving space for the new content");
    }

    if (copyContent(m_tempFd, target, newSize, buffer, bufferSize)
        && truncateFd(target, off_t(newSize)) && syncFd(target)) {
        closeFd(target);
        closeFd(copy);
        ::unlinkat(m_folder->fd(), copyName.c_str(), 0);
        abandon(); // drops the temporary file, which held the new content
        return true;
    }

    // Put the original back from the safety copy.
    const int failure = errno;
    const bool restored = copyContent(copy, target, oldSize, buffer, bufferSize)
                          && truncateFd(target, off_t(oldSize)) && syncFd(target);
    if (restored)
        return giveUp(failure, "writing in place; the original was restored");
    fail(failure, "writing in place; the original could not be restored, its content is in "
                      + m_folder->childPath(copyName));
    error = m_error;
    closeFd(target);
    closeFd(copy);
    abandon();
    return false;
}

bool SafeRewrite::commit(FsError &error)
{
    if (!finish(error) || !install(error))
        return false;
    return syncFolder(*m_folder, error);
}

int SafeRewrite::takeReplacedFd()
{
    if (m_tempFd >= 0)
        return -1; // not installed: abandon() closes it
    const int fd = m_originalFd;
    m_originalFd = -1;
    return fd;
}

void SafeRewrite::abandon()
{
    closeFd(m_originalFd);
    if (m_tempFd >= 0) {
        ::close(m_tempFd);
        m_tempFd = -1;
    }
    if (!m_tempName.empty() && m_folder)
        ::unlinkat(m_folder->fd(), m_tempName.c_str(), 0);
    m_tempName.clear();
    m_used = 0;
    m_finished = false;
    m_needsSync = false;
}

} // namespace orvane::platform
