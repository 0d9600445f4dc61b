#include "CWmain.h"

#include "AppIdentity.h"
#include "Application.h"
#include "FailureReport.h"
#include "Fonts.h"
#include "GeniePlacement.h"
#include "PasteBox.h"
#include "TrayIcon.h"
#include "core/ClassicLayout.h"
#include "core/Failure.h"
#include "core/TextLimits.h"
#include "core/Trace.h"
#include "platform/qt/ReadableColours.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace cw {

namespace {

QString withoutAccessMark(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

void describe(QWidget* control, const QString& caption, const QString& toolTip) {
    control->setAccessibleName(withoutAccessMark(caption));
    control->setAccessibleDescription(toolTip.isEmpty() ? withoutAccessMark(caption) : toolTip);
}

// The character code a key press types into a field, or none for keys that type nothing (arrows, Delete,
// function keys) and for Tab, which moves the focus instead.
std::optional<int> typedCharacter(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace) {
        return 8;
    }
    if (key.key() == Qt::Key_Delete || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) {
        return std::nullopt;
    }
    const QString text = key.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<int>(text.at(0).unicode());
}

} // namespace

CWmain::CWmain(PlatformServices services) : QWidget(nullptr), services_(std::move(services)) {
    Agent1 = std::move(services_.characters);
    setObjectName(QStringLiteral("CWmain"));
    setWindowTitle(appIdentity().title);
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(installedFont(dialogFont()));
    setFixedSize(kClientWidth, kClientHeight);
    setMouseTracking(true);
    createControls();
    speech_ = std::make_unique<SpeechCommands>(
        SpeechControls{TextBox, txtpitch, txtspeed, chkpaste, tmrClipboard}, state_, services_.clipboard);
    about_ = std::make_unique<AboutWindowKeeper>(
        AboutServices{services_.shell, services_.messageBoxes, services_.registry, *Skinner1}, appIdentity());
    connectHandlers();
    forms_.append(this);
}

CWmain::~CWmain() = default;

