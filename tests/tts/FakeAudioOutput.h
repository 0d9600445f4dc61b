#pragma once

// An audio output a test plays by hand: it takes the source's samples and plays them only when told, and
// records what the engine asked of it.

#include "platform/AudioOutput.h"

#include <QStringList>
#include <algorithm>
#include <atomic>
#include <vector>

namespace cw::tts::test {

class FakeAudioOutput final : public AudioOutput {
public:
    bool ready(int) const override { return true; }
    bool audible() const override { return true; }
    bool start(SampleSource source, int) override {
        calls << QStringLiteral("start");
        if (!startSucceeds) {
            return false;
        }
        source_ = std::move(source);
        taken_ = 0;
        played_ = 0;
        return true;
    }
    void wake() override { ++wakes_; } // from the synthesis thread
    void drain() override { record(QStringLiteral("drain")); }
    qint64 played() override { return played_; }
    bool lost() const override { return lost_; }
    void stop() override {
        calls << QStringLiteral("stop");
        source_ = {};
    }
    void pause() override {
        calls << QStringLiteral("pause");
        source_ = {};
    }

    /// Takes up to `count` samples from the source, as a device fills its buffer; how many it got.
    qint64 take(qint64 count) {
        if (!source_) {
            return 0;
        }
        std::vector<qint16> buffer(std::size_t(std::max<qint64>(count, 0)));
        qint64 got = 0;
        while (got < count) {
            const qint64 n = source_(buffer.data() + got, count - got);
            if (n <= 0) {
                break;
            }
            got += n;
        }
        taken_ += got;
        return got;
    }
    /// Plays `count` more of the samples taken (but for the last `holdBack` of them).
    void play(qint64 count) { played_ = std::min(played_ + count, std::max(taken_ - holdBack, played_)); }
    /// Plays everything taken (but for the last `holdBack`).
    void playAll() { play(taken_); }
    void loseDevice() { lost_ = true; }
    bool hasSource() const { return bool(source_); }
    int wakes() const { return wakes_; }

    bool startSucceeds = true;
    /// Samples the device keeps, never playing them, as a real one holds its latency's worth at the end.
    qint64 holdBack = 0;
    /// What the engine asked, in order; repeated drains are recorded once.
    QStringList calls;

private:
    void record(const QString& call) {
        if (calls.isEmpty() || calls.back() != call) {
            calls << call;
        }
    }

    SampleSource source_;
    qint64 taken_ = 0;
    qint64 played_ = 0;
    bool lost_ = false;
    std::atomic<int> wakes_{0};
};

} // namespace cw::tts::test
