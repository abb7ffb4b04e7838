// The folder walk over real temporary trees: order, summaries, Stop and Clear, what is and
// is not written, links, special files and failures.

#include "platform/fault_point.h"
#include "run/batch_run.h"
#include "run/file_pipeline.h"
#include "tests/run/run_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvane {
namespace {

using test::FakeFacts;
using test::RecordingSink;
using test::TempTree;

bool isFolder(const TempTree &tree, const std::string &relative)
{
    return S_ISDIR(tree.lstat(relative).st_mode);
}

std::string join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

// What the walk must report, worked out independently from readdir and the file contents:
// files before subfolders, depth first, a summary closing every folder, and after a Stop
// the exact wind-down (no summary from a folder stopped before a further file of its own).
struct ExpectedRun
{
    ExpectedRun(const TempTree &t, RunSettings s, std::set<std::string> extensions,
                int stopAfter = -1)
        : tree(t)
        , settings(std::move(s))
        , maskExtensions(std::move(extensions))
        , stopAfterFiles(stopAfter)
    {}

    const TempTree &tree;
    RunSettings settings;
    std::set<std::string> maskExtensions;
    int stopAfterFiles;

    std::vector<std::string> events;
    std::set<std::string> changedFiles; // relative paths
    std::int64_t changed = 0;
    std::int64_t scanned = 0;
    int visited = 0;
    bool running = true;

    bool passesMask(const std::string &name) const
    {
        const auto dot = name.rfind('.');
        return dot != std::string::npos && maskExtensions.count(name.substr(dot));
    }

