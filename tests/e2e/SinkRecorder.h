#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <cstdint>
#include <vector>

namespace cw::test {

/// Records what the PulseAudio null sink of the headless desktop plays ($CW_NULL_SINK), 16 kHz mono.
class SinkRecorder {
public:
    static constexpr int kRate = 16000;

    bool start() {
        const QString sink = qEnvironmentVariable("CW_NULL_SINK");
        if (sink.isEmpty()) {
            return false;
        }
        process_.start(QStringLiteral("parec"),
                       {QStringLiteral("-d"), sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                        QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { collect(); });
        clock_.start();
        return process_.waitForStarted(5000);
    }
    ~SinkRecorder() {
        process_.kill();
        process_.waitForFinished(3000);
    }

    /// Every sample recorded so far (the event loop must run for samples to arrive).
    const std::vector<std::int16_t>& samples() {
        collect();
        return samples_;
    }
    /// The samples recorded from sample index `from` on.
    std::vector<std::int16_t> since(std::size_t from) {
        collect();
        return from < samples_.size()
                   ? std::vector<std::int16_t>(samples_.begin() + long(from), samples_.end())
                   : std::vector<std::int16_t>{};
    }
    /// True once the sink has been silent for the last `ms` milliseconds recorded since sample `from`.
    bool silentFor(std::size_t from, int ms) {
        const std::vector<std::int16_t> heard = since(from);
        const std::size_t span = std::size_t(kRate) * std::size_t(ms) / 1000;
        return heard.size() >= span &&
               !audible(std::vector<std::int16_t>(heard.end() - long(span), heard.end()));
    }
    /// Whether any of the samples is louder than a whisper of background.
    static bool audible(const std::vector<std::int16_t>& samples, int threshold = 1000) {
        for (std::int16_t s : samples) {
            if (std::abs(int(s)) > threshold) {
                return true;
            }
        }
        return false;
    }

private:
    void collect() {
        pending_.append(process_.readAllStandardOutput());
        const qsizetype whole = pending_.size() / 2 * 2;
        const auto* data = reinterpret_cast<const unsigned char*>(pending_.constData());
        for (qsizetype i = 0; i < whole; i += 2) {
            samples_.push_back(static_cast<std::int16_t>(data[i] | (data[i + 1] << 8)));
        }
        pending_.remove(0, whole);
    }

    QProcess process_;
    QElapsedTimer clock_;
    QByteArray pending_;
    std::vector<std::int16_t> samples_;
};

} // namespace cw::test
