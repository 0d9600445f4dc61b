#include "CharacterEngine.h"

#include "core/Failure.h"
#include "core/Trace.h"

#include <QRandomGenerator>
#include <cmath>

namespace cw::character {

namespace {

// After a stall (a suspended machine, a blocked event loop) frames are not replayed one by one.
constexpr qint64 kMaxCatchUpMs = 1000;
// Every step of an update makes progress, so a well-formed character settles in a few steps; only a fault in
// its data (frames of no duration branching in a circle) could go on, and this bound keeps that from freezing
// the window.
constexpr int kMaxStepsPerUpdate = 10'000;
// Idle level 3 is sleep: its animations follow each other almost at once, the sleeper breathing on.
constexpr qint64 kSleepPauseMs = 1000;
// The lighter idle levels pause 3 to 8 s between glances, at random, so the character looks about now and
// then rather than fidgeting on a beat.
constexpr qint64 kGlancePauseMs = 3000;
constexpr int kGlancePauseSpreadMs = 5000;
// A character without animations for an idle level asks again after this long, rather than spin.
constexpr qint64 kNoIdleAnimationRetryMs = 5000;
constexpr int kStateSpeaking = int(State::Speaking);

// The trace's step names, by request kind (Show, Hide, Move, Play, Speak).
constexpr const char* kQueuedStep[] = {"queued Show", "queued Hide", "queued MoveTo", "queued Play",
                                       "queued Speak"};
constexpr const char* kStartedStep[] = {"started Show", "started Hide", "started MoveTo", "started Play",
                                        "started Speak"};
constexpr const char* kFinishedStep[] = {"finished Show", "finished Hide", "finished MoveTo", "finished Play",
                                         "finished Speak"};

double ease(double t) {
    return t * t * (3 - 2 * t);
}

} // namespace

CharacterEngine::CharacterEngine(std::shared_ptr<const CharacterData> data, Clock& clock,
                                 SpeechOutput& speech, QObject* parent)
    : QObject(parent), data_(std::move(data)), clock_(clock), speech_(speech),
      random_([](int bound) { return int(QRandomGenerator::global()->bounded(bound)); }) {
    // The rest pose is where "RestPose" ends; a character without one rests in its first frame.
    const int rest = data_->findAnimation(QStringLiteral("RestPose"));
    if (rest >= 0) {
        restAnim_ = rest;
        restFrame_ = int(data_->animations[rest].frames.size()) - 1;
    }
    shownAnim_ = restAnim_;
    shownFrame_ = restFrame_;
    connect(&clock_, &Clock::due, this, &CharacterEngine::update);
    connect(&speech_, &SpeechOutput::started, this, &CharacterEngine::onStarted);
    connect(&speech_, &SpeechOutput::word, this, &CharacterEngine::onWord);
    connect(&speech_, &SpeechOutput::mouth, this, &CharacterEngine::onMouth);
    connect(&speech_, &SpeechOutput::finished, this, &CharacterEngine::onFinished);
}

void CharacterEngine::setRandom(std::function<int(int)> random) {
    random_ = std::move(random);
}

void CharacterEngine::setAreaFor(std::function<QRect(const QRect&)> areaFor) {
    areaFor_ = std::move(areaFor);
}

RequestId CharacterEngine::show() {
    Request r;
    r.kind = Kind::Show;
    return enqueue(std::move(r));
}

RequestId CharacterEngine::hide() {
    Request r;
    r.kind = Kind::Hide;
    return enqueue(std::move(r));
}

RequestId CharacterEngine::moveTo(QPoint topLeft, int durationMs) {
    Request r;
    r.kind = Kind::Move;
    r.target = topLeft;
    r.duration = std::max(0, durationMs);
    return enqueue(std::move(r));
}

RequestId CharacterEngine::play(const QString& animation) {
    const int index = data_->findAnimation(animation);
    if (index < 0)
        throw Failure(
            QStringLiteral("The character \"%1\" has no animation \"%2\".").arg(data_->name, animation));
    Request r;
    r.kind = Kind::Play;
    r.animation = index;
    return enqueue(std::move(r));
}

RequestId CharacterEngine::speak(const QString& taggedText) {
    Request r;
    r.kind = Kind::Speak;
    r.text = taggedText;
    return enqueue(std::move(r));
}

RequestId CharacterEngine::enqueue(Request request) {
    request.id = nextId_++;
    trace(kQueuedStep[int(request.kind)], request.id);
    queue_.push_back(std::move(request));
    // Performed later from the event loop, never inside the caller.
    clock_.wakeAt(clock_.now());
    return queue_.back().id;
}

void CharacterEngine::stop() {
    const qint64 now = clock_.now();
    std::deque<Request> dropped;
    dropped.swap(queue_);
    if (current_) {
        if (current_->kind == Kind::Speak && speechId_ != 0 && !speechDone_) {
            // Forget the id first: the finished() that stopping brings belongs to no request any more.
            speechId_ = 0;
            speech_.stop();
        }
        if (current_->kind == Kind::Hide && current_->phase != Phase::Start)
            setVisible(false);
        dropped.push_front(*current_);
        current_.reset();
    }
    speechId_ = 0;
    pb_ = {};
    idlePlaying_ = false;
    pendingReturn_ = -1;
    mouth_.reset();
    hideBalloon();
    showRest();
    quietSince_ = now;
    nextIdleAt_ = 0;
    idleLevel_ = 0;
    for (const Request& r : dropped)
        emit requestFinished(r.id, false);
    scheduleWake(now);
}

void CharacterEngine::setIdleOn(bool on) {
    idleOn_ = on;
    if (!on && idlePlaying_)
        endPlayback(clock_.now());
    quietSince_ = clock_.now();
    nextIdleAt_ = 0;
    idleLevel_ = 0;
    clock_.wakeAt(clock_.now());
}

void CharacterEngine::setLanguageID(int languageId) {
    speech_.setLanguageID(languageId);
}

void CharacterEngine::setPosition(QPoint topLeft) {
    if (topLeft == pos_)
        return;
    pos_ = topLeft;
    if (current_ && current_->kind == Kind::Move && current_->phase == Phase::Main)
        moveFrom_ = topLeft;
    emit moved(pos_);
}

void CharacterEngine::dismissBalloon() {
    if (balloon_.visible && (speechId_ == 0 || speechDone_))
        hideBalloon();
}

std::optional<Mouth> CharacterEngine::mouth() const {
    if (!mouth_ || !visible_)
        return std::nullopt;
    const Frame& f = data_->animations[shownAnim_].frames[shownFrame_];
    return f.hasMouth ? mouth_ : std::nullopt;
}

CharacterEngine::Activity CharacterEngine::activity() const {
    if (current_) {
        switch (current_->kind) {
        case Kind::Show:
            return Activity::Showing;
        case Kind::Hide:
            return Activity::Hiding;
        case Kind::Move:
            return Activity::Moving;
        case Kind::Play:
            return Activity::Playing;
        case Kind::Speak:
            return Activity::Speaking;
        }
    }
    return idlePlaying_ ? Activity::Idling : Activity::None;
}

int CharacterEngine::idleLevel() const {
    return idlePlaying_ ? idleLevel_ : 0;
}

void CharacterEngine::update() {
    // Speech signals or the clock may arrive while a step is under way; run the loop again instead of
    // nesting.
    if (updating_) {
        updateAgain_ = true;
        return;
    }
    updating_ = true;
    const qint64 now = clock_.now();
    do {
        updateAgain_ = false;
        for (int step = 0; step < kMaxStepsPerUpdate; ++step) {
            bool progressed = advancePlayback(now);
            progressed = stepCurrent(now) || progressed;
            if (!current_)
                progressed = startNext(now) || idle(now) || progressed;
            if (!progressed)
                break;
        }
    } while (updateAgain_);
    if (balloonHideAt_ >= 0 && now >= balloonHideAt_)
        hideBalloon();
    updating_ = false;
    scheduleWake(now);
}

bool CharacterEngine::branchesAllowed() const {
    // A played animation that loops on its branches gives way to the requests queued behind it.
    return !pb_.ending && (pb_.loopState >= 0 || idlePlaying_ || queue_.empty());
}

bool CharacterEngine::advancePlayback(qint64 now) {
    bool changed = false;
    while (pb_.active() && now >= pb_.frameEnd) {
        const Animation& a = data_->animations[pb_.anim];
        const Frame& f = a.frames[pb_.frame];
        const int count = int(a.frames.size());
        int next = -1;
        if (pb_.ending) {
            next = f.exit > pb_.frame ? f.exit : pb_.frame + 1;
        } else {
            if (branchesAllowed() && !f.branches.empty()) {
                const int roll = pick(100);
                int sum = 0;
                for (const Branch& b : f.branches) {
                    sum += b.probability;
                    if (roll < sum) {
                        next = b.to;
                        break;
                    }
                }
            }
            if (next < 0)
                next = pb_.frame + 1;
        }
        if (now - pb_.frameEnd > kMaxCatchUpMs)
            pb_.frameEnd = now;
        if (next < count) {
            pb_.frame = next;
            pb_.frameEnd += a.frames[next].duration;
            showFrame(pb_.anim, next);
            changed = true;
            continue;
        }
        // The animation has ended.
        changed = true;
        if (pb_.loopState >= 0 && !pb_.ending) {
            const auto& list = data_->states[pb_.loopState];
            if (!list.empty()) {
                startPlayback(list[pick(int(list.size()))], pb_.frameEnd, pb_.loopState);
                continue;
            }
        }
        const qint64 end = pb_.frameEnd;
        pb_ = {};
        if (idlePlaying_) {
            idlePlaying_ = false;
            nextIdleAt_ =
                end + (idleLevel_ >= 3 ? kSleepPauseMs : kGlancePauseMs + pick(kGlancePauseSpreadMs));
        }
    }
    return changed;
}

void CharacterEngine::startPlayback(int anim, qint64 start, int loopState) {
    pb_ = {anim, 0, start + data_->animations[anim].frames[0].duration, false, loopState};
    showFrame(anim, 0);
    emit animationStarted(data_->animations[anim].name);
}

bool CharacterEngine::startState(int state, qint64 now, bool loop) {
    const auto& list = data_->states[state];
    if (list.empty())
        return false;
    startPlayback(list[pick(int(list.size()))], now, loop ? state : -1);
    return true;
}

bool CharacterEngine::startReturn(qint64 now) {
    if (pendingReturn_ < 0)
        return false;
    const int anim = pendingReturn_;
    pendingReturn_ = -1;
    startPlayback(anim, now);
    return true;
}

void CharacterEngine::endPlayback(qint64 now) {
    if (!pb_.active() || pb_.ending)
        return;
    pb_.ending = true;
    const Frame& f = data_->animations[pb_.anim].frames[pb_.frame];
    if (f.exit >= 0) {
        pb_.frame = f.exit;
        pb_.frameEnd = now + data_->animations[pb_.anim].frames[f.exit].duration;
        showFrame(pb_.anim, f.exit);
    } else {
        pb_ = {};
        if (idlePlaying_) {
            idlePlaying_ = false;
            nextIdleAt_ = now;
        }
    }
}

bool CharacterEngine::stepCurrent(qint64 now) {
    if (!current_)
        return false;
    Request& r = *current_;
    // Every request but Show finds a hidden character unable to do it: it ends as not done, without effect.
    if (r.phase == Phase::Start && r.kind != Kind::Show && !visible_)
        return finishStep(false, now);
    switch (r.kind) {
    case Kind::Show:
        return stepShow(r, now);
    case Kind::Hide:
        return stepHide(r, now);
    case Kind::Move:
        return stepMove(r, now);
    case Kind::Play:
        return stepPlay(r, now);
    case Kind::Speak:
        return stepSpeak(r, now);
    }
    return false;
}

bool CharacterEngine::enterPhase(Request& r, Phase phase) {
    r.phase = phase;
    return true;
}

bool CharacterEngine::finishStep(bool done, qint64 now) {
    finish(done, now);
    return true;
}

bool CharacterEngine::stepShow(Request& r, qint64 now) {
    if (r.phase == Phase::Start) {
        if (visible_)
            return finishStep(true, now);
        pendingReturn_ = -1;
        if (!startState(int(State::Showing), now, false))
            showRest();
        setVisible(true);
        return enterPhase(r, Phase::Main);
    }
    if (pb_.active())
        return false;
    return finishStep(true, now);
}

bool CharacterEngine::stepHide(Request& r, qint64 now) {
    if (r.phase == Phase::Start) {
        hideBalloon();
        startReturn(now);
        return enterPhase(r, Phase::Return);
    }
    if (pb_.active())
        return false;
    if (r.phase == Phase::Return) {
        startState(int(State::Hiding), now, false);
        return enterPhase(r, Phase::Main);
    }
    setVisible(false);
    showRest();
    return finishStep(true, now);
}

bool CharacterEngine::stepMove(Request& r, qint64 now) {
    switch (r.phase) {
    case Phase::Start:
        r.target = keptOnScreen(r.target);
        if (r.target == pos_)
            return finishStep(true, now);
        startReturn(now);
        return enterPhase(r, Phase::Return);
    case Phase::Return:
        if (pb_.active())
            return false;
        moveFrom_ = pos_;
        moveStart_ = now;
        startState(int(movingState(r.target - pos_)), now, true);
        return enterPhase(r, Phase::Main);
    case Phase::Main: {
        const double t = r.duration > 0 ? std::min(1.0, double(now - moveStart_) / r.duration) : 1.0;
        const double e = ease(t);
        const QPoint p(moveFrom_.x() + int(std::lround((r.target.x() - moveFrom_.x()) * e)),
                       moveFrom_.y() + int(std::lround((r.target.y() - moveFrom_.y()) * e)));
        if (p != pos_) {
            pos_ = p;
            emit moved(pos_);
        }
        if (t < 1.0)
            return false;
        endPlayback(now);
        return enterPhase(r, Phase::Ending);
    }
    case Phase::Ending:
        break;
    }
    if (pb_.active())
        return false;
    return finishStep(true, now);
}

QPoint CharacterEngine::keptOnScreen(QPoint target) const {
    if (!areaFor_)
        return target;
    const QSize size(data_->width, data_->height);
    const QRect area = areaFor_(QRect(target, size));
    if (area.isEmpty())
        return target;
    return {std::max(area.left(), std::min(target.x(), area.right() + 1 - size.width())),
            std::max(area.top(), std::min(target.y(), area.bottom() + 1 - size.height()))};
}

State CharacterEngine::movingState(QPoint distance) {
    if (std::abs(distance.x()) >= std::abs(distance.y()))
        return distance.x() < 0 ? State::MovingLeft : State::MovingRight;
    return distance.y() < 0 ? State::MovingUp : State::MovingDown;
}

bool CharacterEngine::stepPlay(Request& r, qint64 now) {
    if (r.phase == Phase::Start) {
        // The previous animation's Return first, unless it is the one asked for.
        if (pendingReturn_ != r.animation)
            startReturn(now);
        return enterPhase(r, Phase::Return);
    }
    if (pb_.active())
        return false;
    if (r.phase == Phase::Return) {
        startPlayback(r.animation, now);
        pendingReturn_ = data_->animations[r.animation].returnAnimation;
        return enterPhase(r, Phase::Main);
    }
    return finishStep(true, now);
}

bool CharacterEngine::stepSpeak(Request& r, qint64 now) {
    switch (r.phase) {
    case Phase::Start:
        // Speaks in the pose the last animation ended in when that pose has a mouth (reading from the book).
        if (!frameCanSpeak())
            startState(kStateSpeaking, now, true);
        speechDone_ = false;
        mouth_ = Mouth::Closed;
        r.phase = Phase::Main;
        speechId_ = speech_.speak(r.text);
        emit frameChanged();
        return true;
    case Phase::Main:
        if (!speechDone_)
            return false;
        mouth_.reset();
        emit frameChanged();
        endPlayback(now);
        return enterPhase(r, Phase::Ending);
    case Phase::Return:
    case Phase::Ending:
        break;
    }
    if (pb_.active())
        return false;
    speechId_ = 0;
    return finishStep(true, now);
}

bool CharacterEngine::frameCanSpeak() const {
    const Animation& a = data_->animations[shownAnim_];
    return shownFrame_ == int(a.frames.size()) - 1 && a.frames[shownFrame_].hasMouth;
}

void CharacterEngine::finish(bool done, qint64 now) {
    const RequestId id = current_->id;
    trace(kFinishedStep[int(current_->kind)], id);
    current_.reset();
    quietSince_ = now;
    nextIdleAt_ = 0;
    idleLevel_ = 0;
    emit requestFinished(id, done);
}

bool CharacterEngine::startNext(qint64 now) {
    if (queue_.empty())
        return false;
    if (idlePlaying_ && speechIsNext()) {
        // Speech does not wait for an idle animation's way out: the voice answers at once, and the speaking
        // pose replaces the idle one as it would the rest pose.
        pb_ = {};
        idlePlaying_ = false;
        showRest();
    }
    if (idlePlaying_) {
        // The next request wakes the character: the idle animation takes its exit path first.
        if (pb_.active()) {
            const bool wasEnding = pb_.ending;
            endPlayback(now);
            return !wasEnding;
        }
        idlePlaying_ = false;
    }
    if (pb_.active())
        return false;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    trace(kStartedStep[int(current_->kind)], current_->id);
    return true;
}

bool CharacterEngine::speechIsNext() const {
    for (const Request& r : queue_) {
        if (r.kind == Kind::Show && visible_)
            continue; // showing a visible character does nothing
        return r.kind == Kind::Speak;
    }
    return false;
}

bool CharacterEngine::idle(qint64 now) {
    if (!idleOn_ || !visible_ || current_ || !queue_.empty() || pb_.active())
        return false;
    const qint64 quiet = now - quietSince_;
    int level = 0;
    while (level < 3 && quiet >= kIdleLevelMs[level])
        ++level;
    if (level == 0 || now < nextIdleAt_)
        return false;
    idleLevel_ = level;
    idlePlaying_ = true;
    if (startReturn(now))
        return true;
    if (startState(int(State::IdlingLevel1) + level - 1, now, false))
        return true;
    idlePlaying_ = false;
    nextIdleAt_ = now + kNoIdleAnimationRetryMs;
    return false;
}

void CharacterEngine::scheduleWake(qint64 now) {
    qint64 at = -1;
    auto consider = [&at](qint64 t) {
        if (at < 0 || t < at)
            at = t;
    };
    if (pb_.active())
        consider(pb_.frameEnd);
    if (current_ && current_->kind == Kind::Move && current_->phase == Phase::Main)
        consider(now + kMoveTickMs);
    if (!current_ && !queue_.empty())
        consider(now);
    if (balloonHideAt_ >= 0)
        consider(balloonHideAt_);
    if (idleOn_ && visible_ && !current_ && queue_.empty() && !pb_.active())
        consider(std::max(nextIdleAt_, quietSince_ + kIdleLevelMs[0]));
    if (at >= 0)
        clock_.wakeAt(std::max(at, now));
    else
        clock_.cancel();
}

void CharacterEngine::showFrame(int anim, int frame) {
    if (anim == shownAnim_ && frame == shownFrame_)
        return;
    shownAnim_ = anim;
    shownFrame_ = frame;
    emit frameChanged();
}

void CharacterEngine::showRest() {
    showFrame(restAnim_, restFrame_);
}

void CharacterEngine::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    emit visibilityChanged(visible);
}

