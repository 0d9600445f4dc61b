// The About window: what it shows, where, and how it opens, closes and hands its windows to the skin.
#include "FakeRegistry.h"
#include "RecordingMessageBoxes.h"
#include "RecordingShell.h"
#include "RecordingWindowSkin.h"
#include "about/AboutWindowKeeper.h"
#include "about/frmAbout.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace cw;

namespace {

const AppIdentity kIdentity{QStringLiteral("Chatterwisp"), 1, 0, 16};

QString blanks(int count) {
    return QString(count, QLatin1Char(' '));
}

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT

    struct Fakes {
        test::RecordingShell shell;
        test::RecordingMessageBoxes messages;
        test::FakeRegistry registry;
        test::RecordingWindowSkin skin;
    };
    std::unique_ptr<Fakes> fakes;
    std::unique_ptr<QWidget> owner;

    AboutServices services() { return {fakes->shell, fakes->messages, fakes->registry, fakes->skin}; }

    template <typename T = QWidget> static T* control(QWidget* about, const char* name) {
        auto* found = about->findChild<T*>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }

private slots:
    void init() {
        fakes = std::make_unique<Fakes>();
        owner = std::make_unique<QWidget>();
        owner->setWindowTitle(QStringLiteral("Chatterwisp"));
        owner->setGeometry(200, 150, 309, 271);
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
    }
    void cleanup() {
        owner.reset();
        fakes.reset();
    }

