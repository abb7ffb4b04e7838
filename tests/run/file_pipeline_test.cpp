// Work done ahead of the walk on other threads: results come back in the order the files
// were added, whatever thread did them; work dropped at a Stop leaves no temporary file and
// no original changed; and a whole run over more files than the window of work ahead gives
// exactly the rows, counts and files a sequential walk gives.

#include "platform/fault_point.h"
#include "run/descriptor_closer.h"
#include "run/file_pipeline.h"
#include "tests/run/run_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>

namespace orvane {
namespace {

using test::TempTree;

// File i holds the find text when i is a multiple of 3; its content names it.
std::string contentOf(int i)
{
    return "file " + std::to_string(i) + (i % 3 == 0 ? " cat" : " dog");
}

struct Folders
{
    std::vector<platform::Folder> folders;
    std::vector<std::vector<std::string>> names;
    std::vector<std::vector<const char *>> pointers;
};

// `count` files in each of `folders` folders, named in the order they are added.
Folders makeFolders(TempTree &tree, int folders, int count)
{
    Folders made;
    made.folders.resize(std::size_t(folders));
    made.names.resize(std::size_t(folders));
    made.pointers.resize(std::size_t(folders));
    for (int f = 0; f < folders; ++f) {
        const std::string dir = "d" + std::to_string(f);
        tree.mkdir(dir);
        for (int i = 0; i < count; ++i) {
            const int n = f * count + i;
            made.names[std::size_t(f)].push_back("f" + std::to_string(n) + ".txt");
            tree.write(dir + "/" + made.names[std::size_t(f)].back(), contentOf(n));
        }
        platform::FsError error;
        EXPECT_TRUE(made.folders[std::size_t(f)].open(tree.path(dir), error)) << error.reason;
        for (const std::string &name : made.names[std::size_t(f)])
            made.pointers[std::size_t(f)].push_back(name.c_str());
    }
    return made;
}

// The descriptors of replaced originals, handed over as the walk installs files: each one
// is closed, by the time the closer is gone, however many threads close them.
TEST(DescriptorCloser, ClosesEveryDescriptorHandedOverBeforeItIsGone)
{
    for (const unsigned threads : {0u, 1u, 8u}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        TempTree tree;
        std::vector<int> fds;
        {
            DescriptorCloser closer(threads);
            for (int i = 0; i < 200; ++i) {
                const std::string name = "old" + std::to_string(i) + ".txt";
                tree.write(name, std::string(5000, 'x'));
                const int fd = ::open(tree.path(name).c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(::unlink(tree.path(name).c_str()), 0); // as a rename over it would
                fds.push_back(fd);
                closer.close(fd);
            }
        }
        for (const int fd : fds) {
            EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << fd;
            EXPECT_EQ(errno, EBADF);
        }
        EXPECT_TRUE(tree.allEntries().empty());
    }
}

TEST(FilePipeline, ResultsComeInTheOrderAddedAcrossFoldersAndThreads)
{
    // Windows smaller and larger than a folder, with and without workers.
    for (const auto &[workers, window] : {std::pair{0u, 4}, std::pair{3u, 4}, std::pair{8u, 64}}) {
        SCOPED_TRACE("workers " + std::to_string(workers) + ", window " + std::to_string(window));
        TempTree tree;
        Folders made = makeFolders(tree, 3, 40);
        const ActionRewriter rewriter(ActionKind::ReplaceWith, "cat", "fish", {});
        FilePipeline pipeline(rewriter, true, workers, std::size_t(window));
        for (std::size_t f = 0; f < made.folders.size(); ++f)
            pipeline.add(made.folders[f], made.pointers[f]);

        int n = 0;
        for (std::size_t f = 0; f < made.folders.size(); ++f) {
            for (std::size_t i = 0; i < made.pointers[f].size(); ++i, ++n) {
                FilePipeline::Slot &slot = pipeline.take();
                ASSERT_TRUE(slot.readOk) << slot.error.reason;
                EXPECT_EQ(slot.stat.size, std::int64_t(contentOf(n).size()));
                EXPECT_EQ(slot.matched, n % 3 == 0) << n;
                EXPECT_EQ(slot.prepared, n % 3 == 0) << n;
                // Install every other matched file, as a walk that took them would.
                if (slot.prepared && n % 2 == 0) {
                    platform::FsError error;
                    ASSERT_TRUE(slot.rewrite.install(error)) << error.reason;
                }
            }
        }
        pipeline.release();
        EXPECT_EQ(pipeline.pending(), 0u);

        n = 0;
        for (std::size_t f = 0; f < made.folders.size(); ++f) {
            const std::string dir = "d" + std::to_string(f) + "/";
            for (const std::string &name : made.names[f]) {
                const bool installed = n % 3 == 0 && n % 2 == 0;
                EXPECT_EQ(tree.read(dir + name),
                          installed ? "file " + std::to_string(n) + " fish" : contentOf(n))
                    << name;
                ++n;
            }
            // Prepared but not installed: its temporary file is gone with the slot.
            EXPECT_EQ(tree.listing(dir).size(), made.names[f].size());
        }
    }
}

TEST(FilePipeline, ResetDropsWorkDoneAheadWithoutTouchingAnyFile)
{
    TempTree tree;
    Folders made = makeFolders(tree, 2, 30);
    const ActionRewriter rewriter(ActionKind::ReplaceWith, "cat", "fish", {});
    {
        FilePipeline pipeline(rewriter, true, 4, 16);
        for (std::size_t f = 0; f < made.folders.size(); ++f)
            pipeline.add(made.folders[f], made.pointers[f]);
        for (int i = 0; i < 5; ++i)
            pipeline.take(); // taken, never installed
        pipeline.reset();
        EXPECT_EQ(pipeline.pending(), 0u);
        // After a reset the pipeline serves the next folder as new.
        pipeline.add(made.folders[1], made.pointers[1]);
        FilePipeline::Slot &slot = pipeline.take();
        EXPECT_TRUE(slot.readOk);
        EXPECT_EQ(slot.matched, 30 % 3 == 0);
    } // destroyed with work still queued
    int n = 0;
    for (std::size_t f = 0; f < made.folders.size(); ++f) {
        const std::string dir = "d" + std::to_string(f) + "/";
        EXPECT_EQ(tree.listing(dir).size(), made.names[f].size()) << "no temporary file left";
        for (const std::string &name : made.names[f])
            EXPECT_EQ(tree.read(dir + name), contentOf(n++)) << name;
    }
}

// A tree larger than the window of work ahead, in folders of many files and folders of
// none, so work runs ahead across folder ends.
void makeWideTree(TempTree &tree)
{
    int n = 0;
    for (const char *dir : {"", "a/", "a/b/", "a/b/c/", "d/", "e/f/", "e/g/"}) {
        const int count = std::string(dir).size() % 4 == 0 ? 90 : 7;
        for (int i = 0; i < count; ++i, ++n)
            tree.write(std::string(dir) + "f" + std::to_string(n) + ".txt", contentOf(n));
    }
    tree.mkdir("empty/inner");
}

TEST(FilePipeline, AWholeRunGivesTheSequentialRowsCountsAndFiles)
{
    TempTree tree;
    makeWideTree(tree);
    const std::vector<std::string> before = tree.allEntries();
    std::vector<std::string> texts;
    for (const std::string &entry : before)
        if (entry.ends_with(".txt"))
            texts.push_back(tree.read(entry));

    RunState state;
    test::RecordingSink sink;
    test::FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "fish"), state,
               sink, facts);

