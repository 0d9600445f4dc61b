#pragma once

#include "character/CharacterData.h"
#include "character/SpeechOutput.h"
#include "core/Clock.h"
#include "platform/CharacterService.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace cw::character {

/// The behaviour of one character without any drawing: a queue of requests performed one after another on the
/// clock's time, the frame to show, the position, the mouth and the balloon text. The window draws what it
/// says.
class CharacterEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultMoveMs = 1000;
    static constexpr int kBalloonLingerMs = 1500;
    static constexpr int kMoveTickMs = 16;
    static constexpr qint64 kIdleLevelMs[3] = {10'000, 60'000, 180'000};

    struct Balloon {
        bool visible = false;
        QString text;
        int shown = 0; // characters of text audible so far
    };
    enum class Activity { None, Showing, Hiding, Moving, Playing, Speaking, Idling };

    CharacterEngine(std::shared_ptr<const CharacterData> data, Clock& clock, SpeechOutput& speech,
                    QObject* parent = nullptr);

    /// Source of chance for branches and state animations: returns a number in [0, bound).
    void setRandom(std::function<int(int bound)> random);
    /// The screen area a frame at that place must stay inside (empty: no bounds).
    void setAreaFor(std::function<QRect(const QRect& frame)> areaFor);

    RequestId show();
    RequestId hide();
    RequestId moveTo(QPoint topLeft, int durationMs = kDefaultMoveMs);
    /// Throws cw::Failure at once when the character has no animation of that name.
    RequestId play(const QString& animation);
    RequestId speak(const QString& taggedText);
    /// Ends the current and every queued request at once, silences speech and settles in the rest pose.
    void stop();
    void setIdleOn(bool on);
    void setLanguageID(int languageId);
    /// Places the character without animation (before the first Show, or where the user dragged it).
    void setPosition(QPoint topLeft);
    /// Hides the balloon if its speech is over.
    void dismissBalloon();

    bool isVisible() const { return visible_; }
    QPoint position() const { return pos_; }
    int animation() const { return shownAnim_; }
    int frame() const { return shownFrame_; }
    /// The mouth overlay to draw now, if the character is speaking in a frame that can speak.
    std::optional<Mouth> mouth() const;
    const Balloon& balloon() const { return balloon_; }
    Activity activity() const;
    /// 0 when not idling, else 1 to 3.
    int idleLevel() const;
    bool idleOn() const { return idleOn_; }
    const CharacterData& data() const { return *data_; }

signals:
    /// The frame or the mouth to draw changed.
    void frameChanged();
    void moved(QPoint topLeft);
    void visibilityChanged(bool visible);
    void balloonChanged();
    void animationStarted(const QString& name);
    /// A request ended: `done` is false when it failed (character hidden) or was stopped.
    void requestFinished(cw::RequestId id, bool done);
    /// The Speak request `id` began to be heard; its balloon shows `balloonText`.
    void speechStarted(cw::RequestId id, const QString& balloonText);
    /// balloonText.mid(start, length) of the Speak request `id` is being heard now; comes after the balloon
    /// has shown it.
    void wordSpoken(cw::RequestId id, int start, int length);

private:
    enum class Kind { Show, Hide, Move, Play, Speak };
    enum class Phase { Start, Return, Main, Ending };
    struct Request {
        RequestId id = 0;
        Kind kind = Kind::Show;
        QPoint target;
        int duration = 0;
        int animation = -1;
        QString text;
        Phase phase = Phase::Start;
    };
    struct Playback {
        int anim = -1;
        int frame = 0;
        qint64 frameEnd = 0;
        bool ending = false; // following the exit path
        int loopState = -1;  // repeats animations of this state until ended
        bool active() const { return anim >= 0; }
    };

    RequestId enqueue(Request request);
    void update();
    bool advancePlayback(qint64 now);
    /// One step of the current request; true when it made progress. One function per request kind below.
    bool stepCurrent(qint64 now);
    bool stepShow(Request& r, qint64 now);
    bool stepHide(Request& r, qint64 now);
    bool stepMove(Request& r, qint64 now);
    bool stepPlay(Request& r, qint64 now);
    bool stepSpeak(Request& r, qint64 now);
    /// Moves a request on to its next phase; a step that made progress.
    static bool enterPhase(Request& r, Phase phase);
    /// Ends the current request; a step that made progress.
    bool finishStep(bool done, qint64 now);
    /// The place nearest `target` where the whole character stays inside its screen area.
    QPoint keptOnScreen(QPoint target) const;
    /// The walking state for a move by `distance`: along its longer axis.
    static State movingState(QPoint distance);
    bool startNext(qint64 now);
    /// Whether the queue leads straight to speech, past requests that do nothing.
    bool speechIsNext() const;
    bool idle(qint64 now);
    void scheduleWake(qint64 now);
    void finish(bool done, qint64 now);
    void startPlayback(int anim, qint64 start, int loopState = -1);
    bool startState(int state, qint64 now, bool loop);
    bool startReturn(qint64 now);
    void endPlayback(qint64 now);
    void showFrame(int anim, int frame);
    void showRest();
    void setVisible(bool visible);
    void hideBalloon();
    bool frameCanSpeak() const;
    bool branchesAllowed() const;
    int pick(int bound);

    void onStarted(quint64 id, const QString& text);
    void onWord(quint64 id, int start, int length);
    void onMouth(quint64 id, Mouth shape);
    void onFinished(quint64 id);

    std::shared_ptr<const CharacterData> data_;
    Clock& clock_;
    SpeechOutput& speech_;
    std::function<int(int)> random_;
    std::function<QRect(const QRect&)> areaFor_;

    RequestId nextId_ = 1;
    std::deque<Request> queue_;
    std::optional<Request> current_;
    Playback pb_;
    bool idlePlaying_ = false;
    int pendingReturn_ = -1;
    int restAnim_ = 0;
    int restFrame_ = 0;

    bool visible_ = false;
    QPoint pos_;
    QPoint moveFrom_;
    qint64 moveStart_ = 0;
    int shownAnim_ = 0;
    int shownFrame_ = 0;

    quint64 speechId_ = 0;
    bool speechDone_ = false;
    std::optional<Mouth> mouth_;
    Balloon balloon_;
    qint64 balloonHideAt_ = -1;

    bool idleOn_ = false;
    qint64 quietSince_ = 0;
    qint64 nextIdleAt_ = 0;
    int idleLevel_ = 0;

    bool updating_ = false;
    bool updateAgain_ = false;
};

} // namespace cw::character
