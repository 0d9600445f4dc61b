#pragma once

#include "CustomButton.h"
#include "MainWindowState.h"
#include "about/AboutWindowKeeper.h"
#include "about/HelpWindow.h"
#include "platform/CharacterService.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"
#include "platform/NotificationArea.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SoundDevices.h"
#include "platform/qt/PlainWindowSkin.h"
#include "speech/SpeechCommands.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTimer;

namespace cw {

/// The platform services the main window calls, handed in at construction.
struct PlatformServices {
    std::unique_ptr<ICharacterService> characters; ///< becomes the window's `Agent1`
    INotificationArea& notificationArea;
    IClipboard& clipboard;
    IMessageBoxes& messageBoxes;
    ISoundDevices& soundDevices;
    IShell& shell;
    IRegistry& registry;
};

/// The main window: the text box, the voice settings, the command buttons, and the program's start-up and
/// shutdown. It owns the character service and the window-level state its handlers share.
class CWmain : public QWidget {
    Q_OBJECT
public:
    explicit CWmain(PlatformServices services);
    ~CWmain() override;

    // Start-up and shutdown.
    void Form_Initialize();
    void Form_Load();
    void Form_Unload();
    bool CheckSound();
    void UnloadAllForms(const QString& keep);

    /// A notification-icon message, or the pointer's x in pixels as it moves over the window's own surface.
    void Form_MouseMove(int code);

    // Speech commands.
    void Button_Click();
    void TextBox_Change();
    void optVoice_Click(int Index);
    void txtpitch_KeyPress(int KeyAscii);
    void txtspeed_KeyPress(int KeyAscii);
    /// Switches clipboard monitoring by the window state, never by the tick mark.
    void chkpaste_Click();
    void tmrClipboard_Timer();
    void cmdClear_Click();

    // What the desktop asks from outside the window: the session bus and the tray menu. Neither call throws;
    // a failure takes the window's failure path.
    /// Brings the window to the front, restored, and shows the character unless the user hid him, as a tray
    /// click does.
    void activateFromDesktop();
    /// Runs a desktop action (one of actionNames()); false for a name it does not know.
    bool activateAction(const QString& name);
    /// The actions activateAction() knows: say-clipboard, say-selection, stop, show, quit.
    static QStringList actionNames();

    // Window commands.
    void cmdHide_Click();
    void cmdShut_Click();
    void cmdAbout_Click();
    void cmdHelp_Click();

    /// Makes a window one of the program's open windows (closed by UnloadAllForms), in the order added.
    void addForm(QWidget* form);
    /// The program's open windows, in the order they were opened; this window first.
    QWidgetList forms() const;

    /// The About window while it is loaded, else nullptr.
    frmAbout* aboutWindow() const { return about_->window(); }
    /// The Help window while it is open, else nullptr.
    HelpWindow* helpWindow() const { return help_.window(); }

    MainWindowState& state() { return state_; }
    const MainWindowState& state() const { return state_; }

    // Controls, named as the handlers know them.
    QPlainTextEdit* TextBox = nullptr;
    QGroupBox* VoiceS = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtpitch = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtspeed = nullptr;
    QLabel* Label4 = nullptr;
    std::array<QRadioButton*, 4> optVoice{};
    QCheckBox* chkpaste = nullptr;
    CustomButton* Button = nullptr;
    CustomButton* cmdShut = nullptr;
    CustomButton* cmdClear = nullptr;
    CustomButton* cmdHide = nullptr;
    CustomButton* cmdAbout = nullptr;
    CustomButton* cmdHelp = nullptr;
    QTimer* tmrClipboard = nullptr;
    PlainWindowSkin* Skinner1 = nullptr;
    std::unique_ptr<ICharacterService> Agent1;

    static constexpr int kClientWidth = 309;
    static constexpr int kClientHeight = 271;

signals:
    /// The window has closed after its shutdown handler ran; the program ends now.
    void unloaded();
    /// A handler failed and stopped at the failing step; the program-wide failure path takes it from here.
    void failed(const QString& reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    /// Wraps a handler body for a signal or an event: a failure ends the body and leaves as failed(), never
    /// as an exception through Qt.
    template <typename Body> auto handler(Body body);
    ICharacter& character() const;
    void fillTrayIconData();
    void bringToFront();
    /// Reads the clipboard (or, for `primaryFirst`, the primary selection and then the clipboard when it
    /// holds no text) without blocking, and speaks what it read.
    void sayFromClipboard(bool primaryFirst);
    void sayReadText(const std::optional<QString>& text, const char* source);

    PlatformServices services_;
    MainWindowState state_;
    std::unique_ptr<SpeechCommands> speech_;
    QList<QPointer<QWidget>> forms_;
    std::unique_ptr<AboutWindowKeeper> about_;
    HelpWindowKeeper help_;
};

} // namespace cw
