#pragma once

#include "character/BalloonWindow.h"
#include "character/CharacterEngine.h"
#include "character/FrameRenderer.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <optional>

class QWindow;

namespace cw::character {

/// Where a character dragged to `topLeft` goes: there, or the nearest point that keeps three quarters of his
/// width and of his height (so more than half of him) on the screen's available area.
QPoint keptOnArea(QPoint topLeft, QSize frame, const QRect& area);

/// The character's own window: frameless, translucent, always on top, without a taskbar entry, exactly one
/// frame in size at the character's position. Clicks pass through where nothing is drawn; dragging moves the
/// character (never so far that less than half of him stays on the screen) and the balloon with him. While a
/// dialog of the program has the focus he stands below it. Draws only when the engine reports a change.
class CharacterWindow : public QWidget {
    Q_OBJECT
public:
    CharacterWindow(CharacterEngine& engine, FrameRenderer& renderer);
    ~CharacterWindow() override;

    /// The frame as last composed, at the window's device pixel ratio.
    const QImage& frameImage() const { return image_; }
    /// How many times the frame has been composed (for tests of "nothing drawn when nothing changes").
    int framesComposed() const { return composed_; }
    BalloonWindow& balloon() { return *balloon_; }
    /// Where the window takes clicks: everything drawn in the current frame.
    const QRegion& inputRegion() const { return region_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void compose();
    void prepareForSpeech();
    void updateBalloon();
    void placeBalloon();
    QRect areaAt(const QRect& frame) const;
    void followFocus(QWindow* focus);

    CharacterEngine& engine_;
    FrameRenderer& renderer_;
    QPointer<BalloonWindow> balloon_; // a top-level window of its own, deleted with this one
    QImage image_;
    QRegion region_;
    bool shapes_ = true; // whether the platform can give a window a shape
    QTimer composeSoon_;
    int composed_ = 0;
    std::optional<QPoint> dragOffset_;
    bool systemMove_ = false;
    bool movesItself_ = true; // whether the platform lets a program place its own windows
    bool preparedForSpeech_ = false;
};

} // namespace cw::character
