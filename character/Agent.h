#pragma once

#include "character/CharacterData.h"
#include "character/CharacterEngine.h"
#include "character/FrameRenderer.h"
#include "character/SpeechOutput.h"
#include "core/Clock.h"
#include "platform/CharacterService.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

namespace cw::character {

class CharacterWindow;

/// One loaded character: its requests go to its engine, which its window draws.
class AgentCharacter : public QObject, public ICharacter {
    Q_OBJECT
public:
    AgentCharacter(std::shared_ptr<const CharacterData> data, std::unique_ptr<FrameRenderer> renderer,
                   std::unique_ptr<Clock> clock, std::unique_ptr<SpeechOutput> speech, bool withWindow,
                   QObject* parent = nullptr);
    ~AgentCharacter() override;

    RequestId Show() override { return engine_->show(); }
    RequestId Hide() override { return engine_->hide(); }
    RequestId MoveTo(int x, int y) override { return engine_->moveTo({x, y}); }
    QSize frameSize() const override { return renderer_->frameSize(); }
    RequestId Play(const QString& animation) override { return engine_->play(animation); }
    RequestId Speak(const QString& text) override;
    void Stop() override { engine_->stop(); }
    void setIdleOn(bool on) override { engine_->setIdleOn(on); }
    void setLanguageID(int languageId) override { engine_->setLanguageID(languageId); }
    void watchSpeech(SpeechWatcher watcher) override { speechWatcher_ = std::move(watcher); }

    CharacterEngine& engine() { return *engine_; }
    Clock& clock() { return *clock_; }
    SpeechOutput& speech() { return *speech_; }
    /// Null when made without a window.
    CharacterWindow* window() { return window_.get(); }

private:
    std::shared_ptr<const CharacterData> data_;
    std::unique_ptr<FrameRenderer> renderer_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<SpeechOutput> speech_;
    std::unique_ptr<CharacterEngine> engine_;
    std::unique_ptr<CharacterWindow> window_;
    SpeechWatcher speechWatcher_;
    QSet<RequestId> speechRequests_; // Speak requests not yet ended, so the watcher hears only of these
};

/// The character service: loads character files (looked up by bare name in the program's folder, the
/// installed data folder and the XDG data folders) and gives out the characters by id. Its characters speak
/// through the speech output its options make; it knows no speech engine of its own.
class Agent : public QObject, public ICharacterService {
    Q_OBJECT
public:
    /// How characters are made. makeSpeech must be given; the others default to the real clock, a window
    /// each and the default folders.
    struct Options {
        std::function<std::unique_ptr<Clock>()> makeClock;
        std::function<std::unique_ptr<SpeechOutput>(const VoiceDefaults&)> makeSpeech;
        bool windows = true;
        QStringList folders; // where bare file names are looked up; empty: defaultFolders()
    };

    explicit Agent(Options options, QObject* parent = nullptr);
    ~Agent() override;

    /// An id can be loaded once: callers keep references to the character it gives.
    void Load(const QString& characterId, const QString& fileName) override;
    ICharacter& Item(const QString& characterId) override;
    /// The character under the id with its engine and window, or null.
    AgentCharacter* character(const QString& characterId) const;

    /// The program's own folder, the data folder of the prefix it runs from, the installed data folder, then
    /// the XDG data folders.
    static QStringList defaultFolders();
    /// The places a file name is looked for: itself when it names a folder, else each folder joined with it.
    QStringList placesFor(const QString& fileName) const;

private:
    Options options_;
    QHash<QString, AgentCharacter*> characters_; // children of this object
};

} // namespace cw::character
