#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace cw {

/// Where the genie stood on the 1024x768 screen the main window was laid out for: just right of the centred
/// main window, level with its lower half.
inline constexpr QPoint kClassicGeniePoint{676, 385};

/// Where the genie first stands, given the screen's available area, the main window's frame and the genie's
/// frame size. The classic point is kept where it still puts him beside the main window, wholly on the area;
/// elsewhere he stands beside the main window as he does on that screen: to its right, level with its lower
/// half, or to its left where the right has no room.
QPoint genieStartPoint(const QRect& available, const QRect& mainFrame, QSize genie);

} // namespace cw