    // Every row is a file that held the find text, in the order the walk visited them.
    const std::vector<std::string> visited = sink.visitedPaths();
    std::vector<std::string> expectedRows;
    for (const std::string &path : visited) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const int n = std::stoi(name.substr(1));
        if (n % 3 == 0)
            expectedRows.push_back(path);
    }
    std::vector<std::string> rows;
    for (const ResultRow &row : sink.rows)
        rows.push_back(row.FolderPath + "/" + row.FileName);
    EXPECT_EQ(rows, expectedRows);
    EXPECT_EQ(state.ChangedCount, std::int64_t(expectedRows.size()));
    EXPECT_EQ(state.ScannedCount, std::int64_t(visited.size()));
    EXPECT_EQ(tree.allEntries(), before);
    EXPECT_TRUE(sink.failures.empty());
}

TEST(FilePipeline, StopAnywhereInAWideTreeLeavesEveryLaterFileUntouched)
{
    for (int stopAfter : {1, 6, 63, 64, 65, 91, 97, 100, 150}) {
        SCOPED_TRACE("stop after " + std::to_string(stopAfter));
        TempTree tree;
        makeWideTree(tree);
        const std::vector<std::string> before = tree.allEntries();

        RunState state;
        test::RecordingSink sink;
        int visited = 0;
        sink.afterPanel2 = [&](int) {
            if (sink.panel1.starts_with("/") && ++visited == stopAfter)
                StopRun(state);
        };
        test::FakeFacts facts;
        ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "fish"),
                   state, sink, facts);

        // Exactly the files visited before Stop were handled; no later one was written,
        // listed or counted, and no temporary file of the work done ahead is left.
        const std::vector<std::string> paths = sink.visitedPaths();
        ASSERT_EQ(paths.size(), std::size_t(stopAfter));
        const std::set<std::string> reached(paths.begin(), paths.end());
        std::int64_t matched = 0;
        for (const std::string &entry : before) {
            if (!entry.ends_with(".txt"))
                continue;
            const std::string name = entry.substr(entry.rfind('/') + 1);
            const int n = std::stoi(name.substr(1));
            const bool changed = reached.count(tree.path(entry)) && n % 3 == 0;
            matched += changed;
            EXPECT_EQ(tree.read(entry),
                      changed ? "file " + std::to_string(n) + " fish" : contentOf(n))
                << entry;
        }
        EXPECT_EQ(state.ChangedCount, matched);
        EXPECT_EQ(std::int64_t(sink.rows.size()), matched);
        EXPECT_EQ(state.ScannedCount, stopAfter);
        EXPECT_EQ(tree.allEntries(), before);
    }
}

