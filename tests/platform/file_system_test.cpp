#include "platform/fault_point.h"
#include "platform/file_system.h"

#include "temp_folder.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvane::platform {
namespace {

using test::TempFolder;

class FileSystemTest : public TempFolder
{
protected:
    // A socket bound in the folder, as a program would leave one.
    static void makeSocket(const std::string &where)
    {
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(sock, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        ASSERT_LT(where.size(), sizeof(addr.sun_path));
        std::memcpy(addr.sun_path, where.c_str(), where.size() + 1);
        ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)), 0);
        ::close(sock);
    }
};

// Names that must survive listing, reading and path building byte for byte.
const std::vector<std::string> kAwkwardNames = {
    "plain.txt",        "with space.htm", "new\nline.html", "bad\xff\xfe utf8.txt",
    "caf\xc3\xa9.asp",  " lead",          "trail ",         "-dash",
    "tab\tname.txt",    "...dots",
};

TEST_F(FileSystemTest, ListsEntriesInReaddirOrderWithKinds)
{
    for (int i = 0; i < 150; ++i)
        writeFile(path("f" + std::to_string(i * 7919 % 1000) + ".txt"), "x");
    for (const auto &name : kAwkwardNames)
        writeFile(path(name), name);
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("plain.txt", path("link").c_str()), 0);
    ASSERT_EQ(::symlink("sub", path("dirlink").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);

    makeSocket(path("sock"));

    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error)) << error.reason;
    FolderListing listing;
    ASSERT_TRUE(listing.read(folder, error)) << error.reason;

    const auto expected = readdirNames(root());
    std::vector<std::string> names;
    std::map<std::string, EntryKind> kinds;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        names.emplace_back(listing.nameView(i));
        EXPECT_STREQ(listing.name(i), names.back().c_str());
        kinds[names.back()] = listing.kind(i);
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(kinds["plain.txt"], EntryKind::Regular);
    EXPECT_EQ(kinds["new\nline.html"], EntryKind::Regular);
    EXPECT_EQ(kinds["sub"], EntryKind::Folder);
    EXPECT_EQ(kinds["link"], EntryKind::Symlink);
    EXPECT_EQ(kinds["dirlink"], EntryKind::Symlink);
    EXPECT_EQ(kinds["fifo"], EntryKind::Other);
    EXPECT_EQ(kinds["sock"], EntryKind::Other);

    // The same object lists again (from the start) and a smaller folder afterwards.
    ASSERT_TRUE(listing.read(folder, error));
    EXPECT_EQ(listing.size(), expected.size());
    Folder sub;
    ASSERT_TRUE(sub.openAt(folder, "sub", error)) << error.reason;
    EXPECT_EQ(sub.path(), path("sub"));
    ASSERT_TRUE(listing.read(sub, error));
    EXPECT_EQ(listing.size(), 0u);
}

TEST_F(FileSystemTest, FolderFailuresCarryPathAndReason)
{
    writeFile(path("file.txt"), "x");
    ASSERT_EQ(::mkdir(path("real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real", path("link").c_str()), 0);

    struct Case
    {
        const char *label;
        std::string path;
        int code;
    };
    const Case cases[] = {
        {"missing", path("missing"), ENOENT},
        {"a file", path("file.txt"), ENOTDIR},
        {"below a file", path("file.txt/x"), ENOTDIR},
    };
    for (const auto &c : cases) {
        Folder folder;
        FsError error;
        EXPECT_FALSE(folder.open(c.path, error)) << c.label;
        EXPECT_EQ(error.path, c.path) << c.label;
        EXPECT_EQ(error.code, c.code) << c.label;
        EXPECT_EQ(error.reason, std::strerror(c.code)) << c.label;
        EXPECT_FALSE(folder.isOpen());
    }

    // A link to a folder is followed as a typed search path, never inside the walk.
    Folder top;
    FsError error;
    ASSERT_TRUE(top.open(path("link"), error)) << error.reason;
    EXPECT_FALSE(top.open(path("link"), error, Links::NoFollow));
    ASSERT_TRUE(top.open(root(), error));
    Folder viaLink;
    error.clear();
    EXPECT_FALSE(viaLink.openAt(top, "link", error));
    EXPECT_EQ(error.path, path("link"));
    EXPECT_TRUE(error.code == ELOOP || error.code == ENOTDIR) << error.reason;

    // A listing that fails midway reports the folder and leaves no half listing.
    FolderListing listing;
    {
        FailDevice fail(FaultOp::Listing, 1, EIO);
        error.clear();
        EXPECT_FALSE(listing.read(top, error));
    }
    EXPECT_EQ(error.path, root());
    EXPECT_EQ(error.reason, std::strerror(EIO));
    EXPECT_EQ(listing.size(), 0u);
}

TEST_F(FileSystemTest, ReadsWholeFilesIntoReusedBuffer)
{
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 131 % 251);
    writeFile(path("big.bin"), big);
    for (const auto &name : kAwkwardNames)
        writeFile(path(name), "content of " + name);
    writeFile(path("empty.txt"), "");

    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    {
        FileReader reader;
        ASSERT_TRUE(reader.read(folder, "big.bin", error)) << error.reason;
        EXPECT_EQ(reader.content(), big);
        EXPECT_EQ(reader.stat().size, std::int64_t(big.size()));
        // A smaller file after a bigger one: no stale bytes from the buffer.
        for (const auto &name : kAwkwardNames) {
            ASSERT_TRUE(reader.read(folder, name.c_str(), error)) << error.reason;
            EXPECT_EQ(reader.content(), "content of " + name);
        }
        ASSERT_TRUE(reader.read(folder, "empty.txt", error));
        EXPECT_EQ(reader.content(), "");
        EXPECT_EQ(reader.stat().kind(), EntryKind::Regular);
    }

    FileReader reader;
    error.clear();
    EXPECT_FALSE(reader.read(folder, "missing.txt", error));
    EXPECT_EQ(error.path, path("missing.txt"));
    EXPECT_EQ(error.reason, std::strerror(ENOENT));
    {
        FailDevice fail(FaultOp::Read, 1, EIO);
        error.clear();
        EXPECT_FALSE(reader.read(folder, "big.bin", error));
        EXPECT_EQ(error.reason, std::strerror(EIO));
        EXPECT_FALSE(reader.isOpen());
    }
}

