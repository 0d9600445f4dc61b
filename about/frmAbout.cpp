#include "frmAbout.h"

#include "LinkLabel.h"
#include "core/ClassicLayout.h"
#include "platform/WindowSkin.h"
#include "platform/qt/EnterPressesButton.h"
#include "platform/qt/ReadableColours.h"
#include "platform/qt/WindowFit.h"

#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcAbout, "chatterwisp.about")

namespace cw {

namespace {

// Fonts are sized in pixels because the window's geometry is fixed in pixels. Liberation Sans has Arial's
// metrics: 11 px is Arial 8.25 pt and 21 px Arial 15.75 pt at 96 dpi. The classic dialog font is a narrow
// bitmap font; Liberation Sans matches its widths at 10 px, so the texts laid out for it fit their labels.
QFont windowFont(int pixels, bool bold = false, bool underline = false) {
    QFont font;
    font.setFamilies(classicFontLookAlikes());
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

constexpr int kDialogText = 10;
constexpr int kArialText = 11;
constexpr int kTitleText = 21;

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kPaleYellow(255, 255, 192);
const QColor kBrown(128, 64, 0);
const QColor kGreen(0, 128, 0);
const QColor kDarkGrey(64, 64, 64);
const QColor kLineGrey(128, 128, 128);

// The colour a text is designed in; frmAbout::applyTextColours() draws it in a readable shade of it.
constexpr char kDesignColour[] = "cwDesignColour";

void setTextColour(QWidget* widget, const QColor& colour) {
    widget->setProperty(kDesignColour, colour);
}

QCursor pointingHand() {
    // Our own image; its hot spot is the tip of the raised index finger.
    return QCursor(QPixmap(QStringLiteral(":/chatterwisp/cursors/pointing-hand.png")), 12, 1);
}

QWidget* makeLine(QWidget* parent, const QString& name, int left, int top, int right, int width,
                  const QColor& colour) {
    auto* line = new QWidget(parent);
    line->setObjectName(name);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setGeometry(twips(left), twips(top), twips(right) - twips(left) + 1, width);
    return line;
}

} // namespace

frmAbout::frmAbout(const AboutServices& services, const AppIdentity& identity, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(services), identity_(identity),
      launcher_(services.registry, services.shell, services.messages) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(twips(5640), twips(3780));
    setWindowIcon(QIcon(iconResourcePath()));
    setFont(windowFont(kArialText));
    // Esc, Enter, OK and the close box all end in done(); from then on this window is never shown again.
    connect(this, &QDialog::finished, this, [this] { unloaded_ = true; });

    createControls();
    Form_Load();
    fitToScreen(*this, owner);
}

QString frmAbout::versionLine(const AppIdentity& identity) {
    return QStringLiteral(" v%1.%2.%3 For Linux ")
        .arg(identity.major)
        .arg(identity.minor)
        .arg(identity.revision);
}

void frmAbout::createControls() {
    // Created back to front: each control lies on top of the ones made before it.
    const QFont dialogFont = windowFont(kDialogText);
    const QFont dialogBold = windowFont(kDialogText, true);

    auto label = [this](const QString& name, const QRect& where, const QFont& font, const QString& text,
                        bool autoSize) {
        auto* control = new QLabel(this);
        control->setObjectName(name);
        control->setTextFormat(Qt::PlainText);
        control->setFont(font);
        control->setText(text);
        control->setGeometry(where);
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (autoSize) {
            control->resize(control->sizeHint());
        } else {
            control->setWordWrap(true);
        }
        return control;
    };
    auto link = [this](const QString& name, const QRect& where, const QFont& font, const QString& text,
                       const QString& tip) {
        auto* control = new LinkLabel(this);
        control->setObjectName(name);
        control->setTextFormat(Qt::PlainText);
        control->setFont(font);
        control->setText(text);
        control->setToolTip(tip);
        control->setCursor(pointingHand());
        control->move(where.topLeft());
        control->resize(control->sizeHint());
        return control;
    };

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsRect(240, 120, 540, 540));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(QPixmap(iconResourcePath()));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setFont(dialogFont);
    cmdOK->setGeometry(twipsRect(4245, 2880, 1260, 345));
    cmdOK->setDefault(true);
    pressOnEnter(cmdOK);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setFont(dialogFont);
    cmdSysInfo->setGeometry(twipsRect(4260, 3360, 1245, 345));
    pressOnEnter(cmdSysInfo);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    setTabOrder(cmdOK, cmdSysInfo);

    Label3 = link(QStringLiteral("Label3"), twipsRect(3360, 2160, 1770, 195), dialogFont,
                  QStringLiteral("Email: ") + QString::fromUtf8(kSalesEmail), QString());
    setTextColour(Label3, kNavy);
    connect(Label3, &LinkLabel::clicked, this, &frmAbout::Label3_Click);

