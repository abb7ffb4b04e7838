#include "platform/fault_point.h"
#include "platform/file_system.h"
#include "platform/safe_rewrite.h"

#include "temp_folder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvane::platform {
namespace {

using test::TempFolder;

constexpr std::size_t kBuffer = 4096; // small, so a test file takes several writes

std::string pattern(std::size_t size, int seed)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = char((i * 31 + std::size_t(seed) * 7) % 256);
    return s;
}

struct Stat
{
    ino_t ino;
    mode_t mode;
    uid_t uid;
    gid_t gid;
    nlink_t nlink;
};

Stat lstatOf(const std::string &file)
{
    struct stat st{};
    EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
    return {st.st_ino, st.st_mode, st.st_uid, st.st_gid, st.st_nlink};
}

bool setXattr(const std::string &file, const char *name, const std::string &value)
{
    return ::lsetxattr(file.c_str(), name, value.data(), value.size(), 0) == 0;
}

std::string getXattr(const std::string &file, const char *name)
{
    char value[256];
    const ssize_t n = ::lgetxattr(file.c_str(), name, value, sizeof value);
    return n < 0 ? std::string("<none>") : std::string(value, std::size_t(n));
}

class SafeRewriteTest : public TempFolder
{
protected:
    // Reads `name` and rewrites it with `bytes` in pieces, up to and including install().
    bool rewrite(const std::string &folderPath, const char *name, const std::string &bytes,
                 FsError &error, RewriteMode *mode = nullptr)
    {
        Folder folder;
        if (!folder.open(folderPath, error))
            return false;
        FileReader reader;
        if (!reader.read(folder, name, error))
            return false;
        SafeRewrite writer(kBuffer);
        if (!writer.begin(folder, name, reader, error))
            return false;
        for (std::size_t pos = 0; pos < bytes.size(); pos += 1000)
            writer.append(std::string_view(bytes).substr(pos, 1000));
        const bool ok = writer.finish(error) && writer.install(error);
        if (mode)
            *mode = writer.mode();
        return ok;
    }

    // Everything in a folder but the expected names: leftovers of a rewrite.
    static std::vector<std::string> leftovers(const std::string &folder,
                                              std::vector<std::string> expected)
    {
        auto names = readdirNames(folder);
        std::erase_if(names, [&](const std::string &n) {
            return std::find(expected.begin(), expected.end(), n) != expected.end();
        });
        return names;
    }
};

TEST_F(SafeRewriteTest, RenameKeepsModeOwnerAndXattrs)
{
    const bool xattrs = [&] {
        writeFile(path("probe"), "");
        return setXattr(path("probe"), "user.probe", "1");
    }();
    ::unlink(path("probe").c_str());

    const mode_t modes[] = {0644, 0600, 04755, 0620, 0200};
    for (mode_t mode : modes) {
        SCOPED_TRACE(mode);
        const std::string file = path("doc.html");
        writeFile(file, pattern(10000, 1));
        ASSERT_EQ(::chown(file.c_str(), 1234, 2345), 0);
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        if (xattrs) {
            ASSERT_TRUE(setXattr(file, "user.charset", "utf-8"));
            ASSERT_TRUE(setXattr(file, "user.empty", ""));
        }
        const Stat before = lstatOf(file);

        FsError error;
        RewriteMode how{};
        ASSERT_TRUE(rewrite(root(), "doc.html", pattern(15000, 2), error, &how)) << error.reason;
        EXPECT_EQ(how, RewriteMode::Rename);
        EXPECT_EQ(readFile(file), pattern(15000, 2));
        const Stat after = lstatOf(file);
        EXPECT_NE(after.ino, before.ino); // a new file took the name
        EXPECT_EQ(after.mode, before.mode);
        EXPECT_EQ(after.uid, 1234u);
        EXPECT_EQ(after.gid, 2345u);
        if (xattrs) {
            EXPECT_EQ(getXattr(file, "user.charset"), "utf-8");
            EXPECT_EQ(getXattr(file, "user.empty"), "");
        }
        EXPECT_EQ(leftovers(root(), {"doc.html"}), std::vector<std::string>{});
        ::unlink(file.c_str());
    }
    if (!xattrs)
        GTEST_SKIP() << "this file system keeps no user.* attributes; mode and owner checked";
}

