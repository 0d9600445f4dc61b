// The Qt message box: the icon asked for is the icon shown, with one OK button, and an empty title gives the
// program's title.
#include "platform/qt/QtMessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace cw;

Q_DECLARE_METATYPE(cw::MessageIcon)

class TestQtMessageBoxes : public QObject {
    Q_OBJECT

    struct Seen {
        bool shown = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QStringList buttons;
    };

    /// Shows a box and reads what it shows from the event loop it runs, then closes it.
    Seen showAndLook(MessageIcon icon, const QString& title) {
        Seen seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || seen.shown) {
                return;
            }
            seen.shown = true;
            seen.icon = box->icon();
            seen.title = box->windowTitle();
            seen.text = box->text();
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons.append(button->text().remove(QLatin1Char('&')));
            }
            box->accept();
        });
        poll.start(10);
        QtMessageBoxes().show(QStringLiteral("Something to say"), icon, title);
        return seen;
    }

private slots:
    void showsTheIconAskedForWithOneOkButton_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<int>("shownIcon");
        QTest::newRow("none") << MessageIcon::None << int(QMessageBox::NoIcon);
        QTest::newRow("critical") << MessageIcon::Critical << int(QMessageBox::Critical);
    }
    void showsTheIconAskedForWithOneOkButton() {
        QFETCH(MessageIcon, icon);
        QFETCH(int, shownIcon);
        const Seen seen = showAndLook(icon, QStringLiteral("A title"));
        QVERIFY(seen.shown);
        QCOMPARE(int(seen.icon), shownIcon);
        QCOMPARE(seen.title, QStringLiteral("A title"));
        QCOMPARE(seen.text, QStringLiteral("Something to say"));
        QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    }

    void anEmptyTitleGivesTheProgramsTitle() {
        const Seen seen = showAndLook(MessageIcon::None, QString());
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Chatterwisp"));
    }
};

QTEST_MAIN(TestQtMessageBoxes)
#include "tst_QtMessageBoxes.moc"