    Label2 = link(QStringLiteral("Label2"), twipsRect(1050, 2160, 2085, 195), dialogFont,
                  QStringLiteral("Web: ") + QString::fromUtf8(kWebAddress),
                  QStringLiteral("Visit our website..."));
    setTextColour(Label2, kNavy);
    connect(Label2, &LinkLabel::clicked, this, &frmAbout::Label2_Click);
    // Addresses longer than the row has room for: the e-mail link moves under the web link rather than cover
    // it or run off the window.
    if (Label3->geometry().intersects(Label2->geometry()) || Label3->geometry().right() >= width()) {
        Label3->move(Label2->x(), Label2->y() + twips(195));
    }

    Label1 = label(QStringLiteral("Label1"), twipsRect(240, 2835, 780, 195), dialogBold,
                   QStringLiteral("Warning:"), true);
    setTextColour(Label1, kRed);

    lblOwner2 = link(QStringLiteral("lblOwner2"), twipsRect(1050, 1680, 4035, 195), dialogBold,
                     QStringLiteral("[ Click here to send email to our tech support. ]"),
                     QStringLiteral("Send tech support email..."));
    // Pale yellow reads on a dark window as it is; on a light one it becomes a dark shade of the same yellow.
    setTextColour(lblOwner2, kPaleYellow);
    connect(lblOwner2, &LinkLabel::clicked, this, &frmAbout::lblOwner2_Click);

    lblOwner1 = label(QStringLiteral("lblOwner1"), twipsRect(1050, 1425, 1665, 210),
                      windowFont(kArialText, true, true), QStringLiteral("Support Information"), true);
    setTextColour(lblOwner1, kBrown);

    Line1_1 = makeLine(this, QStringLiteral("Line1_1"), 90, 2685, 5520, 1, kLineGrey);

    lblDescription =
        label(QStringLiteral("lblDescription"), twipsRect(1050, 797, 4485, 690), dialogFont,
              QStringLiteral(
                  "Chatterwisp is a small Text-2-Speech application which uses its own animated-character "
                  "engine and the Flite Text-To-Speech engine for processing the text inputs."),
              false);
    setTextColour(lblDescription, Qt::black);

    lblTitle = label(QStringLiteral("lblTitle"), twipsRect(1050, 120, 2055, 360),
                     windowFont(kTitleText, true), QString(), true);
    setTextColour(lblTitle, kGreen);

    Line1_0 = makeLine(this, QStringLiteral("Line1_0"), 105, 2700, 5520, 2, Qt::white);

    lblVersion =
        label(QStringLiteral("lblVersion"), twipsRect(3240, 240, 1560, 210), font(), QString(), true);

    // The red "Warning:" label sits in the blanks at the start, so the notice reads as one text.
    lblDisclaimer =
        label(QStringLiteral("lblDisclaimer"), twipsRect(240, 2865, 3870, 825), dialogFont,
              QString(17, QLatin1Char(' ')) +
                  QStringLiteral("This program is protected by copyright law. Copying or distributing "
                                 "it without permission is forbidden by national laws and "
                                 "international treaties."),
              false);
    setTextColour(lblDisclaimer, kDarkGrey);
    applyTextColours();

    cmdOK->setFocus();
}

void frmAbout::applyTextColours() {
    // The design's colours assume a light grey window; each keeps its hue and, where it would not read on
    // this window's background, moves its lightness until it does.
    const QColor background = palette().color(QPalette::Active, QPalette::Window);
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children) {
        const QVariant design = child->property(kDesignColour);
        if (!design.isValid()) {
            continue;
        }
        QPalette colours = child->palette();
        colours.setColor(QPalette::WindowText, readableOn(design.value<QColor>(), background));
        child->setPalette(colours);
    }
}

void frmAbout::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        applyTextColours(); // the desktop's theme changed, say from light to dark
    }
    QDialog::changeEvent(event);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + identity_.title);
    lblVersion->setText(versionLine(identity_));
    lblVersion->resize(lblVersion->sizeHint());
    lblTitle->setText(identity_.title);
    lblTitle->resize(lblTitle->sizeHint());
    services_.skin.setWindows(openWindows());
}

QWidgetList frmAbout::openWindows() const {
    // The program's loaded windows, this one included; an About window that was closed is on its way out.
    QWidgetList windows;
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget* widget : topLevels) {
        const Qt::WindowType type = widget->windowType();
        if (type != Qt::Window && type != Qt::Dialog) {
            continue;
        }
        if (const auto* about = qobject_cast<const frmAbout*>(widget); about && about->isUnloaded()) {
            continue;
        }
        windows.append(widget);
    }
    return windows;
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    launcher_.StartSysInfo();
}

// A link nobody handles simply does nothing for the user; why is logged.
void frmAbout::openLink(const QString& link) {
    if (const Status opened = services_.shell.open(link); !opened.ok()) {
        qCInfo(lcAbout).noquote() << "link not opened:" << opened.message();
    }
}

void frmAbout::Label2_Click() {
    openLink(QString::fromUtf8(kWebAddress));
}

void frmAbout::Label3_Click() {
    openLink(QStringLiteral("mailto:") + QString::fromUtf8(kSalesEmail));
}

void frmAbout::lblOwner2_Click() {
    openLink(QStringLiteral("mailto:") + QString::fromUtf8(kSupportEmail));
}

} // namespace cw
