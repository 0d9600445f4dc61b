// Every text of the main window and the About window reads at WCAG 2 AA contrast against what is drawn
// behind it, in the light and a dark palette of Fusion and under the desktop's own palette (run again with
// QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark), and the fields and presets show their numbers whole in
// every installed style. Set CW_SHOT_DIR to keep a picture of each window per palette.
#include "MainWindowHarness.h"
#include "platform/qt/ReadableColours.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {

QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::AlternateBase, QColor(0x2c, 0x2c, 0x2c));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    return dark;
}

bool desktopThemeAsked() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORMTHEME");
}

// The colour drawn behind `widget`: its own background if it fills one, else that of the nearest parent that
// does, up to its window.
QColor colourBehind(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow()) {
            return w->palette().color(QPalette::Active, w->backgroundRole());
        }
    }
    return widget->palette().color(QPalette::Active, QPalette::Window);
}

struct TextColours {
    QString what;
    QColor text;
    QColor behind;
};

// The text colour and background of every control of `window` that shows text, as it paints them.
QList<TextColours> textsOf(QWidget* window) {
    QList<TextColours> texts;
    const auto controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (control->window() != window || !control->isVisibleTo(window)) {
            continue;
        }
        const QPalette& palette = control->palette();
        const QString name = window->objectName() + QLatin1Char('.') + control->objectName();
        if (qobject_cast<QLineEdit*>(control) || qobject_cast<QPlainTextEdit*>(control)) {
            texts.append({name, palette.color(QPalette::Active, QPalette::Text),
                          palette.color(QPalette::Active, QPalette::Base)});
        } else if (qobject_cast<QPushButton*>(control)) {
            texts.append({name, palette.color(QPalette::Active, QPalette::ButtonText),
                          palette.color(QPalette::Active, QPalette::Button)});
        } else if (auto* label = qobject_cast<QLabel*>(control); label && !label->text().isEmpty()) {
            texts.append(
                {name, palette.color(QPalette::Active, label->foregroundRole()), colourBehind(label)});
        } else if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QGroupBox*>(control)) {
            texts.append(
                {name, palette.color(QPalette::Active, QPalette::WindowText), colourBehind(control)});
        }
    }
    return texts;
}

// Whether `field` shows `text` whole: the room inside its frame and margins is as wide as the text.
bool showsWhole(QLineEdit* field, const QString& text) {
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
    const QMargins margins = field->textMargins();
    const int room = contents.width() - margins.left() - margins.right() - 2 * 2; // Qt's inner margin
    return field->fontMetrics().horizontalAdvance(text) <= room;
}

} // namespace

class ReadabilityTest : public QObject {
    Q_OBJECT
private slots:
    void anUnreadableColourKeepsItsHueAndMovesItsLightness_data() {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("lighter");
        QTest::newRow("pale yellow on light grey")
            << QColor(0xff, 0xff, 0xc0) << QColor(0xef, 0xef, 0xef) << false;
        QTest::newRow("navy on dark grey") << QColor(0, 0, 0x80) << QColor(0x32, 0x32, 0x32) << true;
        QTest::newRow("red on light grey") << QColor(0xff, 0, 0) << QColor(0xef, 0xef, 0xef) << false;
        QTest::newRow("middle grey behind white") << QColor(0x80, 0x80, 0x80) << QColor(Qt::white) << false;
    }
    void anUnreadableColourKeepsItsHueAndMovesItsLightness() {
        QFETCH(QColor, colour);
        QFETCH(QColor, background);
        QFETCH(bool, lighter);
        const QColor readable = readableOn(colour, background);
        QVERIFY(contrastRatio(readable, background) >= kReadableContrast);
        QVERIFY(contrastRatio(readable, background) < kReadableContrast + 0.3); // no further than it needs
        QCOMPARE(readable.toHsl().hslHue(), colour.toHsl().hslHue());
        QCOMPARE(readable.lightness() > colour.lightness(), lighter);
        QCOMPARE(readableOn(readable, background), readable); // already reads
        QCOMPARE(readableOn(QColor(0xff, 0xff, 0xc0), QColor(0x32, 0x32, 0x32)).name(),
                 QStringLiteral("#ffffc0"));
    }

    void everyTextReads_data() {
        QTest::addColumn<QString>("look");
        if (desktopThemeAsked()) {
            QTest::newRow("desktop theme") << QStringLiteral("desktop");
        } else {
            QTest::newRow("light") << QStringLiteral("light");
            QTest::newRow("dark") << QStringLiteral("dark");
        }
    }
    void everyTextReads() {
        QFETCH(QString, look);
        if (look == QLatin1String("desktop")) {
            if (QApplication::palette().color(QPalette::Window).lightness() > 128) {
                QSKIP("the desktop theme asked for is not dark here (is it installed?)");
            }
        } else {
            QApplication::setStyle(QStringLiteral("Fusion"));
            QApplication::setPalette(
                look == QLatin1String("dark") ? darkPalette() : QApplication::style()->standardPalette());
        }
        MainWindowHarness h;
        h.startUp();
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        h.window->cmdAbout_Click();
        QWidget* about = h.window->aboutWindow();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));

        if (const QString shots = qEnvironmentVariable("CW_SHOT_DIR"); !shots.isEmpty()) {
            QDir().mkpath(shots);
            h.window->grab().save(QDir(shots).filePath(QStringLiteral("main-%1.png").arg(look)));
            about->grab().save(QDir(shots).filePath(QStringLiteral("about-%1.png").arg(look)));
        }

        QStringList unreadable;
        int checked = 0;
        for (const TextColours& t : textsOf(h.window.get()) + textsOf(about)) {
            ++checked;
            if (const double ratio = contrastRatio(t.text, t.behind); ratio < kReadableContrast) {
                unreadable.append(QStringLiteral("%1: %2 on %3 is %4:1")
                                      .arg(t.what, t.text.name(), t.behind.name())
                                      .arg(ratio, 0, 'f', 2));
            }
        }
        QVERIFY2(checked >= 25, "fewer texts than the two windows show");
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral("; "))));
    }

    void numbersShowWholeInEveryStyle_data() {
        QTest::addColumn<QString>("style");
        const QStringList styles = QStyleFactory::keys();
        for (const QString& style : styles) {
            QTest::newRow(qPrintable(style)) << style;
        }
    }
    void numbersShowWholeInEveryStyle() {
        QFETCH(QString, style);
        QApplication::setStyle(style);
        MainWindowHarness h;
        h.startUp();
        for (QLineEdit* field : {h.window->txtpitch, h.window->txtspeed}) {
            for (const QString& number :
                 {QStringLiteral("100"), QStringLiteral("400"), QStringLiteral("888")}) {
                QVERIFY2(showsWhole(field, number),
                         qPrintable(field->objectName() + QLatin1Char(' ') + number));
            }
        }
        for (QRadioButton* preset : h.window->optVoice) {
            // The style's own measure of the room the indicator and the number need.
            const QString what = QStringLiteral("%1 needs %2x%3, has %4x%5")
                                     .arg(preset->objectName())
                                     .arg(preset->sizeHint().width())
                                     .arg(preset->sizeHint().height())
                                     .arg(preset->width())
                                     .arg(preset->height());
            QVERIFY2(preset->sizeHint().width() <= preset->width(), qPrintable(what));
            QVERIFY2(preset->sizeHint().height() <= preset->height(), qPrintable(what));
        }
    }
};

QTEST_MAIN(ReadabilityTest)
#include "tst_readability.moc"
