#include "platform/qt_file_facts.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QMimeDatabase>

#include <thread>
#include <vector>

namespace orvane::platform {
namespace {

TEST(QtFileFactsTest, TypeComesFromTheNameWithoutOpeningTheFile)
{
    QtFileFacts facts;
    const QMimeDatabase db;
    struct Case
    {
        const char *path;
        const char *mimeType;
    };
    const Case cases[] = {
        {"/no/such/folder/page.html", "text/html"},
        {"/no/such/folder/PAGE.HTM", "text/html"},
        {"/x/notes.txt", "text/plain"},
        {"/x/bad\xff name.txt", "text/plain"},
        {"/x/archive.tar.gz", "application/x-compressed-tar"},
        {"/x/data.gz", "application/gzip"},
        {"/x/no-extension", "application/octet-stream"},
    };
    for (int round = 0; round < 2; ++round) { // the second round is answered from the cache
        for (const auto &c : cases) {
            const std::string expected = db.mimeTypeForName(c.mimeType).comment().toStdString();
            ASSERT_FALSE(expected.empty()) << c.mimeType;
            EXPECT_EQ(facts.typeDescription(c.path), expected) << c.path;
        }
    }
}

// The cache answers by the name's part from its first dot; names that a pattern looking at
// the rest matches must still get their own type, whatever was asked before them.
TEST(QtFileFactsTest, CachedTypesEqualTheDatabaseForEveryName)
{
    QtFileFacts facts;
    const QMimeDatabase db;
    const char *names[] = {
        "notes.txt",   "CMakeLists.txt", "cmakelists.txt", "README.txt",  "readme",
        "other",       "Makefile",       "Makefile.in",    "x.in",        "makefile.am",
        "lib.so.1",    "x.1",            "a.1.gz",         "page.html",   "page.HTML",
        "file.C",      "file.c",         "backup.txt~",    "backup~",     "123.vdr",
        "abc.vdr",     ".hidden.txt",    "core",           "core.txt",    "a.tar.gz",
        "b.gz",        "meson.build",    "x.build",        "jquery-1.2.min.js",
    };
    for (int round = 0; round < 2; ++round) {
        for (const char *name : names) {
            const std::string expected
                = db.mimeTypeForFile(QString::fromUtf8(name), QMimeDatabase::MatchExtension)
                      .comment()
                      .toStdString();
            EXPECT_EQ(facts.typeDescription(std::string("/some/folder/") + name), expected)
                << name;
        }
    }
}

TEST(QtFileFactsTest, ShortDateAndSeparatorFollowTheSystemLocale)
{
    QtFileFacts facts;
    const QLocale locale = QLocale::system();
    const qint64 noon = QDateTime(QDate(2024, 2, 29), QTime(12, 0)).toSecsSinceEpoch();
    const std::string expected = locale.toString(QDate(2024, 2, 29), QLocale::ShortFormat)
                                     .toStdString();
    EXPECT_EQ(facts.shortDate(noon), expected);
    EXPECT_EQ(facts.shortDate(noon + 3600), expected); // the same day
    EXPECT_NE(facts.shortDate(noon + 86400), expected);
    EXPECT_EQ(facts.shortDate(noon), expected);
    EXPECT_EQ(facts.thousandsSeparator(), locale.groupSeparator().toStdString());

    // The run asks from its worker thread while the window may ask too.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&facts, t, noon] {
            for (int i = 0; i < 200; ++i) {
                facts.typeDescription(i % 2 ? "a.html" : "b.txt");
                facts.shortDate(noon + (t + i) * 86400);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
}

} // namespace
} // namespace orvane::platform
