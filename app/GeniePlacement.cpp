#include "GeniePlacement.h"

#include <algorithm>

namespace cw {

namespace {

// The room between the main window's frame and the genie, as the classic point leaves on its screen.
constexpr int kGap = 10;
// How far the classic point may be from the main window and still count as beside it: a frame's border and
// a little more, never a screen's width.
constexpr int kBesideReach = 4 * kGap;

int clampedTop(int top, const QRect& available, int height) {
    return std::clamp(top, available.top(), std::max(available.top(), available.bottom() + 1 - height));
}

bool standsBeside(const QRect& genie, const QRect& mainFrame) {
    const bool level = genie.top() <= mainFrame.bottom() && genie.bottom() >= mainFrame.center().y();
    const int rightGap = genie.left() - (mainFrame.right() + 1);
    const int leftGap = mainFrame.left() - (genie.right() + 1);
    return level &&
           ((rightGap >= 0 && rightGap <= kBesideReach) || (leftGap >= 0 && leftGap <= kBesideReach));
}

} // namespace

QPoint genieStartPoint(const QRect& available, const QRect& mainFrame, QSize genie) {
    const QRect classic(kClassicGeniePoint, genie);
    if (available.contains(classic) && !classic.intersects(mainFrame) && standsBeside(classic, mainFrame))
        return kClassicGeniePoint;

    const int top = clampedTop(mainFrame.top() + mainFrame.height() / 2, available, genie.height());
    const int right = mainFrame.right() + 1 + kGap;
    const int left = mainFrame.left() - kGap - genie.width();
    if (right + genie.width() <= available.right() + 1)
        return {right, top};
    if (left >= available.left())
        return {left, top};
    // Neither side has room: the side with more of it, kept on the area, even if he then overlaps the window.
    const int roomRight = available.right() + 1 - (mainFrame.right() + 1);
    const int roomLeft = mainFrame.left() - available.left();
    const int x = roomRight >= roomLeft ? right : left;
    return {
        std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - genie.width())),
        top};
}

} // namespace cw