void CWmain::createControls() {
    // Created back to front, so later controls lie on top; none of them overlap.
    Skinner1 = new PlainWindowSkin(this);
    Skinner1->setObjectName(QStringLiteral("Skinner1"));

    struct ButtonRow {
        CustomButton** button;
        const char* name;
        const char* caption;
        const char* toolTip;
        int left;
        int width;
    };
    const ButtonRow buttons[] = {
        {&cmdHelp, "cmdHelp", "H&elp", "Show Chatterwisp Help.", 3970, 570},
        {&cmdAbout, "cmdAbout", "&About", "About Chatterwisp.", 3250, 720},
        {&cmdHide, "cmdHide", "&Hide Genie", "Hide Genie from the screen.", 2200, 1050},
        {&cmdClear, "cmdClear", "&Clear All", "Empty textbox and clipboard contents.", 1390, 810},
        {&cmdShut, "cmdShut", "S&top", "Command Genie to stop talking.", 805, 585},
    };
    auto makeButton = [this](const ButtonRow& row) {
        auto* button = new CustomButton(CustomButton::standardSettings(QString::fromUtf8(row.caption)), this);
        button->setObjectName(QString::fromLatin1(row.name));
        button->setGeometry(twipsRect(row.left, 3480, row.width, 495));
        button->setToolTip(QString::fromUtf8(row.toolTip));
        describe(button, button->caption(), button->toolTip());
        *row.button = button;
    };
    for (const ButtonRow& row : buttons) {
        makeButton(row);
    }

    tmrClipboard = new QTimer(this);
    tmrClipboard->setObjectName(QStringLiteral("tmrClipboard"));
    tmrClipboard->setInterval(2000);

    VoiceS = new QGroupBox(QStringLiteral("Settings"), this);
    VoiceS->setObjectName(QStringLiteral("VoiceS"));
    VoiceS->setGeometry(twipsRect(100, 2400, 4455, 975));
    describe(VoiceS, VoiceS->title(), {});

    chkpaste = new QCheckBox(QStringLiteral("Automatically &Paste Text From Windows Clipboard"), VoiceS);
    chkpaste->setObjectName(QStringLiteral("chkpaste"));
    chkpaste->setGeometry(twipsRect(75, 570, 4275, 330));
    chkpaste->setToolTip(QStringLiteral("Enable Clipboard Monitoring Feature."));
    chkpaste->setAutoFillBackground(true);
    {
        QPalette palette = chkpaste->palette();
        // White on the design's middle grey reads at only 3.9:1; a slightly darker grey makes it 4.5:1.
        const QColor white(255, 255, 255);
        palette.setColor(QPalette::Window, readableOn(QColor(128, 128, 128), white));
        palette.setColor(QPalette::WindowText, white);
        chkpaste->setPalette(palette);
        // A button fills its background in the Button colour; this one fills it in its grey Window colour. A
        // style sheet would do the same but costs about a millisecond before the window can be shown.
        chkpaste->setBackgroundRole(QPalette::Window);
    }
    describe(chkpaste, chkpaste->text(), chkpaste->toolTip());

    auto makeOption = [this](int index, int left) {
        auto* option = new QRadioButton(QString::number(index + 1), VoiceS);
        option->setObjectName(QStringLiteral("optVoice%1").arg(index));
        option->setGeometry(twipsRect(left, 270, 375, 195));
        option->setAutoExclusive(true);
        // Styles need more room for the indicator and the number than the design gives them: grown to what
        // the style asks, rightwards over the gap to the next preset and evenly up and down.
        const QSize needed = option->sizeHint().expandedTo(option->size());
        const int top = option->y() - (needed.height() - option->height()) / 2;
        option->setGeometry(option->x(), top, needed.width(), needed.height());
        option->setAccessibleName(QStringLiteral("Preset %1").arg(index + 1));
        option->setAccessibleDescription(QStringLiteral("Voice preset %1").arg(index + 1));
        optVoice[static_cast<std::size_t>(index)] = option;
    };

    auto makeField = [this](const char* name, const char* start, const char* toolTip, int left, int width) {
        auto* field = new QLineEdit(QString::fromLatin1(start), VoiceS);
        field->setObjectName(QString::fromLatin1(name));
        field->setGeometry(twipsRect(left, 240, width, 285));
        field->setMaxLength(3);
        field->setToolTip(QString::fromUtf8(toolTip));
        field->setAccessibleName(QString::fromUtf8(toolTip));
        field->setAccessibleDescription(QString::fromUtf8(toolTip));
        return field;
    };
    txtpitch = makeField("txtpitch", "60", "Current Voice Pitch (in Hertz)", 500, 450);
    txtspeed = makeField("txtspeed", "100", "Current Voice Speed", 1550, 480);
    makeOption(0, 2640);
    makeOption(1, 3075);
    makeOption(2, 3525);
    makeOption(3, 3960);
    optVoice[0]->setChecked(true);

    auto makeLabel = [this](const char* name, const char* caption, int left, int top, int width, int height,
                            bool transparent) {
        auto* label = new QLabel(QString::fromLatin1(caption), VoiceS);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(twipsRect(left, top, width, height));
        label->setAutoFillBackground(!transparent);
        label->adjustSize(); // sized to its text
        describe(label, label->text(), {});
        return label;
    };
    Label1 = makeLabel("Label1", "Pitch:", 75, 255, 405, 195, true);
    Label2 = makeLabel("Label2", "Speed:", 1000, 255, 510, 195, false);
    Label4 = makeLabel("Label4", "Preset:", 2100, 255, 495, 195, true);
    Label1->setBuddy(txtpitch);
    Label2->setBuddy(txtspeed);

    TextBox = new PasteBox(services_.clipboard, this);
    TextBox->setObjectName(QStringLiteral("TextBox"));
    TextBox->setGeometry(twipsRect(100, 120, 4455, 2175));
    TextBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    TextBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    TextBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TextBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextBox->setTabChangesFocus(true);
    TextBox->setToolTip(
        QStringLiteral("Type something in here for the Genie to say, then press the Say it! button"));
    TextBox->setAccessibleName(QStringLiteral("Text to say"));
    TextBox->setAccessibleDescription(TextBox->toolTip());

    Button = nullptr;
    makeButton({&Button, "Button", "&Say it!",
                "Type some text into the textbox, then press this button to command Genie for saying it!", 70,
                735});

    // Keyboard order: text, pitch, speed, the presets (one stop), the check box, then the buttons left to
    // right.
    QWidget* order[] = {TextBox,  txtpitch, txtspeed, optVoice[0], optVoice[1], optVoice[2], optVoice[3],
                        chkpaste, Button,   cmdShut,  cmdClear,    cmdHide,     cmdAbout,    cmdHelp};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
}

