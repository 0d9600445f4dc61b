// tts_language_bench: how long finding a paragraph's language takes, printed, never asserted.
//   the first paragraph (which reads the fingerprints of its script); each paragraph of the language table
//   (median over repeats, then median and slowest over the table); a paragraph of 1 MB.
#include "LanguageSamples.h"
#include "tts/LanguageFinder.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace cw::tts;

namespace {

constexpr int kRepeats = 50;

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Microseconds one `find` of `paragraph` takes, median over kRepeats (the fingerprints already read).
double findMicroseconds(LanguageFinder& finder, const QString& paragraph) {
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const LanguageGuess guess = finder.find(paragraph);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        if (guess.confidence < 0) {
            std::puts("impossible"); // keeps the call from being optimised away
        }
    }
    return median(times);
}

} // namespace

int main() {
    {
        LanguageFinder cold;
        QElapsedTimer timer;
        timer.start();
        cold.find(text(samples::kParagraphs.front().text));
        std::printf("first Latin paragraph, reading %d fingerprints: %.2f ms\n", cold.fingerprintsLoaded(),
                    static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    LanguageFinder finder;
    std::vector<double> perParagraph;
    std::printf("%-4s %-6s %-10s %-5s %s\n", "lang", "found", "confidence", "script", "time (us, median)");
    for (const auto& sample : samples::kParagraphs) {
        const QString paragraph = text(sample.text);
        const LanguageGuess guess = finder.find(paragraph);
        const double us = findMicroseconds(finder, paragraph);
        perParagraph.push_back(us);
        std::printf("%-4s %-6s %-10.2f %-5s %.1f\n", sample.language.data(), qPrintable(guess.language),
                    guess.confidence, guess.byScript ? "yes" : "no", us);
    }
    std::printf("identification per paragraph: median %.1f us, slowest %.1f us over %zu paragraphs\n",
                median(perParagraph), *std::max_element(perParagraph.begin(), perParagraph.end()),
                perParagraph.size());

    QString huge;
    const QString german = text(samples::kParagraphs[2].text) + u' ';
    while (huge.size() < 1024 * 1024) {
        huge += german;
    }
    std::printf("identification of a 1 MB paragraph: %.1f us (median of %d)\n",
                findMicroseconds(finder, huge), kRepeats);
    return 0;
}
