#pragma once

#include <QFont>
#include <thread>

namespace cw {

/// Loads the system's font configuration on a thread of its own while the application object is made: the
/// first widget needs it, and reading it is the largest single step of start-up. Qt then finds it loaded.
/// `wait()` (or the end of its life) waits for it, so that Qt never loads a second copy alongside.
class FontConfigWarmup {
public:
    FontConfigWarmup();
    ~FontConfigWarmup();
    FontConfigWarmup(const FontConfigWarmup&) = delete;
    FontConfigWarmup& operator=(const FontConfigWarmup&) = delete;
    void wait();

private:
    std::thread thread_;
};

/// Maps the classic dialog font names ("MS Sans Serif", "Arial") to installed look-alikes. Call once at
/// start.
void installFontSubstitutes();

/// The dialog font: "MS Sans Serif" 8.25 pt, normal weight.
QFont dialogFont();

/// The font as it is drawn here: a family that is not installed is replaced by its first installed look-alike
/// (see installFontSubstitutes), which is what Qt would draw, without its search for fallbacks.
QFont installedFont(QFont font);

} // namespace cw
