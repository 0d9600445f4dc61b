// The main window as laid out: geometry, keyboard order, access keys, field limits, wrapping and tooltips.
#include "AppIdentity.h"
#include "MainWindowHarness.h"
#include "app/Fonts.h"
#include "platform/qt/ReadableColours.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorSpace>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>

using namespace cw;
using namespace cw::test;

namespace {
QString plainCaption(QString caption) {
    return caption.remove(QLatin1Char('&'));
}
} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MainWindowHarness> h;
    QWidget* control(const QString& name) {
        if (name == QLatin1String("CWmain")) {
            return h->window.get();
        }
        return h->window->findChild<QWidget*>(name);
    }

private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() {
        h = std::make_unique<MainWindowHarness>();
        h->startUp();
        QVERIFY(QTest::qWaitForWindowExposed(h->window.get()));
    }
    void cleanup() { h.reset(); }

    void windowProperties() {
        CWmain& w = *h->window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Chatterwisp"));
        QCOMPARE(w.size(), QSize(309, 271));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // fixed: the user cannot resize it
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!w.windowIcon().isNull());
        // Every size the window manager and the tray may pick, each drawn at its own size.
        QList<QSize> sizes = w.windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(sizes, (QList<QSize>{{32, 32}, {64, 64}, {128, 128}}));
        QCOMPARE(w.windowIcon().pixmap(QSize(64, 64)).size(), QSize(64, 64));
        // Each size is its PNG, pixel for pixel, though the icon is stored decoded for a faster start.
        for (const QString& png : {iconResourcePath(), QStringLiteral(":/chatterwisp/chatterwisp-64.png"),
                                   QStringLiteral(":/chatterwisp/chatterwisp-128.png")}) {
            QImage expected = QImage(png).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QVERIFY(!expected.isNull());
            expected.setColorSpace({}); // the window manager takes plain pixels; only they are compared
            const QImage drawn = w.windowIcon().pixmap(expected.size()).toImage();
            QCOMPARE(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
        }
        const QImage icon(iconResourcePath());
        QCOMPARE(icon.size(), QSize(32, 32));
        QVERIFY(icon.format() == QImage::Format_Indexed8 && icon.colorCount() <= 256);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // Centred within the few pixels a window frame adds.
        QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 3);
        QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= 3);
    }

    void controlGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected"); // logical pixels, at 15 twips to the pixel
        QTest::addColumn<bool>("sizedToText");
        const struct {
            const char* name;
            QRect rect;
            bool sizedToText;
        } rows[] = {
            {"TextBox", {7, 8, 297, 145}, false},    {"VoiceS", {7, 160, 297, 65}, false},
            {"Label1", {5, 17, 27, 13}, true},       {"txtpitch", {33, 16, 30, 19}, false},
            {"Label2", {67, 17, 34, 13}, true},      {"txtspeed", {103, 16, 32, 19}, false},
            {"Label4", {140, 17, 33, 13}, true},     {"chkpaste", {5, 38, 285, 22}, false},
            {"Button", {5, 232, 49, 33}, false},     {"cmdShut", {54, 232, 39, 33}, false},
            {"cmdClear", {93, 232, 54, 33}, false},  {"cmdHide", {147, 232, 70, 33}, false},
            {"cmdAbout", {217, 232, 48, 33}, false}, {"cmdHelp", {265, 232, 38, 33}, false},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.rect << row.sizedToText;
        }
    }
    void presetsKeepTheirPlacesAndGetTheRoomTheStyleAsks() {
        const int designLeft[] = {176, 205, 235, 264};
        for (std::size_t i = 0; i < 4; ++i) {
            const QRadioButton* preset = h->window->optVoice[i];
            QCOMPARE(preset->x(), designLeft[i]);
            QCOMPARE(preset->geometry().center().y(), QRect(0, 18, 25, 13).center().y());
            QVERIFY(preset->width() >= std::max(25, preset->sizeHint().width()));
            QVERIFY(preset->height() >= std::max(13, preset->sizeHint().height()));
        }
    }

    void controlGeometry() {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        QFETCH(bool, sizedToText);
        QWidget* widget = control(name);
        QVERIFY2(widget, qPrintable(name));
        QVERIFY(widget->isVisible());
        QVERIFY(widget->isEnabled());
        if (sizedToText) {
            QCOMPARE(widget->pos(), expected.topLeft()); // labels take the size of their text
        } else {
            QCOMPARE(widget->geometry(), expected);
        }
    }

    void buttonsTouchEdgeToEdge() {
        const CustomButton* row[] = {h->window->Button,  h->window->cmdShut,  h->window->cmdClear,
                                     h->window->cmdHide, h->window->cmdAbout, h->window->cmdHelp};
        for (std::size_t i = 1; i < std::size(row); ++i) {
            QCOMPARE(row[i]->x(), row[i - 1]->x() + row[i - 1]->width());
        }
    }

    void buttonsShowTheirCaptionInTheDialogFont() {
        CWmain& w = *h->window;
        QCOMPARE(w.cmdClear->text(), QStringLiteral("&Clear All"));
        for (const CustomButton* button :
             {w.Button, w.cmdShut, w.cmdClear, w.cmdHide, w.cmdAbout, w.cmdHelp}) {
            QCOMPARE(QFontInfo(button->font()).family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(button->font().pointSizeF(), 8.25);
        }
    }

    void focusMarkFollowsTheShowFocusSetting() {
        QWidget window;
        QVariantMap settings = CustomButton::standardSettings(QStringLiteral("&Clear All"));
        CustomButton marked(settings, &window);
        settings.insert(QStringLiteral("showfocus"), false);
        CustomButton plain(settings, &window);
        window.resize(200, 120);
        marked.setGeometry(10, 10, 95, 33);
        plain.setGeometry(10, 60, 95, 33);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseMove(&window, QPoint(190, 110)); // over neither button, which would draw hovered
        // As after Tab: styles mark only a focus that came from the keyboard.
        auto drawnWithFocus = [&window](CustomButton& button) {
            button.setFocus();
            window.setAttribute(Qt::WA_KeyboardFocusChange);
            return button.grab().toImage();
        };
        const QImage markedFocused = drawnWithFocus(marked);
        const QImage plainFocused = drawnWithFocus(plain);
        const QImage markedUnfocused = marked.grab().toImage();
        QVERIFY2(markedFocused != markedUnfocused, "the focused button shows a focus mark");
        QVERIFY2(markedFocused != plainFocused, "without \"showfocus\" the button draws no mark of its own");
    }

    void startValues() {
        CWmain& w = *h->window;
        QCOMPARE(w.txtpitch->text(), QStringLiteral("60"));
        QCOMPARE(w.txtspeed->text(), QStringLiteral("100"));
        QVERIFY(w.optVoice[0]->isChecked());
        QVERIFY(!w.optVoice[1]->isChecked() && !w.optVoice[2]->isChecked() && !w.optVoice[3]->isChecked());
        QVERIFY(!w.chkpaste->isChecked());
        const QColor grey = w.chkpaste->palette().color(QPalette::Window);
        QVERIFY(grey.red() == grey.green() && grey.green() == grey.blue() && grey.red() >= 0x70);
        QVERIFY(contrastRatio(grey, Qt::white) >= kReadableContrast); // the design's 0x80 is 3.9:1
        QCOMPARE(w.chkpaste->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        QCOMPARE(w.VoiceS->title(), QStringLiteral("Settings"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Pitch:"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Speed:"));
        QCOMPARE(w.Label4->text(), QStringLiteral("Preset:"));
        QCOMPARE(w.chkpaste->text(), QStringLiteral("Automatically &Paste Text From Windows Clipboard"));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(w.optVoice[static_cast<std::size_t>(i)]->text(), QString::number(i + 1));
        }
    }

    void clipboardBoxPaintsGreyBehindWhiteText() {
        QCheckBox& box = *h->window->chkpaste;
        const QImage drawn = box.grab().toImage();
        // Far right of the box, past its caption: nothing but its own background.
        const QPoint background(drawn.width() - 3, drawn.height() / 2);
        QCOMPARE(drawn.pixelColor(background).rgb(), box.palette().color(QPalette::Window).rgb());
        QVERIFY(qGray(drawn.pixel(background)) < 128);
        // The caption is drawn in white: some pixel of the text area is much lighter than the grey.
        const QRect caption(25, 0, 150, drawn.height());
        int lightest = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y) {
            for (int x = caption.left(); x <= caption.right(); ++x) {
                lightest = std::max(lightest, qGray(drawn.pixel(x, y)));
            }
        }
        QVERIFY2(lightest > 230, qPrintable(QString::number(lightest)));
    }

    void captionsFitTheirControls() {
        QCOMPARE(QFontInfo(dialogFont()).family(), QStringLiteral("Liberation Sans"));
        const QList<QAbstractButton*> buttons = h->window->findChildren<QAbstractButton*>();
        QVERIFY(buttons.size() >= 11);
        for (const QAbstractButton* button : buttons) {
            const int textWidth = button->fontMetrics().horizontalAdvance(plainCaption(button->text()));
            const int room =
                qobject_cast<const QPushButton*>(button) ? button->width() - 4 : button->width() - 16;
            QVERIFY2(textWidth <= room,
                     qPrintable(QStringLiteral("%1: %2 > %3").arg(button->text()).arg(textWidth).arg(room)));
        }
    }

    void tabOrder() {
        CWmain& w = *h->window;
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.optVoice[2]->setChecked(true); // the group is one stop: the selected button
        w.TextBox->setFocus();
        const QWidget* expected[] = {w.txtpitch, w.txtspeed, w.optVoice[2], w.chkpaste, w.Button,
                                     w.cmdShut,  w.cmdClear, w.cmdHide,     w.cmdAbout, w.cmdHelp};
        for (const QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void altPTogglesTheClipboardBox() {
        CWmain& w = *h->window;
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.TextBox->setFocus();
        // An access key presses the box after a short visible press, as a click would.
        QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(w.state().MonitorClipboard, kTrue);
        QVERIFY(w.chkpaste->isChecked());
        QVERIFY(w.tmrClipboard->isActive());
        QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(w.state().MonitorClipboard, kFalse);
        QVERIFY(!w.chkpaste->isChecked());
        QVERIFY(!w.tmrClipboard->isActive());
    }

    void fieldsHoldThreeCharacters() {
        CWmain& w = *h->window;
        for (QLineEdit* field : {w.txtpitch, w.txtspeed}) {
            field->setFocus();
            field->setText(QStringLiteral("12"));
            field->end(false);
            QTest::keyClicks(field, QStringLiteral("34"));
            QCOMPARE(field->text(), QStringLiteral("123"));
        }
    }

    void longTextWrapsWithoutHorizontalScrolling() {
        CWmain& w = *h->window;
        w.TextBox->setPlainText(
            QString(40, QLatin1Char(' ')).replace(QLatin1Char(' '), QStringLiteral("wrapping words ")));
        QCoreApplication::processEvents();
        QVERIFY(w.TextBox->verticalScrollBar()->isVisible());
        QVERIFY(w.TextBox->verticalScrollBar()->maximum() > 0);
        QVERIFY(!w.TextBox->horizontalScrollBar()->isVisible());
        QCOMPARE(w.TextBox->horizontalScrollBar()->maximum(), 0);
        QVERIFY(w.TextBox->blockCount() == 1 &&
                w.TextBox->document()->documentLayout()->documentSize().height() > 10);
    }

    void toolTipsAndAccessibleNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        const char* rows[][2] = {
            {"TextBox", "Type something in here for the Genie to say, then press the Say it! button"},
            {"txtpitch", "Current Voice Pitch (in Hertz)"},
            {"txtspeed", "Current Voice Speed"},
            {"chkpaste", "Enable Clipboard Monitoring Feature."},
            {"Button",
             "Type some text into the textbox, then press this button to command Genie for saying it!"},
            {"cmdShut", "Command Genie to stop talking."},
            {"cmdClear", "Empty textbox and clipboard contents."},
            {"cmdHide", "Hide Genie from the screen."},
            {"cmdAbout", "About Chatterwisp."},
            {"cmdHelp", "Show Chatterwisp Help."},
            {"VoiceS", ""},
            {"Label1", ""},
            {"Label2", ""},
            {"Label4", ""},
            {"optVoice0", ""},
            {"optVoice3", ""},
        };
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
        }
    }
    void toolTipsAndAccessibleNames() {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        QWidget* widget = control(name);
        QVERIFY(widget);
        QCOMPARE(widget->toolTip(), toolTip);
        QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(name));
        QVERIFY(!widget->accessibleName().contains(QLatin1Char('&')));
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
