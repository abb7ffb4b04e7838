#include "platform/file_system.h"

#include "platform/fault_point.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::platform {

namespace {

constexpr std::size_t kDentsSize = 64 * 1024;

void fillStat(const struct stat &st, FileStat &out)
{
    out.dev = st.st_dev;
    out.ino = st.st_ino;
    out.size = st.st_size;
    out.mtimeSec = st.st_mtim.tv_sec;
    out.mtimeNsec = st.st_mtim.tv_nsec;
    out.nlink = st.st_nlink;
    out.mode = st.st_mode;
    out.uid = st.st_uid;
    out.gid = st.st_gid;
}

EntryKind kindOfMode(std::uint32_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::Regular;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISLNK(mode))
        return EntryKind::Symlink;
    return EntryKind::Other;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

} // namespace

std::string errorText(int errorCode)
{
    // strerror_r: runs may report from worker threads (GNU form: returns the text).
    char buffer[128];
    return ::strerror_r(errorCode, buffer, sizeof buffer);
}

void FsError::set(int errorCode, std::string_view where)
{
    code = errorCode;
    path.assign(where);
    reason = errorText(errorCode);
}

void FsError::refuse(std::string_view where, std::string_view why)
{
    code = 0;
    path.assign(where);
    reason.assign(why);
}

void FsError::clear()
{
    code = 0;
    path.clear();
    reason.clear();
}

EntryKind FileStat::kind() const
{
    return kindOfMode(mode);
}

// --- Folder -------------------------------------------------------------------------------

Folder::~Folder()
{
    close();
}

Folder::Folder(Folder &&other) noexcept
    : m_fd(other.m_fd)
    , m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