    void walk(const std::string &relative)
    {
        const std::vector<std::string> names = tree.listing(relative);
        for (const std::string &name : names) {
            const std::string child = join(relative, name);
            if (isFolder(tree, child))
                continue;
            if (!running)
                return;
            if (passesMask(name)) {
                ++scanned;
                if (tree.read(child).find(settings.FindText) != std::string::npos) {
                    events.push_back("row " + tree.path(relative) + "|" + name);
                    changedFiles.insert(child);
                    ++changed;
                }
            }
            events.push_back("p1 " + tree.path(child));
            events.push_back("p2 " + std::to_string(changed));
            if (++visited == stopAfterFiles)
                running = false;
        }
        if (settings.IncludeSubfolders) {
            for (const std::string &name : names) {
                if (isFolder(tree, join(relative, name)))
                    walk(join(relative, name));
            }
        }
        events.push_back("p1 " + SummaryText(settings.Action, changed, scanned));
        events.push_back("p2 " + std::to_string(changed));
    }
};

// Rows reduced to folder and name, so they compare with the expected run.
std::vector<std::string> shortEvents(const RecordingSink &sink)
{
    std::vector<std::string> events;
    for (const std::string &event : sink.events) {
        if (event.starts_with("row ")) {
            const auto first = event.find('|');
            events.push_back(event.substr(0, event.find('|', first + 1)));
        } else if (event != "clear") {
            events.push_back(event);
        }
    }
    return events;
}

void makeNestedTree(const TempTree &tree)
{
    tree.write("a.txt", "one cat");
    tree.write("b.htm", "a dog");
    tree.write("c.dat", "cat, but the mask leaves it alone");
    tree.write("d.txt", "");
    tree.write("s1/e.txt", "cat cat");
    tree.write("s1/deep/f.htm", "a cat");
    tree.write("s1/deep/g.txt", "none");
    tree.write("s2/inner/h.txt", "cat"); // s2 holds no file of its own
    tree.write("s3/i.txt", "cat");
    tree.mkdir("empty");
}

const char *const kNestedFiles[] = {"a.txt",         "b.htm",         "c.dat",
                                    "d.txt",         "s1/e.txt",      "s1/deep/f.htm",
                                    "s1/deep/g.txt", "s2/inner/h.txt", "s3/i.txt"};

std::string replaced(std::string text)
{
    for (std::size_t at = 0; (at = text.find("cat", at)) != std::string::npos; at += 3)
        text.replace(at, 3, "dog");
    return text;
}

TEST(FolderWalk, FilesBeforeSubfoldersDepthFirstWithASummaryPerFolder)
{
    for (const bool subfolders : {true, false}) {
        SCOPED_TRACE(subfolders ? "with subfolders" : "without subfolders");
        TempTree tree;
        makeNestedTree(tree);
        RunSettings settings = test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog");
        settings.IncludeSubfolders = subfolders;

        ExpectedRun expected{tree, settings, {".txt", ".htm"}};
        expected.walk("");

        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        ExecuteRun(settings, state, sink, facts);

        ASSERT_FALSE(sink.events.empty());
        EXPECT_EQ(sink.events.front(), "clear");
        EXPECT_EQ(shortEvents(sink), expected.events);
        EXPECT_TRUE(sink.failures.empty());
        EXPECT_EQ(state.ChangedCount, expected.changed);
        EXPECT_EQ(state.ScannedCount, expected.scanned);
        EXPECT_EQ(sink.panel1, subfolders ? "Replaced 5 files in 8 files"
                                          : "Replaced 1 files in 3 files");
        EXPECT_EQ(sink.panel2, subfolders ? "5" : "1");
        EXPECT_EQ(tree.read("a.txt"), "one dog");
        EXPECT_EQ(tree.read("c.dat"), "cat, but the mask leaves it alone");
        EXPECT_EQ(tree.read("s1/e.txt"), subfolders ? "dog dog" : "cat cat");
        EXPECT_EQ(tree.read("s2/inner/h.txt"), subfolders ? "dog" : "cat");
    }
}

// Runs the walk and presses Stop after the stopAfter-th file it visits (never when negative).
static void runStoppingAfter(const RunSettings &settings, int stopAfter, RunState &state,
                             RecordingSink &sink)
{
    int filesSeen = 0;
    sink.afterPanel2 = [&](int) {
        if (sink.panel1.starts_with("/") && ++filesSeen == stopAfter)
            StopRun(state);
    };
    FakeFacts facts;
    ExecuteRun(settings, state, sink, facts);
}

// Stop pressed after each possible file: inside the search path's own files, inside a
// subfolder, inside a folder reached through a folder without files. Every case must
// wind down exactly like the expected run, and nothing may be touched after the Stop.
TEST(FolderWalk, StopAfterEachFileWindsDownExactly)
{
    const int fileCount = static_cast<int>(std::size(kNestedFiles));
    for (int stopAfter = 1; stopAfter <= fileCount; ++stopAfter) {
        SCOPED_TRACE("stop after file " + std::to_string(stopAfter));
        TempTree tree;
        makeNestedTree(tree);
        const RunSettings settings =
            test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog");
        ExpectedRun expected{tree, settings, {".txt", ".htm"}, stopAfter};
        expected.walk("");
        std::map<std::string, std::string> before;
        for (const char *file : kNestedFiles)
            before[file] = tree.read(file);

        RunState state;
        RecordingSink sink;
        runStoppingAfter(settings, stopAfter, state, sink);

        EXPECT_EQ(shortEvents(sink), expected.events);
        EXPECT_FALSE(state.Running);
        EXPECT_EQ(state.ChangedCount, expected.changed);
        for (const char *file : kNestedFiles) {
            const bool changed = expected.changedFiles.count(file) > 0;
            EXPECT_EQ(tree.read(file), changed ? replaced(before[file]) : before[file]) << file;
        }
    }
}

// More folders than the walk lists ahead, nested and side by side, some empty or holding
// only subfolders: the order, the summaries and the wind-down after a Stop are those of the
// sequential walk, and no file after the Stop is written.
TEST(FolderWalk, ManyFoldersListedAheadKeepTheWalkOrder)
{
    const auto makeTree = [](const TempTree &tree, std::vector<std::string> &files) {
        int n = 0;
        const auto add = [&](const std::string &folder, int count) {
            for (int i = 0; i < count; ++i, ++n) {
                files.push_back(join(folder, "f" + std::to_string(n) + ".txt"));
                tree.write(files.back(), n % 2 ? "a cat" : "a dog");
            }
        };
        add("", 2);
        for (int t = 0; t < 6; ++t) {
            const std::string top = "t" + std::to_string(t);
            add(top, t % 3);
            for (int u = 0; u < 5; ++u)
                add(top + "/u" + std::to_string(u), (t + u) % 4);
            add(top + "/u1/v/w/x", 3);
            tree.mkdir(top + "/u2/empty");
        }
    };
    std::vector<std::string> files;
    {
        TempTree sizing;
        makeTree(sizing, files);
    }
    const int fileCount = static_cast<int>(files.size());
    for (int stopAfter : {-1, 1, 2, 3, 17, fileCount / 2, fileCount - 1}) {
        SCOPED_TRACE("stop after file " + std::to_string(stopAfter));
        TempTree tree;
        files.clear();
        makeTree(tree, files);
        const RunSettings settings =
            test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog");
        ExpectedRun expected{tree, settings, {".txt"}, stopAfter};
        expected.walk("");

        RunState state;
        RecordingSink sink;
        runStoppingAfter(settings, stopAfter, state, sink);

        EXPECT_EQ(shortEvents(sink), expected.events);
        EXPECT_EQ(state.ChangedCount, expected.changed);
        EXPECT_EQ(state.ScannedCount, expected.scanned);
        EXPECT_TRUE(sink.failures.empty());
        // File n held "a cat" when n is odd; only those the walk reached were rewritten.
        for (std::size_t n = 0; n < files.size(); ++n)
            EXPECT_EQ(tree.read(files[n]),
                      n % 2 && !expected.changedFiles.count(files[n]) ? "a cat" : "a dog")
                << files[n];
    }
}

TEST(FolderWalk, StopInTheSearchPathsOwnFilesLeavesTheLastPathShown)
{
    TempTree tree;
    tree.write("one.txt", "cat");
    tree.write("two.txt", "cat");
    tree.write("sub/three.txt", "cat");
    RunState state;
    RecordingSink sink;
    sink.afterPanel2 = [&](int updates) {
        if (updates == 1)
            StopRun(state);
    };
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);

