#pragma once

// Records what a speech engine reports, one line per signal, so tests can compare whole sequences.

#include "tts/Mouths.h"
#include "tts/SpeechEngine.h"

#include <QSignalSpy>
#include <QStringList>

namespace cw::tts::test {

class EngineRecorder {
public:
    explicit EngineRecorder(SpeechEngine& engine) : engine_(engine) {
        QObject::connect(&engine, &SpeechEngine::started, [this](quint64 id, const QString& text) {
            balloon_ = text;
            add(id, QStringLiteral("started \"") + text + u'"');
        });
        QObject::connect(&engine, &SpeechEngine::word, [this](quint64 id, int start, int length) {
            add(id, QStringLiteral("word \"") + balloon_.mid(start, length) + u'"');
        });
        QObject::connect(&engine, &SpeechEngine::mouth, [this](quint64 id, Mouth shape) {
            add(id, QStringLiteral("mouth ") + mouthName(shape));
        });
        QObject::connect(&engine, &SpeechEngine::bookmark,
                         [this](quint64 id, int mark) { add(id, QStringLiteral("bookmark %1").arg(mark)); });
        QObject::connect(&engine, &SpeechEngine::finished, [this](quint64 id) {
            add(id, QStringLiteral("finished"));
            ++finished_;
        });
    }

    /// Everything recorded for request `id`, in order.
    QStringList of(quint64 id) const { return lines_.value(id); }
    /// The recorded lines of `id` without the mouth shapes.
    QStringList withoutMouths(quint64 id) const {
        QStringList out;
        for (const QString& line : of(id)) {
            if (!line.startsWith(u"mouth")) {
                out << line;
            }
        }
        return out;
    }
    int finishedCount() const { return finished_; }
    /// Waits (processing events) until `count` requests have finished; false on timeout.
    bool waitForFinished(int count, int timeoutMs = 30000) {
        QSignalSpy spy(&engine_, &SpeechEngine::finished);
        while (finished_ < count) {
            if (!spy.wait(timeoutMs)) {
                return finished_ >= count;
            }
        }
        return true;
    }
    std::function<void(quint64, const QString&)> onLine;

private:
    void add(quint64 id, const QString& line) {
        lines_[id] << line;
        if (onLine) {
            onLine(id, line);
        }
    }

    SpeechEngine& engine_;
    QString balloon_;
    QHash<quint64, QStringList> lines_;
    int finished_ = 0;
};

} // namespace cw::tts::test
