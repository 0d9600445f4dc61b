#pragma once

#include "SpeechState.h"
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
/// Clear All. The main window's handlers call them. Character requests go through the speech state's
/// `Character`; a failing request ends the command at that step and propagates as cw::Failure.
class SpeechCommands : public QObject {
    Q_OBJECT
public:
    SpeechCommands(SpeechControls controls, SpeechState& state, IClipboard& clipboard,
                   QObject* parent = nullptr);

    /// Shows the character and speaks the fields and the text, framed by the reading gesture once the text
    /// has changed. While it is heard, the word being spoken is highlighted in the box.
    void say();
    /// Shows the character and speaks `text` with the fields' pitch and speed; the text box is left as it is.
    void sayText(const QString& text);
    /// Notes that the text box has changed since start-up; the spoken word is no longer highlighted.
    void noteTextChanged();
    /// Writes preset `index`'s pitch and speed into the fields between the writing gestures.
    void applyPreset(int index);
    /// A character key reached the pitch or speed field: the character looks up. The key goes through.
    void alertFieldKey();
    /// Empties the box and starts monitoring the clipboard. What the clipboard holds now is left there and
    /// ignored: only a later copy lands in the box.
    void startMonitoring();
    /// Stops monitoring the clipboard; the box keeps its text.
    void stopMonitoring();
    /// Monitoring tick: when something has been copied since the text last landed (or since monitoring
    /// began), replaces the text box with the clipboard's text once it has been read. Otherwise the box, and
    /// whatever the user typed into it, stays as it is.
    void readClipboard();
    /// Empties the text box and the clipboard.
    void clearAll();

    /// Texts longer than this go into the box about this much per event-loop turn, whole lines at a time, so
    /// the window stays responsive.
    static constexpr qsizetype kFillPiece = 128 * 1024;
    /// A clipboard line longer than this is shown in the box as paragraphs of about this length, broken
    /// after a space where there is one: the box lays out a whole paragraph at once, which takes seconds for
    /// a line of megabytes. Until the user edits the box, Say it speaks the text exactly as copied.
    static constexpr qsizetype kLongLine = 4096;

    /// `text` with every line longer than kLongLine broken into lines of at most that length.
    static QString withLongLinesBroken(const QString& text);

private:
    ICharacter& character() const;
    /// Has the character report its speech here; once per character.
    void followSpeech();
    void onSpeechStarted(RequestId speech, const QString& balloonText);
    void onWordSpoken(RequestId speech, int start, int length);
    /// Shows the box's characters [start, start + length) in the highlight colour, leaving the caret, the
    /// selection and the scroll position as they are.
    void highlightSpokenWord(int start, int length);
    /// Removes the highlight and stops following the last Say it.
    void forgetSpokenText();
    void applyClipboardText(const QString& text);
    void fillNextPiece(quint64 generation);
    void finishPendingFill();

    SpeechControls c_;
    SpeechState& state_;
    IClipboard& clipboard_;
    // Bumped whenever the box or the clipboard is reset, so a read that was under way by then is not applied.
    quint64 clipboardGeneration_ = 0;
    // The character whose speech is followed, and the last Say it: its request, the box's text when it was
    // said, and whether that text is what is being heard (a text with speech tags is not shown as heard).
    ICharacter* followed_ = nullptr;
    RequestId spokenRequest_ = 0;
    QString spokenText_;
    bool boxHoldsSpokenText_ = false;
    // The clipboard's copy count whose text the box has taken (or that monitoring started at).
    quint64 copiesTaken_ = 0;
    // The rest of a long clipboard text still to go into the box.
    QString pendingFill_;
    qsizetype pendingFillAt_ = 0;
    // The clipboard text as copied, while the box shows it with long lines broken and nobody has edited it.
    QString copiedText_;
    bool filling_ = false;
};

} // namespace cw
