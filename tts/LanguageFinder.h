#pragma once

#include <QString>
#include <QStringView>

#include <memory>

namespace cw::tts {

/// What a paragraph's language was found to be.
struct LanguageGuess {
    QString language;        ///< lower-case code ("en", "fr", "zh", "ja", ...); empty when unsure
    double confidence = 0.0; ///< 0..1
    bool byScript = false;   ///< settled by the writing system alone (Greek, Hangul, Kana, ...)
};

/// Finds the language of a paragraph: by its script where the script settles it, else by comparing its letter
/// n-grams with libexttextcat's fingerprints of the languages eSpeak NG speaks. The fingerprints are read on
/// first need, one script's worth at a time. Not thread-safe: one finder per thread (the synthesis thread).
class LanguageFinder {
public:
    /// Characters (UTF-16 code units) looked at from the start of a paragraph, however long it is.
    static constexpr qsizetype kLookedAt = 1000;

    /// `fingerprintFolder` holds libexttextcat's <language>.lm files; nothing is read until `find` needs it.
    explicit LanguageFinder(QString fingerprintFolder = defaultFingerprintFolder());
    ~LanguageFinder();
    LanguageFinder(const LanguageFinder&) = delete;
    LanguageFinder& operator=(const LanguageFinder&) = delete;

    /// The paragraph's language; an empty language (and a low confidence) for one too short or too unsure to
    /// tell, such as a greeting, a number or an address. Never throws.
    LanguageGuess find(QStringView paragraph);

    /// Characters looked at by every `find` so far (each looks at no more than kLookedAt).
    qsizetype charactersLookedAt() const { return m_lookedAt; }
    /// Language fingerprints read so far.
    int fingerprintsLoaded() const;

    /// Where the system's libexttextcat fingerprints are.
    static QString defaultFingerprintFolder();
    /// The desktop's language from LC_ALL, LC_MESSAGES or LANG ("fr_FR.UTF-8" gives "fr"); "en" when unset,
    /// "C" or "POSIX".
    static QString desktopLanguage();
    /// The eSpeak NG 1.51 voice that speaks `language` ("zh" gives Mandarin, "cmn-latn-pinyin"); empty when
    /// it has none.
    static QString espeakVoiceFor(const QString& language);
    /// Where the paragraph that starts at `from` ends: the index of the next line break, or the text's size.
    static qsizetype paragraphEnd(QStringView text, qsizetype from);

private:
    class Fingerprints;
    std::unique_ptr<Fingerprints> m_fingerprints;
    qsizetype m_lookedAt = 0;
};

} // namespace cw::tts