    ASSERT_EQ(sink.visitedPaths().size(), 1u);
    EXPECT_EQ(sink.panel1, sink.visitedPaths().front());
    EXPECT_EQ(sink.panel2, "1");
    EXPECT_TRUE(sink.summaries().empty());
    EXPECT_EQ(tree.read("sub/three.txt"), "cat");
    EXPECT_EQ(state.ScannedCount, 1);
}

// After a Stop the disk goes quiet: the workers finish at most the file each has in hand,
// and folders the walk still enters (the search path has no files of its own, so its
// further subfolders are entered) give them nothing to prepare.
TEST(FolderWalk, StopLeavesTheWorkersNothingNewToWrite)
{
    TempTree tree;
    for (int folder = 0; folder < 10; ++folder) {
        for (int file = 0; file < 40; ++file)
            tree.write("f" + std::to_string(folder) + "/" + std::to_string(file) + ".txt", "cat");
    }
    RunState state;
    RecordingSink sink;
    platform::FailDevice writes(platform::FaultOp::OpenWrite, 1000000, EIO); // counts only
    int writesAtStop = -1;
    sink.afterPanel2 = [&](int) {
        if (writesAtStop < 0 && sink.panel1.starts_with("/")) {
            StopRun(state);
            writesAtStop = writes.calls(platform::FaultOp::OpenWrite);
        }
    };
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);

    ASSERT_GE(writesAtStop, 0);
    EXPECT_LE(writes.calls(platform::FaultOp::OpenWrite) - writesAtStop,
              static_cast<int>(FilePipeline::defaultWorkers(true)));
    EXPECT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(tree.allEntries().size(), 410u); // no temporary file left behind
}