template <typename Body> auto CWmain::handler(Body body) {
    return
        [this, body](auto&&...) { runHandler(body, [this](const QString& reason) { emit failed(reason); }); };
}

void CWmain::connectHandlers() {
    connect(tmrClipboard, &QTimer::timeout, this, handler([this] { tmrClipboard_Timer(); }));
    connect(cmdHide, &QPushButton::clicked, this, handler([this] { cmdHide_Click(); }));
    connect(cmdShut, &QPushButton::clicked, this, handler([this] { cmdShut_Click(); }));
    connect(cmdAbout, &QPushButton::clicked, this, handler([this] { cmdAbout_Click(); }));
    connect(cmdHelp, &QPushButton::clicked, this, handler([this] { cmdHelp_Click(); }));
    connect(Button, &QPushButton::clicked, this, handler([this] { Button_Click(); }));
    connect(TextBox, &QPlainTextEdit::textChanged, this, handler([this] { TextBox_Change(); }));
    for (std::size_t i = 0; i < optVoice.size(); ++i) {
        connect(optVoice[i], &QRadioButton::clicked, this,
                handler([this, i] { optVoice_Click(static_cast<int>(i)); }));
    }
    // The presets are one stop in the keyboard order: the selected one. Arrow keys move within them.
    auto keepSelectedPresetAsTabStop = [this] {
        for (QRadioButton* option : optVoice) {
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    for (QRadioButton* option : optVoice) {
        connect(option, &QRadioButton::toggled, this, keepSelectedPresetAsTabStop);
    }
    keepSelectedPresetAsTabStop();
    txtpitch->installEventFilter(this);
    txtspeed->installEventFilter(this);
    Button->installEventFilter(this);
    connect(chkpaste, &QCheckBox::clicked, this, handler([this] { chkpaste_Click(); }));
    connect(cmdClear, &QPushButton::clicked, this, handler([this] { cmdClear_Click(); }));
    services_.notificationArea.setEventHandler(
        [this](TrayEvent event) { handler([this, event] { Form_MouseMove(trayMessage(event)); })(); });
    auto action = [this](const char* name) {
        return [this, name] { activateAction(QString::fromLatin1(name)); };
    };
    services_.notificationArea.setMenu({
        {QStringLiteral("Restore"), [this] { activateFromDesktop(); }},
        {QStringLiteral("Say the clipboard"), action("say-clipboard")},
        {QStringLiteral("Say the selection"), action("say-selection")},
        {QStringLiteral("Stop"), action("stop")},
        {QStringLiteral("Quit"), action("quit")},
    });
}

bool CWmain::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the button turns the release into clicked(): where the request trace begins.
    if (watched == Button &&
        (event->type() == QEvent::MouseButtonRelease ||
         (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space))) {
        trace("button released");
    }
    if (event->type() == QEvent::KeyPress && (watched == txtpitch || watched == txtspeed)) {
        if (const auto code = typedCharacter(*static_cast<QKeyEvent*>(event))) {
            handler([this, watched, code = *code] {
                if (watched == txtpitch) {
                    txtpitch_KeyPress(code);
                } else {
                    txtspeed_KeyPress(code);
                }
            })();
        }
    }
    return QWidget::eventFilter(watched, event); // the key always goes through
}

ICharacter& CWmain::character() const {
    if (!state_.Character) {
        throw Failure(QStringLiteral("The character is not loaded."));
    }
    return *state_.Character;
}

bool CWmain::CheckSound() {
    return services_.soundDevices.outputCount() > 0;
}

void CWmain::Form_Initialize() {
    if (!CheckSound()) {
        services_.messageBoxes.show(
            QStringLiteral("No sound card is present on this computer.Chatterwisp required "
                           "a sound card to function properly."),
            MessageIcon::Critical, QStringLiteral("No sound card found"));
    }
}

void CWmain::fillTrayIconData() {
    state_.TrayIconData = makeTrayIconData(windowIcon(), appIdentity());
}

void CWmain::Form_Load() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    repaint();
    trace("main window shown");

    fillTrayIconData();
    notifyIcon(services_.notificationArea, NotifyCommand::Add, state_.TrayIconData);

    Agent1->Load(QStringLiteral("Genie"), QStringLiteral("genie.acs"));
    trace("character loaded");
    state_.Character = &Agent1->Item(QStringLiteral("Genie"));
    state_.Character->setLanguageID(1033);
    TextBox->setPlainText(
        QStringLiteral("Type something in here for the Genie to say. Then press the Sayit! button."));
    state_.Character->Show();
    // He stands beside the main window, on the screen that holds it.
    const QScreen* home = screen() ? screen() : QGuiApplication::primaryScreen();
    const QPoint stand =
        home ? genieStartPoint(home->availableGeometry(), frameGeometry(), state_.Character->frameSize())
             : kClassicGeniePoint;
    state_.Character->MoveTo(stand.x(), stand.y());
    state_.Character->Play(QStringLiteral("Greet"));
    state_.Character->Play(QStringLiteral("Blink"));
    state_.Character->setIdleOn(true);
    state_.TextChanged = false;
    state_.CharacterVisible = true;
    state_.MonitorClipboard = kFalse;
}

