#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace cw::tts {

/// The seven mouth shapes the character draws while speaking.
enum class Mouth { Closed, Wide1, Wide2, Wide3, Wide4, Medium, Narrow };

/// Speaks one tagged request at a time through the default audio output and reports, in audible time,
/// the words, mouth shapes and bookmarks of what is being heard. Knows nothing of windows.
/// All calls and signals are on the thread that owns the engine (the user-interface thread).
class SpeechEngine : public QObject {
    Q_OBJECT
public:
    explicit SpeechEngine(QObject* parent = nullptr);
    ~SpeechEngine() override;

    /// Selects the language of speech (1033: US English).
    void setLanguageID(int languageId);

    /// Starts speaking a request with speech-output tags at once, replacing nothing: callers queue requests
    /// themselves and start the next one after finished(). Returns the request's id.
    quint64 speak(const QString& taggedRequest);
    /// Silences the current request within 50 ms, aborts its synthesis and drops its pending events.
    /// finished() is still emitted for it.
    void stop();
    /// Whether a request is being spoken.
    bool isSpeaking() const;

signals:
    /// The request has begun; `balloonText` is what the balloon shows (the spoken text without its tags,
    /// or the balloon text of a map tag).
    void started(quint64 id, const QString& balloonText);
    /// A word became audible; its characters are balloonText.mid(start, length).
    void word(quint64 id, int start, int length);
    /// The mouth shape that matches what is audible now.
    void mouth(quint64 id, cw::tts::Mouth shape);
    /// A bookmark tag was reached.
    void bookmark(quint64 id, int mark);
    /// The request has ended (spoken through, stopped, or failed silently).
    void finished(quint64 id);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace cw::tts