TEST_F(SafeRewriteTest, HardLinkedFileIsRewrittenInPlace)
{
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0755), 0);
    struct Case
    {
        const char *label;
        std::size_t oldSize, newSize;
    };
    const Case cases[] = {
        {"grows", 5000, 20000},
        {"shrinks", 20000, 300},
        {"to empty", 5000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string file = path("page.htm");
        writeFile(file, pattern(c.oldSize, 1));
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        ASSERT_EQ(::link(file.c_str(), path("sub/other.htm").c_str()), 0);
        const Stat before = lstatOf(file);

        FsError error;
        RewriteMode how{};
        ASSERT_TRUE(rewrite(root(), "page.htm", pattern(c.newSize, 2), error, &how))
            << error.reason;
        EXPECT_EQ(how, RewriteMode::InPlace);
        EXPECT_EQ(readFile(path("sub/other.htm")), pattern(c.newSize, 2));
        const Stat after = lstatOf(file);
        EXPECT_EQ(after.ino, before.ino);
        EXPECT_EQ(after.nlink, 2u);
        EXPECT_EQ(after.mode, before.mode);
        EXPECT_EQ(leftovers(root(), {"page.htm", "sub"}), std::vector<std::string>{});
        ::unlink(file.c_str());
        ::unlink(path("sub/other.htm").c_str());
    }
}

TEST_F(SafeRewriteTest, OwnerThatCannotBeSetMeansInPlace)
{
    // What a user who is not root meets with a file owned by someone else: chown is refused.
    const std::string file = path("theirs.txt");
    writeFile(file, "old text");
    const Stat before = lstatOf(file);
    FsError error;
    RewriteMode how{};
    {
        FailDevice fail(FaultOp::Chown, 1, EPERM);
        ASSERT_TRUE(rewrite(root(), "theirs.txt", "new text", error, &how)) << error.reason;
    }
    EXPECT_EQ(how, RewriteMode::InPlace);
    EXPECT_EQ(readFile(file), "new text");
    EXPECT_EQ(lstatOf(file).ino, before.ino);
    EXPECT_EQ(leftovers(root(), {"theirs.txt"}), std::vector<std::string>{});
}

// Every failing step, at every call of it, leaves the original byte for byte and no file
// beside it. The same with a hard-linked original (in-place path).
TEST_F(SafeRewriteTest, AnyFailureLeavesOriginalIntact)
{
    const bool xattrs = [&] {
        writeFile(path("probe"), "");
        return setXattr(path("probe"), "user.probe", "1");
    }();
    ::unlink(path("probe").c_str());

    struct Scenario
    {
        const char *label;
        bool hardLink;
    };
    const Scenario scenarios[] = {
        {"rename", false},
        {"in place", true},
    };
    const FaultOp ops[] = {FaultOp::OpenWrite, FaultOp::Write,    FaultOp::Sync,
                           FaultOp::Rename,    FaultOp::Chown,    FaultOp::Chmod,
                           FaultOp::SetXattr,  FaultOp::Truncate, FaultOp::Allocate,
                           FaultOp::Read};
    const std::string original = pattern(9000, 1);
    const std::string replacement = pattern(14000, 2);
    int cases = 0;
    for (const auto &s : scenarios) {
        for (FaultOp op : ops) {
            // How many calls of op a clean rewrite makes; fail each in turn.
            int count = 0;
            for (int nth = 0; nth <= count; ++nth) {
                const std::string dir = path(std::string("case") + std::to_string(cases++));
                ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
                const std::string file = dir + "/doc.txt";
                writeFile(file, original);
                std::vector<std::string> names = {"doc.txt"};
                if (s.hardLink) {
                    ASSERT_EQ(::link(file.c_str(), (dir + "/link.txt").c_str()), 0);
                    names.push_back("link.txt");
                }
                if (xattrs) {
                    ASSERT_TRUE(setXattr(file, "user.keep", "me"));
                }
                const Stat before = lstatOf(file);

                FsError error;
                bool ok;
                {
                    FailDevice fail(op, nth, EIO);
                    ok = rewrite(dir, "doc.txt", replacement, error);
                    if (nth == 0)
                        count = fail.calls(op);
                }
                const std::string trace = std::string(s.label) + ", op "
                                          + std::to_string(int(op)) + ", call "
                                          + std::to_string(nth);
                if (nth == 0) {
                    ASSERT_TRUE(ok) << trace << ": " << error.reason;
                    EXPECT_EQ(readFile(file), replacement) << trace;
                } else {
                    EXPECT_FALSE(ok) << trace;
                    EXPECT_EQ(error.path, file) << trace;
                    EXPECT_EQ(error.reason.rfind(std::strerror(EIO), 0), 0u)
                        << trace << ": " << error.reason;
                    EXPECT_EQ(readFile(file), original) << trace;
                    EXPECT_EQ(lstatOf(file).ino, before.ino) << trace;
                    if (xattrs) {
                        EXPECT_EQ(getXattr(file, "user.keep"), "me") << trace;
                    }
                }
                EXPECT_EQ(leftovers(dir, names), std::vector<std::string>{}) << trace;
            }
        }
    }
}

