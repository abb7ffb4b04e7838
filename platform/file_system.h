#pragma once

// The file system as the run sees it: open folders, listings in the file system's own order,
// file facts and whole-file reading. Everything works relative to an open folder descriptor
// (openat/fstatat), reuses its buffers from file to file and reports failures as FsError
// (path + reason) instead of throwing, so a failing file costs no more than a working one.
// Names are bytes (any byte but '/' and NUL); paths are UTF-8 or whatever the disk holds.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

// strerror text of an errno value, thread-safe.
std::string errorText(int errorCode);

// A failure: the path concerned and why, in words (strerror text or our own).
struct FsError
{
    int code = 0; // errno, or 0 for a refusal of our own (e.g. "not a regular file")
    std::string path;
    std::string reason;

    void set(int errorCode, std::string_view where); // reason = strerror(errorCode)
    void refuse(std::string_view where, std::string_view why);
    void clear();
    bool failed() const { return !reason.empty(); }
};

enum class EntryKind : std::uint8_t {
    Regular,
    Folder,
    Symlink,
    Other, // FIFO, socket, device: never opened
};

// Changes here mean "the file changed since it was read".
struct FileStamp
{
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;

    bool operator==(const FileStamp &) const = default;
};

struct FileStat
{
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::uint64_t nlink = 0;
    std::uint32_t mode = 0; // st_mode: type and permission bits
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;

    EntryKind kind() const;
    FileStamp stamp() const { return {dev, ino, size, mtimeSec, mtimeNsec}; }
};

enum class Links : std::uint8_t {
    NoFollow, // look at a symbolic link itself (AT_SYMLINK_NOFOLLOW / O_NOFOLLOW)
    Follow,   // look at what it points to
};

// An open folder: an O_DIRECTORY|O_CLOEXEC descriptor plus the path it was reached by (for
// messages and result rows). Move-only; closes on destruction.
class Folder
{
public:
    Folder() = default;
    ~Folder();
    Folder(Folder &&other) noexcept;
    Folder &operator=(Folder &&other) noexcept;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // Opens a folder by path. Links::Follow lets a search path typed by the user be a link
    // to a folder; with NoFollow a final symbolic link is refused.
    bool open(const std::string &path, FsError &error, Links links = Links::Follow);
    // Opens the folder `name` inside `parent`, never through a symbolic link
    // (O_NOFOLLOW: a link to a folder is refused with ELOOP/ENOTDIR). path() becomes
    // parent.path() + "/" + name.
    bool openAt(const Folder &parent, const char *name, FsError &error);
    // A second descriptor for the same open folder (dup), with the same path: lets work on
    // a folder outlive the walk's handle of it.
    bool duplicate(const Folder &other, FsError &error);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }
    // path() + "/" + name, without doubling a trailing slash.
    std::string childPath(std::string_view name) const;

private:
    int m_fd = -1;
    std::string m_path;
};

// One folder's entries in the order the file system lists them (getdents: no sorting),
// without "." and "..". Reuse one listing object: names live in one buffer, so a listing
// allocates nothing once it has grown to the largest folder seen.
class FolderListing
{
public:
    FolderListing();
    ~FolderListing();
    FolderListing(const FolderListing &) = delete;
    FolderListing &operator=(const FolderListing &) = delete;

    // Replaces the held entries with those of `folder`. Kinds come from d_type; where the
    // file system gives DT_UNKNOWN they are taken with fstatat (not following links).
    // An entry that vanishes before that fstatat is left out.
    bool read(const Folder &folder, FsError &error);

    std::size_t size() const { return m_entries.size(); }
    // NUL-terminated, so it can go straight to the *at() calls.
    const char *name(std::size_t i) const { return m_names.data() + m_entries[i].offset; }
    std::string_view nameView(std::size_t i) const
    {
        return {m_names.data() + m_entries[i].offset, m_entries[i].length};
    }
    EntryKind kind(std::size_t i) const { return m_entries[i].kind; }
    std::uint64_t inode(std::size_t i) const { return m_entries[i].ino; }

private:
    struct Entry
    {
        std::uint64_t ino;
        std::uint32_t offset;
        std::uint32_t length;
        EntryKind kind;
    };
    std::vector<Entry> m_entries;
    std::vector<char> m_names;
    std::unique_ptr<char[]> m_dents; // getdents64 buffer
};

// fstatat(folder, name). Links::Follow gives the facts of a link's target (for the run's
// "link to a file inside the search path" rule).
bool statAt(const Folder &folder, const char *name, Links links, FileStat &out, FsError &error);
bool statPath(const std::string &path, Links links, FileStat &out, FsError &error);

// realpath(3): the absolute path with every link and "." / ".." resolved.
bool realPath(const std::string &path, std::string &resolved, FsError &error);
// True when `path` is `root` or lies below it (both absolute and resolved; compares whole
// components, so "/a/bc" is not inside "/a/b").
bool pathIsInside(std::string_view path, std::string_view root);

// fsync of the folder itself: makes its renames durable. Call once after a folder's renames.
bool syncFolder(const Folder &folder, FsError &error);
// syncfs of the file system that holds the folder: everything written to it so far becomes
// durable in one go, which costs about as much as one fsync, not one per file.
bool syncFileSystem(const Folder &folder, FsError &error);

// The number of descriptors this process may hold open: the soft limit, raised first to the
// hard limit (a desktop session often starts programs at 1024 with room above).
std::size_t raiseOpenFileLimit();

// Reads whole regular files, one at a time, into a buffer reused from file to file (never
// mapped: a file truncated meanwhile by another program would kill the process). The file
// stays open until the next read() or close(), so a SafeRewrite can copy its attributes and
// check it. A buffer grown past 64 MiB is given back on close().
class FileReader
{
public:
    FileReader();
    ~FileReader();
    FileReader(const FileReader &) = delete;
    FileReader &operator=(const FileReader &) = delete;

    // Opens `name` in `folder` O_RDONLY|O_NONBLOCK|O_CLOEXEC (plus O_NOFOLLOW unless
    // links == Follow), checks with fstat that it is a regular file (a FIFO or device that
    // appeared since the listing is refused at once, never waited on), and reads it whole.
    // A large file is read in pieces; when `keepGoing` turns false between two, the read
    // ends there: false, with stopped() true and no error.
    bool read(const Folder &folder, const char *name, FsError &error,
              Links links = Links::NoFollow, const std::atomic<bool> *keepGoing = nullptr);
    // The last read() was given up because `keepGoing` turned false.
    bool stopped() const { return m_stopped; }
    void close(); // closes the file; a buffer up to 64 MiB is kept for reuse

    std::string_view content() const { return {m_data, m_size}; }
    // The facts of the open file at the time it was read (stamp() for the changed check).
    const FileStat &stat() const { return m_stat; }
    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // True when the last read() followed a final symbolic link (Links::Follow).
    bool followedLinks() const { return m_followed; }
    // Hands the open descriptor to the caller, who closes it; content() stays readable.
    int releaseFd()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

    // Gives back buffer memory above `bytes` (after a very large file was read).
    void trimBuffer(std::size_t bytes);

private:
    int m_fd = -1;
    bool m_followed = false;
    bool m_stopped = false;
    FileStat m_stat;
    const char *m_data = nullptr;
    std::size_t m_size = 0;
    char *m_buffer = nullptr;
    std::size_t m_capacity = 0;
    static constexpr std::size_t kKeptAfterClose = std::size_t(64) << 20;
};

} // namespace orvane::platform
