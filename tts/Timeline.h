#pragma once

#include "SpeechTags.h"
#include "core/Mouth.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace cw::tts {

using cw::Mouth;

/// Something the listener reaches at a point of the request's audio, counted in samples from its start.
struct TimelineEvent {
    enum class Kind { Bookmark, Word, Mouth, End };
    Kind kind = Kind::Word;
    qint64 sample = 0;
    int start = 0;  ///< Word: first balloon character
    int length = 0; ///< Word: number of balloon characters
    Mouth mouth = Mouth::Closed;
    int mark = 0; ///< Bookmark: its number

    friend bool operator==(const TimelineEvent&, const TimelineEvent&) = default;
};

/// Timings of one synthesised chunk, in samples from the chunk's first sample.
struct ChunkTiming {
    struct Phone {
        QByteArray name; ///< flite's US English phone name, or an IPA symbol (UTF-8) when `ipa`
        qint64 end = 0;
        bool ipa = false;
    };
    struct Word {
        qint64 start = 0;
        int spokenStart = 0; ///< offset in the piece's spoken text, to place bookmarks
        int balloonStart = 0;
        int balloonLength = 0;
    };
    QList<Phone> phones; ///< in order; each starts where the previous ends
    QList<Word> words;   ///< in order
    QList<TextMark> marks;
    qint64 length = 0; ///< samples in the chunk
};

/// The events of one chunk placed at `offset`: a mouth for each change of shape (continuing from `mouth`,
/// which is updated), each word once, each bookmark at the first word at or after its offset (or at the
/// chunk's end), ordered by time. Pure.
QList<TimelineEvent> chunkTimeline(const ChunkTiming& timing, qint64 offset, Mouth& mouth);

/// One line per event, times in milliseconds, words quoted from `balloonText`; stable for known-good files.
QString formatTimeline(const QList<TimelineEvent>& events, int sampleRate, const QString& balloonText);

} // namespace cw::tts
