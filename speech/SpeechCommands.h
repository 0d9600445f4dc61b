#pragma once

#include "MainWindowState.h"
#include "platform/Clipboard.h"

#include <QObject>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace cw {

/// The main window's controls that the speech commands read and write.
struct SpeechControls {
    QPlainTextEdit* TextBox = nullptr;
    QLineEdit* txtpitch = nullptr;
    QLineEdit* txtspeed = nullptr;
    QCheckBox* chkpaste = nullptr;
    QTimer* tmrClipboard = nullptr;
};

/// The commands that turn text into speech: Say it, the voice presets and fields, clipboard monitoring and
/// Clear All. Character requests go through the window state's `Character`; failures propagate as
/// cw::Failure.
class SpeechCommands : public QObject {
    Q_OBJECT
public:
    SpeechCommands(SpeechControls controls, MainWindowState& state, IClipboard& clipboard,
                   QObject* parent = nullptr);

    /// Say it: shows the character and speaks the fields and the text, framed by the reading gesture once the
    /// text has changed.
    void Button_Click();
    /// The text box changed.
    void TextBox_Change();
    /// A preset was chosen: writes its pitch and speed between the writing gestures.
    void optVoice_Click(int Index);
    /// A character key reached the pitch field; the key itself goes through unchanged.
    void txtpitch_KeyPress(int KeyAscii);
    /// A character key reached the speed field; the key itself goes through unchanged.
    void txtspeed_KeyPress(int KeyAscii);
    /// The clipboard box was clicked: switches monitoring by the window state, never by the tick mark.
    void chkpaste_Click();
    /// Monitoring tick: replaces the text box with the clipboard's text once it has been read.
    void tmrClipboard_Timer();
    /// Clear All: empties the text box and the clipboard.
    void cmdClear_Click();

    /// Texts longer than this go into the box about this much per event-loop turn, whole lines at a time, so
    /// the window stays responsive.
    static constexpr qsizetype kFillPiece = 128 * 1024;

private:
    ICharacter& character() const;
    void applyClipboardText(const QString& text);
    void fillNextPiece(quint64 generation);
    void finishPendingFill();

    SpeechControls c_;
    MainWindowState& state_;
    IClipboard& clipboard_;
    // Bumped whenever the box or the clipboard is reset, so a read that was under way by then is not applied.
    quint64 clipboardGeneration_ = 0;
    // The rest of a long clipboard text still to go into the box.
    QString pendingFill_;
    qsizetype pendingFillAt_ = 0;
};

} // namespace cw
