#include "SpeechCommands.h"

#include "SpeechRequest.h"
#include "VoicePresets.h"
#include "core/Failure.h"
#include "core/Trace.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

namespace cw {

SpeechCommands::SpeechCommands(SpeechControls controls, SpeechState& state, IClipboard& clipboard,
                               QObject* parent)
    : QObject(parent), c_(controls), state_(state), clipboard_(clipboard) {
    // Any change but the fill's own makes the box, not the copied text, what Say it speaks.
    connect(c_.TextBox, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_) {
            copiedText_ = QString();
        }
    });
}

QString SpeechCommands::withLongLinesBroken(const QString& text) {
    QString broken;
    qsizetype lineStart = 0; // where the current line began, in `text`
    qsizetype copied = 0;    // how much of `text` is in `broken`
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            lineStart = i + 1;
            continue;
        }
        if (i - lineStart < kLongLine) {
            continue;
        }
        // The line has reached the limit: break it after its last space in the last quarter, else here.
        qsizetype breakAt = i;
        for (qsizetype j = i; j > i - kLongLine / 4; --j) {
            if (text.at(j - 1) == QLatin1Char(' ')) {
                breakAt = j;
                break;
            }
        }
        if (breakAt == i && text.at(i).isLowSurrogate()) {
            --breakAt; // never between the halves of a character
        }
        if (broken.isNull()) {
            broken.reserve(text.size() + text.size() / (kLongLine / 2) + 1);
        }
        broken.append(QStringView(text).mid(copied, breakAt - copied));
        broken.append(QLatin1Char('\n'));
        copied = breakAt;
        lineStart = breakAt;
    }
    if (broken.isNull()) {
        return text;
    }
    broken.append(QStringView(text).mid(copied));
    return broken;
}

ICharacter& SpeechCommands::character() const {
    if (!state_.Character) {
        throw Failure(QStringLiteral("The character is not loaded."));
    }
    return *state_.Character;
}

void SpeechCommands::say() {
    trace("say it entered");
    finishPendingFill(); // speak the whole of the last clipboard text, never a part of it
    forgetSpokenText();
    followSpeech();
    const bool textChanged = state_.TextChanged.isTrue();
    character().Show();
    if (textChanged) {
        character().Play(QStringLiteral("Read"));
    }
    const QString text = copiedText_.isNull() ? c_.TextBox->toPlainText() : copiedText_;
    const QString request = buildSpeechRequest(c_.txtpitch->text(), c_.txtspeed->text(), text);
    spokenRequest_ = character().Speak(request);
    spokenText_ = text;
    if (textChanged) {
        character().Play(QStringLiteral("ReadReturn"));
    }
    c_.TextBox->setFocus();
}

void SpeechCommands::sayText(const QString& text) {
    trace("say text entered", text.size());
    character().Show();
    character().Speak(buildSpeechRequest(c_.txtpitch->text(), c_.txtspeed->text(), text));
}

void SpeechCommands::noteTextChanged() {
    state_.TextChanged = true;
    forgetSpokenText();
}

void SpeechCommands::followSpeech() {
    ICharacter& followed = character();
    if (followed_ == &followed) {
        return;
    }
    QPointer<SpeechCommands> self(this);
    SpeechWatcher watcher;
    watcher.started = [self](RequestId speech, const QString& balloonText) {
        if (self) {
            self->onSpeechStarted(speech, balloonText);
        }
    };
    watcher.word = [self](RequestId speech, int start, int length) {
        if (self) {
            self->onWordSpoken(speech, start, length);
        }
    };
    watcher.ended = [self](RequestId speech) {
        if (self && speech == self->spokenRequest_) {
            self->forgetSpokenText();
        }
    };
    followed.watchSpeech(std::move(watcher));
    followed_ = &followed;
}

void SpeechCommands::onSpeechStarted(RequestId speech, const QString& balloonText) {
    if (spokenRequest_ != 0 && speech == spokenRequest_) {
        // The balloon's text is the request without its tags: the same as the box's when the box holds none,
        // and then its offsets are the box's too.
        boxHoldsSpokenText_ = balloonText == spokenText_;
    }
}

void SpeechCommands::onWordSpoken(RequestId speech, int start, int length) {
    if (spokenRequest_ != 0 && speech == spokenRequest_ && boxHoldsSpokenText_) {
        highlightSpokenWord(start, length);
    }
}

void SpeechCommands::highlightSpokenWord(int start, int length) {
    QTextDocument* document = c_.TextBox->document();
    const int end = document->characterCount() - 1;
    QTextCursor word(document);
    word.setPosition(std::clamp(start, 0, end));
    word.setPosition(std::clamp(start + length, 0, end), QTextCursor::KeepAnchor);
    // An extra selection is drawn over the text without being the box's selection, so the caret, the user's
    // own selection and the scroll position stay where they are.
    QTextEdit::ExtraSelection spoken;
    spoken.cursor = word;
    const QPalette& palette = c_.TextBox->palette();
    spoken.format.setBackground(palette.brush(QPalette::Active, QPalette::Highlight));
    spoken.format.setForeground(palette.brush(QPalette::Active, QPalette::HighlightedText));
    c_.TextBox->setExtraSelections({spoken});
}

void SpeechCommands::forgetSpokenText() {
    spokenRequest_ = 0;
    spokenText_.clear();
    boxHoldsSpokenText_ = false;
    if (!c_.TextBox->extraSelections().isEmpty()) {
        c_.TextBox->setExtraSelections({});
    }
}

