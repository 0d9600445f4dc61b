// The HTS full-context label writer on flite's front end. flite builds the words, syllables, phrases, stress
// and accents; the counts, distances, phrase sizes, totals and end tones the labels also carry are worked out
// here, the way festival writes them for the same voice (its hts.scm), so the voice sees the contexts it was
// trained on.
#include "HtsLabels.h"

#include <QHash>
#include <memory>
#include <vector>

extern "C" {
#include <flite.h>
}

namespace cw::tts {
namespace {

/// flite's text-to-speech method up to the point where the words are phones with stress and accents: no
/// durations, no F0 and no waveform. The hooks are the voice's own where it sets them.
const cst_synth_module kFrontEnd[] = {
    {"tokenizer_func", default_tokenization},
    {"textanalysis_func", default_textanalysis},
    {"pos_tagger_func", default_pos_tagger},
    {"phrasing_func", default_phrasing},
    {"lexical_insertion_func", default_lexical_insertion},
    {"pause_insertion_func", default_pause_insertion},
    {"intonation_func", cart_intonation},
    {"postlex_func", nullptr},
    {nullptr, nullptr},
};

struct Syllable {
    int word = 0;
    int indexInWord = 0;
    int stress = 0;
    bool accented = false;
    int phones = 0;
    QByteArray vowel = "novowel";
};

struct Word {
    QByteArray name;
    QByteArray token;
    QByteArray punctuation;
    QByteArray gpos;
    bool content = false;
    int phrase = 0;
    int indexInPhrase = 0;
    int firstSyllable = 0;
    int syllables = 0;
    bool startsToken = true;
    const void* tokenItem = nullptr; ///< flite's token item, telling the words of one token apart
};

struct Phrase {
    bool major = false; ///< ends at a big break (flite's "BB"): sentence punctuation
    int firstWord = 0;
    int words = 0;
    int firstSyllable = 0;
    int syllables = 0;
    int subPhrases = 0; ///< phrases since the last big break before this one
    QByteArray endTone;
};

struct Segment {
    QByteArray name;
    int syllable = -1; ///< -1 for a pause
    int positionInSyllable = 0;
};

/// The utterance's structure, indexed: what the labels count over.
struct Structure {
    std::vector<Phrase> phrases;
    std::vector<Word> words;
    std::vector<Syllable> syllables;
    std::vector<Segment> segments;
};

QByteArray featureOf(const cst_item* item, const char* path) {
    return QByteArray(ffeature_string(item, path));
}

bool isWhWord(const QByteArray& word) {
    static const QList<QByteArray> kWh = {"how", "why", "which", "who", "what", "where", "when"};
    return kWh.contains(word.toLower());
}

/// The end tone of a phrase, on its last syllable: the phrase-final branch of the tone tree festival gives
/// this voice (tobi.scm's f2b tree), which is what the voice was trained on; flite's own tone tree rarely
/// fires. That tree sees every phrase end as a big break, so it comes down to: a rise ending a yes/no
/// question; no tone when the phrase ends in a function word or borders a one-syllable phrase; otherwise a
/// fall, or a continuation rise in a first phrase followed by a stressed syllable or an auxiliary.
QByteArray endToneFor(const Structure& s, int phraseIndex) {
    const Phrase& phrase = s.phrases[phraseIndex];
    const int last = phrase.firstSyllable + phrase.syllables - 1;
    const Word& word = s.words[s.syllables[last].word];
    const int wordIndex = s.syllables[last].word;
    const auto gposOf = [&](int w) {
        return w >= 0 && w < int(s.words.size()) ? s.words[w].gpos : QByteArray("0");
    };
    const auto phraseFinal = [&](int syllable) {
        if (syllable < 0 || syllable >= int(s.syllables.size())) {
            return false;
        }
        const Phrase& p = s.phrases[s.words[s.syllables[syllable].word].phrase];
        return syllable == p.firstSyllable + p.syllables - 1;
    };
    int stressedSinceStart = 0; // festival's ssyl_in: the phrase's first syllable is not counted
    for (int i = phrase.firstSyllable + 1; i < last; ++i) {
        stressedSinceStart += s.syllables[i].stress == 1 ? 1 : 0;
    }
    const int sinceStart = last - phrase.firstSyllable;
    const QByteArray next = gposOf(wordIndex + 1);
    const QByteArray previous = gposOf(wordIndex - 1);

    if (word.punctuation.contains('?') && !isWhWord(s.words.front().name)) {
        return "H-H%";
    }
    if (word.gpos == "cc" || word.gpos == "md" || word.gpos == "det" || word.gpos == "in" ||
        stressedSinceStart == 10 || phraseFinal(last - 1) || phraseFinal(last + 1)) {
        return "NONE";
    }
    if (next == "0" || previous == "aux" || next == "det" || stressedSinceStart == 4 || sinceStart == 6) {
        return "L-L%";
    }
    if (next == "aux") {
        return "L-H%";
    }
    if (sinceStart == 5 || phrase.subPhrases == 2 || previous == "det" || phrase.subPhrases != 0) {
        return "L-L%";
    }
    if (last + 1 >= int(s.syllables.size())) {
        return "L-L%"; // only words without syllables follow
    }
    const Syllable& following = s.syllables[last + 1];
    if (next == "in") {
        const bool followingEndsWord = following.indexInWord + 1 == s.words[following.word].syllables;
        return followingEndsWord ? "L-H%" : "L-L%";
    }
    return following.stress == 0 ? "L-L%" : "L-H%";
}

Structure structureOf(const cst_utterance* utt) {
    Structure s;
    QHash<const void*, std::pair<int, int>> segmentPlace; // contents -> syllable, position in it
    for (const cst_item* p = relation_head(utt_relation(utt, "Phrase")); p; p = item_next(p)) {
        Phrase phrase;
        phrase.major = qstrcmp(item_feat_string(p, "name"), "BB") == 0;
        phrase.firstWord = int(s.words.size());
        phrase.firstSyllable = int(s.syllables.size());
        for (const cst_item* w = item_daughter(p); w; w = item_next(w)) {
            Word word;
            word.name = featureOf(w, "name");
            word.token = featureOf(w, "R:Token.parent.name");
            const cst_item* token = path_to_item(w, "R:Token.parent");
            word.startsToken = !token || s.words.empty() || token->contents != s.words.back().tokenItem;
            word.tokenItem = token ? token->contents : nullptr;
            word.punctuation = featureOf(w, "R:Token.parent.punc");
            word.gpos = featureOf(w, "gpos");
            word.content = word.gpos == "content";
            word.phrase = int(s.phrases.size());
            word.indexInPhrase = phrase.words++;
            word.firstSyllable = int(s.syllables.size());
            const cst_item* structure = item_as(w, "SylStructure");
            for (const cst_item* syl = structure ? item_daughter(structure) : nullptr; syl;
                 syl = item_next(syl)) {
                Syllable syllable;
                syllable.word = int(s.words.size());
                syllable.indexInWord = word.syllables++;
                syllable.stress = featureOf(syl, "stress").toInt();
                syllable.accented = item_feat_present(syl, "accent");
                for (const cst_item* seg = item_daughter(syl); seg; seg = item_next(seg)) {
                    if (syllable.vowel == "novowel" && featureOf(seg, "ph_vc") == "+") {
                        syllable.vowel = featureOf(seg, "name");
                    }
                    segmentPlace.insert(seg->contents, {int(s.syllables.size()), syllable.phones++});
                }
                s.syllables.push_back(syllable);
            }
            phrase.syllables += word.syllables;
            s.words.push_back(word);
        }
        s.phrases.push_back(phrase);
    }
    int sinceBigBreak = 0;
    for (std::size_t i = 0; i < s.phrases.size(); ++i) {
        Phrase& phrase = s.phrases[i];
        phrase.subPhrases = sinceBigBreak;
        sinceBigBreak = phrase.major ? 0 : sinceBigBreak + 1;
        if (phrase.syllables > 0) {
            phrase.endTone = endToneFor(s, int(i));
            // A tone on the phrase's last syllable makes it an accented one.
            if (phrase.endTone != "NONE") {
                s.syllables[phrase.firstSyllable + phrase.syllables - 1].accented = true;
            }
        }
    }
    for (const cst_item* seg = relation_head(utt_relation(utt, "Segment")); seg; seg = item_next(seg)) {
        Segment segment;
        segment.name = featureOf(seg, "name");
        if (const auto place = segmentPlace.constFind(seg->contents); place != segmentPlace.cend()) {
            segment.syllable = place->first;
            segment.positionInSyllable = place->second;
        }
        s.segments.push_back(segment);
    }
    return s;
}

/// Where the syllables or words of a phrase that pass a test lie around one of them.
struct Neighbours {
    int before = 0;     ///< how many before it
    int after = 0;      ///< how many after it
    int toPrevious = 0; ///< how far back the nearest one is; 0 when there is none
    int toNext = 0;
};

/// The neighbours of `index` among items first .. first + count - 1 (a phrase's) that pass `test`.
template <typename Test> Neighbours neighboursIn(int first, int count, int index, Test test) {
    Neighbours n;
    for (int i = first; i < first + count; ++i) {
        if (i == index || !test(i)) {
            continue;
        }
        if (i < index) {
            ++n.before;
            n.toPrevious = index - i;
        } else {
            ++n.after;
            if (n.toNext == 0) {
                n.toNext = i - index;
            }
        }
    }
    return n;
}

QByteArray number(int value) {
    return QByteArray::number(value);
}

class LabelWriter {
public:
    explicit LabelWriter(const Structure& s) : s_(s) {}

