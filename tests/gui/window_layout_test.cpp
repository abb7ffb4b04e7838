#include "mainwindow/window_layout.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// Every field set to a value no rule produces, so a skipped block shows as "kept".
ArrangedGeometry markedGeometry()
{
    ArrangedGeometry g;
    g.fraFileWidth = g.fraCommandLeft = g.fraContentWidth = g.cboFilePathWidth = -1;
    g.cmdFileBrowseLeft = g.txtFindWidth = g.txtReplaceWidth = g.txtEndWidth = -1;
    g.lstLogWidth = g.lstLogHeight = g.panel1Width = -1;
    return g;
}

struct LayoutCase
{
    const char *name;
    float W, H;
    bool upper, list, panel;
};

TEST(ArrangeControls, EachBlockRunsOnlyAboveItsStrictThreshold)
{
    const LayoutCase cases[] = {
        { "design size", 10650, 9000, true, true, true },
        { "width exactly 4950", 4950, 9000, false, true, true },
        { "height exactly 7545", 10650, 7545, true, false, true },
        { "width exactly 2880", 2880, 9000, false, true, false },
        { "between 2880 and 4950 wide, tall", 4000, 9000, false, true, true },
        { "just above every threshold", 4951, 7546, true, true, true },
        { "below every threshold", 2000, 7000, false, false, false },
    };
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ArrangedGeometry g = ArrangeControls(c.W, c.H, markedGeometry());
        if (c.upper) {
            EXPECT_EQ(g.fraFileWidth, c.W - 150);
            EXPECT_EQ(g.fraCommandLeft, c.W - 2085);
            EXPECT_EQ(g.fraContentWidth, c.W - 2190);
            EXPECT_EQ(g.cboFilePathWidth, c.W - 4950);
            EXPECT_EQ(g.cmdFileBrowseLeft, c.W - 1845);
            EXPECT_EQ(g.txtFindWidth, c.W - 2430);
            EXPECT_EQ(g.txtReplaceWidth, c.W - 2430);
            EXPECT_EQ(g.txtEndWidth, c.W - 2430);
        } else {
            EXPECT_EQ(g.fraFileWidth, -1);
            EXPECT_EQ(g.fraCommandLeft, -1);
            EXPECT_EQ(g.cboFilePathWidth, -1);
            EXPECT_EQ(g.cmdFileBrowseLeft, -1);
            EXPECT_EQ(g.txtEndWidth, -1);
        }
        EXPECT_EQ(g.lstLogWidth, c.list ? c.W - 150 : -1);
        EXPECT_EQ(g.lstLogHeight, c.list ? c.H - 7185 : -1);
        EXPECT_EQ(g.panel1Width, c.panel ? c.W - 2880 : -1);
    }
}

TEST(ArrangeControls, LowWindowKeepsTheListWidthItHadWhenNarrowed)
{
    const ArrangedGeometry wide = ArrangeControls(12000, 9000, ArrangedGeometry {});
    const ArrangedGeometry narrowLow = ArrangeControls(6000, 7545, wide);
    EXPECT_EQ(narrowLow.lstLogWidth, 12000 - 150);
    EXPECT_EQ(narrowLow.lstLogHeight, 9000 - 7185);
    EXPECT_EQ(narrowLow.fraFileWidth, 6000 - 150);
}

TEST(ArrangeControls, ListWidthNeverNegative)
{
    EXPECT_EQ(ArrangeControls(100, 9000, ArrangedGeometry {}).lstLogWidth, 0);
}

TEST(ArrangeControls, DesignedClientAreaGivesTheDesignedListAndFrames)
{
    // The central area of the designed window: the client area less the status bar.
    const OuterSize outer
        = OuterSizeFromCentral(static_cast<float>(kDesignClientWidth),
                               static_cast<float>(kDesignClientHeight - kStatusBarDesignHeight));
    const ArrangedGeometry g = ArrangeControls(outer.width, outer.height, ArrangedGeometry {});
    EXPECT_EQ(g.lstLogHeight, 1815); // 6240 + 1815 = 8055: the list ends on the status bar
    EXPECT_EQ(g.panel1Width, 10530 + 120 - 2880);
    // Frames and list end 30 twips (2 px) short of the right edge; the command frame keeps
    // its width and the content frame leaves 105 twips before it.
    EXPECT_EQ(g.fraFileWidth, 10530 - 30);
    EXPECT_EQ(g.lstLogWidth, 10530 - 30);
    EXPECT_EQ(g.fraCommandLeft + 1935, 10530 - 30);
    EXPECT_EQ(g.fraContentWidth + 105, g.fraCommandLeft);
}

} // namespace
} // namespace orvane
