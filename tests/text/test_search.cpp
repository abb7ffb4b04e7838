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
        {"banana", "an", 2},
        {"banana", "AN", 0},  // exact: no case folding
        {"", "a", 0},
        {"banana", "a", 2},
        {"banana", "banana", 1},
        {"banana", "bananas", 0}, // longer than the text
        {"abcabc", "c", 3},
        {"xxxxab", "ab", 5},
        {"aaaab", "aab", 3},
        {"banana", "", 0}, // empty sought: never found
    };
    for (const auto &c : cases)
        EXPECT_EQ(FirstPosition(c.text, c.sought), c.expected) << c.text << " / " << c.sought;
}

TEST(LastPosition, Table)
{
    const PositionCase cases[] = {
        {"index.htm", ".", 6},
        {"a.tar.gz", ".", 6},
        {"README", ".", 0},
        {"abcabc", "bc", 5},
        {"aaa", "aa", 1},    // the occurrence at 2 overlaps the one at 1 and is not seen
        {"aaaa", "aa", 3},
        {"aaaaa", "aa", 3},
        {"xyz", "ab", -1},   // not found: 1 - length
        {"xyz", "abcd", -3},
        {"", ".", 0},
        {"", "ab", -1},
        {"abab", "", 0},     // empty sought: never found
    };
    for (const auto &c : cases)
        EXPECT_EQ(LastPosition(c.text, c.sought), c.expected) << c.text << " / " << c.sought;
}

// The searcher must agree with a plain search from every start offset, also where its
// candidate filter gives way to the linear fallback (small alphabets, long runs).
TEST(ExactSearcher, AgreesWithPlainSearch)
{
    std::mt19937 random(12345);
    const std::string alphabets[] = {"ab", "abc", "a\0b"s.substr(0, 3), "e ", "\xe4\xb8\xad\xff"};
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
            const ExactSearcher searcher(needle);
            const std::string_view view(haystack);
            const std::size_t step = haystack.size() > 200 ? 97 : 1;
            for (std::size_t from = 0; from <= haystack.size() + 1; from += step) {
                const std::size_t expected = from > view.size() ? std::string_view::npos
                                                                : view.find(needle, from);
                ASSERT_EQ(searcher.find(haystack, from), expected)
                    << "needle " << needle << " haystack " << haystack << " from " << from;
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
    const std::string as(size, 'a');

    EXPECT_EQ(FirstPosition(as + "b", "aab"), static_cast<std::int64_t>(size - 1));
    EXPECT_EQ(FirstPosition(as, "aab"), 0);

    // The needle's rarest byte is the one the text is made of, so every byte is a candidate
    // and each costs a long compare unless the search turns linear.
    const std::string longNeedle = std::string(5000, 'a') + "e";
    EXPECT_EQ(FirstPosition(as, longNeedle), 0);
    EXPECT_EQ(FirstPosition(as + "e", longNeedle), static_cast<std::int64_t>(size + 1 - 5000));
    EXPECT_EQ(FirstPosition(as, "e" + std::string(5000, 'a') + "e"), 0);
    EXPECT_EQ(LastPosition(as, longNeedle), 1 - static_cast<std::int64_t>(longNeedle.size()));

    // Every byte passes the candidate filter and each compare runs thousands of bytes before
    // it fails.
    std::string runs;
    while (runs.size() < size)
        runs += std::string(4999, 'z') + "y";
    EXPECT_EQ(FirstPosition(runs, std::string(5000, 'z')), 0);
    EXPECT_EQ(FirstPosition(std::string(size, 'z') + "y", std::string(5000, 'z') + "y"),
              static_cast<std::int64_t>(size + 1 - 5000));

    std::string periodic;
    while (periodic.size() < size)
        periodic += "abababababababababac";
    const std::string needle = std::string(2000, 'a') + "c";
    EXPECT_EQ(FirstPosition(periodic, needle), 0);
}