void CharacterEngine::hideBalloon() {
    balloonHideAt_ = -1;
    if (!balloon_.visible)
        return;
    balloon_ = {};
    emit balloonChanged();
}

int CharacterEngine::pick(int bound) {
    return bound <= 1 ? 0 : std::clamp(random_(bound), 0, bound - 1);
}

void CharacterEngine::onStarted(quint64 id, const QString& text) {
    if (id != speechId_ || speechId_ == 0)
        return;
    // Nothing to read (a request of tags only): no empty bubble.
    if (text.trimmed().isEmpty()) {
        hideBalloon();
        return;
    }
    balloon_ = {true, text, 0};
    balloonHideAt_ = -1;
    emit balloonChanged();
    if (current_ && current_->kind == Kind::Speak)
        emit speechStarted(current_->id, text);
}

void CharacterEngine::onWord(quint64 id, int start, int length) {
    if (id != speechId_ || speechId_ == 0 || !balloon_.visible)
        return;
    const int end = std::clamp(start + std::max(0, length), 0, int(balloon_.text.size()));
    if (end > balloon_.shown) {
        balloon_.shown = end;
        emit balloonChanged();
    }
    if (current_ && current_->kind == Kind::Speak) {
        const int from = std::clamp(start, 0, end);
        emit wordSpoken(current_->id, from, end - from);
    }
}

void CharacterEngine::onMouth(quint64 id, Mouth shape) {
    if (id != speechId_ || speechId_ == 0 || speechDone_ || mouth_ == shape)
        return;
    mouth_ = shape;
    emit frameChanged();
}

void CharacterEngine::onFinished(quint64 id) {
    if (id != speechId_ || speechId_ == 0)
        return;
    speechDone_ = true;
    if (balloon_.visible) {
        balloon_.shown = int(balloon_.text.size());
        balloonHideAt_ = clock_.now() + kBalloonLingerMs;
        emit balloonChanged();
    }
    update();
}

} // namespace cw::character
