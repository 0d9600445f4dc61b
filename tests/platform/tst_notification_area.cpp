// The Qt notification area's context menu: the entries the program sets, in order, each doing its own thing,
// kept when the icon is shown later and replaced when set again.
#include "platform/qt/QtNotificationArea.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QtTest>

using namespace cw;

namespace {
QIcon someIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkBlue);
    return QIcon(pixmap);
}
QStringList texts(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions()) {
        result.append(action->text());
    }
    return result;
}
} // namespace

class NotificationAreaTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("needs a notification area: run inside tools/headless.sh");
        }
    }

    void theMenuSetBeforeTheIconComesWithIt() {
        QtNotificationArea area;
        QStringList chosen;
        area.setMenu({{QStringLiteral("Restore"), [&] { chosen.append(QStringLiteral("restore")); }},
                      {QStringLiteral("Quit"), [&] { chosen.append(QStringLiteral("quit")); }}});
        QVERIFY(area.addIcon(someIcon(), QStringLiteral("tip")));
        const QMenu* menu = area.icon()->contextMenu();
        QVERIFY(menu);
        QCOMPARE(texts(menu), (QStringList{QStringLiteral("Restore"), QStringLiteral("Quit")}));
        menu->actions().at(1)->trigger();
        menu->actions().at(0)->trigger();
        QCOMPARE(chosen, (QStringList{QStringLiteral("quit"), QStringLiteral("restore")}));
    }

    void settingTheMenuAgainReplacesIt() {
        QtNotificationArea area;
        int stops = 0;
        QVERIFY(area.addIcon(someIcon(), QStringLiteral("tip")));
        area.setMenu({{QStringLiteral("Restore"), {}}});
        area.setMenu({{QStringLiteral("Stop"), [&] { ++stops; }}});
        const QMenu* menu = area.icon()->contextMenu();
        QVERIFY(menu);
        QCOMPARE(texts(menu), QStringList{QStringLiteral("Stop")});
        menu->actions().at(0)->trigger();
        QCOMPARE(stops, 1);
    }
};

QTEST_MAIN(NotificationAreaTest)
#include "tst_notification_area.moc"
