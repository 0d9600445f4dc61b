#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace cw {

/// Room the window manager's title bar and borders take around a window that has not been shown yet.
inline constexpr QMargins kWindowFrameAllowance{8, 32, 8, 8};

/// The size for a window that would like `wanted` (its contents, without frame) so that it and its frame fit
/// into `available`; never below `minimum`, which wins where the two disagree. Pure.
QSize fittedSize(QSize wanted, QSize minimum, const QRect& available,
                 const QMargins& frame = kWindowFrameAllowance);

/// The frame of a window of `size` (its contents) centred on `centre`, moved the least distance that puts it
/// within `available` (or to its top left corner when it is larger). Pure.
QRect placedFrame(const QRect& available, QSize size, QPoint centre,
                  const QMargins& frame = kWindowFrameAllowance);

/// Fits the top-level dialog `window` into the available area of the screen it opens on (its `owner`'s, or
/// the primary screen): shrinks it where it is larger, and where it would reach past an edge when centred on
/// its owner, places it inside. Otherwise where it goes is left to Qt, which centres a dialog on its owner.
void fitToScreen(QWidget& window, const QWidget* owner);

} // namespace cw
