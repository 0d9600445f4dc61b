#pragma once

#include "core/Mouth.h"

#include <QObject>
#include <QString>

namespace cw::character {

/// What a character needs from speech: one request at a time, and its progress in audible time.
/// The real one is the speech engine; tests play a fixed timeline.
class SpeechOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts speaking a tagged request; returns its id. finished() always follows, even when nothing is
    /// heard.
    virtual quint64 speak(const QString& taggedRequest) = 0;
    /// Silences the current request at once; its finished() still comes.
    virtual void stop() = 0;
    /// Selects the language of speech (1033: US English).
    virtual void setLanguageID(int languageId) = 0;

signals:
    void started(quint64 id, const QString& balloonText);
    void word(quint64 id, int start, int length);
    void mouth(quint64 id, cw::Mouth shape);
    void finished(quint64 id);
};

} // namespace cw::character
