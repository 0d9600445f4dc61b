#pragma once

#include "SpeechTags.h"

#include <QList>
#include <QString>

namespace cw::tts {

/// The longest chunk handed to the synthesiser at once; a longer sentence is cut at a clause or a word.
inline constexpr int kMaxChunkLength = 160;

/// Where the chunk of `text` that begins at `from` ends (exclusive): after its sentence, or, when the
/// sentence is longer than `maxLength`, after its last clause or word that fits. Always beyond `from` while
/// text remains.
int chunkEnd(const QString& text, int from, int maxLength = kMaxChunkLength);

/// Text as the synthesiser should read it, with each character's origin in the text it was made from.
struct SpokenText {
    QString text;
    QList<int> origin; ///< origin[i]: index in the source text that text[i] stands for
};

/// Rewrites `text` for the reading context: in the e-mail context the symbols of addresses are spelled out
/// ("at", "dot"), in the address context common street abbreviations are read in full.
SpokenText spokenForm(const QString& text, ReadingContext context);

} // namespace cw::tts
