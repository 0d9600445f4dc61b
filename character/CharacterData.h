#pragma once

#include "core/Mouth.h"
#include "core/Result.h"

#include <QByteArray>
#include <QPointF>
#include <QRgb>
#include <QString>
#include <array>
#include <vector>

namespace cw::character {

/// The states whose animations the service picks at random; the order is the order in the character file.
enum class State {
    Showing,
    Hiding,
    Speaking,
    MovingLeft,
    MovingRight,
    MovingUp,
    MovingDown,
    IdlingLevel1,
    IdlingLevel2,
    IdlingLevel3
};
inline constexpr int kStateCount = 10;
/// The seven mouth overlays, in the order of Mouth.

/// "Showing", "Hiding", ...
QString stateName(int state);

/// Upper bounds that every character must respect, so a hostile file cannot exhaust memory or time.
namespace limits {
inline constexpr qint64 kFileBytes = 32 * 1024 * 1024;
inline constexpr int kFrameSide = 2048;
inline constexpr int kImages = 2048;
inline constexpr qint64 kSvgBytes = 1024 * 1024;
inline constexpr int kSvgSide = 4096;
inline constexpr int kAnimations = 1024;
inline constexpr int kFramesPerAnimation = 1000;
inline constexpr int kLayersPerFrame = 64;
inline constexpr int kBranchesPerFrame = 16;
inline constexpr int kDurationMs = 60000;
inline constexpr int kNameLength = 256;
inline constexpr int kAnimationsPerState = 256;
inline constexpr double kCoordinate = 10000.0;
} // namespace limits

struct BalloonStyle {
    QString font = QStringLiteral("Liberation Sans");
    int pointSize = 10;
    QRgb foreground = 0xff000000;
    QRgb background = 0xffffffe8;
    QRgb border = 0xff303030;
    int lines = 3;
    int charsPerLine = 32;
};

/// Used where a speech request carries no tags; 0 or empty means the speech engine's own default.
struct VoiceDefaults {
    QString voice;
    int pitch = 0;
    int speed = 0;
};

struct Image {
    QString name;
    QByteArray svg;
};

/// One image placed in a frame: moved to (x, y), then rotated clockwise and scaled about the pivot.
struct Layer {
    int image = 0;
    double x = 0;
    double y = 0;
    double rotate = 0;
    bool hasPivot = false; // without one, the image's centre
    double pivotX = 0;
    double pivotY = 0;
    double scale = 1;
    double opacity = 1;
};

struct Branch {
    int to = 0;
    int probability = 0; // percent
};

struct Frame {
    int duration = 100; // ms
    std::vector<Layer> layers;
    std::vector<Branch> branches;
    int exit = -1; // frame to jump to when the animation must end early; -1: just end
    bool hasMouth = false;
    QPointF mouth; // where mouth overlays are drawn (top-left) when this frame speaks
};

struct Animation {
    QString name;
    int returnAnimation = -1;
    std::vector<Frame> frames;
};

/// Everything a character file holds, with images and animations referred to by index.
struct CharacterData {
    QString name;
    int width = 0;
    int height = 0;
    BalloonStyle balloon;
    VoiceDefaults voice;
    std::vector<Image> images;
    std::array<int, kMouthCount> mouths{};
    std::vector<Animation> animations;
    std::array<std::vector<int>, kStateCount> states;

    /// Index of the animation with that exact name, or -1.
    int findAnimation(const QString& animationName) const;
};

/// Refuses a character that breaks a bound or refers to something it does not have; the error names the
/// place.
[[nodiscard]] Status validate(const CharacterData& character);

/// Why an SVG document may not be used in a character (it refers to something outside the file, or declares a
/// document type), or an empty string when it is acceptable.
QString svgProblem(const QByteArray& svg);

} // namespace cw::character
