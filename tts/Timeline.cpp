#include "Timeline.h"

#include "Mouths.h"

#include <algorithm>

namespace cw::tts {

QList<TimelineEvent> chunkTimeline(const ChunkTiming& timing, qint64 offset, Mouth& mouth) {
    QList<TimelineEvent> events;
    qint64 phoneStart = 0;
    for (const auto& phone : timing.phones) {
        const Mouth shape = phone.ipa ? mouthForIpa(phone.name) : mouthForPhone(phone.name);
        if (shape != mouth && phone.end > phoneStart) {
            TimelineEvent e;
            e.kind = TimelineEvent::Kind::Mouth;
            e.sample = offset + phoneStart;
            e.mouth = shape;
            events << e;
            mouth = shape;
        }
        phoneStart = std::max(phoneStart, phone.end);
    }
    int lastStart = -1;
    for (const auto& word : timing.words) {
        if (word.balloonStart == lastStart) {
            continue; // several spoken words (a number read out) show as one balloon word
        }
        lastStart = word.balloonStart;
        TimelineEvent e;
        e.kind = TimelineEvent::Kind::Word;
        e.sample = offset + word.start;
        e.start = word.balloonStart;
        e.length = word.balloonLength;
        events << e;
    }
    for (const auto& mark : timing.marks) {
        TimelineEvent e;
        e.kind = TimelineEvent::Kind::Bookmark;
        e.mark = mark.mark;
        e.sample = offset + timing.length;
        for (const auto& word : timing.words) {
            if (word.spokenStart >= mark.offset) {
                e.sample = offset + word.start;
                break;
            }
        }
        events << e;
    }
    std::stable_sort(events.begin(), events.end(), [](const TimelineEvent& a, const TimelineEvent& b) {
        return a.sample != b.sample ? a.sample < b.sample : a.kind < b.kind;
    });
    return events;
}

QString formatTimeline(const QList<TimelineEvent>& events, int sampleRate, const QString& balloonText) {
    QString out;
    for (const auto& e : events) {
        const qint64 ms = sampleRate > 0 ? e.sample * 1000 / sampleRate : 0;
        QString line = QString::number(ms).rightJustified(7) + u' ';
        switch (e.kind) {
        case TimelineEvent::Kind::Word:
            line += QStringLiteral("word %1 %2 \"%3\"")
                        .arg(e.start)
                        .arg(e.length)
                        .arg(balloonText.mid(e.start, e.length));
            break;
        case TimelineEvent::Kind::Mouth:
            line += QStringLiteral("mouth ") + mouthName(e.mouth);
            break;
        case TimelineEvent::Kind::Bookmark:
            line += QStringLiteral("bookmark %1").arg(e.mark);
            break;
        case TimelineEvent::Kind::End:
            line += QStringLiteral("end");
            break;
        }
        out += line + u'\n';
    }
    return out;
}

} // namespace cw::tts
