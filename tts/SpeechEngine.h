#pragma once

#include "core/Mouth.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace cw::tts {

using cw::Mouth;

/// Where the engine's audio goes.
enum class AudioOutput {
    DefaultDevice, ///< the sound server's default output, followed when it changes and when the server comes
                   ///< back; while there is none, the timeline runs silently on a clock
    None           ///< always silent, the timeline on a clock
};

/// Figures about the current (or last) request, for tests and measurements.
struct SpeechStatistics {
    qint64 charactersBeforeFirstAudio = -1; ///< text synthesised before the first sample was ready
    qint64 peakBufferedSamples = 0;         ///< the most samples waiting to be heard at once
    qint64 nsToFirstSamples = -1;           ///< from speak() to the first synthesised samples
    bool audible = false;                   ///< played through an output device (not only on the clock)
    int sampleRate = 0;
};

/// Speaks one tagged request at a time through the default audio output and reports, in audible time,
/// the words, mouth shapes and bookmarks of what is being heard. Knows nothing of windows.
/// All calls and signals are on the thread that owns the engine (the user-interface thread).
class SpeechEngine : public QObject {
    Q_OBJECT
public:
    explicit SpeechEngine(QObject* parent = nullptr);
    explicit SpeechEngine(AudioOutput output, QObject* parent = nullptr);
    ~SpeechEngine() override;

    /// The voices that can be chosen, the default first.
    static QStringList voices();
    /// The voice, pitch and speed of requests without tags (each request starts from them); an unknown voice
    /// keeps the default one, out-of-range pitch or speed is clamped.
    void setDefaults(const QString& voice, int pitchHz, int wordsPerMinute);

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
    /// Whether a request started now would be heard: a sound server is connected and the output is ready.
    bool outputReady() const;
    /// Figures about the current or last request.
    SpeechStatistics statistics() const;

signals:
    /// The request has begun; `balloonText` is what the balloon shows (the spoken text without its tags,
    /// or the balloon text of a map tag).
    void started(quint64 id, const QString& balloonText);
    /// A word became audible; its characters are balloonText.mid(start, length).
    void word(quint64 id, int start, int length);
    /// The mouth shape that matches what is audible now.
    void mouth(quint64 id, cw::Mouth shape);
    /// A bookmark tag was reached.
    void bookmark(quint64 id, int mark);
    /// The request has ended (spoken through, stopped, or failed silently).
    void finished(quint64 id);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace cw::tts