// A front end begins the run on its own thread and walks on another: a Stop between the two
// holds, and the walk reads and writes nothing.
TEST(FolderWalk, StopBeforeTheWalkStartsReadsAndWritesNothing)
{
    TempTree tree;
    tree.write("one.txt", "cat");
    tree.write("sub/two.txt", "cat");
    RunState state;
    RecordingSink sink;
    platform::FailDevice reads(platform::FaultOp::OpenRead, 1000000, EIO); // counts only
    BeginRun(state, sink);
    StopRun(state);
    FakeFacts facts;
    std::thread walker([&] {
        WalkRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
                sink, facts);
    });
    walker.join();

    EXPECT_FALSE(state.Running);
    EXPECT_EQ(reads.calls(platform::FaultOp::OpenRead), 0);
    EXPECT_EQ(reads.calls(platform::FaultOp::OpenWrite), 0);
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_EQ(tree.read("one.txt"), "cat");
    EXPECT_EQ(tree.read("sub/two.txt"), "cat");
}

// Temporary files and safety copies left behind by a crash are not the user's files: a run
// with a mask that takes them in neither edits nor lists them. Names that merely look alike
// are ordinary files.
TEST(FolderWalk, LeftoverTemporaryFilesAndSafetyCopiesAreLeftAlone)
{
    TempTree tree;
    const std::vector<std::string> leftovers = {".page.htm.orvane-ab12cd34.tmp",
                                                "sub/.a.txt.orvane-0000zzzz.orig"};
    const std::vector<std::string> lookAlikes = {"page.htm.orvane-ab12cd34.tmp",
                                                 ".page.htm.orvane-ab12cd3.tmp",
                                                 ".page.htm.orvane-AB12CD34.tmp",
                                                 ".orvane-ab12cd34.tmp"};
    for (const std::string &name : leftovers)
        tree.write(name, "cat");
    for (const std::string &name : lookAlikes)
        tree.write(name, "cat");
    std::vector<struct stat> before;
    for (const std::string &name : leftovers)
        before.push_back(tree.stat(name));

    for (const char *mask : {"*.*", "*.tmp"}) {
        SCOPED_TRACE(mask);
        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        RunSettings settings = test::settingsFor(tree.root(), ActionKind::InsertAfter, "cat", "!");
        settings.Mask = mask;
        ExecuteRun(settings, state, sink, facts);
        std::set<std::string> listed;
        for (const ResultRow &row : sink.rows)
            listed.insert(row.FileName);
        EXPECT_EQ(listed.size(), lookAlikes.size());
        for (std::size_t i = 0; i < leftovers.size(); ++i) {
            const std::string base = leftovers[i].substr(leftovers[i].rfind('/') + 1);
            EXPECT_EQ(listed.count(base), 0u) << base;
            EXPECT_EQ(tree.read(leftovers[i]), "cat") << leftovers[i];
            EXPECT_EQ(tree.stat(leftovers[i]).st_ino, before[i].st_ino);
            EXPECT_EQ(tree.stat(leftovers[i]).st_mtim.tv_nsec, before[i].st_mtim.tv_nsec);
        }
    }
    for (const std::string &name : lookAlikes)
        EXPECT_EQ(tree.read(name), "cat!!") << name; // edited by both runs
}

TEST(FolderWalk, ClearDuringARunEmptiesTheListAndTheRunGoesOn)
{
    TempTree tree;
    for (const char *name : {"1.txt", "2.txt", "3.txt", "4.txt"})
        tree.write(name, "cat");
    RunState state;
    RecordingSink sink;
    sink.afterPanel2 = [&](int updates) {
        if (updates == 2)
            ClearResults(sink);
    };
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);

    const std::vector<std::string> clearAt = {"clear", "p1 ", "p2 "};
    const auto it = std::search(sink.events.begin() + 1, sink.events.end(), clearAt.begin(),
                                clearAt.end());
    ASSERT_NE(it, sink.events.end());
    EXPECT_EQ(sink.rows.size(), 2u); // the rows added after the Clear
    EXPECT_EQ(sink.panel1, "Replaced 4 files in 4 files");
    EXPECT_EQ(sink.panel2, "4");
}

