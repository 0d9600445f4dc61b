#include "WindowFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace cw {

QSize fittedSize(QSize wanted, QSize minimum, const QRect& available, const QMargins& frame) {
    const QSize room = available.marginsRemoved(frame).size().expandedTo(QSize(1, 1));
    return wanted.boundedTo(room).expandedTo(minimum);
}

QRect placedFrame(const QRect& available, QSize size, QPoint centre, const QMargins& frame) {
    QRect content(QPoint(0, 0), size);
    content.moveCenter(centre);
    QRect placed = content.marginsAdded(frame);
    placed.moveLeft(
        std::max(available.left(), std::min(placed.left(), available.right() - placed.width() + 1)));
    placed.moveTop(
        std::max(available.top(), std::min(placed.top(), available.bottom() - placed.height() + 1)));
    return placed;
}

void fitToScreen(QWidget& window, const QWidget* owner) {
    const QWidget* ownerWindow = owner != nullptr ? owner->window() : nullptr;
    QScreen* screen = ownerWindow != nullptr ? ownerWindow->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return; // no screen at all: nothing to fit to
    }
    const QRect available = screen->availableGeometry();
    window.resize(fittedSize(window.size(), window.minimumSize(), available));

    const QPoint centre = ownerWindow != nullptr ? ownerWindow->geometry().center() : available.center();
    QRect centred(QPoint(0, 0), window.size());
    centred.moveCenter(centre);
    if (!available.contains(centred.marginsAdded(kWindowFrameAllowance))) {
        // A top-level window's position is that of its frame.
        window.move(placedFrame(available, window.size(), centre).topLeft());
    }
}

} // namespace cw
