#include "BalloonWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTextLayout>

namespace cw::character {

namespace {
constexpr int kPadding = 8;
constexpr int kTail = 14;
constexpr int kRadius = 10;
} // namespace

BalloonWindow::BalloonWindow(const BalloonStyle& style, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      style_(style), font_(style.font, style.pointSize) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Speech balloon"));
}

void BalloonWindow::setText(const QString& text, int shown) {
    const bool newText = text != text_;
    text_ = text;
    shown_ = std::clamp(shown, 0, int(text.size()));
    if (newText)
        relayout();
    // Scroll so the newest audible character is on the last visible line.
    int current = 0;
    for (int i = 0; i < int(lines_.size()); ++i) {
        if (lines_[i].start < shown_)
            current = i;
    }
    first_ = std::max(0, current - style_.lines + 1);
    update();
}

void BalloonWindow::prepare() {
    setText(QStringLiteral("The quick brown fox jumps over the lazy dog, 0123456789."), 55);
    place(QRect(0, 0, 200, 200), QRect());
    winId(); // the native window, made now rather than at the first show
    QImage scratch(size(), QImage::Format_ARGB32_Premultiplied);
    render(&scratch);
    setText(QString(), 0);
}

void BalloonWindow::relayout() {
    lines_.clear();
    const QFontMetrics fm(font_);
    QTextLayout layout(text_, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const qreal width = qreal(style_.charsPerLine) * fm.averageCharWidth();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines_.push_back({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    if (lines_.empty())
        lines_.push_back({0, 0});
}

int BalloonWindow::visibleLines() const {
    return std::min(int(lines_.size()), style_.lines);
}

QSize BalloonWindow::bubbleSize() const {
    const QFontMetrics fm(font_);
    int widest = 0;
    for (const Line& l : lines_)
        widest = std::max(widest, fm.horizontalAdvance(text_.mid(l.start, l.length).trimmed()));
    widest = std::max(widest, fm.averageCharWidth() * 4);
    return {widest + 2 * kPadding, visibleLines() * fm.lineSpacing() + 2 * kPadding};
}

void BalloonWindow::place(const QRect& character, const QRect& area) {
    const QSize bubble = bubbleSize();
    const QPoint head(character.center().x(), character.top() + character.height() / 4);
    QRect body;
    // Above the character by preference, beside it near the top edge, below as the last resort.
    if (character.top() - kTail - bubble.height() >= area.top()) {
        side_ = Side::Above;
        body = QRect(
            QPoint(character.center().x() - bubble.width() / 2, character.top() - kTail - bubble.height()),
            bubble);
    } else if (character.right() + 1 + kTail + bubble.width() <= area.right() + 1) {
        side_ = Side::Right;
        body = QRect(QPoint(character.right() + 1 + kTail, character.top()), bubble);
    } else if (character.left() - kTail - bubble.width() >= area.left()) {
        side_ = Side::Left;
        body = QRect(QPoint(character.left() - kTail - bubble.width(), character.top()), bubble);
    } else {
        side_ = Side::Below;
        body = QRect(QPoint(character.center().x() - bubble.width() / 2, character.bottom() + 1 + kTail),
                     bubble);
    }
    if (!area.isEmpty()) {
        body.moveLeft(
            std::clamp(body.left(), area.left(), std::max(area.left(), area.right() + 1 - body.width())));
        body.moveTop(
            std::clamp(body.top(), area.top(), std::max(area.top(), area.bottom() + 1 - body.height())));
    }
    // The window holds the bubble and its tail; the tail points at the character's head.
    QRect window = body;
    QPoint tip;
    switch (side_) {
    case Side::Above:
        window.setBottom(body.bottom() + kTail);
        tip = QPoint(std::clamp(head.x(), body.left() + kRadius, body.right() - kRadius), window.bottom());
        break;
    case Side::Below:
        window.setTop(body.top() - kTail);
        tip = QPoint(std::clamp(head.x(), body.left() + kRadius, body.right() - kRadius), window.top());
        break;
    case Side::Right:
        window.setLeft(body.left() - kTail);
        tip = QPoint(window.left(), std::clamp(head.y(), body.top() + kRadius, body.bottom() - kRadius));
        break;
    case Side::Left:
        window.setRight(body.right() + kTail);
        tip = QPoint(window.right(), std::clamp(head.y(), body.top() + kRadius, body.bottom() - kRadius));
        break;
    }
    tailTip_ = tip - window.topLeft();
    setGeometry(window);
    reshape();
    update();
}

QRectF BalloonWindow::bodyRect() const {
    QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (side_) {
    case Side::Above:
        body.setBottom(body.bottom() - kTail);
        break;
    case Side::Below:
        body.setTop(body.top() + kTail);
        break;
    case Side::Right:
        body.setLeft(body.left() + kTail);
        break;
    case Side::Left:
        body.setRight(body.right() - kTail);
        break;
    }
    return body;
}

QPainterPath BalloonWindow::outline() const {
    const QRectF body = bodyRect();
    QPainterPath bubble;
    bubble.addRoundedRect(body, kRadius, kRadius);
    const QPointF tip = QPointF(tailTip_) + QPointF(0.5, 0.5);
    const bool vertical = side_ == Side::Above || side_ == Side::Below;
    const qreal baseAt = vertical
                             ? std::clamp(tip.x(), body.left() + kRadius + 6, body.right() - kRadius - 6)
                             : std::clamp(tip.y(), body.top() + kRadius + 6, body.bottom() - kRadius - 6);
    QPainterPath tail;
    auto triangle = [&](QPointF a, QPointF b) {
        tail.moveTo(a);
        tail.lineTo(tip);
        tail.lineTo(b);
    };
    if (side_ == Side::Above)
        triangle({baseAt - 7, body.bottom() - 1}, {baseAt + 7, body.bottom() - 1});
    else if (side_ == Side::Below)
        triangle({baseAt - 7, body.top() + 1}, {baseAt + 7, body.top() + 1});
    else if (side_ == Side::Right)
        triangle({body.left() + 1, baseAt - 7}, {body.left() + 1, baseAt + 7});
    else
        triangle({body.right() - 1, baseAt - 7}, {body.right() - 1, baseAt + 7});
    tail.closeSubpath();
    return bubble.united(tail).simplified();
}

void BalloonWindow::reshape() {
    // Without a compositor the corners outside the bubble would show black: give the window the bubble's
    // shape.
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        return;
    QPainterPathStroker stroker;
    stroker.setWidth(3);
    setMask(QRegion(outline().united(stroker.createStroke(outline())).toFillPolygon().toPolygon()));
}

void BalloonWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(QPen(QColor::fromRgba(style_.border), 1.2));
    p.setBrush(QColor::fromRgba(style_.background));
    p.drawPath(outline());

    const QRectF body = bodyRect();
    p.setFont(font_);
    p.setPen(QColor::fromRgba(style_.foreground));
    const QFontMetrics fm(font_);
    int y = int(body.top()) + kPadding + fm.ascent();
    for (int i = first_; i < first_ + visibleLines() && i < int(lines_.size()); ++i) {
        const Line& l = lines_[i];
        const int audible = std::clamp(shown_ - l.start, 0, l.length);
        const QString heard = text_.mid(l.start, audible);
        // A line of Arabic or Hebrew is read from the right: it stands at the right edge and its words
        // appear from there.
        if (text_.mid(l.start, l.length).isRightToLeft()) {
            p.setLayoutDirection(Qt::RightToLeft);
            p.drawText(QPoint(int(body.right()) - kPadding - fm.horizontalAdvance(heard), y), heard);
            p.setLayoutDirection(Qt::LeftToRight);
        } else {
            p.drawText(QPoint(int(body.left()) + kPadding, y), heard);
        }
        y += fm.lineSpacing();
    }
}

} // namespace cw::character