    void loadWritesCaptionTitleAndVersion_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("version");
        QTest::newRow("1.0.16") << "Chatterwisp" << 1 << 0 << 16 << " v1.0.16 For Linux ";
        QTest::newRow("2.10.3") << "Chatterwisp" << 2 << 10 << 3 << " v2.10.3 For Linux ";
        QTest::newRow("other title") << "Wisp" << 0 << 0 << 0 << " v0.0.0 For Linux ";
    }
    void loadWritesCaptionTitleAndVersion() {
        QFETCH(QString, title);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, version);
        const AppIdentity identity{title, static_cast<std::int16_t>(major), static_cast<std::int16_t>(minor),
                                   static_cast<std::int16_t>(revision)};
        frmAbout about(services(), identity, owner.get());

        QCOMPARE(about.windowTitle(), QStringLiteral("About ") + title);
        QCOMPARE(control<QLabel>(&about, "lblTitle")->text(), title);
        QCOMPARE(control<QLabel>(&about, "lblVersion")->text(), version);
    }

    void fixedTextsAndTooltips() {
        frmAbout about(services(), kIdentity, owner.get());
        QCOMPARE(control<QPushButton>(&about, "cmdOK")->text(), QStringLiteral("OK"));
        QCOMPARE(control<QPushButton>(&about, "cmdSysInfo")->text(), QStringLiteral("&System Info..."));
        QCOMPARE(control<QLabel>(&about, "Label1")->text(), QStringLiteral("Warning:"));
        QCOMPARE(control<QLabel>(&about, "lblOwner1")->text(), QStringLiteral("Support Information"));
        QCOMPARE(control<QLabel>(&about, "lblOwner2")->text(),
                 QStringLiteral("[ Click here to send email to our tech support. ]"));
        QCOMPARE(control(&about, "lblOwner2")->toolTip(), QStringLiteral("Send tech support email..."));
        QCOMPARE(control(&about, "Label2")->toolTip(), QStringLiteral("Visit our website..."));
        QCOMPARE(control<QLabel>(&about, "Label2")->text(),
                 QStringLiteral("Web: https://chatterwisp.example.com/"));
        QCOMPARE(control<QLabel>(&about, "Label3")->text(),
                 QStringLiteral("Email: sales@chatterwisp.example.com"));
        QCOMPARE(
            control<QLabel>(&about, "lblDescription")->text(),
            QStringLiteral("Chatterwisp is a small Text-2-Speech application which uses its own "
                           "animated-character engine and the Flite Text-To-Speech engine for processing "
                           "the text inputs."));

        const QString disclaimer = control<QLabel>(&about, "lblDisclaimer")->text();
        QVERIFY(disclaimer.startsWith(blanks(17)));
        QVERIFY(!disclaimer.at(17).isSpace());
        QVERIFY(disclaimer.endsWith(QStringLiteral("treaties.")));
        const auto sentences = disclaimer.count(QLatin1Char('.'));
        QVERIFY(sentences >= 1 && sentences <= 2);
    }

    void controlsSitWhereTheLayoutPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("where");
        QTest::addColumn<bool>("autoSize");
        QTest::newRow("picIcon") << "picIcon" << QRect(16, 8, 36, 36) << false;
        QTest::newRow("cmdOK") << "cmdOK" << QRect(283, 192, 84, 23) << false;
        QTest::newRow("cmdSysInfo") << "cmdSysInfo" << QRect(284, 224, 83, 23) << false;
        QTest::newRow("Label2") << "Label2" << QRect(70, 144, 139, 13) << true;
        QTest::newRow("Label1") << "Label1" << QRect(16, 189, 52, 13) << true;
        QTest::newRow("lblOwner2") << "lblOwner2" << QRect(70, 112, 269, 13) << true;
        QTest::newRow("lblOwner1") << "lblOwner1" << QRect(70, 95, 111, 14) << true;
        QTest::newRow("Line1_1") << "Line1_1" << QRect(6, 179, 363, 1) << false;
        QTest::newRow("lblDescription") << "lblDescription" << QRect(70, 53, 299, 46) << false;
        QTest::newRow("lblTitle") << "lblTitle" << QRect(70, 8, 137, 24) << true;
        QTest::newRow("Line1_0") << "Line1_0" << QRect(7, 180, 362, 2) << false;
        QTest::newRow("lblVersion") << "lblVersion" << QRect(216, 16, 104, 14) << true;
        QTest::newRow("lblDisclaimer") << "lblDisclaimer" << QRect(16, 191, 258, 55) << false;
    }
    void controlsSitWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, where);
        QFETCH(bool, autoSize);
        frmAbout about(services(), kIdentity, owner.get());
        QCOMPARE(about.size(), QSize(376, 252));
        QCOMPARE(about.minimumSize(), about.maximumSize());

        const QWidget* widget = control(&about, name.toLatin1().constData());
        QCOMPARE(widget->pos(), where.topLeft());
        if (autoSize) {
            // An auto-size label takes the size of its one line of text, and stays inside the window.
            const auto* label = qobject_cast<const QLabel*>(widget);
            QCOMPARE(widget->size(), label->sizeHint());
            QVERIFY2(widget->geometry().right() < about.width(), qPrintable(name + " leaves the window"));
        } else {
            QCOMPARE(widget->size(), where.size());
        }
    }

    void wrappedTextFitsItsLabel_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("description") << "lblDescription";
        QTest::newRow("disclaimer") << "lblDisclaimer";
    }
    void wrappedTextFitsItsLabel() {
        QFETCH(QString, name);
        frmAbout about(services(), kIdentity, owner.get());
        const auto* label = control<QLabel>(&about, name.toLatin1().constData());
        QVERIFY(label->wordWrap());
        const QRect needed =
            label->fontMetrics().boundingRect(label->rect(), Qt::TextWordWrap, label->text());
        QVERIFY2(needed.height() <= label->height(), qPrintable(QString::number(needed.height())));
    }

    void emailLinkMovesUnderTheWebLinkWhenTheRowIsTooShort() {
        frmAbout about(services(), kIdentity, owner.get());
        const QRect web = control(&about, "Label2")->geometry();
        const auto* mailLabel = control<QLabel>(&about, "Label3");
        const QRect mail = mailLabel->geometry();
        QCOMPARE(mail.size(), mailLabel->sizeHint());
        // The sales address is too long to sit at (224, 144) beside the web link inside the window.
        QVERIFY(224 + mail.width() > about.width());
        QCOMPARE(mail.topLeft(), QPoint(70, 157));
        QVERIFY2(!web.intersects(mail), "the web and e-mail links overlap");
        QVERIFY(mail.bottom() < control(&about, "Line1_1")->y());
    }

    void warningFillsTheDisclaimersOpeningBlanks() {
        frmAbout about(services(), kIdentity, owner.get());
        const auto* warning = control<QLabel>(&about, "Label1");
        const auto* disclaimer = control<QLabel>(&about, "lblDisclaimer");
        const int blankWidth = disclaimer->fontMetrics().horizontalAdvance(blanks(17));
        const int gap = disclaimer->fontMetrics().horizontalAdvance(QLatin1Char(' '));
        // "Warning:" must not run into the notice's first word, nor leave a hole wider than two blanks.
        QVERIFY(warning->x() == disclaimer->x());
        QVERIFY2(warning->width() <= blankWidth, qPrintable(QString::number(warning->width())));
        QVERIFY2(blankWidth - warning->width() <= 2 * gap, qPrintable(QString::number(blankWidth)));
        QVERIFY(qAbs(warning->y() - disclaimer->y()) <= 2);
    }

    void linksShowThePointingHand() {
        frmAbout about(services(), kIdentity, owner.get());
        for (const char* name : {"Label2", "Label3", "lblOwner2"}) {
            const QCursor cursor = control(&about, name)->cursor();
            QCOMPARE(cursor.shape(), Qt::BitmapCursor);
            QCOMPARE(cursor.hotSpot(), QPoint(12, 1));
            QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
        }
        QVERIFY(control(&about, "Label1")->cursor().shape() != Qt::BitmapCursor);
    }

    void windowIsAFixedModelessDialogWithOnlyACloseBox() {
        frmAbout about(services(), kIdentity, owner.get());
        const Qt::WindowFlags flags = about.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QCOMPARE(about.windowType(), Qt::Dialog);
        QCOMPARE(about.parentWidget(), owner.get());
        QVERIFY(!about.isModal());
        QVERIFY(!about.windowIcon().isNull());
        QVERIFY(!control<QLabel>(&about, "picIcon")->pixmap().isNull());
    }

    void showingTwiceKeepsOneWindowCentredOverItsOwner() {
        AboutWindowKeeper keeper(services(), kIdentity);
        keeper.show(owner.get());
        QPointer<frmAbout> first = keeper.window();
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QCOMPARE(fakes->skin.handOvers(), 1);
        QVERIFY(fakes->skin.windows().contains(first.data()));
        QVERIFY(fakes->skin.windows().contains(owner.get()));

        keeper.show(owner.get());
        QCOMPARE(keeper.window(), first.data());
        QCOMPARE(owner->findChildren<frmAbout*>().size(), 1);
        QCOMPARE(fakes->skin.handOvers(), 1);

        QVERIFY(qAbs(first->geometry().center().x() - owner->geometry().center().x()) <= 1);
        QVERIFY(qAbs(first->geometry().center().y() - owner->geometry().center().y()) <= 1);
        QVERIFY(first->hasFocus() || first->focusWidget() == control(first, "cmdOK"));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void keysAndCloseBoxUnloadTheWindow_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc") << "esc";
        QTest::newRow("Enter on OK") << "enter";
        QTest::newRow("Return on OK") << "return";
        QTest::newRow("OK clicked") << "click";
        QTest::newRow("close box") << "close";
    }
    void keysAndCloseBoxUnloadTheWindow() {
        QFETCH(QString, how);
        AboutWindowKeeper keeper(services(), kIdentity);
        keeper.show(owner.get());
        QPointer<frmAbout> first = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QCOMPARE(first->focusWidget(), control(first, "cmdOK"));

        if (how == QLatin1String("esc")) {
            QTest::keyClick(first->focusWidget(), Qt::Key_Escape);
        } else if (how == QLatin1String("enter")) {
            QTest::keyClick(first->focusWidget(), Qt::Key_Enter);
        } else if (how == QLatin1String("return")) {
            QTest::keyClick(first->focusWidget(), Qt::Key_Return);
        } else if (how == QLatin1String("click")) {
            QTest::mouseClick(control(first, "cmdOK"), Qt::LeftButton);
        } else {
            QVERIFY(first->close());
        }

        QCOMPARE(keeper.window(), nullptr);
        QTRY_VERIFY(first.isNull());
        QVERIFY(fakes->messages.shown.isEmpty());
    }

    void enterOnSysInfoPressesItAndKeepsTheWindow() {
        AboutWindowKeeper keeper(services(), kIdentity);
        keeper.show(owner.get());
        frmAbout* about = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        auto* sysInfo = control<QPushButton>(about, "cmdSysInfo");
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Return);

        // The empty registry names no tool, so pressing the button ends in the message.
        QCOMPARE(fakes->messages.shown.size(), 1);
        QCOMPARE(fakes->messages.shown.front().text,
                 QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(keeper.window(), about);
        QVERIFY(about->isVisible());
    }

    void reopeningLoadsAgain() {
        AboutWindowKeeper keeper(services(), kIdentity);
        keeper.show(owner.get());
        QPointer<frmAbout> first = keeper.window();
        first->setWindowTitle(QStringLiteral("changed"));
        first->close();

        keeper.show(owner.get());
        frmAbout* second = keeper.window();
        QVERIFY(second != nullptr);
        QVERIFY(second != first.data());
        QCOMPARE(second->windowTitle(), QStringLiteral("About Chatterwisp"));
        QCOMPARE(control<QLabel>(second, "lblVersion")->text(), QStringLiteral(" v1.0.16 For Linux "));
        QCOMPARE(fakes->skin.handOvers(), 2);
        QVERIFY(fakes->skin.windows().contains(second));
        QVERIFY(fakes->skin.windows().contains(owner.get()));
        QVERIFY2(!fakes->skin.windows().contains(first.data()),
                 "a closed About window was handed over again");
        QTRY_VERIFY(first.isNull());
        QCOMPARE(owner->findChildren<frmAbout*>().size(), 1);
    }

    void linksOpenThroughTheShell_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("handled");
        QTest::newRow("web") << "Label2"
                             << "https://chatterwisp.example.com/" << true;
        QTest::newRow("sales") << "Label3"
                               << "mailto:sales@chatterwisp.example.com" << true;
        QTest::newRow("support") << "lblOwner2"
                                 << "mailto:support@chatterwisp.example.com" << true;
        QTest::newRow("web, no handler") << "Label2"
                                         << "https://chatterwisp.example.com/" << false;
        QTest::newRow("support, no handler") << "lblOwner2"
                                             << "mailto:support@chatterwisp.example.com" << false;
    }
    void linksOpenThroughTheShell() {
        QFETCH(QString, name);
        QFETCH(QString, link);
        QFETCH(bool, handled);
        fakes->shell.openSucceeds = handled;
        AboutWindowKeeper keeper(services(), kIdentity);
        keeper.show(owner.get());
        frmAbout* about = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(about));

        QTest::mouseClick(control(about, name.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(fakes->shell.opened, QStringList{link});
        QVERIFY(fakes->messages.shown.isEmpty());
        QCOMPARE(keeper.window(), about);
        QVERIFY(about->isVisible());

        // Only a left click opens a link.
        QTest::mouseClick(control(about, name.toLatin1().constData()), Qt::RightButton);
        QCOMPARE(fakes->shell.opened.size(), 1);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_AboutWindow.moc"