void SpeechCommands::applyPreset(int index) {
    character().Play(QStringLiteral("Write"));
    const auto preset = voicePreset(index);
    if (!preset) {
        throw Failure(QStringLiteral("There is no voice preset %1.").arg(index + 1));
    }
    c_.txtpitch->setText(QString::fromLatin1(preset->pitch));
    c_.txtspeed->setText(QString::fromLatin1(preset->speed));
    character().Play(QStringLiteral("WriteReturn"));
}

void SpeechCommands::alertFieldKey() {
    character().Play(QStringLiteral("Alert"));
}

void SpeechCommands::startMonitoring() {
    finishPendingFill();
    ++clipboardGeneration_;
    c_.TextBox->setFocus();
    // The clipboard belongs to the user: what it holds now stays there, and counts as already seen.
    copiesTaken_ = clipboard_.copyCount();
    character().Play(QStringLiteral("Think"));
    c_.chkpaste->setChecked(true);
    state_.setMonitoringClipboard(true);
    c_.tmrClipboard->start();
    c_.TextBox->setPlainText(QString());
    c_.chkpaste->setToolTip(QStringLiteral("Disable Clipboard Monitoring"));
    trace("clipboard monitoring started");
}

void SpeechCommands::stopMonitoring() {
    finishPendingFill();
    ++clipboardGeneration_;
    c_.tmrClipboard->stop();
    character().Play(QStringLiteral("Think"));
    c_.chkpaste->setChecked(false);
    state_.setMonitoringClipboard(false);
    c_.chkpaste->setToolTip(QStringLiteral("Enable Clipboard Monitoring"));
    trace("clipboard monitoring stopped");
}

void SpeechCommands::readClipboard() {
    if (!state_.monitoringClipboard()) {
        return;
    }
    const quint64 copies = clipboard_.copyCount();
    if (copies == copiesTaken_) {
        return; // nothing copied since: the box keeps what the user typed
    }
    finishPendingFill();
    const quint64 generation = clipboardGeneration_;
    QPointer<SpeechCommands> self(this);
    trace("clipboard read asked");
    clipboard_.requestText([self, generation, copies](std::optional<QString> text) {
        if (!text) {
            trace("clipboard read failed");
        } else {
            trace("clipboard text read", text->size());
        }
        // A failed or late read leaves the box as it was; the next tick tries again.
        if (!self || !text || generation != self->clipboardGeneration_ ||
            !self->state_.monitoringClipboard()) {
            return;
        }
        self->copiesTaken_ = copies;
        self->applyClipboardText(*text);
    });
}

void SpeechCommands::applyClipboardText(const QString& text) {
    // Comparing the sizes first spares copying a long box on every tick.
    if (c_.TextBox->document()->characterCount() - 1 == text.size() && c_.TextBox->toPlainText() == text) {
        return; // already shown: keep the caret and the scroll position where the user left them
    }
    const QString shown = withLongLinesBroken(text);
    filling_ = true;
    c_.TextBox->setPlainText(QString());
    if (shown.size() <= kFillPiece) {
        c_.TextBox->setPlainText(shown);
    } else {
        pendingFill_ = shown;
        pendingFillAt_ = 0;
        fillNextPiece(clipboardGeneration_);
    }
    filling_ = false;
    copiedText_ = shown.size() == text.size() ? QString() : text;
}

void SpeechCommands::fillNextPiece(quint64 generation) {
    if (generation != clipboardGeneration_ || pendingFillAt_ >= pendingFill_.size()) {
        return;
    }
    // Pieces end at line breaks: growing one long line piece by piece would lay it out again every time.
    qsizetype end = pendingFillAt_ + kFillPiece;
    if (end < pendingFill_.size()) {
        const qsizetype before = pendingFill_.lastIndexOf(QLatin1Char('\n'), end - 1);
        if (before >= pendingFillAt_) {
            end = before + 1;
        } else {
            const qsizetype after = pendingFill_.indexOf(QLatin1Char('\n'), end);
            end = after < 0 ? pendingFill_.size() : after + 1;
        }
    }
    QTextCursor cursor(c_.TextBox->document());
    cursor.movePosition(QTextCursor::End);
    const bool wasFilling = filling_;
    filling_ = true;
    cursor.insertText(pendingFill_.mid(pendingFillAt_, end - pendingFillAt_));
    filling_ = wasFilling;
    pendingFillAt_ = end;
    if (pendingFillAt_ >= pendingFill_.size()) {
        pendingFill_.clear();
        pendingFillAt_ = 0;
        return;
    }
    QTimer::singleShot(0, this, [this, generation] { fillNextPiece(generation); });
}

void SpeechCommands::finishPendingFill() {
    const quint64 generation = clipboardGeneration_;
    while (!pendingFill_.isEmpty() && generation == clipboardGeneration_) {
        fillNextPiece(generation);
    }
}

void SpeechCommands::clearAll() {
    ++clipboardGeneration_;
    pendingFill_.clear();
    c_.TextBox->setPlainText(QString());
    copiedText_ = QString();
    clipboard_.clear();
    if (state_.monitoringClipboard()) {
        // Whatever was copied before is gone with it; a read it started must not empty what is typed next.
        copiesTaken_ = clipboard_.copyCount();
    }
    character().Play(QStringLiteral("DoMagic2"));
    character().Play(QStringLiteral("RestPose"));
    c_.TextBox->setFocus();
}

} // namespace cw