// Another program truncating a large file while it is searched must not take the process
// down (a mapped file would raise SIGBUS on the vanished pages); the text stays as read.
// Sparse, so the test writes next to nothing.
TEST_F(FileSystemTest, ALargeFileTruncatedWhileHeldKeepsItsContent)
{
    const std::size_t size = (std::size_t(64) << 20) + 4096;
    {
        const int fd = ::open(path("huge.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(size - 3)), 0);
        ASSERT_EQ(::pwrite(fd, "cat", 3, off_t(size - 3)), 3);
        ::close(fd);
    }
    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    FileReader reader;
    ASSERT_TRUE(reader.read(folder, "huge.txt", error)) << error.reason;
    ASSERT_EQ(::truncate(path("huge.txt").c_str(), 0), 0);
    ASSERT_EQ(reader.content().size(), size);
    EXPECT_EQ(reader.content().substr(size - 3), "cat");
    EXPECT_EQ(reader.content()[size / 2], '\0');
}

// A Stop need not wait for the rest of a large file: between the pieces of its read the
// reader looks at the flag it was given. A small file is read whole in any case.
TEST_F(FileSystemTest, AStopEndsTheReadOfALargeFileBetweenPieces)
{
    const std::size_t size = std::size_t(40) << 20; // several pieces; sparse
    {
        const int fd = ::open(path("huge.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(size - 3)), 0);
        ASSERT_EQ(::pwrite(fd, "cat", 3, off_t(size - 3)), 3);
        ::close(fd);
    }
    writeFile(path("small.txt"), "a cat");
    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    FileReader reader;
    const std::atomic<bool> going{true};
    const std::atomic<bool> stopped{false};

    ASSERT_TRUE(reader.read(folder, "huge.txt", error, Links::NoFollow, &going));
    EXPECT_EQ(reader.content().size(), size);
    EXPECT_EQ(reader.content().substr(size - 3), "cat");
    EXPECT_FALSE(reader.stopped());

    FailDevice count(FaultOp::Read, 0, 0);
    EXPECT_FALSE(reader.read(folder, "huge.txt", error, Links::NoFollow, &stopped));
    EXPECT_TRUE(reader.stopped());
    EXPECT_FALSE(error.failed()) << error.reason;
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(count.calls(FaultOp::Read), 1); // the first piece, then the Stop was seen

    ASSERT_TRUE(reader.read(folder, "small.txt", error, Links::NoFollow, &stopped));
    EXPECT_EQ(reader.content(), "a cat");
    EXPECT_FALSE(reader.stopped());
}

TEST_F(FileSystemTest, FifosSocketsDevicesAndFolderLinksAreRefusedWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(path("fifo.txt").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo.txt", path("fifolink.txt").c_str()), 0);
    makeSocket(path("sock.txt"));
    // The null device's numbers (1, 3): reading it would give an empty "file". Creating a
    // device node takes privilege; without it the rest is still checked.
    const bool haveDevice = ::mknod(path("dev.txt").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
    if (haveDevice) {
        ASSERT_EQ(::symlink("dev.txt", path("devlink.txt").c_str()), 0);
    }
    ASSERT_EQ(::mkdir(path("dir.txt").c_str(), 0755), 0);
    writeFile(path("target.txt"), "target");
    ASSERT_EQ(::symlink("target.txt", path("link.txt").c_str()), 0);

    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    FolderListing listing;
    ASSERT_TRUE(listing.read(folder, error)) << error.reason;
    std::map<std::string, EntryKind> kinds;
    for (std::size_t i = 0; i < listing.size(); ++i)
        kinds[listing.name(i)] = listing.kind(i);
    EXPECT_EQ(kinds["fifo.txt"], EntryKind::Other);
    EXPECT_EQ(kinds["sock.txt"], EntryKind::Other);
    if (haveDevice) {
        EXPECT_EQ(kinds["dev.txt"], EntryKind::Other);
    }

    std::vector<const char *> names = {"fifo.txt", "fifolink.txt", "sock.txt", "dir.txt"};
    if (haveDevice)
        names.insert(names.end(), {"dev.txt", "devlink.txt"});
    FileReader reader;
    // Opening a FIFO for reading would wait for a writer: it must come back at once.
    const auto start = std::chrono::steady_clock::now();
    for (const char *name : names) {
        for (Links links : {Links::NoFollow, Links::Follow}) {
            error.clear();
            EXPECT_FALSE(reader.read(folder, name, error, links)) << name;
            EXPECT_FALSE(reader.isOpen()) << name;
            EXPECT_EQ(error.path, path(name));
            EXPECT_FALSE(error.reason.empty());
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    error.clear();
    EXPECT_FALSE(reader.read(folder, "fifo.txt", error));
    EXPECT_EQ(error.reason, "not a regular file");
    if (haveDevice) {
        EXPECT_FALSE(reader.read(folder, "dev.txt", error));
        EXPECT_EQ(error.reason, "not a regular file");
    }

    // A link to a file: refused unless the caller chose to follow it.
    EXPECT_FALSE(reader.read(folder, "link.txt", error));
    ASSERT_TRUE(reader.read(folder, "link.txt", error, Links::Follow)) << error.reason;
    EXPECT_EQ(reader.content(), "target");

    FileStat link, target;
    ASSERT_TRUE(statAt(folder, "link.txt", Links::NoFollow, link, error));
    ASSERT_TRUE(statAt(folder, "link.txt", Links::Follow, target, error));
    EXPECT_EQ(link.kind(), EntryKind::Symlink);
    EXPECT_EQ(target.kind(), EntryKind::Regular);
    EXPECT_EQ(target.ino, reader.stat().ino);
    EXPECT_EQ(target.size, 6);
    if (!haveDevice)
        GTEST_SKIP() << "mknod is not permitted here: no device node was checked";
}

TEST_F(FileSystemTest, FactsAndPathsResolve)
{
    writeFile(path("a.txt"), "12345");
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0755), 0);
    ASSERT_EQ(::link(path("a.txt").c_str(), path("sub/b.txt").c_str()), 0);
    ASSERT_EQ(::symlink("../a.txt", path("sub/up.txt").c_str()), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("a.txt").c_str(), times, 0), 0);

    FileStat st;
    FsError error;
    ASSERT_TRUE(statPath(path("sub/b.txt"), Links::NoFollow, st, error));
    EXPECT_EQ(st.size, 5);
    EXPECT_EQ(st.nlink, 2u);
    EXPECT_EQ(st.mtimeSec, 1700000000);
    EXPECT_EQ(st.mtimeNsec, 123456789);
    EXPECT_EQ(st.kind(), EntryKind::Regular);

    std::string resolvedRoot, resolved;
    ASSERT_TRUE(realPath(root(), resolvedRoot, error));
    ASSERT_TRUE(realPath(path("sub/up.txt"), resolved, error));
    EXPECT_EQ(resolved, resolvedRoot + "/a.txt");
    EXPECT_TRUE(pathIsInside(resolved, resolvedRoot));
    EXPECT_FALSE(realPath(path("missing"), resolved, error));
    EXPECT_EQ(error.path, path("missing"));

    struct Case
    {
        const char *path;
        const char *root;
        bool inside;
    };
    const Case cases[] = {
        {"/a/b/c", "/a/b", true},  {"/a/b", "/a/b", true},   {"/a/bc", "/a/b", false},
        {"/a/b/c", "/a/b/", true}, {"/x", "/", true},        {"/a", "/a/b", false},
        {"/", "/", true},          {"/a/b2/c", "/a/b", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pathIsInside(c.path, c.root), c.inside) << c.path << " in " << c.root;
}

} // namespace
} // namespace orvane::platform