void CWmain::Form_Unload() {
    notifyIcon(services_.notificationArea, NotifyCommand::Delete, state_.TrayIconData);
    UnloadAllForms(objectName());
}

void CWmain::UnloadAllForms(const QString& keep) {
    const QWidgetList open = forms();
    for (QWidget* form : open) {
        if (form->objectName() != keep) {
            form->close();
        }
    }
}

void CWmain::addForm(QWidget* form) {
    forms_.removeAll(nullptr);
    if (!forms_.contains(form)) {
        forms_.append(form);
    }
}

QWidgetList CWmain::forms() const {
    QWidgetList open;
    for (const QPointer<QWidget>& form : forms_) {
        if (form && (form == this || form->isVisible())) {
            open.append(form.data());
        }
    }
    return open;
}

void CWmain::closeEvent(QCloseEvent* event) {
    bool unloadedCleanly = false;
    handler([this, &unloadedCleanly] {
        Form_Unload();
        unloadedCleanly = true;
    })();
    event->accept();
    if (unloadedCleanly) {
        emit unloaded();
    }
}

void CWmain::mouseMoveEvent(QMouseEvent* event) {
    // The pointer's x over the window's own surface arrives on the same path as the tray's messages.
    const int x = static_cast<int>(std::lround(event->position().x()));
    handler([this, x] { Form_MouseMove(x); })();
    QWidget::mouseMoveEvent(event);
}

void CWmain::Form_MouseMove(int code) {
    if (trayEventActs(code, state_.LastTrayMessage)) {
        bringToFront();
    }
    state_.LastTrayMessage = code;
}

void CWmain::bringToFront() {
    raise();
    activateWindow();
    if (!state_.CharacterVisible.isFalse()) {
        character().Show();
    }
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
}

void CWmain::activateFromDesktop() {
    trace("desktop activation");
    handler([this] { bringToFront(); })();
}

QStringList CWmain::actionNames() {
    return {QStringLiteral("say-clipboard"), QStringLiteral("say-selection"), QStringLiteral("stop"),
            QStringLiteral("show"), QStringLiteral("quit")};
}