TEST(FolderWalk, EmptyFindTextGoesStraightToTheSummary)
{
    for (const ActionKind action : {ActionKind::ReplaceWith, ActionKind::JustFind}) {
        RunState state;
        state.ChangedCount = 7;
        state.ScannedCount = 9;
        RecordingSink sink;
        FakeFacts facts;
        // The folder does not exist: it is not even looked up, so no failure.
        ExecuteRun(test::settingsFor("/nonexistent/orvane/folder", action, ""), state, sink,
                   facts);
        const std::string word = action == ActionKind::JustFind ? "Found" : "Replaced";
        EXPECT_EQ(sink.events, (std::vector<std::string>{"clear", "p1 " + word + " 0 files in 0 files",
                                                         "p2 0"}));
        EXPECT_TRUE(state.Running); // only Stop clears it
    }
}

TEST(FolderWalk, UnmatchedFilesAreNotWrittenMatchedOnesAreEvenWhenUnchanged)
{
    TempTree tree;
    tree.write("plain.txt", "nothing to see");
    tree.write("empty.txt", "");
    tree.write("same.txt", "cat");
    const struct stat plainBefore = tree.stat("plain.txt");
    const struct stat emptyBefore = tree.stat("empty.txt");
    const struct stat sameBefore = tree.stat("same.txt");

    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    // Counts the opens for writing; none is made to fail.
    platform::FailDevice writes(platform::FaultOp::OpenWrite, 1000000, EIO);
    RecordingSink noMatchSink;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "zebra", "cat"), state,
               noMatchSink, facts);
    EXPECT_EQ(writes.calls(platform::FaultOp::OpenWrite), 0);
    EXPECT_EQ(noMatchSink.panel1, "Replaced 0 files in 3 files");
    // Replacing "cat" with "cat" changes no byte, but the user asked for the rewrite.
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "cat"), state,
               sink, facts);
    EXPECT_GE(writes.calls(platform::FaultOp::OpenWrite), 1); // same.txt only

    for (const auto &[name, before] :
         {std::pair{"plain.txt", plainBefore}, std::pair{"empty.txt", emptyBefore}}) {
        const struct stat after = tree.stat(name);
        EXPECT_EQ(after.st_ino, before.st_ino) << name;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << name;
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << name;
    }
    const struct stat sameAfter = tree.stat("same.txt");
    EXPECT_TRUE(sameAfter.st_ino != sameBefore.st_ino
                || sameAfter.st_mtim.tv_nsec != sameBefore.st_mtim.tv_nsec
                || sameAfter.st_mtim.tv_sec != sameBefore.st_mtim.tv_sec);
    EXPECT_EQ(tree.read("same.txt"), "cat");
    ASSERT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(sink.rows[0].FileName, "same.txt");
    EXPECT_EQ(sink.panel1, "Replaced 1 files in 3 files");
    // No temporary file is left behind.
    EXPECT_EQ(tree.allEntries(), (std::vector<std::string>{"empty.txt", "plain.txt", "same.txt"}));
}

// Work done ahead holds descriptors (a prepared rewrite two, a folder listed ahead one):
// with few allowed, the run must do less ahead, never fail a file for want of one.
TEST(FolderWalk, FewDescriptorsAllowedStillRewriteEveryFile)
{
    TempTree tree;
    constexpr int kFolders = 20;
    constexpr int kFiles = 40;
    for (int f = 0; f < kFolders; ++f) {
        for (int i = 0; i < kFiles; ++i)
            tree.write("d" + std::to_string(f) + "/f" + std::to_string(i) + ".txt", "a cat");
    }
    // In a child process: a lowered hard limit cannot be raised again.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit low{160, 160};
        if (::setrlimit(RLIMIT_NOFILE, &low) != 0)
            ::_exit(3);
        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
                   sink, facts);
        if (!sink.failures.empty())
            ::_exit(1);
        for (int f = 0; f < kFolders; ++f) {
            for (int i = 0; i < kFiles; ++i) {
                if (tree.read("d" + std::to_string(f) + "/f" + std::to_string(i) + ".txt")
                    != "a dog")
                    ::_exit(2);
            }
        }
        ::_exit(sink.rows.size() == std::size_t(kFolders * kFiles) ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a file failed, 2: a file not rewritten, "
                                         "3: no lower limit, 4: rows missing";
}