    QByteArray labelFor(int index) const {
        const Segment& seg = s_.segments[index];
        const bool pause = seg.syllable < 0;
        // A pause takes its neighbours' syllable, word and phrase for the "previous" and "next" fields.
        const int prevSyl = pause ? syllableOfSegment(index - 1) : seg.syllable - 1;
        const int nextSyl = pause ? syllableOfSegment(index + 1) : next(seg.syllable, s_.syllables.size());
        const int word = pause ? -1 : s_.syllables[seg.syllable].word;
        const int prevWord = pause ? wordOfSyllable(prevSyl) : word - 1;
        const int nextWord = pause ? wordOfSyllable(nextSyl) : next(word, s_.words.size());
        const int phrase = pause ? -1 : s_.words[word].phrase;
        const int prevPhrase = pause ? phraseOfWord(prevWord) : phrase - 1;
        const int nextPhrase = pause ? phraseOfWord(nextWord) : next(phrase, s_.phrases.size());

        QByteArray out;
        out.reserve(256);
        out += segmentName(index - 2) + '^' + segmentName(index - 1) + '-' + seg.name + '+' +
               segmentName(index + 1) + '=' + segmentName(index + 2);
        if (pause) {
            out += "@x_x";
        } else {
            out += '@' + number(seg.positionInSyllable + 1) + '_' +
                   number(s_.syllables[seg.syllable].phones - seg.positionInSyllable);
        }
        out += "/A:" + syllableSummary(prevSyl, '_');
        out +=
            "/B:" + (pause ? QByteArray("x-x-x@x-x&x-x#x-x$x-x!x-x;x-x|x") : syllableContext(seg.syllable));
        out += "/C:" + syllableSummary(nextSyl, '+');
        out += "/D:" + wordSummary(prevWord, '_');
        out += "/E:" + (pause ? QByteArray("x+x@x+x&x+x#x+x") : wordContext(word));
        out += "/F:" + wordSummary(nextWord, '_');
        out += "/G:" + phraseSummary(prevPhrase, '_');
        if (pause) {
            out += "/H:x=x@1=" + number(int(s_.phrases.size())) + "|0";
        } else {
            const Phrase& p = s_.phrases[phrase];
            out += "/H:" + number(p.syllables) + '=' + number(p.words) + '@' + number(p.subPhrases + 1) +
                   '=' + number(int(s_.phrases.size()) - p.subPhrases) + '|' +
                   (p.endTone.isEmpty() ? "0" : p.endTone);
        }
        out += "/I:" + phraseSummary(nextPhrase, '=');
        out += "/J:" + number(int(s_.syllables.size())) + '+' + number(int(s_.words.size())) + '-' +
               number(int(s_.phrases.size()));
        return out;
    }

private:
    static int next(int index, std::size_t size) { return index + 1 < int(size) ? index + 1 : -1; }

