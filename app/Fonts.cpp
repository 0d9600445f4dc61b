#include "Fonts.h"

#include "core/ClassicLayout.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <dlfcn.h>

namespace cw {

FontConfigWarmup::FontConfigWarmup() {
    // Looked up rather than linked: Qt's own font back end decides whether fontconfig is there at all.
    using Init = int (*)();
    if (auto* init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) {
        thread_ = std::thread(init);
    }
}

FontConfigWarmup::~FontConfigWarmup() {
    wait();
}

void FontConfigWarmup::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void installFontSubstitutes() {
    // At 8.25 pt the look-alikes are close to the classic bitmap dialog font too, so every caption fits the
    // control it was laid out for.
    const QStringList lookAlikes = classicFontLookAlikes();
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), lookAlikes);
    QFont::insertSubstitutions(QStringLiteral("Arial"), lookAlikes);
}

QFont installedFont(QFont font) {
    // Qt meets a family that is not installed by asking fontconfig to sort every font for the best fallback,
    // the costliest step of drawing the first window; the look-alikes are known, so the first installed one
    // is named instead. Each family is resolved once: every button asks again for the same one.
    static QHash<QString, QString> resolved; // widgets are made on the user-interface thread only
    const QString family = font.family();
    auto known = resolved.constFind(family);
    if (known == resolved.cend()) {
        const QStringList installed = QFontDatabase::families();
        QString drawn = family;
        if (!installed.contains(family, Qt::CaseInsensitive)) {
            for (const QString& lookAlike : QFont::substitutes(family)) {
                if (installed.contains(lookAlike, Qt::CaseInsensitive)) {
                    drawn = lookAlike;
                    break;
                }
            }
        }
        known = resolved.insert(family, drawn);
    }
    if (*known != family) {
        font.setFamily(*known);
    }
    return font;
}

QFont dialogFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

} // namespace cw