TEST_F(SafeRewriteTest, DiskFullDuringInPlaceWriteKeepsTheSafetyCopy)
{
    const std::string file = path("doc.txt");
    const std::string original = pattern(9000, 1);
    writeFile(file, original);
    ASSERT_EQ(::link(file.c_str(), path("link.txt").c_str()), 0);

    // Count the writes of a clean run on a copy, then fill the disk during the overwrite
    // (after temporary file and safety copy) and keep it full: the original cannot be
    // restored, and the report must say where its content is.
    int writes = 0;
    {
        ASSERT_EQ(::mkdir(path("probe").c_str(), 0755), 0);
        writeFile(path("probe/doc.txt"), original);
        ASSERT_EQ(::link(path("probe/doc.txt").c_str(), path("probe/link.txt").c_str()), 0);
        FailDevice count(FaultOp::Write, 0, 0);
        FsError error;
        ASSERT_TRUE(rewrite(path("probe"), "doc.txt", pattern(14000, 2), error));
        writes = count.calls(FaultOp::Write);
    }
    // The overwrite copies 14000 bytes in 4096-byte pieces: the last 4 writes. Fail from the
    // second on, so part of the original is already overwritten.
    const int overwriteStart = writes - 4;
    FsError error;
    {
        FailDevice fail(FaultOp::Write, overwriteStart + 2, ENOSPC, true);
        EXPECT_FALSE(rewrite(root(), "doc.txt", pattern(14000, 2), error));
    }
    EXPECT_EQ(error.path, file);
    EXPECT_NE(error.reason.find(std::strerror(ENOSPC)), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("could not be restored"), std::string::npos) << error.reason;
    const auto kept = leftovers(root(), {"doc.txt", "link.txt", "probe"});
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(error.reason.find(kept[0]), std::string::npos) << error.reason;
    EXPECT_EQ(readFile(path(kept[0])), original);
}