    QByteArray segmentName(int index) const {
        return index >= 0 && index < int(s_.segments.size()) ? s_.segments[index].name : QByteArray("x");
    }
    int syllableOfSegment(int index) const {
        return index >= 0 && index < int(s_.segments.size()) ? s_.segments[index].syllable : -1;
    }
    int wordOfSyllable(int syllable) const { return syllable < 0 ? -1 : s_.syllables[syllable].word; }
    int phraseOfWord(int word) const { return word < 0 ? -1 : s_.words[word].phrase; }

    /// stress, accent and size of a neighbouring syllable; zeros where there is none.
    QByteArray syllableSummary(int index, char separator) const {
        if (index < 0) {
            return QByteArray("0") + separator + '0' + separator + '0';
        }
        const Syllable& syl = s_.syllables[index];
        return number(syl.stress) + separator + number(syl.accented ? 1 : 0) + separator + number(syl.phones);
    }

    QByteArray wordSummary(int index, char separator) const {
        if (index < 0) {
            return QByteArray("0") + separator + '0';
        }
        return s_.words[index].gpos + separator + number(s_.words[index].syllables);
    }

    QByteArray phraseSummary(int index, char separator) const {
        if (index < 0) {
            return QByteArray("0") + separator + '0';
        }
        return number(s_.phrases[index].syllables) + separator + number(s_.phrases[index].words);
    }

