#pragma once

#include "character/CharacterData.h"

#include <QFont>
#include <QPainterPath>
#include <QWidget>

namespace cw::character {

/// The speech balloon: a rounded bubble with a tail toward the character, sized to its text up to the style's
/// line count; longer text scrolls so the newest audible word stays in view.
class BalloonWindow : public QWidget {
    Q_OBJECT
public:
    enum class Side { Above, Right, Left, Below };

    explicit BalloonWindow(const BalloonStyle& style, QWidget* parent = nullptr);

    /// The whole text to be spoken and how many of its characters are audible so far.
    void setText(const QString& text, int shown);
    /// Places the bubble next to the character's frame, inside the screen area.
    void place(const QRect& character, const QRect& area);
    Side side() const { return side_; }
    /// The tip of the tail, in screen coordinates: a point just outside the character's frame.
    QPoint tailTip() const { return geometry().topLeft() + tailTip_; }
    /// Makes the window and draws a sample text off screen, so the first balloon shown does not pay for the
    /// window, its font and its glyphs while speech is starting. Leaves the balloon empty and hidden.
    void prepare();
    /// The lines of the text (as wrapped) and the first one in view.
    int lineCount() const { return int(lines_.size()); }
    int firstVisibleLine() const { return first_; }
    int visibleLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Line {
        int start;
        int length;
    };
    void relayout();
    QSize bubbleSize() const;
    QRectF bodyRect() const;
    QPainterPath outline() const;
    void reshape();

    BalloonStyle style_;
    QFont font_;
    QString text_;
    int shown_ = 0;
    std::vector<Line> lines_;
    int first_ = 0;
    Side side_ = Side::Above;
    QPoint tailTip_; // in window coordinates
};

} // namespace cw::character
