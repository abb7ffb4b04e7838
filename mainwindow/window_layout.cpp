#include "mainwindow/window_layout.h"

namespace orvane {

ArrangedGeometry ArrangeControls(float outerWidth, float outerHeight, ArrangedGeometry last)
{
    const float W = outerWidth;
    const float H = outerHeight;

    // Each test is strict and guards only its own block, so every size set stays positive.
    if (W > 4950) {
        last.fraFileWidth = W - 150;
        last.fraCommandLeft = W - 2085;
        last.fraContentWidth = W - 2190;
        last.cboFilePathWidth = W - 4950;
        last.cmdFileBrowseLeft = W - 1845;
        last.txtFindWidth = W - 2430;
        last.txtReplaceWidth = W - 2430;
        last.txtEndWidth = W - 2430;
    }
    // The list's width changes only with its height: a low window keeps the list as it was.
    if (H > 7545) {
        // A window 150 twips wide or less would give a negative width: keep it at zero.
        last.lstLogWidth = W > 150 ? W - 150 : 0;
        last.lstLogHeight = H - 7185;
    }
    if (W > 2880)
        last.panel1Width = W - 2880;
    return last;
}

} // namespace orvane
