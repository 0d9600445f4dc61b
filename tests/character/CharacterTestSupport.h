#pragma once

// Helpers only the character tests use (scripted speech; the manual clock is core's); the test character they
// share with the program's tests is in tests/support/TinyCharacter.h.
#include "TinyCharacter.h"
#include "character/SpeechOutput.h"
#include "core/Clock.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace cw::character::test {

using cw::ManualClock; // the shared clock of core/, named here as the tests have always named it
using cw::test::tiny;
using cw::test::writeTinyCharacterFile;

/// The folder of the small test characters.
inline QString dataDir() {
    return cw::test::characterDataDir();
}

/// Speech that plays a fixed timeline (times relative to the start of each request) on a ManualClock and
/// records what it was asked.
class ScriptedSpeech final : public SpeechOutput {
    Q_OBJECT
public:
    struct Event {
        enum Kind { Started, Word, MouthShape, Finished } kind;
        qint64 at;
        int start = 0;
        int length = 0;
        Mouth shape = Mouth::Closed;
    };

    explicit ScriptedSpeech(ManualClock& clock) : clock_(clock) {
        clock_.observe([this](qint64 now) { run(now); });
    }

    /// The default script: "Hello there" over 600 ms.
    std::vector<Event> script{{Event::Started, 0},
                              {Event::Word, 50, 0, 5},
                              {Event::MouthShape, 50, 0, 0, Mouth::Wide1},
                              {Event::MouthShape, 200, 0, 0, Mouth::Narrow},
                              {Event::Word, 300, 6, 5},
                              {Event::MouthShape, 300, 0, 0, Mouth::Medium},
                              {Event::MouthShape, 500, 0, 0, Mouth::Closed},
                              {Event::Finished, 600}};
    QString balloonText = QStringLiteral("Hello there");

    quint64 speak(const QString& taggedRequest) override {
        requests << taggedRequest;
        id_ = ++lastId_;
        start_ = clock_.now();
        next_ = 0;
        return id_;
    }
    void stop() override {
        ++stops;
        if (id_ != 0)
            emit finished(std::exchange(id_, 0));
    }
    void setLanguageID(int languageId) override { languages << languageId; }
    bool speaking() const { return id_ != 0; }

    QStringList requests;
    QList<int> languages;
    int stops = 0;

private:
    void run(qint64 now) {
        while (id_ != 0 && next_ < script.size() && start_ + script[next_].at <= now) {
            const Event e = script[next_++];
            const quint64 id = id_;
            switch (e.kind) {
            case Event::Started:
                emit started(id, balloonText);
                break;
            case Event::Word:
                emit word(id, e.start, e.length);
                break;
            case Event::MouthShape:
                emit mouth(id, e.shape);
                break;
            case Event::Finished:
                id_ = 0;
                emit finished(id);
                break;
            }
        }
    }

    ManualClock& clock_;
    quint64 id_ = 0;
    quint64 lastId_ = 0;
    qint64 start_ = 0;
    std::size_t next_ = 0;
};

} // namespace cw::character::test