TEST(FolderWalk, JustFindListsAndCountsButWritesNothing)
{
    TempTree tree;
    tree.write("hit.txt", std::string(1500, 'x') + "cat");
    tree.write("sub/hit.htm", "cat");
    tree.write("miss.txt", "dog");
    const struct stat before = tree.stat("hit.txt");
    ::chmod(tree.path("sub/hit.htm").c_str(), 0444); // read-only files are fine to search

    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    platform::FailDevice writes(platform::FaultOp::OpenWrite, 1000000, EIO);
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::JustFind, "cat"), state, sink, facts);
    EXPECT_EQ(writes.calls(platform::FaultOp::OpenWrite), 0);

    const struct stat after = tree.stat("hit.txt");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(tree.read("sub/hit.htm"), "cat");
    EXPECT_TRUE(sink.failures.empty());
    EXPECT_EQ(sink.panel1, "Found 2 files in 3 files");
    ASSERT_EQ(sink.rows.size(), 2u);
    const ResultRow &row = sink.rows[0].FileName == "hit.txt" ? sink.rows[0] : sink.rows[1];
    EXPECT_EQ(row.FolderPath, tree.root());
    EXPECT_EQ(row.SizeText, "2KB");
    EXPECT_EQ(row.TypeText, "type of hit.txt");
    EXPECT_EQ(row.DateText, std::to_string(before.st_mtim.tv_sec));
}

TEST(FolderWalk, RowsAreReadAfterTheWrite)
{
    TempTree tree;
    tree.write("grow.txt", std::string(999, 'x') + "cat"); // 1,002 bytes -> 1,004
    tree.write("gone.txt", "dogdogdog");                   // emptied by Delete
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, tree.path("grow.txt").c_str(), old, 0);

    for (const auto &[action, find, file, size] :
         {std::tuple{ActionKind::ReplaceWith, "cat", "grow.txt", "2KB"},
          std::tuple{ActionKind::Delete, "dog", "gone.txt", "1KB"}}) {
        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        RunSettings settings = test::settingsFor(tree.root(), action, find,
                                                 action == ActionKind::Delete ? "" : "fish");
        settings.Mask = "*.txt";
        ExecuteRun(settings, state, sink, facts);
        EXPECT_TRUE(sink.failures.empty())
            << sink.failures[0].path << ": " << sink.failures[0].reason;
        const auto row = std::find_if(sink.rows.begin(), sink.rows.end(),
                                      [&](const ResultRow &r) { return r.FileName == file; });
        ASSERT_NE(row, sink.rows.end()) << file;
        EXPECT_EQ(row->SizeText, size) << file;
        EXPECT_EQ(row->DateText, std::to_string(tree.stat(file).st_mtim.tv_sec)) << file;
        EXPECT_NE(row->DateText, "1000000000") << file;
    }
    EXPECT_EQ(tree.read("gone.txt"), "");
    EXPECT_EQ(tree.read("grow.txt").size(), 1003u);
}

TEST(FolderWalk, FifoSocketAndDeviceNamesAreSkippedWithoutHanging)
{
    TempTree tree;
    tree.write("before.txt", "cat");
    ASSERT_EQ(::mkfifo(tree.path("pipe.txt").c_str(), 0644), 0);
    tree.write("sub/after.txt", "cat");
    ASSERT_EQ(::mkfifo(tree.path("sub/pipe.htm").c_str(), 0644), 0);

    // Should the walk ever open a FIFO, a writer turns up and lets it go, so the failure
    // shows as a wrong count instead of a test that never ends.
    std::atomic<bool> done{false};
    std::thread rescuer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (const char *fifo : {"pipe.txt", "sub/pipe.htm"}) {
                const int fd = ::open(tree.path(fifo).c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
        }
    });

    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);
    done = true;
    rescuer.join();

    EXPECT_EQ(sink.panel1, "Replaced 2 files in 2 files");
    EXPECT_TRUE(sink.failures.empty());
    EXPECT_TRUE(S_ISFIFO(tree.lstat("pipe.txt").st_mode));
    const auto paths = sink.visitedPaths();
    EXPECT_NE(std::find(paths.begin(), paths.end(), tree.path("pipe.txt")), paths.end());
}

