#include "CharacterWindow.h"

#include "character/TaskbarHint.h"
#include "core/Trace.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace cw::character {

namespace {

// Everything drawn, however faint, takes clicks; the rest of the window lets them through.
QRegion drawnRegion(const QImage& frame, QSize logical) {
    const QImage small = frame.size() == logical
                             ? frame
                             : frame.scaled(logical, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QImage argb = small.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage mono(logical, QImage::Format_MonoLSB);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // black (1) is inside the region
    mono.fill(0);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(row[x]) > 0)
                mono.setPixel(x, y, 1);
        }
    }
    return QRegion(QBitmap::fromImage(mono));
}

// Stay-on-top is changed on the native window in place: setting the widget's flags would hide and re-create
// it.
void setKeptAbove(QWidget& window, bool above) {
    if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == above)
        return;
    const Qt::WindowFlags flags = window.windowFlags().setFlag(Qt::WindowStaysOnTopHint, above);
    window.overrideWindowFlags(flags);
    if (QWindow* handle = window.windowHandle())
        handle->setFlags(flags);
}

} // namespace

QPoint keptOnArea(QPoint topLeft, QSize frame, const QRect& area) {
    if (area.isEmpty())
        return topLeft;
    // Three quarters of each side on the area leave nine sixteenths of him there, even in a corner.
    const int offX = frame.width() - (3 * frame.width() + 3) / 4;
    const int offY = frame.height() - (3 * frame.height() + 3) / 4;
    const int x = std::clamp(topLeft.x(), area.left() - offX,
                             std::max(area.left() - offX, area.right() + 1 - frame.width() + offX));
    const int y = std::clamp(topLeft.y(), area.top() - offY,
                             std::max(area.top() - offY, area.bottom() + 1 - frame.height() + offY));
    return {x, y};
}

CharacterWindow::CharacterWindow(CharacterEngine& engine, FrameRenderer& renderer)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      engine_(engine), renderer_(renderer), balloon_(new BalloonWindow(engine.data().balloon)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(engine.data().name);
    setFixedSize(renderer.frameSize());
    const QString platform = QGuiApplication::platformName();
    shapes_ = platform != u"offscreen" && platform != u"minimal";
    // Under Wayland only the compositor places windows; there the drag is left to it.
    movesItself_ = !platform.startsWith(u"wayland");
    move(engine.position());

    composeSoon_.setSingleShot(true);
    composeSoon_.setInterval(0);
    // A hidden character is not drawn: its frame is composed when it is shown (start-up shows it soon after).
    connect(&composeSoon_, &QTimer::timeout, this, [this] {
        if (engine_.isVisible())
            compose();
    });
    connect(&engine_, &CharacterEngine::frameChanged, &composeSoon_, qOverload<>(&QTimer::start));
    connect(&engine_, &CharacterEngine::moved, this, [this](QPoint p) {
        systemMove_ = false;
        if (pos() != p)
            move(p);
        placeBalloon();
    });
    connect(&engine_, &CharacterEngine::visibilityChanged, this, [this](bool visible) {
        if (visible) {
            compose();
            show();
            trace("character window shown");
            keepOffTaskbar(*this);
        } else {
            hide();
            balloon_->hide();
        }
    });
    connect(&engine_, &CharacterEngine::balloonChanged, this, &CharacterWindow::updateBalloon);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &CharacterWindow::followFocus);
    // Once the character first stands still on screen (after the greeting), get ready for the first Say it.
    connect(&engine_, &CharacterEngine::requestFinished, this, [this] {
        if (preparedForSpeech_)
            return;
        QTimer::singleShot(0, this, [this] {
            if (!preparedForSpeech_ && engine_.isVisible() &&
                engine_.activity() == CharacterEngine::Activity::None)
                prepareForSpeech();
        });
    });
}

void CharacterWindow::prepareForSpeech() {
    // The speaking poses and every mouth are drawn once now, into the renderer's cache, so the frames that
    // go with the first words cost no more than later ones; the balloon makes its window.
    preparedForSpeech_ = true;
    trace("speech preparation started");
    const CharacterData& data = engine_.data();
    const qreal dpr = devicePixelRatioF();
    const std::vector<int>& speaking = data.states[std::size_t(State::Speaking)];
    for (int animation : speaking) {
        const int frames = int(data.animations[std::size_t(animation)].frames.size());
        for (int frame = 0; frame < frames; ++frame)
            renderer_.render(animation, frame, Mouth::Closed, dpr);
    }
    if (!speaking.empty()) {
        for (int shape = int(Mouth::Closed); shape <= int(Mouth::Narrow); ++shape)
            renderer_.render(speaking.front(), 0, Mouth(shape), dpr);
    }
    balloon_->prepare();
    trace("speech preparation done");
}

CharacterWindow::~CharacterWindow() {
    delete balloon_.data();
}

void CharacterWindow::compose() {
    image_ = renderer_.render(engine_.animation(), engine_.frame(), engine_.mouth(), devicePixelRatioF());
    ++composed_;
    region_ = drawnRegion(image_, size());
    if (shapes_)
        setMask(region_);
    update();
    trace("frame composed");
}

void CharacterWindow::paintEvent(QPaintEvent*) {
    if (!qFuzzyCompare(image_.devicePixelRatio(), devicePixelRatioF()))
        compose();
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), image_);
}

void CharacterWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    engine_.dismissBalloon();
    // The window follows the mouse itself, so the engine (and the balloon) always know where it is and it
    // stays on the screen; only where the program cannot place windows does the compositor move it.
    if (!movesItself_ && windowHandle() && windowHandle()->startSystemMove()) {
        systemMove_ = true;
        return;
    }
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void CharacterWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragOffset_)
        return;
    const QPoint pointer = event->globalPosition().toPoint();
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = this->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    engine_.setPosition(keptOnArea(pointer - *dragOffset_, size(), area));
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent*) {
    dragOffset_.reset();
    systemMove_ = false;
}

void CharacterWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Only a move the window manager made for the user is news to the engine; others echo its own positions.
    if (systemMove_ && pos() != engine_.position())
        engine_.setPosition(pos());
    placeBalloon();
}

QRect CharacterWindow::areaAt(const QRect& frame) const {
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void CharacterWindow::followFocus(QWindow* focus) {
    // A dialog of ours (Help, About, a message) is there to be read: he steps below it while it has the
    // focus, and stays above ordinary windows otherwise.
    const bool dialog = focus && (focus->type() == Qt::Dialog || focus->modality() != Qt::NonModal);
    setKeptAbove(*this, !dialog);
    if (balloon_)
        setKeptAbove(*balloon_, !dialog);
    if (dialog)
        focus->raise();
}

void CharacterWindow::placeBalloon() {
    if (!balloon_->isVisible())
        return;
    const QRect frame(engine_.position(), size());
    balloon_->place(frame, areaAt(frame));
}

void CharacterWindow::updateBalloon() {
    const CharacterEngine::Balloon& b = engine_.balloon();
    if (!b.visible || !engine_.isVisible()) {
        balloon_->hide();
        return;
    }
    balloon_->setText(b.text, b.shown);
    const QRect frame(engine_.position(), size());
    balloon_->place(frame, areaAt(frame));
    if (!balloon_->isVisible()) {
        balloon_->show();
        keepOffTaskbar(*balloon_);
    }
    trace("balloon updated");
}

} // namespace cw::character
