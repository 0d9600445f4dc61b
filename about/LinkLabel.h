#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace cw {

/// A label that acts as a link: a left click on it emits clicked().
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override {
        // A plain label lets presses through to the window; a link keeps them so the release comes back here.
        if (event->button() == Qt::LeftButton) {
            event->accept();
            return;
        }
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        // A press that is dragged off the label and released elsewhere is not a click.
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            emit clicked();
        }
        QLabel::mouseReleaseEvent(event);
    }
};

} // namespace cw