TEST(FolderWalk, EachFileIsHandledOnceWhateverLinksReachIt)
{
    TempTree tree;
    TempTree outside;
    tree.write("a.txt", "cat");
    ASSERT_EQ(::link(tree.path("a.txt").c_str(), tree.path("hard.txt").c_str()), 0);
    ASSERT_EQ(::symlink("a.txt", tree.path("soft.txt").c_str()), 0);
    tree.write("sub/c.txt", "cat");
    ASSERT_EQ(::symlink("sub", tree.path("folderlink").c_str()), 0);
    tree.mkdir("sub2");
    ASSERT_EQ(::symlink("../sub/c.txt", tree.path("sub2/toc.txt").c_str()), 0);
    outside.write("far.txt", "cat");
    ASSERT_EQ(::symlink(outside.path("far.txt").c_str(), tree.path("far.txt").c_str()), 0);
    ASSERT_EQ(::symlink("missing.txt", tree.path("dangling.txt").c_str()), 0);

    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::InsertBefore, "cat", "big "), state,
               sink, facts);

    EXPECT_TRUE(sink.failures.empty());
    // One insertion each, however many names lead to the file.
    EXPECT_EQ(tree.read("a.txt"), "big cat");
    EXPECT_EQ(tree.read("sub/c.txt"), "big cat");
    EXPECT_EQ(outside.read("far.txt"), "cat"); // outside the search path: not followed
    EXPECT_EQ(sink.panel1, "Inserted 2 files in 2 files");
    // The links are still what they were.
    EXPECT_EQ(tree.stat("a.txt").st_ino, tree.stat("hard.txt").st_ino);
    EXPECT_TRUE(S_ISLNK(tree.lstat("soft.txt").st_mode));
    EXPECT_TRUE(S_ISLNK(tree.lstat("sub2/toc.txt").st_mode));
    EXPECT_TRUE(S_ISLNK(tree.lstat("folderlink").st_mode));
    // The folder link was not walked: nothing under it shows up.
    for (const std::string &path : sink.visitedPaths())
        EXPECT_EQ(path.find("/folderlink/"), std::string::npos) << path;
}

TEST(FolderWalk, NamesAreBytes)
{
    TempTree tree;
    const std::string name = "with space\nnewline \xff\xfe.txt";
    tree.write(name, "cat");
    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);
    ASSERT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(sink.rows[0].FileName, name);
    EXPECT_EQ(tree.read(name), "dog");
}

TEST(FolderWalk, AMissingOrNonFolderSearchPathIsAReportedFailure)
{
    TempTree tree;
    tree.write("file.txt", "cat");
    for (const std::string &path : {tree.path("missing"), tree.path("file.txt")}) {
        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        ExecuteRun(test::settingsFor(path, ActionKind::ReplaceWith, "cat", "dog"), state, sink,
                   facts);
        ASSERT_EQ(sink.failures.size(), 1u) << path;
        EXPECT_EQ(sink.failures[0].path, path);
        EXPECT_FALSE(sink.failures[0].reason.empty());
        EXPECT_EQ(sink.panel1, "Replaced 0 files in 0 files");
    }
    EXPECT_EQ(tree.read("file.txt"), "cat");
}

TEST(FolderWalk, ARelativeSearchPathIsShownInFull)
{
    TempTree tree;
    tree.write("sub/a.txt", "cat");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(tree.root().c_str()), 0);
    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    ExecuteRun(test::settingsFor("./sub/", ActionKind::JustFind, "cat"), state, sink, facts);
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(sink.rows[0].FolderPath, tree.path("sub"));
}