bool CWmain::activateAction(const QString& name) {
    const qsizetype index = actionNames().indexOf(name);
    if (index < 0) {
        qCInfo(lcApp).noquote() << "unknown desktop action refused:" << name;
        return false;
    }
    trace("desktop action", index);
    handler([this, index] {
        switch (index) {
        case 0:
            sayFromClipboard(false);
            break;
        case 1:
            sayFromClipboard(true);
            break;
        case 2:
            cmdShut_Click();
            break;
        case 3:
            bringToFront();
            break;
        default:
            close(); // the same path as the window's close button: the program ends cleanly
            break;
        }
    })();
    return true;
}

void CWmain::sayFromClipboard(bool primaryFirst) {
    QPointer<CWmain> self(this);
    auto sayClipboard = [self] {
        if (self) {
            self->services_.clipboard.requestText([self](std::optional<QString> text) {
                if (self) {
                    self->handler([self, &text] { self->sayReadText(text, "clipboard"); })();
                }
            });
        }
    };
    if (!primaryFirst) {
        sayClipboard();
        return;
    }
    services_.clipboard.requestSelectionText(
        IClipboard::Selection::Primary, [self, sayClipboard](std::optional<QString> text) {
            if (!self) {
                return;
            }
            if (text && text->isEmpty()) {
                sayClipboard(); // nothing selected anywhere: the clipboard's text instead
                return;
            }
            self->handler([self, &text] { self->sayReadText(text, "selection"); })();
        });
}

void CWmain::sayReadText(const std::optional<QString>& text, const char* source) {
    if (!text) {
        // What the user sees; the clipboard tells why (no answer in time, refused) at debug level only.
        qCInfo(lcApp) << "nothing said: the" << source << "could not be read";
        trace("desktop read failed", qstrlen(source));
        return;
    }
    if (text->isEmpty()) {
        qCInfo(lcApp) << "nothing said: no text on offer";
        return;
    }
    if (overTheTextLimit(*text)) {
        qCWarning(lcApp) << "text is over the limit of" << kMaxTextBytes << "bytes; left unread";
        return;
    }
    trace("desktop text read", text->size());
    speech_->sayText(*text);
}

void CWmain::Button_Click() {
    speech_->say();
}

void CWmain::TextBox_Change() {
    speech_->noteTextChanged();
}

void CWmain::optVoice_Click(int Index) {
    speech_->applyPreset(Index);
}

void CWmain::txtpitch_KeyPress(int /*KeyAscii*/) {
    speech_->alertFieldKey();
}

void CWmain::txtspeed_KeyPress(int /*KeyAscii*/) {
    speech_->alertFieldKey();
}

void CWmain::chkpaste_Click() {
    if (state_.MonitorClipboard == kFalse) {
        speech_->startMonitoring();
    } else {
        speech_->stopMonitoring();
    }
}

void CWmain::tmrClipboard_Timer() {
    speech_->readClipboard();
}

void CWmain::cmdClear_Click() {
    speech_->clearAll();
}

void CWmain::cmdHide_Click() {
    if (state_.CharacterVisible.isTrue()) {
        character().Hide();
        state_.CharacterVisible = false;
        cmdHide->setCaption(QStringLiteral("Sho&w Genie"));
        cmdHide->setToolTip(QStringLiteral("Show Genie"));
    } else {
        character().Show();
        state_.CharacterVisible = true;
        cmdHide->setCaption(QStringLiteral("&Hide Genie"));
        cmdHide->setToolTip(QStringLiteral("Hide Genie"));
    }
    cmdHide->setAccessibleName(withoutAccessMark(cmdHide->caption()));
    cmdHide->setAccessibleDescription(cmdHide->toolTip());
    TextBox->setFocus();
}

void CWmain::cmdShut_Click() {
    character().Stop();
}

void CWmain::cmdAbout_Click() {
    character().Play(QStringLiteral("Congratulate_2"));
    about_->show(this);
    addForm(about_->window());
    character().Play(QStringLiteral("RestPose"));
}

void CWmain::cmdHelp_Click() {
    help_.show(this);
    addForm(help_.window());
}

} // namespace cw
