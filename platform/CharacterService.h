#pragma once

#include <QSize>
#include <QString>
#include <functional>

namespace cw {

/// Identifies one queued character request. Callers release it at once and never wait on it.
using RequestId = long;

/// Follows a character's Speak requests in step with its balloon. Unset members are not called. The calls
/// come from the event loop and must not throw.
struct SpeechWatcher {
    /// The request began to be heard; `balloonText` is what its balloon shows (the request without its tags).
    std::function<void(RequestId speech, const QString& balloonText)> started;
    /// balloonText.mid(start, length) is the word being heard now.
    std::function<void(RequestId speech, int start, int length)> word;
    /// The request ended: spoken to the end, stopped, or not spoken at all.
    std::function<void(RequestId speech)> ended;
};

/// One loaded character. Every request returns at once; the service performs the queued ones later,
/// in the order issued. An operation that cannot be carried out throws cw::Failure.
class ICharacter {
public:
    virtual ~ICharacter() = default;

    /// Shows a hidden character with its showing animation; a visible one does not change.
    virtual RequestId Show() = 0;
    /// Plays the hiding animation, then takes the character off the screen.
    virtual RequestId Hide() = 0;
    /// Moves the top-left of the character's frame to a screen position in pixels, at the default speed.
    virtual RequestId MoveTo(int x, int y) = 0;
    /// The size of the character's frame in pixels, the same in every pose.
    virtual QSize frameSize() const = 0;
    /// Queues an animation by name; an animation the character does not have throws at the call.
    virtual RequestId Play(const QString& animation) = 0;
    /// Queues a speech request: speech-output tags are applied, the rest is spoken.
    virtual RequestId Speak(const QString& text) = 0;
    /// Ends the current request and every queued one.
    virtual void Stop() = 0;
    /// Switches idle animations on or off.
    virtual void setIdleOn(bool on) = 0;
    /// Selects the language of speech and balloon (1033: US English).
    virtual void setLanguageID(int languageId) = 0;
    /// Reports the progress of this character's Speak requests to `watcher`, replacing any earlier watcher.
    virtual void watchSpeech(SpeechWatcher watcher) = 0;
};

/// The character service: loads characters from character files and hands them out by id.
class ICharacterService {
public:
    virtual ~ICharacterService() = default;

    /// Loads a character file under an id. Throws cw::Failure, naming the file, every place looked in and the
    /// reason, when it cannot be loaded.
    virtual void Load(const QString& characterId, const QString& fileName) = 0;
    /// The character loaded under the id; throws cw::Failure when there is none.
    virtual ICharacter& Item(const QString& characterId) = 0;
};

} // namespace cw