// Failures of single files are reported with path and reason, and the run goes on.
TEST(FolderWalk, AFailingFileIsReportedAndTheRunGoesOn)
{
    struct Case
    {
        const char *name;
        platform::FaultOp op;
        int error;
    } cases[] = {
        {"read fails", platform::FaultOp::OpenRead, EIO},
        {"disk full", platform::FaultOp::Write, ENOSPC},
        {"sync fails", platform::FaultOp::Sync, EIO},
        {"rename fails", platform::FaultOp::Rename, EXDEV},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempTree tree;
        tree.write("a.txt", "cat a");
        tree.write("b.txt", "cat b");
        tree.write("c.txt", "cat c");
        RunState state;
        RecordingSink sink;
        FakeFacts facts;
        {
            platform::FailDevice device(c.op, 1, c.error);
            ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"),
                       state, sink, facts);
        }
        ASSERT_EQ(sink.failures.size(), 1u);
        const std::string failed = sink.failures[0].path;
        EXPECT_TRUE(sink.failures[0].reason.starts_with(std::strerror(c.error)))
            << sink.failures[0].reason;
        int rewritten = 0;
        for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
            const std::string text = tree.read(name);
            if (tree.path(name) == failed) {
                EXPECT_TRUE(text.starts_with("cat")) << "the failed file is untouched";
            } else {
                EXPECT_TRUE(text.starts_with("dog")) << name;
                ++rewritten;
            }
        }
        EXPECT_EQ(rewritten, 2);
        EXPECT_EQ(sink.rows.size(), 2u);
        EXPECT_EQ(state.ChangedCount, 2);
        EXPECT_EQ(tree.allEntries(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    }
}

TEST(FolderWalk, AFolderThatCannotBeListedIsReportedAndTheOthersAreWalked)
{
    TempTree tree;
    tree.write("top.txt", "cat");
    tree.write("one/a.txt", "cat");
    tree.write("two/b.txt", "cat");
    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    {
        // A small folder takes two reads of its entries (the second one finds the end):
        // the third read is the first subfolder's.
        platform::FailDevice device(platform::FaultOp::Listing, 3, EIO);
        ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
                   sink, facts);
    }
    ASSERT_EQ(sink.failures.size(), 1u);
    const std::string failed = sink.failures[0].path;
    EXPECT_TRUE(failed == tree.path("one") || failed == tree.path("two")) << failed;
    EXPECT_EQ(sink.failures[0].reason, std::strerror(EIO));
    const bool oneFailed = failed == tree.path("one");
    EXPECT_EQ(tree.read("one/a.txt"), oneFailed ? "cat" : "dog");
    EXPECT_EQ(tree.read("two/b.txt"), oneFailed ? "dog" : "cat");
    EXPECT_EQ(tree.read("top.txt"), "dog");
    EXPECT_EQ(sink.panel1, "Replaced 2 files in 2 files");
}

TEST(FolderWalk, AReadOnlyFileIsRefusedNotRewritten)
{
    TempTree tree;
    tree.write("locked.txt", "cat");
    tree.write("open.txt", "cat");
    ASSERT_EQ(::chmod(tree.path("locked.txt").c_str(), 0444), 0);
    RunState state;
    RecordingSink sink;
    FakeFacts facts;
    ExecuteRun(test::settingsFor(tree.root(), ActionKind::ReplaceWith, "cat", "dog"), state,
               sink, facts);
    ASSERT_EQ(sink.failures.size(), 1u);
    EXPECT_EQ(sink.failures[0].path, tree.path("locked.txt"));
    EXPECT_EQ(tree.read("locked.txt"), "cat");
    EXPECT_EQ(tree.read("open.txt"), "dog");
    EXPECT_EQ(sink.panel1, "Replaced 1 files in 2 files");
}

} // namespace
} // namespace orvane