TEST_F(SafeRewriteTest, FileChangedSinceReadIsNotClobbered)
{
    struct Case
    {
        const char *label;
        bool hardLink;
        void (*change)(const std::string &file);
    };
    const Case cases[] = {
        {"appended", false,
         [](const std::string &file) { TempFolder::writeFile(file, "old text, and more"); }},
        {"same size, new mtime", false,
         [](const std::string &file) {
             TempFolder::writeFile(file, "OLD TEXT");
             struct timespec t[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
             ::utimensat(AT_FDCWD, file.c_str(), t, 0);
         }},
        {"replaced, same size and mtime", false,
         [](const std::string &file) {
             struct stat st;
             ::stat(file.c_str(), &st);
             const std::string other = file + ".new";
             TempFolder::writeFile(other, "OLD TEXT");
             struct timespec t[2] = {{0, UTIME_OMIT}, st.st_mtim};
             ::utimensat(AT_FDCWD, other.c_str(), t, 0);
             ::rename(other.c_str(), file.c_str());
         }},
        {"in place, appended", true,
         [](const std::string &file) { TempFolder::writeFile(file, "old text, and more"); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string file = path("doc.txt");
        writeFile(file, "old text");
        struct timespec t[2] = {{0, UTIME_OMIT}, {1600000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), t, 0), 0);
        std::vector<std::string> names = {"doc.txt"};
        if (c.hardLink) {
            ASSERT_EQ(::link(file.c_str(), path("link.txt").c_str()), 0);
            names.push_back("link.txt");
        }

        Folder folder;
        FsError error;
        ASSERT_TRUE(folder.open(root(), error));
        FileReader reader;
        ASSERT_TRUE(reader.read(folder, "doc.txt", error));
        SafeRewrite writer(kBuffer);
        ASSERT_TRUE(writer.begin(folder, "doc.txt", reader, error)) << error.reason;
        writer.append("new text");
        const std::string theirs = (c.change(file), readFile(file));
        EXPECT_FALSE(writer.finish(error) && writer.install(error));
        EXPECT_EQ(error.path, file);
        EXPECT_EQ(error.reason, "changed since it was read: not rewritten");
        EXPECT_EQ(readFile(file), theirs);
        EXPECT_EQ(leftovers(root(), names), std::vector<std::string>{});
        ::unlink(file.c_str());
        ::unlink(path("link.txt").c_str());
    }
}

TEST_F(SafeRewriteTest, ReadOnlyFilesAndLinksAreRefusedBeforeAnyWrite)
{
    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    // Root may write anything; the mode bits still say the user wants the file kept.
    for (mode_t mode : {0444, 0555, 0044, 0000}) {
        SCOPED_TRACE(mode);
        const std::string file = path("locked.txt");
        writeFile(file, "keep me");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        FileReader reader;
        ASSERT_TRUE(reader.read(folder, "locked.txt", error)) << error.reason;
        SafeRewrite writer(kBuffer);
        error.clear();
        EXPECT_FALSE(writer.begin(folder, "locked.txt", reader, error));
        EXPECT_EQ(error.path, file);
        EXPECT_EQ(error.reason, "read-only file (no write permission)");
        EXPECT_FALSE(writer.active());
        EXPECT_EQ(readFile(file), "keep me");
        EXPECT_EQ(leftovers(root(), {"locked.txt"}), std::vector<std::string>{});
        ::unlink(file.c_str());
    }

    // A link read through must not be replaced by a regular file: the target is rewritten
    // where it lies.
    writeFile(path("target.txt"), "target");
    ASSERT_EQ(::symlink("target.txt", path("link.txt").c_str()), 0);
    FileReader reader;
    ASSERT_TRUE(reader.read(folder, "link.txt", error, Links::Follow));
    SafeRewrite writer(kBuffer);
    error.clear();
    EXPECT_FALSE(writer.begin(folder, "link.txt", reader, error));
    EXPECT_EQ(error.reason, "is a symbolic link: rewrite the file it points to");
    EXPECT_EQ(lstatOf(path("link.txt")).mode & S_IFMT, mode_t(S_IFLNK));
    EXPECT_EQ(leftovers(root(), {"target.txt", "link.txt"}), std::vector<std::string>{});
}

// How the run's worker threads use the layer: the rewrite writes through the thread's own
// buffer and takes the reader's descriptor; once finished, the thread reuses the buffer for
// its next file while the install is still to come, and after a rename the replaced
// original's descriptor goes to whichever thread is to free it.
TEST_F(SafeRewriteTest, LentBufferAndTakenDescriptorAsTheWorkersUseThem)
{
    for (const bool hardLink : {false, true}) {
        SCOPED_TRACE(hardLink ? "in place" : "rename");
        const std::string file = path("doc.txt");
        const std::string before = pattern(20000, 1);
        const std::string after = pattern(15000, 2);
        writeFile(file, before);
        if (hardLink) {
            ASSERT_EQ(::link(file.c_str(), path("link.txt").c_str()), 0);
        }

        Folder folder;
        FsError error;
        ASSERT_TRUE(folder.open(root(), error));
        FileReader reader;
        ASSERT_TRUE(reader.read(folder, "doc.txt", error)) << error.reason;
        SafeRewrite writer(kBuffer);
        std::vector<char> lent(kBuffer);
        writer.lendBuffer(lent.data(), lent.size());
        ASSERT_TRUE(writer.begin(folder, "doc.txt", reader, error, SafeRewrite::Original::Take))
            << error.reason;
        EXPECT_FALSE(reader.isOpen());
        EXPECT_EQ(reader.content(), before); // still there to stream from
        for (std::size_t pos = 0; pos < after.size(); pos += 1000)
            writer.append(std::string_view(after).substr(pos, 1000));
        ASSERT_TRUE(writer.finish(error)) << error.reason;
        std::fill(lent.begin(), lent.end(), 'X'); // the thread's next file
        EXPECT_EQ(writer.takeReplacedFd(), -1);   // nothing replaced yet
        ASSERT_TRUE(writer.install(error)) << error.reason;

        EXPECT_EQ(readFile(file), after);
        const int replaced = writer.takeReplacedFd();
        if (hardLink) {
            EXPECT_EQ(writer.mode(), RewriteMode::InPlace);
            EXPECT_EQ(replaced, -1); // the same file, rewritten: nothing to free
            EXPECT_EQ(readFile(path("link.txt")), after);
        } else {
            ASSERT_GE(replaced, 0);
            struct stat st{};
            ASSERT_EQ(::fstat(replaced, &st), 0);
            EXPECT_EQ(st.st_nlink, 0u); // the old file, no longer named
            EXPECT_EQ(std::size_t(st.st_size), before.size());
            ::close(replaced);
            EXPECT_EQ(writer.takeReplacedFd(), -1);
        }
        EXPECT_EQ(leftovers(root(), hardLink ? std::vector<std::string>{"doc.txt", "link.txt"}
                                             : std::vector<std::string>{"doc.txt"}),
                  std::vector<std::string>{});
        ::unlink(file.c_str());
        ::unlink(path("link.txt").c_str());
    }
}

// How a fast run uses the layer: one reader goes from file to file while the rewrites of a
// folder stay pending, then all are synced, renamed, and the folder synced once.
TEST_F(SafeRewriteTest, PendingRewritesOfAFolderShareOneFolderSync)
{
    const std::vector<std::string> names = {
        "with space.htm", "new\nline.html", "bad\xff\xfe utf8.txt", "caf\xc3\xa9.asp",
        std::string(250, 'n') + ".txt", // near NAME_MAX: the temporary name must still fit
        "linked.txt",                   // hard-linked: in place, its safety copy from disk
    };
    for (const auto &name : names)
        writeFile(path(name), "before " + name);
    ASSERT_EQ(::link(path("linked.txt").c_str(), path("second link").c_str()), 0);

    Folder folder;
    FsError error;
    ASSERT_TRUE(folder.open(root(), error));
    FileReader reader;
    std::vector<std::unique_ptr<SafeRewrite>> writers;
    for (const auto &name : names) {
        ASSERT_TRUE(reader.read(folder, name.c_str(), error)) << error.reason;
        auto &writer = writers.emplace_back(std::make_unique<SafeRewrite>(kBuffer));
        ASSERT_TRUE(writer->begin(folder, name.c_str(), reader, error)) << error.reason;
        writer->append("after ");
        writer->append(reader.content().substr(7));
        ASSERT_TRUE(writer->startSync(error));
    }
    reader.close();
    for (auto &writer : writers)
        ASSERT_TRUE(writer->finish(error)) << error.reason;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(writers[i]->install(error)) << error.reason;
        EXPECT_EQ(writers[i]->written(), 6 + names[i].size());
    }
    EXPECT_EQ(writers.back()->mode(), RewriteMode::InPlace);
    ASSERT_TRUE(syncFolder(folder, error));
    for (const auto &name : names)
        EXPECT_EQ(readFile(path(name)), "after " + name);
    EXPECT_EQ(readFile(path("second link")), "after linked.txt");
    auto expected = names;
    expected.push_back("second link");
    EXPECT_EQ(leftovers(root(), expected), std::vector<std::string>{});

    FailDevice fail(FaultOp::Sync, 1, EIO);
    EXPECT_FALSE(syncFolder(folder, error));
    EXPECT_EQ(error.path, root());
    EXPECT_EQ(error.reason, std::strerror(EIO));
}

} // namespace
} // namespace orvane::platform
