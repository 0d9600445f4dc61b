#pragma once

#include "core/Clock.h"
#include "core/Mouth.h"
#include "platform/AudioOutput.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace cw::tts {

using cw::Mouth;

/// Figures about the current (or last) request, for tests and measurements.
struct SpeechStatistics {
    qint64 charactersBeforeFirstAudio = -1; ///< text synthesised before the first sample was ready
    qint64 peakBufferedSamples = 0;         ///< the most samples waiting to be heard at once
    qint64 nsToFirstSamples = -1;           ///< from speak() to the first synthesised samples
    bool audible = false;                   ///< played through an output device (not only on the clock)
    int sampleRate = 0;
};

/// Speaks one tagged request at a time through an audio output and reports, in audible time, the words,
/// mouth shapes and bookmarks of what is being heard. Knows nothing of windows.
/// All calls and signals are on the thread that owns the engine (the user-interface thread); the output's
/// wake() is also called from the engine's synthesis thread.
///
/// Time comes from the clock it is given: the output's position is checked at every wake-up of that clock
/// (every 10 ms while speaking), and when the output is lost, or holds audio without playing it (not begun
/// 1.5 s after the first samples were ready, or standing still for 4 s), the request goes on silently at the
/// pace of that clock, with every word.
class SpeechEngine : public QObject {
    Q_OBJECT
public:
    /// Speaks through `output` on `clock`. Both must outlive the engine; the engine takes the clock's wake-up
    /// wish for its own (a clock of its own, then).
    SpeechEngine(Clock& clock, AudioOutput& output, QObject* parent = nullptr);
    ~SpeechEngine() override;

    /// The voices that can be chosen, the default first.
    static QStringList voices();
    /// The sample rate of the default voice: an output prepared for it starts the first request at once.
    static int defaultSampleRate();
    /// The voice, pitch and speed of requests without tags (each request starts from them); an unknown voice
    /// keeps the default one, out-of-range pitch or speed is clamped.
    void setDefaults(const QString& voice, int pitchHz, int wordsPerMinute);

    /// Selects the language of speech (1033: US English).
    void setLanguageID(int languageId);

    /// Starts speaking a request with speech-output tags at once. A request still being spoken is stopped
    /// first (it gets its finished()); the engine queues nothing: callers queue requests themselves and start
    /// the next one after finished(). Returns the request's id.
    quint64 speak(const QString& taggedRequest);
    /// Silences the current request within 50 ms, aborts its synthesis and drops its pending events.
    /// finished() is still emitted for it.
    void stop();
    /// Whether a request is being spoken.
    bool isSpeaking() const;
    /// Whether a request started now would be heard: the output is audible and ready.
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
