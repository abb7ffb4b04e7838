// Validation, the summary line and the size text: what a front end shows around a run.

#include "run/batch_run.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(ValidateRun, MaskIsCheckedBeforePathAndOnlyEmptyFails)
{
    struct Case
    {
        const char *mask;
        const char *path;
        Validation expected;
    } cases[] = {
        {"", "", Validation::NoMask}, // both empty: only the mask is complained about
        {"", "/tmp", Validation::NoMask},
        {"*.txt", "", Validation::NoPath},
        {" ", " ", Validation::Ok}, // blanks are not empty
        {"*.txt", "/tmp", Validation::Ok},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ValidateRun(c.mask, c.path), c.expected) << '"' << c.mask << "\" \"" << c.path;

    EXPECT_EQ(ValidationMessage(Validation::NoMask), "Please specify any mask!");
    EXPECT_EQ(ValidationMessage(Validation::NoPath), "Please specify any path!");
    EXPECT_EQ(ValidationMessage(Validation::Ok), "");
    EXPECT_EQ(kValidationTitle, "Message!");
}

TEST(SummaryText, ThreeWordsForSixActions)
{
    EXPECT_EQ(SummaryText(ActionKind::ReplaceWith, 3, 10), "Replaced 3 files in 10 files");
    EXPECT_EQ(SummaryText(ActionKind::InsertBefore, 0, 0), "Inserted 0 files in 0 files");
    EXPECT_EQ(SummaryText(ActionKind::InsertAfter, 1, 1), "Inserted 1 files in 1 files");
    EXPECT_EQ(SummaryText(ActionKind::InsertBetween, 2, 5), "Inserted 2 files in 5 files");
    EXPECT_EQ(SummaryText(ActionKind::Delete, 2, 5), "Inserted 2 files in 5 files");
    EXPECT_EQ(SummaryText(ActionKind::JustFind, 7, 9), "Found 7 files in 9 files");
    // Counts past the 16-bit and 32-bit ranges print whole, without grouping.
    EXPECT_EQ(SummaryText(ActionKind::ReplaceWith, 32768, 5000000000),
              "Replaced 32768 files in 5000000000 files");
}

TEST(FormatSizeKB, WholeThousandsPlusOneWithLocaleGrouping)
{
    struct Case
    {
        std::int64_t bytes;
        const char *separator;
        const char *expected;
    } cases[] = {
        {0, ",", "1KB"}, // an emptied file: halves round away from zero, never a bare "KB"
        {1, ",", "1KB"},
        {499, ",", "1KB"},
        {500, ",", "1KB"},
        {999, ",", "1KB"},
        {1000, ",", "2KB"},
        {1001, ",", "2KB"},
        {1999, ",", "2KB"},
        {2000, ",", "3KB"},
        {998999, ",", "999KB"},
        {999000, ",", "1,000KB"},
        {1234567, ",", "1,235KB"},
        {1234567, ".", "1.235KB"},
        {1234567, "\u202f", "1\u202f235KB"}, // a multi-byte separator, as some locales use
        {1234567, "", "1235KB"},
        {2147483647, ",", "2,147,484KB"},
        {2147483648LL, ",", "2,147,484KB"}, // past 2 GiB: no overflow
        {123456789012345LL, ",", "123,456,789,013KB"},
        {-5, ",", "1KB"}, // not a length; shown as empty rather than garbage
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatSizeKB(c.bytes, c.separator), c.expected) << c.bytes;
}

} // namespace
} // namespace orvane
