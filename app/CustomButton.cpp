#include "CustomButton.h"

#include "Fonts.h"
#include "platform/qt/EnterPressesButton.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace cw {

CustomButton::CustomButton(const QVariantMap& settings, QWidget* parent)
    : QPushButton(parent), showFocus_(settings.value(QStringLiteral("showfocus"), true).toBool()) {
    setText(settings.value(QStringLiteral("caption")).toString());
    const QVariant font = settings.value(QStringLiteral("font"));
    if (font.canConvert<QFont>()) {
        setFont(installedFont(font.value<QFont>()));
    }
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
    pressOnEnter(this);
}

QVariantMap CustomButton::standardSettings(const QString& caption) {
    return {
        {QStringLiteral("caption"), caption},
        {QStringLiteral("font"), dialogFont()},
        {QStringLiteral("showfocus"), true},
    };
}

void CustomButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    // Some styles draw no focus mark on push buttons; this button always shows one while it has the focus.
    if (hasFocus() && showFocus_) {
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(4, 4, -4, -4);
        option.backgroundColor = palette().color(QPalette::Button);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
}

} // namespace cw