Folder &Folder::operator=(Folder &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

bool Folder::open(const std::string &path, FsError &error, Links links)
{
    close();
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (links == Links::NoFollow)
        flags |= O_NOFOLLOW;
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error.set(errno, path);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

bool Folder::duplicate(const Folder &other, FsError &error)
{
    const int fd = ::fcntl(other.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error.set(errno, other.path());
        return false;
    }
    close();
    m_fd = fd;
    m_path = other.path();
    return true;
}

bool Folder::openAt(const Folder &parent, const char *name, FsError &error)
{
    std::string path = parent.childPath(name);
    int fd;
    do {
        fd = ::openat(parent.fd(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error.set(errno, path);
        return false;
    }
    close();
    m_fd = fd;
    m_path = std::move(path);
    return true;
}

void Folder::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

std::string Folder::childPath(std::string_view name) const
{
    return joinPath(m_path, name);
}

// --- FolderListing -------------------------------------------------------------------------

// The kernel's record layout for getdents64 (struct linux_dirent64).
struct Dirent64
{
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

FolderListing::FolderListing() = default;
FolderListing::~FolderListing() = default;

bool FolderListing::read(const Folder &folder, FsError &error)
{
    m_entries.clear();
    m_names.clear();
    if (!m_dents)
        m_dents = std::make_unique_for_overwrite<char[]>(kDentsSize);
    // A descriptor keeps its position: start from the beginning for a second listing.
    if (::lseek(folder.fd(), 0, SEEK_SET) < 0) {
        error.set(errno, folder.path());
        return false;
    }
    for (;;) {
        long got;
        if (int fault = injectedFault(FaultOp::Listing)) {
            errno = fault;
            got = -1;
        } else {
            got = ::getdents64(folder.fd(), m_dents.get(), kDentsSize);
        }
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error.set(errno, folder.path());
            m_entries.clear();
            m_names.clear();
            return false;
        }
        if (got == 0)
            break;
        for (long pos = 0; pos < got;) {
            const auto *d = reinterpret_cast<const Dirent64 *>(m_dents.get() + pos);
            pos += d->d_reclen;
            const char *name = d->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            EntryKind kind;
            switch (d->d_type) {
            case DT_REG:
                kind = EntryKind::Regular;
                break;
            case DT_DIR:
                kind = EntryKind::Folder;
                break;
            case DT_LNK:
                kind = EntryKind::Symlink;
                break;
            case DT_UNKNOWN: {
                struct stat st;
                if (::fstatat(folder.fd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // gone since it was listed
                kind = kindOfMode(st.st_mode);
                break;
            }
            default:
                kind = EntryKind::Other;
                break;
            }
            const std::size_t length = std::strlen(name);
            const std::size_t offset = m_names.size();
            m_names.insert(m_names.end(), name, name + length + 1);
            m_entries.push_back({d->d_ino, std::uint32_t(offset), std::uint32_t(length), kind});
        }
    }
    return true;
}

// --- facts -----------------------------------------------------------------------------------

bool statAt(const Folder &folder, const char *name, Links links, FileStat &out, FsError &error)
{
    struct stat st;
    const int flags = links == Links::NoFollow ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(folder.fd(), name, &st, flags) != 0) {
        error.set(errno, folder.childPath(name));
        return false;
    }
    fillStat(st, out);
    return true;
}

bool statPath(const std::string &path, Links links, FileStat &out, FsError &error)
{
    struct stat st;
    const int result = links == Links::NoFollow ? ::lstat(path.c_str(), &st)
                                                : ::stat(path.c_str(), &st);
    if (result != 0) {
        error.set(errno, path);
        return false;
    }
    fillStat(st, out);
    return true;
}

bool realPath(const std::string &path, std::string &resolved, FsError &error)
{
    char *result = ::realpath(path.c_str(), nullptr);
    if (!result) {
        error.set(errno, path);
        return false;
    }
    resolved.assign(result);
    std::free(result);
    return true;
}

bool pathIsInside(std::string_view path, std::string_view root)
{
    while (root.size() > 1 && root.back() == '/')
        root.remove_suffix(1);
    if (path.substr(0, root.size()) != root)
        return false;
    if (path.size() == root.size())
        return true;
    return root == "/" || path[root.size()] == '/';
}

bool syncFolder(const Folder &folder, FsError &error)
{
    int result;
    if (int fault = injectedFault(FaultOp::Sync)) {
        errno = fault;
        result = -1;
    } else {
        result = ::fsync(folder.fd());
    }
    if (result != 0) {
        error.set(errno, folder.path());
        return false;
    }
    return true;
}

bool syncFileSystem(const Folder &folder, FsError &error)
{
    // No fault point here: a caller confirms each file it covered (SafeRewrite::markDurable),
    // and faults are injected there, file by file, as with fsync.
    if (::syncfs(folder.fd()) != 0) {
        error.set(errno, folder.path());
        return false;
    }
    return true;
}

std::size_t raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : std::size_t(limit.rlim_cur);
}

// --- FileReader ------------------------------------------------------------------------------

namespace {

// A large buffer is asked for in huge pages: filling 500 MB of small pages costs a page
// fault every 4 KiB, which took longer than reading the file itself. `capacity` grows to a
// whole number of huge pages (at most 2 MiB more than asked).
constexpr std::size_t kHugePage = std::size_t(2) << 20;
// What one read() asks for: a large file is read in pieces, so a Stop can end its read.
constexpr std::size_t kReadPiece = std::size_t(16) << 20;
constexpr std::size_t kHugeFrom = std::size_t(8) << 20;

char *allocateBuffer(std::size_t &capacity)
{
    if (capacity < kHugeFrom)
        return static_cast<char *>(std::malloc(capacity));
    capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    void *block = std::aligned_alloc(kHugePage, capacity);
    if (block)
        ::madvise(block, capacity, MADV_HUGEPAGE); // a hint: without it, small pages
    return static_cast<char *>(block);
}

} // namespace

FileReader::FileReader() = default;

FileReader::~FileReader()
{
    close();
    std::free(m_buffer);
}

void FileReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_data = nullptr;
    m_size = 0;
    // After a very large file the buffer goes: the process must not keep its size for good.
    if (m_capacity > kKeptAfterClose)
        trimBuffer(0);
}

void FileReader::trimBuffer(std::size_t bytes)
{
    if (m_capacity > bytes) {
        std::free(m_buffer);
        m_buffer = nullptr;
        m_capacity = 0;
        m_data = nullptr;
        m_size = 0;
    }
}

bool FileReader::read(const Folder &folder, const char *name, FsError &error, Links links,
                      const std::atomic<bool> *keepGoing)
{
    close();
    m_stopped = false;
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (links == Links::NoFollow)
        flags |= O_NOFOLLOW;
    int fd;
    if (int fault = injectedFault(FaultOp::OpenRead)) {
        errno = fault;
        fd = -1;
    } else {
        do {
            fd = ::openat(folder.fd(), name, flags);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
        error.set(errno, folder.childPath(name));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error.set(errno, folder.childPath(name));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error.refuse(folder.childPath(name), "not a regular file");
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_followed = links == Links::Follow;
    fillStat(st, m_stat);

    // Every file is copied into the buffer, however large: a mapping would kill the process
    // (SIGBUS) when another program truncates the file while it is searched.
    const std::size_t expected = std::size_t(st.st_size);

    // Read until the size fstat gave, asking for a byte more each time, so a file that grew
    // meanwhile is read on; a size of 0 (some special files) means "read to the end". A file
    // that changes while it is read fails the stamp check before any rewrite.
    std::size_t want = expected + 1;
    std::size_t got = 0;
    for (;;) {
        if (got + 1 > m_capacity || want > m_capacity) {
            // Exactly the size announced (and a byte to see the end): doubling a large
            // buffer would hold far more memory than the file needs.
            std::size_t capacity = std::max<std::size_t>(
                {want, got == 0 ? 0 : m_capacity * 2, 64 * 1024});
            char *grown;
            if (got == 0) {
                // Nothing to keep: a fresh block, not a realloc that copies the old bytes.
                std::free(m_buffer);
                m_buffer = nullptr;
                m_capacity = 0;
                grown = allocateBuffer(capacity);
            } else {
                grown = static_cast<char *>(std::realloc(m_buffer, capacity));
            }
            if (!grown) {
                error.set(ENOMEM, folder.childPath(name));
                close();
                return false;
            }
            m_buffer = grown;
            m_capacity = capacity;
        }
        // Between the pieces of a large file: a Stop need not wait for the rest of it.
        if (got > 0 && keepGoing && !keepGoing->load(std::memory_order_relaxed)) {
            m_stopped = true;
            close();
            return false;
        }
        ssize_t n;
        if (int fault = injectedFault(FaultOp::Read)) {
            errno = fault;
            n = -1;
        } else {
            n = ::read(fd, m_buffer + got, std::min(m_capacity - got, kReadPiece));
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error.set(errno, folder.childPath(name));
            close();
            return false;
        }
        if (n == 0)
            break;
        got += std::size_t(n);
        if (expected > 0 && got == expected)
            break; // the common case: one read() and no second call to find the end
        if (got == m_capacity)
            want = m_capacity * 2;
    }
    m_data = m_buffer;
    m_size = got;
    return true;
}

} // namespace orvane::platform
