#include "text/text_rewrite.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

struct MaskCase
{
    const char *fileName;
    const char *mask;
    bool expected;
    const char *why;
};

} // namespace

TEST(MaskMatches, Table)
{
    const MaskCase cases[] = {
        { "index.htm", "*.htm,*.html", true, "entry followed by a comma" },
        { "index.html", "*.htm,*.html", true, "last entry" },
        { "index.html", "*.htm", false, "an entry matches only a whole extension" },
        { "INDEX.HTM", "*.htm", false, "case counts" },
        { "a.ASP", "*.htm,*.html,*.asp,*.txt", false, "case counts" },
        { "a.asp", "*.htm,*.html,*.asp,*.txt", true, "preset" },
        { "a.b.txt", "*.txt", true, "the last dot starts the extension" },
        { ".txt", "*.txt", true, "the name is its own extension" },
        { "txt", "*.txt", true, "no dot: the name is tested whole" },
        { "xt", "*.txt", true, "no dot: the name is tested whole" },
        { "t", "*.txt", true, "no dot: the name is tested whole" },
        { "Makefile", "*.txt", false, "tested whole, not found" },
        { "a.xt", "*.txt", false, "the extension keeps its dot" },
        { "a.tar.gz", "*.tar.gz", true, "extension is .gz" },
        { "b.gz", "*.tar.gz", true, "extension is .gz" },
        { "x.htm", ".htm", true, "no star needed" },
        { "x.htm", "abc.htm", true, "what stands before the dot plays no part" },
        { "a.txt", "*.htm, *.txt", true, "a space after a comma is harmless" },
        { "a.htm", "*.htm ,*.txt", false, "a space before a comma spoils the entry" },
        { "a.txt", "*.txt ", false, "a trailing space spoils the last entry" },
        { "README", "*.*", true, "exactly *.* passes every name" },
        { "a.htm", "*.*,*.txt", false, "inside a longer mask *.* is an ordinary entry" },
        { "a.txt", " *.*", false, "not exactly *.*" },
        { "a.txt", "*", false, "a lone star passes nothing" },
        { "a.txt", "", false, "an empty mask passes nothing" },
        { "a.", "*.", true, "a bare dot is an extension too" },
        { "\xe6\x96\x87.\xe6\x96\x87", "*.\xe6\x96\x87", true, "UTF-8 extension" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(MaskMatches(c.fileName, c.mask), c.expected)
            << "'" << c.fileName << "' with '" << c.mask << "': " << c.why;
}
