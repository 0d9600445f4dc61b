#include "TtsSpeechOutput.h"

#include <QRegularExpression>
#include <QTimer>

namespace cw::agent {

namespace {

// Stands in where the program is built without a speech engine: nothing is heard, but the balloon fills word
// by word at the default speed and the mouth moves, so the character still reads as speaking.
class SilentSpeechOutput final : public SpeechOutput {
    Q_OBJECT
public:
    explicit SilentSpeechOutput(const VoiceDefaults& defaults)
        : msPerWord_(60000 / (defaults.speed > 0 ? defaults.speed : 170)) {
        timer_.setInterval(msPerWord_);
        connect(&timer_, &QTimer::timeout, this, &SilentSpeechOutput::step);
    }
    quint64 speak(const QString& taggedRequest) override {
        stop();
        static const QRegularExpression tags(QStringLiteral("\\\\[A-Za-z]+=[^\\\\]*\\\\"));
        text_ = QString(taggedRequest).remove(tags);
        static const QRegularExpression words(QStringLiteral("\\S+"));
        words_.clear();
        for (auto it = words.globalMatch(text_); it.hasNext();) {
            const auto m = it.next();
            words_.push_back({int(m.capturedStart()), int(m.capturedLength())});
        }
        next_ = 0;
        id_ = ++lastId_;
        const quint64 id = id_;
        QTimer::singleShot(0, this, [this, id] {
            if (id != id_)
                return;
            emit started(id, text_);
            timer_.start();
            step();
        });
        return id;
    }
    void stop() override {
        if (id_ == 0)
            return;
        timer_.stop();
        const quint64 id = std::exchange(id_, 0);
        QTimer::singleShot(0, this, [this, id] { emit finished(id); });
    }
    void setLanguageID(int) override {}

private:
    void step() {
        if (id_ == 0)
            return;
        if (next_ >= int(words_.size())) {
            emit mouth(id_, Mouth::Closed);
            timer_.stop();
            emit finished(std::exchange(id_, 0));
            return;
        }
        emit word(id_, words_[next_].first, words_[next_].second);
        emit mouth(id_, next_ % 2 ? Mouth::Medium : Mouth::Wide2);
        ++next_;
    }

    int msPerWord_;
    QTimer timer_;
    QString text_;
    std::vector<std::pair<int, int>> words_;
    int next_ = 0;
    quint64 id_ = 0;
    quint64 lastId_ = 0;
};

} // namespace

std::unique_ptr<SpeechOutput> makeSpeechOutput(const VoiceDefaults& defaults) {
    return std::make_unique<SilentSpeechOutput>(defaults);
}

} // namespace cw::agent

#include "SilentSpeechOutput.moc"
