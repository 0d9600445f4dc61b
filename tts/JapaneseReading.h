#pragma once

#include "TextChunks.h"

#include <QString>

namespace cw::tts {

/// Japanese text as eSpeak NG's Japanese voice can read it: every kanji word (with its okurigana) becomes its
/// hiragana reading; kana, Latin letters, digits, punctuation and everything else stay as they are. Each unit
/// of the reading points at the character of the word it reads, in order, so origins never go backwards.
/// Without KAKASI's dictionary the text comes back unchanged (logged once). Thread-safe; the dictionary is
/// opened on the first text that has a kanji in it.
/// `Spaced` puts a space between the words of a run (the space's origin is the next word's first character):
/// eSpeak NG reports a run of Japanese with no spaces as one word, but each spaced word as it is heard, and
/// it adds no pause for the space.
enum class JapaneseWords { Joined, Spaced };
SpokenText japaneseReading(const QString& text, JapaneseWords words = JapaneseWords::Joined);

} // namespace cw::tts
