#pragma once

// Shared by the run and command-line tests: a real temporary folder tree, an independent
// readdir listing to compare walk order against, a sink that records every call in order,
// and file facts whose values the tests can predict.

#include "platform/file_facts.h"
#include "run/batch_run.h"

#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace orvane::test {

class TempTree
{
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    const std::string &root() const { return m_root; }
    std::string path(std::string_view relative) const;
    // Creates the file (and its missing folders) holding exactly these bytes.
    void write(std::string_view relative, std::string_view bytes) const;
    void mkdir(std::string_view relative) const;
    std::string read(std::string_view relative) const;
    struct stat stat(std::string_view relative) const;     // follows links
    struct stat lstat(std::string_view relative) const;
    // Names in the folder, in the order readdir gives them; "." and ".." left out.
    std::vector<std::string> listing(std::string_view relative) const;
    // Every entry of the tree, for checking that nothing was left behind.
    std::vector<std::string> allEntries() const;

private:
    std::string m_root;
};

// One entry per sink call, in order: "clear", "row <folder>|<name>|<size>|<type>|<date>",
// "p1 <text>", "p2 <text>", "fail <path>|<reason>".
class RecordingSink : public RunSink
{
public:
    void clearRows() override;
    void addRow(const ResultRow &row) override;
    void setPanel1(const std::string &text) override;
    void setPanel2(const std::string &text) override;
    void failure(const RunFailure &failure) override;

    std::vector<std::string> events;
    std::vector<ResultRow> rows;
    std::vector<RunFailure> failures;
    std::string panel1;
    std::string panel2;
    // Called after each panel-2 update with the number of updates so far, e.g. to press
    // Stop or Clear from inside the run, as a window's event loop would.
    std::function<void(int)> afterPanel2;
    int panel2Updates = 0;

    // Panel-1 texts that are not summaries: the files visited, in order.
    std::vector<std::string> visitedPaths() const;
    std::vector<std::string> summaries() const;
};

// "type of <name>", the mtime in decimal, and "'" as thousands separator, so tests can
// tell every value in a row apart and check it against the file.
class FakeFacts : public platform::FileFacts
{
public:
    std::string typeDescription(const std::string &path) const override;
    std::string shortDate(std::int64_t secondsSinceEpoch) const override;
    std::string thousandsSeparator() const override { return "'"; }
};

RunSettings settingsFor(const std::string &root, ActionKind action, std::string find,
                        std::string insert = {}, std::string end = {});

} // namespace orvane::test
