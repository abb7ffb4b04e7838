#include "text/text_rewrite.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvane;
using namespace std::string_literals;

namespace {

// Records how a rewrite drives its output.
class RecordingOutput final : public RewriteOutput
{
public:
    void begin() override
    {
        ++beginCalls;
        if (!bytes.empty() || appendCalls > 0)
            appendedBeforeBegin = true;
    }
    void append(std::string_view piece) override
    {
        if (beginCalls == 0)
            appendedBeforeBegin = true;
        ++appendCalls;
        bytes.append(piece);
    }

    int beginCalls = 0;
    int appendCalls = 0;
    bool appendedBeforeBegin = false;
    std::string bytes;
};

struct StreamCase
{
    ActionKind action;
    std::string text;
    std::string find;
    std::string insertText;
    std::string endText;
};

} // namespace

TEST(Bytes, Utf8IsMatchedWhole)
{
    const std::string chinese = "\xe4\xb8\xad\xe6\x96\x87"; // a two-character word
    const std::string emoji = "\xf0\x9f\x98\x80"; // a four-byte character
    const std::string text = "a" + chinese + "b" + emoji + "c" + emoji;

    EXPECT_EQ(FirstPosition(text, chinese), 2);
    EXPECT_EQ(FirstPosition(text, emoji), 9);
    EXPECT_EQ(LastPosition(text, emoji), 14);
    EXPECT_EQ(ReplaceAll(text, emoji, "X"), "a" + chinese + "bXcX");
    EXPECT_EQ(ReplaceAll(text, chinese, emoji), "a" + emoji + "b" + emoji + "c" + emoji);
    // a different character sharing the lead bytes is not a match
    EXPECT_EQ(FirstPosition(text, "\xe4\xb8\xae"), 0);
    EXPECT_EQ(FirstPosition(text, "\xf0\x9f\x98\x81"), 0);
}

TEST(Bytes, CrLfIsNotMatchedByLf)
{
    const std::string lf = "one\ntwo\n";
    EXPECT_FALSE(ApplyAction(ActionKind::JustFind, lf, "one\r\ntwo", "", "").matched);
    const std::string crlf = "one\r\ntwo\r\n";
    const ActionResult result = ApplyAction(ActionKind::ReplaceWith, crlf, "\n", "|", "");
    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.newText, "one\r|two\r|"); // the CR stays where it was
    EXPECT_EQ(ReplaceAll(crlf, "one\r\ntwo", "x"), "x\r\n");
}

TEST(Bytes, InvalidUtf8AndNulKeptAroundAReplacement)
{
    const std::string text = "\xff\xfe\0head\x80\xc3(\0cat\0\xed\xa0\x80tail\xe4\xb8"s;
    const std::string expected = "\xff\xfe\0head\x80\xc3(\0dog\0\xed\xa0\x80tail\xe4\xb8"s;
    const ActionResult result = ApplyAction(ActionKind::ReplaceWith, text, "cat", "dog", "");
    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.newText, expected);
    // NUL bytes inside the find text are matched like any other byte
    EXPECT_EQ(ReplaceAll(text, "\0cat\0"s, "|"),
              "\xff\xfe\0head\x80\xc3(|\xed\xa0\x80tail\xe4\xb8"s);
    // a BOM and a missing final line end survive
    EXPECT_EQ(ReplaceAll("\xef\xbb\xbfx=1", "x", "y"), "\xef\xbb\xbfy=1");
}

// The streaming form says whether the text matched before writing anything, and writes the
// very bytes the value form returns.
TEST(Streaming, BeginOnceOnlyWhenMatchedSameBytes)
{
    const StreamCase cases[] = {
        { ActionKind::ReplaceWith, "one cat, two cats", "cat", "dog", "" },
        { ActionKind::InsertBefore, "one cat, two cats", "cat", "big ", "" },
        { ActionKind::InsertAfter, "one cat, two cats", "cat", "fish", "" },
        { ActionKind::Delete, "one cat, two cats", "cat", "", "" },
        { ActionKind::JustFind, "one cat, two cats", "cat", "", "" },
        { ActionKind::InsertBetween, "a<b>x</b>c<b>y</b>d", "<b>", "Z", "</b>" },
        { ActionKind::InsertBetween, "xaby", "ab", "-", "b" },
        { ActionKind::ReplaceWith, "cat", "cat", "", "" }, // matched, empty result
        { ActionKind::ReplaceWith, "one cow", "cat", "dog", "" },
        { ActionKind::InsertBetween, "] [a]", "[", "-", "]" },
        { ActionKind::JustFind, "", "cat", "", "" },
        { ActionKind::Delete, "text", "", "", "" },
    };
    for (const auto &c : cases) {
        RecordingOutput out;
        const bool matched = ApplyAction(c.action, c.text, c.find, c.insertText, c.endText, out);
        const ActionResult value = ApplyAction(c.action, c.text, c.find, c.insertText, c.endText);
        EXPECT_EQ(matched, value.matched) << c.text;
        if (matched) {
            EXPECT_EQ(out.beginCalls, 1) << c.text;
            EXPECT_FALSE(out.appendedBeforeBegin) << c.text;
            EXPECT_EQ(out.bytes, value.newText) << c.text;
        } else {
            EXPECT_EQ(out.beginCalls, 0) << c.text;
            EXPECT_EQ(out.appendCalls, 0) << c.text;
        }
        if (c.action == ActionKind::InsertBetween) {
            RecordingOutput direct;
            EXPECT_EQ(RewriteBetween(c.text, c.find, c.insertText, c.endText, direct), matched);
            EXPECT_EQ(direct.bytes, out.bytes);
            EXPECT_EQ(direct.beginCalls, out.beginCalls);
        }
    }
}
