// The command line: both parsing stages, then the built program on real trees (its output,
// its messages and its exit statuses).

#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "tests/run/run_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane {
namespace {

using test::TempTree;

cli::RawFlags parseOk(const std::vector<std::string> &arguments)
{
    const cli::ParsedFlags parsed = cli::parseArguments(arguments);
    EXPECT_EQ(parsed.error, "");
    return parsed.flags;
}

TEST(CliArguments, ValuesAreTakenAsTheyStand)
{
    const cli::RawFlags flags = parseOk({"--path", "/a b", "--mask=*.txt", "--find", "--x",
                                         "--text=", "--no-subfolders", "--paths", "--action",
                                         "find", "--end", "a=b", "-0"});
    EXPECT_EQ(flags.path, "/a b");
    EXPECT_EQ(flags.mask, "*.txt");
    EXPECT_EQ(flags.find, "--x"); // a value may begin with dashes
    EXPECT_EQ(flags.text, "");    // given, and empty
    EXPECT_EQ(flags.end, "a=b");
    EXPECT_EQ(flags.action, "find");
    EXPECT_TRUE(flags.noSubfolders);
    EXPECT_TRUE(flags.pathsOnly);
    EXPECT_TRUE(flags.nullTerminated);
    EXPECT_TRUE(parseOk({"--null"}).nullTerminated);
    EXPECT_FALSE(flags.help);
    EXPECT_FALSE(parseOk({}).path.has_value());
    EXPECT_FALSE(parseOk({}).nullTerminated);
}

TEST(CliArguments, MistakesAreNamed)
{
    struct Case
    {
        std::vector<std::string> arguments;
        const char *error;
    } cases[] = {
        {{"--path"}, "--path needs a value"},
        {{"--bogus"}, "unknown option --bogus"},
        {{"stray"}, "unexpected argument stray"},
        {{"--paths=yes"}, "--paths takes no value"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(cli::parseArguments(c.arguments).error, c.error);
}

TEST(CliSettings, SameSettingsAsTheWindow)
{
    cli::RawFlags flags;
    flags.path = "/p";
    flags.find = "f";
    flags.text = "t";
    flags.end = "e";
    struct Case
    {
        const char *action;
        ActionKind kind;
        const char *insert;
        const char *end;
    } cases[] = {
        {nullptr, ActionKind::ReplaceWith, "t", ""}, {"replace", ActionKind::ReplaceWith, "t", ""},
        {"before", ActionKind::InsertBefore, "t", ""}, {"after", ActionKind::InsertAfter, "t", ""},
        {"between", ActionKind::InsertBetween, "t", "e"}, {"delete", ActionKind::Delete, "", ""},
        {"find", ActionKind::JustFind, "", ""},
    };
    for (const Case &c : cases) {
        if (c.action)
            flags.action = c.action;
        const cli::BuiltSettings built = cli::buildSettings(flags);
        EXPECT_EQ(built.error, "");
        const RunSettings &s = built.cli.settings;
        EXPECT_EQ(s.Action, c.kind) << (c.action ? c.action : "default");
        EXPECT_EQ(s.Mask, "*.htm,*.html,*.asp,*.txt");
        EXPECT_EQ(s.SearchPath, "/p");
        EXPECT_TRUE(s.IncludeSubfolders);
        EXPECT_EQ(s.FindText, "f");
        EXPECT_EQ(s.InsertText, c.insert);
        EXPECT_EQ(s.EndText, c.end);
    }
    flags.action = "Replace";
    EXPECT_NE(cli::buildSettings(flags).error.find("unknown action Replace"), std::string::npos);
}

TEST(CliSettings, TextsFromFilesAreTakenByteForByte)
{
    TempTree tree;
    const std::string find("<p>\r\nold\0line", 13);
    tree.write("find.bin", find);
    tree.write("text.bin", "new\n");
    cli::RawFlags flags;
    flags.path = "/p";
    flags.findFile = tree.path("find.bin");
    flags.textFile = tree.path("text.bin");
    cli::BuiltSettings built = cli::buildSettings(flags);
    EXPECT_EQ(built.error, "");
    EXPECT_EQ(built.cli.settings.FindText, find);
    EXPECT_EQ(built.cli.settings.InsertText, "new\n");

    flags.find = "x"; // inline and file together is ambiguous
    EXPECT_EQ(cli::buildSettings(flags).error, "--find and --find-file cannot be given together");
    flags.find.reset();
    flags.textFile = tree.path("missing.bin");
    EXPECT_EQ(cli::buildSettings(flags).error,
              tree.path("missing.bin") + ": No such file or directory");
}

TEST(CliSettings, ValidationComesFirstWithTheWindowsMessages)
{
    cli::RawFlags flags;
    flags.findFile = "/missing/file"; // not read: validation fails before
    EXPECT_EQ(cli::buildSettings(flags).validation, Validation::NoPath);
    flags.mask = "";
    EXPECT_EQ(cli::buildSettings(flags).validation, Validation::NoMask);
    flags.path = "/p";
    EXPECT_EQ(cli::buildSettings(flags).validation, Validation::NoMask);
    flags.mask = " ";
    const cli::BuiltSettings built = cli::buildSettings(flags);
    EXPECT_EQ(built.validation, Validation::Ok);
    EXPECT_NE(built.error, ""); // now the find file is read, and is missing
}

struct CliResult
{
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream stream(out);
        for (std::string line; std::getline(stream, line);)
            result.push_back(line);
        return result;
    }
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs the built program with stdout and stderr captured in files of a scratch folder
// outside the searched tree.
CliResult runCli(const std::vector<std::string> &arguments, bool stdoutToClosedPipe = false)
{
    TempTree scratch;
    const std::string outPath = scratch.path("out");
    const std::string errPath = scratch.path("err");
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(ORVANE_CLI_PATH));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (stdoutToClosedPipe) {
            int ends[2];
            if (::pipe(ends) != 0)
                ::_exit(126);
            ::close(ends[0]); // nobody reads: every write gets EPIPE (as "| head" gives)
            out = ends[1];
        }
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliResult result;
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -100 - WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        result.push_back(line.substr(start, tab - start));
    result.push_back(line.substr(start));
    return result;
}

TEST(CliProgram, ReplaceListsRowsThenTheSummary)
{
    TempTree tree;
    tree.write("a.txt", "one cat");
    tree.write("sub/b.html", "cat");
    tree.write("c.asp", "dog");
    tree.write("d.TXT", "cat"); // the default mask is case-exact
    const CliResult result = runCli({"--path", tree.root(), "--find", "cat", "--text", "fish"});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const auto lines = result.lines();
    ASSERT_EQ(lines.size(), 3u) << result.out;
    // The search path's own files come before its subfolders'.
    const auto a = fields(lines[0]);
    const auto b = fields(lines[1]);
    ASSERT_EQ(a.size(), 5u) << lines[0];
    ASSERT_EQ(b.size(), 5u) << lines[1];
    EXPECT_EQ(a[0], "a.txt");
    EXPECT_EQ(a[1], tree.root());
    EXPECT_EQ(a[2], "1KB");
    EXPECT_NE(a[3], "");
    EXPECT_NE(a[4], "");
    EXPECT_EQ(b[0], "b.html");
    EXPECT_EQ(b[1], tree.path("sub"));
    EXPECT_EQ(lines[2], "Replaced 2 files in 3 files");
    EXPECT_EQ(tree.read("a.txt"), "one fish");
    EXPECT_EQ(tree.read("sub/b.html"), "fish");
    EXPECT_EQ(tree.read("d.TXT"), "cat");
}

TEST(CliProgram, PathsOnlyJustFindAndNoSubfolders)
{
    TempTree tree;
    tree.write("a.txt", "cat");
    tree.write("sub/b.txt", "cat");
    const struct stat before = tree.stat("a.txt");

    CliResult result = runCli({"--path", tree.root(), "--action", "find", "--find", "cat",
                               "--paths", "--mask", "*.txt"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, tree.path("a.txt") + "\n" + tree.path("sub/b.txt")
                              + "\nFound 2 files in 2 files\n");
    EXPECT_EQ(tree.stat("a.txt").st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    result = runCli({"--path", tree.root(), "--action=find", "--find=cat", "--paths",
                     "--no-subfolders"});
    EXPECT_EQ(result.out, tree.path("a.txt") + "\nFound 1 files in 1 files\n");
}

TEST(CliProgram, ExitStatusSaysWhatHappened)
{
    TempTree tree;
    tree.write("a.txt", "cat");
    tree.write("b.txt", "cat");
    ASSERT_EQ(::chmod(tree.path("b.txt").c_str(), 0444), 0);
    struct Case
    {
        const char *name;
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"nothing matched", {"--path", tree.root(), "--find", "zebra"}, 1,
         "Replaced 0 files in 2 files\n", ""},
        {"empty find: the folder is not looked up",
         {"--path", tree.path("missing"), "--find", ""}, 1, "Replaced 0 files in 0 files\n", ""},
        {"no path", {"--find", "cat"}, 2, "", "Please specify any path!\n"},
        {"no mask and no path", {"--mask", ""}, 2, "", "Please specify any mask!\n"},
        {"missing folder", {"--path", tree.path("missing"), "--find", "cat"}, 2,
         "Replaced 0 files in 0 files\n",
         tree.path("missing") + ": No such file or directory\n"},
        {"a file as the folder", {"--path", tree.path("a.txt"), "--find", "cat"}, 2,
         "Replaced 0 files in 0 files\n", tree.path("a.txt") + ": Not a directory\n"},
    };
    for (const Case &c : cases) {
        const CliResult result = runCli(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.err, c.err) << c.name;
    }

    // A failure wins over a match: a.txt is rewritten, the read-only b.txt is reported.
    const CliResult result = runCli({"--path", tree.root(), "--find", "cat", "--text", "dog",
                                     "--paths"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, tree.path("a.txt") + "\nReplaced 1 files in 2 files\n");
    EXPECT_TRUE(result.err.starts_with(tree.path("b.txt") + ": ")) << result.err;
    EXPECT_EQ(tree.read("a.txt"), "dog");
    EXPECT_EQ(tree.read("b.txt"), "cat");
}

// A reader that goes away (as "| head -1" does) must not kill the program between writing
// a temporary file and putting it in place: the run finishes every file.
TEST(CliProgram, AClosedOutputDoesNotCutTheRunShort)
{
    TempTree tree;
    for (int i = 0; i < 50; ++i)
        tree.write("f" + std::to_string(i) + ".txt", "cat");
    const CliResult result =
        runCli({"--path", tree.root(), "--find", "cat", "--text", "dog"}, true);
    EXPECT_EQ(result.status, 0);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(tree.read("f" + std::to_string(i) + ".txt"), "dog") << i;
    EXPECT_EQ(tree.allEntries().size(), 50u); // no temporary file left
}

TEST(CliProgram, UsageErrorsAndHelp)
{
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"--path", "/tmp", "--action", "swap"},
          std::vector<std::string>{"--frobnicate"},
          std::vector<std::string>{"--path", "/tmp", "--find", "a", "--find-file", "/etc/hostname"}}) {
        const CliResult result = runCli(arguments);
        EXPECT_EQ(result.status, 2) << arguments[0];
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
    }
    const CliResult help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *word : {"--path", "--mask", "--no-subfolders", "--action", "--find ",
                             "--text ", "--end ", "--find-file", "--text-file", "--end-file",
                             "--paths", "-0, --null", "SIGHUP", "replace", "before", "after", "between", "delete",
                             "find", "*.htm,*.html,*.asp,*.txt", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

// Names may hold line feeds and tabs: with -0 each record ends with NUL, and standard output
// holds records only (the summary goes to standard error), as "xargs -0" wants.
TEST(CliProgram, NullTerminatedRecords)
{
    TempTree tree;
    tree.write("a\nb.txt", "cat");
    tree.write("s\tub/c.txt", "cat");
    const std::string first = tree.path("a\nb.txt");
    const std::string second = tree.path("s\tub/c.txt");

    CliResult result = runCli({"--path", tree.root(), "--action", "find", "--find", "cat",
                               "--paths", "-0"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, first + '\0' + second + '\0');
    EXPECT_EQ(result.err, "Found 2 files in 2 files\n");

    result = runCli({"--path", tree.root(), "--action", "find", "--find", "cat", "--null"});
    const std::string &out = result.out;
    ASSERT_EQ(std::count(out.begin(), out.end(), '\0'), 2) << out;
    const std::string record = out.substr(0, out.find('\0'));
    EXPECT_TRUE(record.starts_with("a\nb.txt\t" + tree.root() + "\t")) << record;
    EXPECT_EQ(std::count(record.begin(), record.end(), '\t'), 4) << record;
    EXPECT_EQ(result.err, "Found 2 files in 2 files\n");
}

// Ctrl+C, kill and a closed terminal each ask the run to stop, every time: none of them may
// end the program in the middle of a rewrite (a default or reset handler would kill this
// test). A broken pipe is ignored.
TEST(CliSignals, EveryStopSignalStopsTheRunAndNoneKills)
{
    struct sigaction saved[std::size(cli::kStopSignals)];
    struct sigaction savedPipe;
    for (std::size_t i = 0; i < std::size(cli::kStopSignals); ++i)
        sigaction(cli::kStopSignals[i], nullptr, &saved[i]);
    sigaction(SIGPIPE, nullptr, &savedPipe);

    RunState state;
    cli::installStopSignals(state);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (int time = 0; time < 2; ++time) {
            state.Running = true;
            ASSERT_EQ(std::raise(signal), 0);
            EXPECT_FALSE(state.Running) << signal << " time " << time;
        }
    }
    struct sigaction pipeAction;
    sigaction(SIGPIPE, nullptr, &pipeAction);
    EXPECT_EQ(pipeAction.sa_handler, SIG_IGN);

    cli::releaseStopSignals(); // the run is over: a late signal touches nothing
    state.Running = true;
    std::raise(SIGHUP);
    EXPECT_TRUE(state.Running);

    for (std::size_t i = 0; i < std::size(cli::kStopSignals); ++i)
        sigaction(cli::kStopSignals[i], &saved[i], nullptr);
    sigaction(SIGPIPE, &savedPipe, nullptr);
}

TEST(CliProgram, MultiLineTextsFromFiles)
{
    TempTree texts;
    texts.write("start", "<!-- begin -->\r\n");
    texts.write("text", "new\r\nbody\r\n");
    texts.write("end", "<!-- end -->");
    TempTree tree;
    tree.write("page.htm", "head\r\n<!-- begin -->\r\nold\r\n<!-- end -->\r\ntail");
    tree.write("unix.htm", "<!-- begin -->\nold\n<!-- end -->\n"); // lone line feeds
    const CliResult result =
        runCli({"--path", tree.root(), "--action", "between", "--find-file", texts.path("start"),
                "--text-file", texts.path("text"), "--end-file", texts.path("end"), "--paths"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, tree.path("page.htm") + "\nInserted 1 files in 2 files\n");
    EXPECT_EQ(tree.read("page.htm"),
              "head\r\n<!-- begin -->\r\nnew\r\nbody\r\n<!-- end -->\r\ntail");
    EXPECT_EQ(tree.read("unix.htm"), "<!-- begin -->\nold\n<!-- end -->\n");
}

} // namespace
} // namespace orvane
