#include "QtMessageBoxes.h"

#include "AppIdentity.h"

#include <QIcon>
#include <QMessageBox>

namespace cw {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBoxes::show(const QString& text, MessageIcon icon, const QString& title) {
    QMessageBox box(qtIcon(icon), title.isEmpty() ? appIdentity().title : title, text, QMessageBox::Ok);
    box.setWindowIcon(appIcon());
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

} // namespace cw
