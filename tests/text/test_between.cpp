#include "text/text_rewrite.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvane;

namespace {

struct BetweenCase
{
    const char *text;
    const char *find;
    const char *endText;
    const char *insertText;
    bool matched;
    const char *newText;
};

} // namespace

TEST(RewriteBetween, Table)
{
    const BetweenCase cases[] = {
        { "a<b>x</b>c<b>y</b>d", "<b>", "</b>", "Z", true, "a<b>Z</b>c<b>Z</b>d" },
        // an empty insert text removes what lies between the markers
        { "a<b>x</b>c<b>y</b>d", "<b>", "</b>", "", true, "a<b></b>c<b></b>d" },
        { "A<!--x-->B<!--y-->C", "<!--", "-->", "new", true, "A<!--new-->B<!--new-->C" },
        { "k=1; k=2;", "k=", ";", "9", true, "k=9; k=9;" },
        { "[a]", "[", "]", "-", true, "[-]" }, // the end text closes the text: empty rest
        { "x[]y", "[", "]", "-", true, "x[-]y" }, // nothing between still gets the insert text
        // the insert text is not searched again, even when it holds a marker
        { "[a] [b]", "[", "]", "]", true, "[]] []]" },
        { "[a] [b]", "[", "", "-", false, "[a] [b]" }, // empty end text: never matched
        { "", "[", "", "-", false, "" },
        // the first ']' lies before the first '[': not matched although pairs follow
        { "] [a] [b]", "[", "]", "-", false, "] [a] [b]" },
        // after the first pair the rest ' ] [b]' fails the same way: rewriting stops there
        { "[a] ] [b]", "[", "]", "-", true, "[-] ] [b]" },
        { "[[a]]", "[", "]", "-", true, "[-]]" }, // no nesting: first start, first end after it
        // an end text equal to, or the start of, the start text never begins after it
        { "<a<b<c", "<", "<", "-", false, "<a<b<c" },
        { "<<a<<b", "<<", "<", "-", false, "<<a<<b" },
        { "<a<b", "<", "<b", "-", true, "<-<b" },
        { "x<b>y", "<", "<b", "-", false, "x<b>y" }, // both first occurrences begin at 2
        // the end text begins inside the start text: the shared bytes are written twice
        { "xaby", "ab", "b", "-", true, "xab-by" },
        { "abcd", "ab", "bc", "-", true, "ab-bcd" },
        { "[a", "[", "]", "-", false, "[a" },
        { "a]", "[", "]", "-", false, "a]" },
        { "", "[", "]", "-", false, "" },
        { "[a]", "", "]", "-", false, "[a]" }, // empty start text: never matched
        // the unchanged tail after the last pair is kept
        { "<i>1</i><i>2</i> tail <i>open", "<i>", "</i>", "*", true,
          "<i>*</i><i>*</i> tail <i>open" },
    };
    for (const auto &c : cases) {
        const ActionResult result = RewriteBetween(c.text, c.find, c.insertText, c.endText);
        EXPECT_EQ(result.matched, c.matched) << c.text << " " << c.find << " " << c.endText;
        EXPECT_EQ(result.newText, c.newText) << c.text << " " << c.find << " " << c.endText;
        const ActionResult viaAction
            = ApplyAction(ActionKind::InsertBetween, c.text, c.find, c.insertText, c.endText);
        EXPECT_EQ(viaAction.matched, c.matched) << c.text;
        EXPECT_EQ(viaAction.newText, c.newText) << c.text;
        EXPECT_EQ(ActionMatches(ActionKind::InsertBetween, c.text, c.find, c.endText), c.matched)
            << c.text;
    }
}

// Not timed: a rewrite that searched the end text again from every start text would take
// minutes here.
TEST(RewriteBetween, AdversarialInputsFinish)
{
    const std::size_t count = 1000000;
    std::string starts;
    for (std::size_t i = 0; i < count; ++i)
        starts += "<x";
    EXPECT_FALSE(RewriteBetween(starts, "<", "-", ">").matched);
    // one pair spanning every start text: all of them go
    const ActionResult spanning = RewriteBetween(starts + ">", "<", "-", ">");
    EXPECT_TRUE(spanning.matched);
    EXPECT_EQ(spanning.newText, "<->");

    std::string pairs;
    std::string rewritten;
    for (std::size_t i = 0; i < count / 2; ++i) {
        pairs += "<a>";
        rewritten += "<->";
    }
    const ActionResult half = RewriteBetween(pairs + starts, "<", "-", ">");
    EXPECT_TRUE(half.matched);
    EXPECT_EQ(half.newText, rewritten + starts);

    // long markers that share most of their bytes with the text
    const std::string start = std::string(3000, 'a') + "b";
    const std::string end = std::string(3000, 'a') + "c";
    const std::string text = start + std::string(1 << 20, 'a');
    EXPECT_FALSE(RewriteBetween(text, start, "-", end).matched);
}
