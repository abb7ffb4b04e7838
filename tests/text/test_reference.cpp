#include "text/text_rewrite.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace orvane;

namespace {

// The rewrites written the slow, literal way: cut the rest, search it from its start, append.
// The engine streams and searches in place; on random texts both must agree byte for byte.

std::int64_t naiveFirst(const std::string &text, const std::string &sought)
{
    for (std::size_t p = 0; p + sought.size() <= text.size(); ++p) {
        if (text.compare(p, sought.size(), sought) == 0)
            return static_cast<std::int64_t>(p) + 1;
    }
    return 0;
}

std::string naiveReplaceAll(const std::string &text, const std::string &find,
                            const std::string &replacement)
{
    std::string output;
    std::string rest = text;
    for (std::int64_t p = naiveFirst(rest, find); p > 0; p = naiveFirst(rest, find)) {
        output += rest.substr(0, p - 1) + replacement;
        rest = rest.substr(p - 1 + find.size());
    }
    return output + rest;
}

std::int64_t naiveLast(const std::string &text, const std::string &sought)
{
    std::string prefix;
    std::string rest = text;
    for (std::int64_t p = naiveFirst(rest, sought); p > 0; p = naiveFirst(rest, sought)) {
        prefix += rest.substr(0, p - 1 + sought.size());
        rest = rest.substr(p - 1 + sought.size());
    }
    return static_cast<std::int64_t>(prefix.size()) - static_cast<std::int64_t>(sought.size()) + 1;
}

bool pairHolds(const std::string &rest, const std::string &find, const std::string &endText)
{
    const std::int64_t s = naiveFirst(rest, find);
    const std::int64_t e = endText.empty() ? 0 : naiveFirst(rest, endText);
    return s > 0 && e > 0 && e > s;
}

ActionResult naiveBetween(const std::string &text, const std::string &find,
                          const std::string &insertText, const std::string &endText)
{
    if (!pairHolds(text, find, endText))
        return { false, text };
    std::string output;
    std::string rest = text;
    while (pairHolds(rest, find, endText)) {
        const std::int64_t s = naiveFirst(rest, find);
        const std::int64_t e = naiveFirst(rest, endText);
        output += rest.substr(0, s - 1) + find + insertText + endText;
        rest = rest.substr(e - 1 + endText.size());
    }
    return { true, output + rest };
}

ActionResult naiveAction(ActionKind action, const std::string &text, const std::string &find,
                         const std::string &insertText, const std::string &endText)
{
    if (action == ActionKind::InsertBetween)
        return naiveBetween(text, find, insertText, endText);
    if (naiveFirst(text, find) == 0)
        return { false, text };
    switch (action) {
    case ActionKind::ReplaceWith:
        return { true, naiveReplaceAll(text, find, insertText) };
    case ActionKind::InsertBefore:
        return { true, naiveReplaceAll(text, find, insertText + find) };
    case ActionKind::InsertAfter:
        return { true, naiveReplaceAll(text, find, find + insertText) };
    case ActionKind::Delete:
        return { true, naiveReplaceAll(text, find, "") };
    default:
        return { true, text };
    }
}

} // namespace

TEST(Reference, RandomTextsAgreeWithLiteralAlgorithm)
{
    std::mt19937 random(7);
    const std::string alphabet = "ab[]";
    auto pick = [&](std::size_t maxSize, std::size_t minSize) {
        std::string s;
        const std::size_t size = minSize + random() % (maxSize - minSize + 1);
        for (std::size_t i = 0; i < size; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    const ActionKind actions[]
        = { ActionKind::ReplaceWith,   ActionKind::InsertBefore, ActionKind::InsertAfter,
            ActionKind::InsertBetween, ActionKind::Delete,       ActionKind::JustFind };
    for (int round = 0; round < 4000; ++round) {
        // long enough for the vector scans, short enough for the naive version
        const std::string text = pick(round % 2 ? 200 : 12, 0);
        const std::string find = pick(3, 1);
        const std::string insertText = pick(3, 0);
        const std::string endText = pick(3, 0);
        ASSERT_EQ(FirstPosition(text, find), naiveFirst(text, find)) << text << " " << find;
        ASSERT_EQ(LastPosition(text, find), naiveLast(text, find)) << text << " " << find;
        ASSERT_EQ(ReplaceAll(text, find, insertText), naiveReplaceAll(text, find, insertText))
            << text << " " << find;
        for (const auto action : actions) {
            const ActionResult expected = naiveAction(action, text, find, insertText, endText);
            const ActionResult result = ApplyAction(action, text, find, insertText, endText);
            ASSERT_EQ(result.matched, expected.matched)
                << static_cast<int>(action) << " '" << text << "' '" << find << "' '" << insertText
                << "' '" << endText << "'";
            ASSERT_EQ(result.newText, expected.newText)
                << static_cast<int>(action) << " '" << text << "' '" << find << "' '" << insertText
                << "' '" << endText << "'";
        }
    }
}
