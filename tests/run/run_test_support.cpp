#include "tests/run/run_test_support.h"

#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace orvane::test {

TempTree::TempTree()
{
    std::string pattern = (fs::temp_directory_path() / "orvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
}

TempTree::~TempTree()
{
    // Tests take permissions away; give them back so everything can be removed.
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(m_root, error);
}

std::string TempTree::path(std::string_view relative) const
{
    if (relative.empty())
        return m_root;
    return m_root + "/" + std::string(relative);
}

void TempTree::write(std::string_view relative, std::string_view bytes) const
{
    const fs::path target = path(relative);
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + target.string());
}

void TempTree::mkdir(std::string_view relative) const
{
    fs::create_directories(path(relative));
}

std::string TempTree::read(std::string_view relative) const
{
    std::ifstream in(path(relative), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path(relative));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct stat TempTree::stat(std::string_view relative) const
{
    struct stat facts {};
    if (::stat(path(relative).c_str(), &facts) != 0)
        throw std::runtime_error("cannot stat " + path(relative));
    return facts;
}

struct stat TempTree::lstat(std::string_view relative) const
{
    struct stat facts {};
    if (::lstat(path(relative).c_str(), &facts) != 0)
        throw std::runtime_error("cannot lstat " + path(relative));
    return facts;
}

std::vector<std::string> TempTree::listing(std::string_view relative) const
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(path(relative).c_str());
    if (!dir)
        throw std::runtime_error("cannot list " + path(relative));
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

std::vector<std::string> TempTree::allEntries() const
{
    std::vector<std::string> entries;
    for (const auto &entry : fs::recursive_directory_iterator(m_root))
        entries.push_back(fs::relative(entry.path(), m_root).string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

void RecordingSink::clearRows()
{
    events.emplace_back("clear");
    rows.clear();
}

void RecordingSink::addRow(const ResultRow &row)
{
    events.push_back("row " + row.FolderPath + "|" + row.FileName + "|" + row.SizeText + "|"
                     + row.TypeText + "|" + row.DateText);
    rows.push_back(row);
}

void RecordingSink::setPanel1(const std::string &text)
{
    events.push_back("p1 " + text);
    panel1 = text;
}

void RecordingSink::setPanel2(const std::string &text)
{
    events.push_back("p2 " + text);
    panel2 = text;
    ++panel2Updates;
    if (afterPanel2)
        afterPanel2(panel2Updates);
}

void RecordingSink::failure(const RunFailure &failure)
{
    events.push_back("fail " + failure.path + "|" + failure.reason);
    failures.push_back(failure);
}

std::vector<std::string> RecordingSink::visitedPaths() const
{
    std::vector<std::string> paths;
    for (const std::string &event : events) {
        if (event.starts_with("p1 /"))
            paths.push_back(event.substr(3));
    }
    return paths;
}

std::vector<std::string> RecordingSink::summaries() const
{
    std::vector<std::string> texts;
    for (const std::string &event : events) {
        if (event.starts_with("p1 ") && !event.starts_with("p1 /") && event.size() > 3)
            texts.push_back(event.substr(3));
    }
    return texts;
}

std::string FakeFacts::typeDescription(const std::string &path) const
{
    return "type of " + fs::path(path).filename().string();
}

std::string FakeFacts::shortDate(std::int64_t secondsSinceEpoch) const
{
    return std::to_string(secondsSinceEpoch);
}

RunSettings settingsFor(const std::string &root, ActionKind action, std::string find,
                        std::string insert, std::string end)
{
    RunSettings settings;
    settings.Mask = "*.txt,*.htm";
    settings.SearchPath = root;
    settings.IncludeSubfolders = true;
    settings.Action = action;
    settings.FindText = std::move(find);
    settings.InsertText = std::move(insert);
    settings.EndText = std::move(end);
    return settings;
}

} // namespace orvane::test
