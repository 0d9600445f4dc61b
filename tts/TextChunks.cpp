#include "TextChunks.h"

#include <QHash>

namespace cw::tts {
namespace {

bool isSentenceEnd(QChar c) {
    return c == u'.' || c == u'!' || c == u'?' || c == QChar(0x061F) /* Arabic ? */ ||
           c == QChar(0x0964) /* Devanagari full stop */;
}

/// Full stops of scripts written without spaces (Chinese, Japanese): a sentence ends there, space or none.
bool isWideSentenceEnd(QChar c) {
    return c == QChar(0x3002) || c == QChar(0xFF01) || c == QChar(0xFF1F) || c == QChar(0xFF0E);
}

bool isClauseEnd(QChar c) {
    return c == u',' || c == u';' || c == u':' || c == QChar(0x2014);
}

bool isWideClauseEnd(QChar c) {
    return c == QChar(0x3001) || c == QChar(0xFF0C) || c == QChar(0xFF1B) || c == QChar(0xFF1A);
}

/// Just past the whitespace that follows `at`.
int skipSpace(const QString& text, int at) {
    while (at < text.size() && text[at].isSpace()) {
        ++at;
    }
    return at;
}

} // namespace

int chunkEnd(const QString& text, int from, int maxLength) {
    const int size = int(text.size());
    if (from >= size) {
        return size;
    }
    const int limit = std::min(size, from + std::max(maxLength, 1));
    int lastClause = -1;
    int lastSpace = -1;
    for (int i = from; i < limit; ++i) {
        const QChar c = text[i];
        const bool followedBySpace = i + 1 >= size || text[i + 1].isSpace();
        if ((isSentenceEnd(c) && followedBySpace) || isWideSentenceEnd(c) || c == u'\n') {
            return skipSpace(text, i + 1);
        }
        if ((isClauseEnd(c) && followedBySpace) || isWideClauseEnd(c)) {
            lastClause = i + 1;
        } else if (c.isSpace() && i > from) {
            lastSpace = i;
        }
    }
    if (limit == size) {
        return size;
    }
    if (lastClause > from) {
        return skipSpace(text, lastClause);
    }
    if (lastSpace > from) {
        return skipSpace(text, lastSpace);
    }
    // One unbroken run of characters: cut it, but never inside a surrogate pair.
    int cut = limit;
    if (text[cut - 1].isHighSurrogate() && cut - 1 > from) {
        --cut;
    }
    return cut;
}

SpokenText spokenForm(const QString& text, ReadingContext context) {
    SpokenText out;
    out.text.reserve(text.size());
    out.origin.reserve(text.size());
    const auto put = [&](const QString& s, int origin) {
        out.text += s;
        for (qsizetype k = 0; k < s.size(); ++k) {
            out.origin << origin;
        }
    };
    static const QHash<QString, QString> kStreetWords = {
        {"st", "Street"}, {"ave", "Avenue"},    {"rd", "Road"},   {"blvd", "Boulevard"},
        {"ln", "Lane"},   {"apt", "Apartment"}, {"ste", "Suite"}, {"hwy", "Highway"},
        {"ct", "Court"},  {"pl", "Place"},      {"sq", "Square"}, {"pkwy", "Parkway"},
    };
    int i = 0;
    const int size = int(text.size());
    while (i < size) {
        if (text[i].isSpace()) {
            put(text[i], i);
            ++i;
            continue;
        }
        int end = i;
        while (end < size && !text[end].isSpace()) {
            ++end;
        }
        const QString token = text.mid(i, end - i);
        if (context == ReadingContext::Email && token.contains(u'@')) {
            for (int k = i; k < end; ++k) {
                const QChar c = text[k];
                const bool trailing = k == end - 1;
                if (c == u'@') {
                    put(" at ", k);
                } else if (c == u'.' && !trailing) {
                    put(" dot ", k);
                } else if (c == u'_') {
                    put(" underscore ", k);
                } else if (c == u'-') {
                    put(" dash ", k);
                } else {
                    put(c, k);
                }
            }
        } else if (context == ReadingContext::Address) {
            QString core = token;
            while (!core.isEmpty() && (core.back() == u'.' || core.back() == u',')) {
                core.chop(1);
            }
            const auto full = kStreetWords.constFind(core.toLower());
            if (full != kStreetWords.cend()) {
                put(*full, i);
                // Keep a comma, drop the abbreviation's full stop.
                for (int k = i + int(core.size()); k < end; ++k) {
                    if (text[k] == u',') {
                        put(text[k], k);
                    }
                }
            } else {
                put(token, i);
                for (int k = 0; k < token.size(); ++k) {
                    out.origin[out.origin.size() - token.size() + k] = i + k;
                }
            }
        } else {
            for (int k = i; k < end; ++k) {
                put(text[k], k);
            }
        }
        i = end;
    }
    return out;
}

} // namespace cw::tts
