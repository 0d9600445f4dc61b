#pragma once

#include "core/Failure.h"
#include "platform/CharacterService.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

namespace cw::test {

/// A character service that records every request, in order, as one line each ("Show", "Play Greet",
/// "Speak <text>", "MoveTo 804 400", ...). The log may be shared with other recording fakes so that a test
/// sees the order of requests across services.
class RecordingCharacter : public ICharacter {
public:
    explicit RecordingCharacter(QStringList& log) : log_(log) {}

    RequestId Show() override { return record(QStringLiteral("Show")); }
    RequestId Hide() override { return record(QStringLiteral("Hide")); }
    RequestId MoveTo(int x, int y) override { return record(QStringLiteral("MoveTo %1 %2").arg(x).arg(y)); }
    QSize frameSize() const override { return size; }
    RequestId Play(const QString& animation) override {
        if (failingAnimations.contains(animation)) {
            throw Failure(QStringLiteral("The character has no animation \"%1\".").arg(animation));
        }
        return record(QStringLiteral("Play ") + animation);
    }
    RequestId Speak(const QString& text) override {
        lastSpeech = record(QStringLiteral("Speak ") + text);
        return lastSpeech;
    }
    void Stop() override { record(QStringLiteral("Stop")); }
    void setIdleOn(bool on) override { record(QStringLiteral("IdleOn %1").arg(on ? -1 : 0)); }
    void setLanguageID(int languageId) override { record(QStringLiteral("LanguageID %1").arg(languageId)); }
    /// Kept, not recorded: tests play the speech's progress through it.
    void watchSpeech(SpeechWatcher watcher) override { speechWatcher = std::move(watcher); }

    /// The frame size reported, the genie's by default.
    QSize size{200, 220};
    /// Animations whose Play fails at the call.
    QSet<QString> failingAnimations;
    /// The watcher last handed in; empty until then.
    SpeechWatcher speechWatcher;
    /// The id the last Speak returned; 0 before any.
    RequestId lastSpeech = 0;

private:
    RequestId record(const QString& line) {
        log_.append(line);
        return ++lastId_;
    }
    QStringList& log_;
    RequestId lastId_ = 0;
};

/// The character service around RecordingCharacter; Load fails when `failLoadWith` is set.
class RecordingCharacterService : public ICharacterService {
public:
    explicit RecordingCharacterService(QStringList& log) : log_(log), character(log) {}

    void Load(const QString& characterId, const QString& fileName) override {
        log_.append(QStringLiteral("Load %1 %2").arg(characterId, fileName));
        if (!failLoadWith.isEmpty()) {
            throw Failure(failLoadWith);
        }
        loaded_ = characterId;
    }
    ICharacter& Item(const QString& characterId) override {
        log_.append(QStringLiteral("Item ") + characterId);
        if (characterId != loaded_) {
            throw Failure(QStringLiteral("No character \"%1\" is loaded.").arg(characterId));
        }
        return character;
    }

    QString failLoadWith;

private:
    QStringList& log_;
    QString loaded_;

public:
    RecordingCharacter character;
};

} // namespace cw::test
