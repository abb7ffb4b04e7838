#include "text/text_rewrite.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvane;

namespace {

struct ReplaceCase
{
    const char *text;
    const char *find;
    const char *replacement;
    const char *expected;
};

struct ActionCase
{
    ActionKind action;
    const char *text;
    const char *find;
    const char *insertText;
    bool matched;
    const char *newText;
};

const char *actionName(ActionKind action)
{
    switch (action) {
    case ActionKind::ReplaceWith:
        return "ReplaceWith";
    case ActionKind::InsertBefore:
        return "InsertBefore";
    case ActionKind::InsertAfter:
        return "InsertAfter";
    case ActionKind::InsertBetween:
        return "InsertBetween";
    case ActionKind::Delete:
        return "Delete";
    case ActionKind::JustFind:
        return "JustFind";
    }
    return "?";
}

} // namespace

TEST(ReplaceAll, LeftToRightWithoutOverlapOnePass)
{
    const ReplaceCase cases[] = {
        { "aaaa", "aa", "b", "bb" },
        { "aaa", "aa", "b", "ba" },
        { "banana", "a", "aa", "baanaanaa" }, // replacements are not searched again
        { "aabb", "ab", "", "ab" }, // nor is text the removal joins together
        { "banana", "x", "y", "banana" },
        { "", "a", "b", "" },
        { "abc", "abc", "", "" },
        { "abcabc", "abc", "<>", "<><>" },
        { "xabcx", "abc", "", "xx" },
        { "banana", "", "y", "banana" }, // empty find: never found
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement), c.expected)
            << c.text << " / " << c.find << " -> " << c.replacement;
}

TEST(ApplyAction, EachAction)
{
    const char *cats = "one cat, two cats";
    const ActionCase cases[] = {
        { ActionKind::ReplaceWith, cats, "cat", "dog", true, "one dog, two dogs" },
        { ActionKind::InsertBefore, cats, "cat", "big ", true, "one big cat, two big cats" },
        { ActionKind::InsertAfter, cats, "cat", "fish", true, "one catfish, two catfishs" },
        { ActionKind::Delete, cats, "cat", "ignored", true, "one , two s" },
        { ActionKind::JustFind, cats, "cat", "ignored", true, cats },
        { ActionKind::ReplaceWith, cats, "Cat", "dog", false, cats },
        { ActionKind::InsertBefore, cats, "Cat", "big ", false, cats },
        { ActionKind::InsertAfter, cats, "Cat", "fish", false, cats },
        { ActionKind::Delete, cats, "Cat", "", false, cats },
        { ActionKind::JustFind, cats, "Cat", "", false, cats },
        // one insertion per occurrence; the inserted copy is not searched
        { ActionKind::InsertBefore, "axb", "x", "x", true, "axxb" },
        { ActionKind::InsertAfter, "axb", "x", "x", true, "axxb" },
        { ActionKind::InsertBefore, "aaa", "aa", "-", true, "-aaa" },
        { ActionKind::InsertAfter, "aaaa", "aa", "-", true, "aa-aa-" },
        { ActionKind::Delete, "aabb", "ab", "", true, "ab" },
        // matched does not depend on a change
        { ActionKind::ReplaceWith, cats, "cat", "cat", true, cats },
        // an empty file is never matched
        { ActionKind::ReplaceWith, "", "cat", "dog", false, "" },
        { ActionKind::JustFind, "", "cat", "", false, "" },
        { ActionKind::InsertBetween, "", "[", "", false, "" },
        // an empty find text is never matched and never loops
        { ActionKind::ReplaceWith, cats, "", "dog", false, cats },
        { ActionKind::InsertBefore, cats, "", "dog", false, cats },
        { ActionKind::Delete, cats, "", "", false, cats },
        { ActionKind::JustFind, cats, "", "", false, cats },
    };
    for (const auto &c : cases) {
        const ActionResult result = ApplyAction(c.action, c.text, c.find, c.insertText, "]");
        EXPECT_EQ(result.matched, c.matched) << actionName(c.action) << " " << c.text;
        EXPECT_EQ(result.newText, c.newText) << actionName(c.action) << " " << c.text;
        EXPECT_EQ(ActionMatches(c.action, c.text, c.find, "]"), c.matched)
            << actionName(c.action) << " " << c.text;
    }
}

// The end text is read by the between rewrite alone.
TEST(ApplyAction, EndTextOnlyForBetween)
{
    const ActionResult result = ApplyAction(ActionKind::ReplaceWith, "a[b]c", "[", "(", "]");
    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.newText, "a(b]c");
    EXPECT_TRUE(ActionMatches(ActionKind::JustFind, "]x[", "[", "]"));
    EXPECT_FALSE(ActionMatches(ActionKind::InsertBetween, "]x[", "[", "]"));
}

// One prepared rewriter serves many texts, as in a run.
TEST(ActionRewriter, ReusedAcrossTexts)
{
    const ActionRewriter rewriter(ActionKind::ReplaceWith, "cat", "dog", {});
    EXPECT_EQ(rewriter.apply("cat").newText, "dog");
    EXPECT_FALSE(rewriter.apply("cow").matched);
    EXPECT_EQ(rewriter.apply("a cat and a cat").newText, "a dog and a dog");
    EXPECT_TRUE(rewriter.matches("concatenate"));
}