    QByteArray syllableContext(int index) const {
        const Syllable& syl = s_.syllables[index];
        const Word& word = s_.words[syl.word];
        const Phrase& phrase = s_.phrases[word.phrase];
        const int inPhrase = index - phrase.firstSyllable;
        const auto stressed = neighboursIn(phrase.firstSyllable, phrase.syllables, index,
                                           [&](int i) { return s_.syllables[i].stress == 1; });
        const auto accented = neighboursIn(phrase.firstSyllable, phrase.syllables, index,
                                           [&](int i) { return s_.syllables[i].accented; });
        // The voice was trained on counts "since the phrase break" that leave out the phrase's first syllable
        // (festival's ssyl_in and asyl_in); the counts after it include the last.
        const bool firstStressed = inPhrase > 0 && s_.syllables[phrase.firstSyllable].stress == 1;
        const bool firstAccented = inPhrase > 0 && s_.syllables[phrase.firstSyllable].accented;
        return number(syl.stress) + '-' + number(syl.accented ? 1 : 0) + '-' + number(syl.phones) + '@' +
               number(syl.indexInWord + 1) + '-' + number(word.syllables - syl.indexInWord) + '&' +
               number(inPhrase + 1) + '-' + number(phrase.syllables - inPhrase) + '#' +
               number(stressed.before - (firstStressed ? 1 : 0) + 1) + '-' + number(stressed.after + 1) +
               '$' + number(accented.before - (firstAccented ? 1 : 0) + 1) + '-' +
               number(accented.after + 1) + '!' + number(stressed.toPrevious) + '-' +
               number(stressed.toNext) + ';' + number(accented.toPrevious) + '-' + number(accented.toNext) +
               '|' + syl.vowel;
    }

    QByteArray wordContext(int index) const {
        const Word& word = s_.words[index];
        const Phrase& phrase = s_.phrases[word.phrase];
        const auto content =
            neighboursIn(phrase.firstWord, phrase.words, index, [&](int i) { return s_.words[i].content; });
        return word.gpos + '+' + number(word.syllables) + '@' + number(word.indexInPhrase + 1) + '+' +
               number(phrase.words - word.indexInPhrase) + '&' + number(content.before) + '+' +
               number(content.after) + '#' + number(content.toPrevious) + '+' + number(content.toNext);
    }

    const Structure& s_;
};

} // namespace

FliteStatus writeHtsLabels(void* voice, const QByteArray& text, HtsLabelling& out) {
    const std::unique_ptr<cst_utterance, decltype(&delete_utterance)> utt(new_utterance(), delete_utterance);
    utt_set_input_text(utt.get(), text.constData());
    utt_init(utt.get(), static_cast<cst_voice*>(voice));
    if (!apply_synth_method(utt.get(), kFrontEnd)) {
        return FliteStatus::NoUtterance;
    }
    const Structure s = structureOf(utt.get());
    const LabelWriter writer(s);
    out = {};
    for (const Word& word : s.words) {
        out.words << HtsLabelling::Word{word.name, word.token, word.startsToken};
    }
    for (int i = 0; i < int(s.segments.size()); ++i) {
        const Segment& seg = s.segments[i];
        out.labels << writer.labelFor(i);
        out.phones << HtsLabelling::Phone{seg.name, seg.syllable < 0 ? -1 : s.syllables[seg.syllable].word};
    }
    return out.labels.isEmpty() ? FliteStatus::NoUtterance : FliteStatus::Ok;
}

} // namespace cw::tts
