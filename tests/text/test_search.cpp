#include "text/exact_search.h"
#include "text/text_rewrite.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace std::string_literals;

using namespace orvane;

namespace {

struct PositionCase
{
    const char *text;
    const char *sought;
    std::int64_t expected;
};

} // namespace

TEST(FirstPosition, Table)
{
    const PositionCase cases[] = {
        { "banana", "an", 2 },
        { "banana", "AN", 0 }, // exact: no case folding
        { "", "a", 0 },
        { "banana", "a", 2 },
        { "banana", "banana", 1 },
        { "banana", "bananas", 0 }, // longer than the text
        { "abcabc", "c", 3 },
        { "xxxxab", "ab", 5 },
        { "aaaab", "aab", 3 },
        { "banana", "", 0 }, // empty sought: never found
    };
    for (const auto &c : cases)
        EXPECT_EQ(FirstPosition(c.text, c.sought), c.expected) << c.text << " / " << c.sought;
}

TEST(LastPosition, Table)
{
    const PositionCase cases[] = {
        { "index.htm", ".", 6 }, { "a.tar.gz", ".", 6 },
        { "README", ".", 0 },    { "abcabc", "bc", 5 },
        { "aaa", "aa", 1 }, // the occurrence at 2 overlaps the one at 1 and is not seen
        { "aaaa", "aa", 3 },     { "aaaaa", "aa", 3 },
        { "xyz", "ab", -1 }, // not found: 1 - length
        { "xyz", "abcd", -3 },   { "", ".", 0 },
        { "", "ab", -1 },        { "abab", "", 0 }, // empty sought: never found
    };
    for (const auto &c : cases)
        EXPECT_EQ(LastPosition(c.text, c.sought), c.expected) << c.text << " / " << c.sought;
}

// The searcher must agree with a plain search from every start offset, also where its
// candidate filter gives way to the linear fallback (small alphabets, long runs).
TEST(ExactSearcher, AgreesWithPlainSearch)
{
    std::mt19937 random(12345);
    const ExactSearcher::Scan scans[]
        = { ExactSearcher::Scan::Best, ExactSearcher::Scan::RareByte,
            ExactSearcher::Scan::BytePair16, ExactSearcher::Scan::BytePair32 };
    const std::string alphabets[] = { "ab", "abc", "a\0b"s.substr(0, 3), "e ", "\xe4\xb8\xad\xff" };
    for (const auto &alphabet : alphabets) {
        for (int round = 0; round < 300; ++round) {
            auto pick = [&](std::size_t size) {
                std::string s;
                for (std::size_t i = 0; i < size; ++i)
                    s += alphabet[random() % alphabet.size()];
                return s;
            };
            const std::string needle = pick(1 + random() % (round < 200 ? 6 : 40));
            const std::string haystack = pick(random() % (round < 200 ? 80 : 3000));
            const std::string_view view(haystack);
            const std::size_t step = haystack.size() > 200 ? 97 : 1;
            for (const auto scan : scans) {
                const ExactSearcher searcher(needle, scan);
                for (std::size_t from = 0; from <= haystack.size() + 1; from += step) {
                    const std::size_t expected
                        = from > view.size() ? std::string_view::npos : view.find(needle, from);
                    ASSERT_EQ(searcher.find(haystack, from), expected)
                        << "needle " << needle << " haystack " << haystack << " from " << from
                        << " scan " << static_cast<int>(scan);
                }
            }
        }
    }
}

TEST(ExactSearcher, EmptyNeedleIsNeverFound)
{
    const ExactSearcher searcher("");
    EXPECT_EQ(searcher.find("abc"), ExactSearcher::npos);
    EXPECT_EQ(searcher.find(""), ExactSearcher::npos);
}

// Not timed: at 1 MB a quadratic search takes minutes, a linear one milliseconds.
TEST(ExactSearcher, AdversarialInputsFinish)
{
    const std::size_t size = 1 << 20;
    const std::size_t npos = ExactSearcher::npos;
    const std::string as(size, 'a');
    const std::string longNeedle = std::string(5000, 'a') + "e";
    std::string runs;
    while (runs.size() < size)
        runs += std::string(4999, 'z') + "y";
    std::string periodic;
    while (periodic.size() < size)
        periodic += "abababababababababac";

    struct Case
    {
        std::string text;
        std::string needle;
        std::size_t expected;
    };
    const Case cases[] = {
        { as + "b", "aab", size - 2 },
        { as, "aab", npos },
        // the needle's rarest byte is the one the text is made of: every byte is a candidate
        { as, longNeedle, npos },
        { as + "e", longNeedle, size - 5000 },
        { as, "e" + std::string(5000, 'a') + "e", npos },
        // every start passes the candidate filter and each compare runs thousands of bytes
        { runs, std::string(5000, 'z'), npos },
        { std::string(size, 'z') + "y", std::string(5000, 'z') + "y", size - 5000 },
        { periodic, std::string(2000, 'a') + "c", npos },
    };
    for (const auto scan : { ExactSearcher::Scan::Best, ExactSearcher::Scan::RareByte,
                             ExactSearcher::Scan::BytePair16, ExactSearcher::Scan::BytePair32 }) {
        for (const auto &c : cases) {
            EXPECT_EQ(ExactSearcher(c.needle, scan).find(c.text), c.expected)
                << c.needle.substr(0, 20) << " scan " << static_cast<int>(scan);
        }
    }
    EXPECT_EQ(LastPosition(as, longNeedle), 1 - static_cast<std::int64_t>(longNeedle.size()));
    EXPECT_EQ(LastPosition(as, "aa"), static_cast<std::int64_t>(size - 1));
    EXPECT_EQ(ReplaceAll(as, "aa", "").size(), 0u);
}
