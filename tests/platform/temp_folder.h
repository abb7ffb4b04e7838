#pragma once

// A fresh folder per test under $TMPDIR (or /tmp), removed with everything in it afterwards,
// plus the small file helpers the platform tests share.

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace orvane::test {

class TempFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        // Restore permissions a test may have taken away, so everything can be removed.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(m_root, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                ::chmod(it->path().c_str(), 0700);
        }
        std::filesystem::remove_all(m_root, ignored);
    }

    const std::string &root() const { return m_root; }
    std::string path(const std::string &name) const { return m_root + "/" + name; }

    static void writeFile(const std::string &file, const std::string &bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good()) << file;
    }
    static std::string readFile(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Names as readdir gives them, in its order, without . and ..
    static std::vector<std::string> readdirNames(const std::string &folder)
    {
        std::vector<std::string> names;
        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            return names;
        while (dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }

private:
    std::string m_root;
};

} // namespace orvane::test