// A rewrite finished for a batched sync is never renamed into place before it is durable:
// when nobody confirmed the batch, install() syncs the file itself, and a failing sync there
// leaves the original as it was.
TEST(FilePipeline, ARewriteLeftForABatchedSyncIsSyncedBeforeItsRename)
{
    TempTree tree;
    tree.write("a.txt", "cat");
    platform::FsError error;
    platform::Folder folder;
    ASSERT_TRUE(folder.open(tree.root(), error));
    for (const bool failing : {true, false}) {
        SCOPED_TRACE(failing ? "sync fails" : "sync works");
        platform::FileReader reader;
        ASSERT_TRUE(reader.read(folder, "a.txt", error)) << error.reason;
        platform::SafeRewrite rewrite;
        ASSERT_TRUE(rewrite.begin(folder, "a.txt", reader, error)) << error.reason;
        rewrite.append("dog");
        ASSERT_TRUE(rewrite.finish(error, platform::SyncMode::Later)) << error.reason;
        reader.close();
        platform::FailDevice device(platform::FaultOp::Sync, failing ? 1 : 1000, EIO);
        EXPECT_EQ(rewrite.install(error), !failing);
        EXPECT_EQ(device.calls(platform::FaultOp::Sync), 1) << "the install synced the file";
        EXPECT_EQ(tree.read("a.txt"), failing ? "cat" : "dog");
        EXPECT_EQ(tree.allEntries(), std::vector<std::string>{"a.txt"});
        error.clear();
    }
}

} // namespace
} // namespace orvane
