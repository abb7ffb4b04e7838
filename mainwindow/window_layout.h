#pragma once

// Where the main window's controls go when its size changes. Pure arithmetic on twips, so the
// rules can be checked without a window.

namespace orvane {

// Geometry is kept in twips, as designed; the window converts at 15 twips per pixel.
inline constexpr double kTwipsPerPixel = 15.0;

inline constexpr int TwipsToPixels(double twips)
{
    const double px = twips / kTwipsPerPixel;
    return static_cast<int>(px < 0 ? px - 0.5 : px + 0.5);
}

// The lefts and widths ArrangeControls sets (plus the list's height). Everything else keeps
// its designed place.
struct ArrangedGeometry
{
    float fraFileWidth = 10215;
    float fraCommandLeft = 8280;
    float fraContentWidth = 8175;
    float cboFilePathWidth = 4455;
    float cmdFileBrowseLeft = 7560;
    float txtFindWidth = 7935;
    float txtReplaceWidth = 7935;
    float txtEndWidth = 7935;
    float lstLogWidth = 6735;
    float lstLogHeight = 1815;
    // Status panel 1: (outer width - 2880) from the start.
    float panel1Width = 10530 + 120 - 2880;

    bool operator==(const ArrangedGeometry &) const = default;
};

// The designed client area (below the menu bar, status bar included).
inline constexpr double kDesignClientWidth = 10530;
inline constexpr double kDesignClientHeight = 8310;
inline constexpr double kStatusBarDesignHeight = 255;

// The outer size the layout rules expect is the client area plus the frame of a classic
// sizable window: 4 px of border on each side (120 twips) in width; in height its title bar,
// menu bar and borders (690 twips) on top of a client area that holds the 255-twip status bar.
// Qt gives us the central area alone, between our own menu bar and status bar, whatever
// heights those have. So:
//   W = central width + 120: frames and list end 2 px short of the right edge, as they did;
//   H = central height + 945 (690 + 255): the list (top 6240, height H - 7185) ends exactly
//       where the central area ends, i.e. on the status bar, at any size and any font.
// At the designed size this gives the designed list height of 1815.
inline constexpr float kOuterWidthAllowance = 120;
inline constexpr float kOuterHeightAllowance = 945;

struct OuterSize
{
    float width;
    float height;
};

inline OuterSize OuterSizeFromCentral(float centralWidthTwips, float centralHeightTwips)
{
    return { centralWidthTwips + kOuterWidthAllowance, centralHeightTwips + kOuterHeightAllowance };
}

// Applies the three size rules to the outer size (W, H in twips). A rule whose test fails
// leaves what it set last time, which is why the last geometry goes in.
ArrangedGeometry ArrangeControls(float outerWidth, float outerHeight, ArrangedGeometry last);

} // namespace orvane
