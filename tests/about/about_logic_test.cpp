#include "about/about_logic.h"
#include "mainwindow/path_history.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(AboutPlacement, CentredAcrossAndAThirdDown)
{
    // 1024 x 768 pixels is 15360 x 11520 twips; the dialog 5055 x 4500 twips outer.
    const TwipsPoint at = AboutPlacement(15360, 11520, 5055, 4500);
    EXPECT_FLOAT_EQ(at.left, 5152.5f);
    EXPECT_FLOAT_EQ(at.top, 2340.0f);
}

TEST(AboutPlacement, ScreenSmallerThanDialogGivesNegativeOffsets)
{
    const TwipsPoint at = AboutPlacement(3000, 3000, 5055, 4500);
    EXPECT_FLOAT_EQ(at.left, -1027.5f);
    EXPECT_FLOAT_EQ(at.top, -500.0f);

    // Kept in pixels too, and measured from the screen's own corner.
    EXPECT_EQ(AboutPlacementPixels(QRect(0, 0, 200, 200), QSize(329, 272)), QPoint(-65, -24));
    EXPECT_EQ(AboutPlacementPixels(QRect(1920, 0, 1280, 1024), QSize(329, 272)),
              QPoint(1920 + 476, 251));
}

TEST(AboutTexts, CaptionAndVersionLine)
{
    EXPECT_EQ(AboutCaption(QStringLiteral("Orvane Replace")),
              QStringLiteral("关于 Orvane Replace"));
    EXPECT_EQ(VersionLine(1, 10, 0), QStringLiteral("Ver 1.10.0"));
    EXPECT_EQ(VersionLine(0, 0, 7), QStringLiteral("Ver 0.0.7"));
}

TEST(HelpFilePath, ComposedWithoutNormalising)
{
    EXPECT_EQ(HelpFilePath(QStringLiteral("/opt/orvane")), QStringLiteral("/opt/orvane/help.chm"));
    // A folder ending in a separator keeps both: nothing is tidied away.
    EXPECT_EQ(HelpFilePath(QStringLiteral("/opt/orvane/")),
              QStringLiteral("/opt/orvane//help.chm"));
    EXPECT_EQ(HelpFilePath(QStringLiteral("/")), QStringLiteral("//help.chm"));
}

TEST(RootFolderId, Table)
{
    struct Row
    {
        std::int16_t selector;
        std::int32_t id;
    };
    constexpr Row rows[] = {
        { -32768, 0 }, { -1, 0 },  { 0, 0 },   { 1, 0 },     { 2, 2 },         { 5, 5 },
        { 11, 11 },    { 12, 16 }, { 13, 17 }, { 100, 104 }, { 32767, 32771 },
    };
    for (const Row &row : rows)
        EXPECT_EQ(RootFolderId(row.selector), row.id) << "selector " << row.selector;
    static_assert(RootFolderId(0) == 0, "Browse roots the picker at the top");
}

QStringList afterPicks(const QStringList &picks)
{
    QStringList items;
    for (const QString &pick : picks)
        UpdatePathHistory(items, pick);
    return items;
}

TEST(PathHistory, Sequences)
{
    struct Row
    {
        const char *name;
        QStringList picks;
        QStringList expected;
    };
    const Row rows[] = {
        { "first pick", { "/a" }, { "/a" } },
        { "earlier pick moves up, others keep order",
          { "/a", "/b", "/c", "/b" },
          { "/b", "/c", "/a" } },
        { "top picked again", { "/a", "/a" }, { "/a" } },
        { "oldest picked again", { "/a", "/b", "/c", "/a" }, { "/a", "/c", "/b" } },
        { "case differs: two items", { "/Data", "/data" }, { "/data", "/Data" } },
        { "empty pick is one item however often", { "/a", "", "/b", "" }, { "", "/b", "/a" } },
        { "trailing slash is a different text", { "/a", "/a/" }, { "/a/", "/a" } },
    };
    for (const Row &row : rows)
        EXPECT_EQ(afterPicks(row.picks), row.expected) << row.name;
}

TEST(PathHistory, ReportsWhichItemWentAway)
{
    QStringList items { "/c", "/b", "/a" };
    EXPECT_EQ(UpdatePathHistory(items, QStringLiteral("/b")), 2);
    EXPECT_EQ(UpdatePathHistory(items, QStringLiteral("/new")), -1);
    EXPECT_EQ(items, (QStringList { "/new", "/b", "/c", "/a" }));
}

} // namespace
} // namespace orvane
