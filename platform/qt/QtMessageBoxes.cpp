#include "QtMessageBoxes.h"

#include "AppIdentity.h"

#include <QIcon>
#include <QMessageBox>

namespace cw {

void QtMessageBoxes::show(const QString& text, int style, const QString& title) {
    const QMessageBox::Icon icon =
        (style & 0x70) == kMbIconCritical ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, title.isEmpty() ? appIdentity().title : title, text, QMessageBox::Ok);
    box.setWindowIcon(appIcon());
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

} // namespace cw
