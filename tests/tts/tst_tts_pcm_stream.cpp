// The stream between the synthesis thread and the listener: the writer waits while it is far enough ahead,
// the reader's progress lets it on, and an abort wakes a waiting writer and drops what was waiting.
#include "tts/PcmStream.h"

#include <QtTest>
#include <atomic>
#include <numeric>
#include <thread>

using namespace cw::tts;

namespace {

// A chunk of `count` samples numbered from `first`, with one word event on its first sample.
SynthChunk numberedChunk(qint64 first, int count) {
    SynthChunk chunk;
    chunk.samples.resize(std::size_t(count));
    std::iota(chunk.samples.begin(), chunk.samples.end(), qint16(first % 30000));
    TimelineEvent word;
    word.kind = TimelineEvent::Kind::Word;
    word.sample = first;
    chunk.events << word;
    return chunk;
}

// A writer on a thread of its own, as the synthesis worker is: waits for room before each chunk.
class Writer {
public:
    Writer(PcmStream& stream, int chunks, int chunkSize)
        : thread_([this, &stream, chunks, chunkSize] {
              for (int i = 0; i < chunks; ++i) {
                  if (!stream.waitForRoom()) {
                      aborted_ = true;
                      break;
                  }
                  stream.append(numberedChunk(qint64(i) * chunkSize, chunkSize), (i + 1) * 10);
                  appended_ = i + 1;
              }
              if (!aborted_) {
                  stream.finish();
              }
              done_ = true;
          }) {}
    ~Writer() { thread_.join(); }

    int appended() const { return appended_; }
    bool done() const { return done_; }
    bool aborted() const { return aborted_; }

private:
    std::atomic<int> appended_{0};
    std::atomic<bool> done_{false};
    std::atomic<bool> aborted_{false};
    std::thread thread_;
};

} // namespace

class PcmStreamTest : public QObject {
    Q_OBJECT
private slots:
    void theWriterStaysWithinReachOfTheReader() {
        constexpr qint64 kMaxAhead = 1000;
        constexpr int kChunk = 400;
        constexpr int kChunks = 25;
        PcmStream stream(kMaxAhead);
        Writer writer(stream, kChunks, kChunk);

        // The writer fills the stream and then has to wait for the reader.
        QTRY_VERIFY(stream.snapshot().written >= kMaxAhead);
        std::vector<qint16> heard;
        qint16 buffer[300];
        for (PcmStream::State s = stream.snapshot(); !(writer.done() && s.written == s.consumed);
             s = stream.snapshot()) {
            // A chunk that found room may carry the writer at most one chunk past the limit.
            QVERIFY2(s.written - s.consumed < kMaxAhead + kChunk,
                     qPrintable(QString::number(s.written - s.consumed)));
            const qint64 n = stream.read(buffer, 300);
            heard.insert(heard.end(), buffer, buffer + n);
            if (n == 0) {
                std::this_thread::yield(); // let the writer run
            }
        }
        QVERIFY(stream.snapshot().finished);
        QCOMPARE(qint64(heard.size()), qint64(kChunks) * kChunk);
        for (std::size_t i = 0; i < heard.size(); ++i) {
            QCOMPARE(heard[i], qint16(qint64(i - i % kChunk) % 30000 + qint64(i % kChunk)));
        }
        QVERIFY(stream.snapshot().peak < kMaxAhead + kChunk);
        QCOMPARE(stream.snapshot().charactersBeforeFirstAudio, 10);
    }

    // The engine decides on one snapshot while the writer appends and the output reads on other threads:
    // every snapshot must show a single instant, never a count from before a read beside one from after.
    void aSnapshotIsOneInstantWhileBothSidesRun() {
        constexpr int kChunk = 64;
        constexpr int kChunks = 2000;
        PcmStream stream(4 * kChunk);
        Writer writer(stream, kChunks, kChunk);
        std::atomic<bool> readerDone{false};
        std::thread reader([&] {
            qint16 buffer[48];
            for (;;) {
                const bool writerDone = writer.done();
                if (stream.read(buffer, 48) == 0) {
                    if (writerDone) {
                        break; // empty, and nothing more comes
                    }
                    std::this_thread::yield();
                }
            }
            readerDone = true;
        });
        int taken = 0;
        while (!readerDone) {
            const PcmStream::State s = stream.snapshot();
            ++taken;
            if (s.consumed > s.written || s.written - s.consumed > s.peak ||
                (s.written > 0 && s.charactersBeforeFirstAudio < 0) ||
                (s.finished && s.written != qint64(kChunks) * kChunk)) {
                reader.join();
                QFAIL(qPrintable(QStringLiteral("mixed snapshot: written %1 consumed %2 peak %3 finished %4")
                                     .arg(s.written)
                                     .arg(s.consumed)
                                     .arg(s.peak)
                                     .arg(s.finished)));
            }
        }
        reader.join();
        const PcmStream::State end = stream.snapshot();
        QVERIFY(end.finished);
        QCOMPARE(end.consumed, end.written);
        QVERIFY(taken > 0);
    }

    void theSilentClockLetsTheWriterOnToo() {
        PcmStream stream(500);
        Writer writer(stream, 10, 250);
        QTRY_COMPARE(writer.appended(), 2); // full
        const QList<TimelineEvent> firstWord = stream.takeEventsUpTo(0);
        QCOMPARE(firstWord.size(), 1);
        stream.consumeUpTo(500);
        QTRY_COMPARE(writer.appended(), 4);
        stream.consumeUpTo(2500);
        QTRY_VERIFY(writer.appended() > 4);
        while (!writer.done()) {
            stream.consumeUpTo(stream.snapshot().written);
            std::this_thread::yield();
        }
        QCOMPARE(stream.takeEventsUpTo(2500).size(), 9);
    }

    void anAbortWakesAWaitingWriter() {
        PcmStream stream(300);
        Writer writer(stream, 100, 300);
        QTRY_COMPARE(writer.appended(), 1); // full: the writer now waits for room that never comes
        QVERIFY(!writer.done());
        stream.abort();
        QTRY_VERIFY(writer.done());
        QVERIFY(writer.aborted());
        QCOMPARE(writer.appended(), 1);
        QVERIFY(!stream.snapshot().finished);
    }

    void anAbortDropsWhatWasWaitingAndWhatComesAfter() {
        PcmStream stream(10'000);
        stream.append(numberedChunk(0, 800), 5);
        stream.abort();
        QVERIFY(stream.snapshot().aborted);
        QVERIFY(!stream.waitForRoom());
        stream.append(numberedChunk(800, 800), 10);
        qint16 buffer[100];
        QCOMPARE(stream.read(buffer, 100), 0);
        QVERIFY(stream.takeEventsUpTo(2000).isEmpty());
        QCOMPARE(stream.snapshot().written, 800);
    }

    void eventsComeOutInOrderUpToTheSampleHeard() {
        PcmStream stream(10'000);
        stream.append(numberedChunk(0, 100), 1);
        stream.append(numberedChunk(100, 100), 2);
        stream.append(numberedChunk(200, 100), 3);
        QCOMPARE(stream.takeEventsUpTo(99).size(), 1);
        const QList<TimelineEvent> next = stream.takeEventsUpTo(250);
        QCOMPARE(next.size(), 2);
        QCOMPARE(next[0].sample, 100);
        QCOMPARE(next[1].sample, 200);
        QVERIFY(stream.takeEventsUpTo(250).isEmpty());
    }
};

QTEST_GUILESS_MAIN(PcmStreamTest)
#include "tst_tts_pcm_stream.moc"
