#include "CharacterData.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <cmath>

namespace cw::character {

namespace {

const char* const kStateNames[kStateCount] = {"Showing",      "Hiding",      "Speaking",   "MovingLeft",
                                              "MovingRight",  "MovingUp",    "MovingDown", "IdlingLevel1",
                                              "IdlingLevel2", "IdlingLevel3"};

/// How a check deep in the reader gives up: thrown there and caught by validate(), which returns it as the
/// result's error. It never leaves this file.
struct Refusal {
    QString message;
};

[[noreturn]] void fail(const QString& place, const QString& problem) {
    throw Refusal{place.isEmpty() ? problem : place + QStringLiteral(": ") + problem};
}

bool finiteWithin(double value, double bound) {
    return std::isfinite(value) && std::abs(value) <= bound;
}

void checkName(const QString& place, const QString& name) {
    if (name.isEmpty())
        fail(place, QStringLiteral("the name is empty"));
    if (name.size() > limits::kNameLength)
        fail(place, QStringLiteral("the name is longer than %1 characters").arg(limits::kNameLength));
}

void checkLayer(const CharacterData& c, const QString& place, const Layer& layer) {
    if (layer.image < 0 || layer.image >= int(c.images.size()))
        fail(place, QStringLiteral("refers to image %1, which does not exist").arg(layer.image));
    const double bound = limits::kCoordinate;
    if (!finiteWithin(layer.x, bound) || !finiteWithin(layer.y, bound))
        fail(place, QStringLiteral("position out of range"));
    if (!finiteWithin(layer.rotate, 3600))
        fail(place, QStringLiteral("rotation out of range"));
    if (layer.hasPivot && (!finiteWithin(layer.pivotX, bound) || !finiteWithin(layer.pivotY, bound)))
        fail(place, QStringLiteral("pivot out of range"));
    if (!std::isfinite(layer.scale) || layer.scale < 0.01 || layer.scale > 100)
        fail(place, QStringLiteral("scale %1 is outside 0.01 to 100").arg(layer.scale));
    if (!std::isfinite(layer.opacity) || layer.opacity < 0 || layer.opacity > 1)
        fail(place, QStringLiteral("opacity %1 is outside 0 to 1").arg(layer.opacity));
}

void checkFrame(const CharacterData& c, const QString& place, const Frame& frame, int frameCount) {
    if (frame.duration <= 0)
        fail(place, QStringLiteral("duration %1 is not allowed").arg(frame.duration));
    if (frame.duration > limits::kDurationMs)
        fail(place, QStringLiteral("duration %1 ms is longer than %2 ms")
                        .arg(frame.duration)
                        .arg(limits::kDurationMs));
    if (int(frame.layers.size()) > limits::kLayersPerFrame)
        fail(place, QStringLiteral("more than %1 images").arg(limits::kLayersPerFrame));
    for (std::size_t i = 0; i < frame.layers.size(); ++i)
        checkLayer(c, place + QStringLiteral(", image %1").arg(i), frame.layers[i]);
    if (int(frame.branches.size()) > limits::kBranchesPerFrame)
        fail(place, QStringLiteral("more than %1 branches").arg(limits::kBranchesPerFrame));
    int sum = 0;
    for (std::size_t i = 0; i < frame.branches.size(); ++i) {
        const Branch& b = frame.branches[i];
        const QString where = place + QStringLiteral(", branch %1").arg(i);
        if (b.to < 0 || b.to >= frameCount)
            fail(where, QStringLiteral("goes to frame %1, which does not exist").arg(b.to));
        if (b.probability < 1 || b.probability > 100)
            fail(where, QStringLiteral("probability %1 is outside 1 to 100").arg(b.probability));
        sum += b.probability;
    }
    if (sum > 100)
        fail(place, QStringLiteral("branch probabilities add up to %1, more than 100").arg(sum));
    if (frame.exit != -1 && (frame.exit < 0 || frame.exit >= frameCount))
        fail(place, QStringLiteral("exit goes to frame %1, which does not exist").arg(frame.exit));
    if (frame.hasMouth && (!finiteWithin(frame.mouth.x(), limits::kCoordinate) ||
                           !finiteWithin(frame.mouth.y(), limits::kCoordinate)))
        fail(place, QStringLiteral("mouth position out of range"));
}

bool isLocalReference(QStringView value) {
    return value.trimmed().startsWith(u'#');
}

// An <image> may embed a raster picture inside the document, nothing else.
bool isEmbeddedPicture(QStringView value) {
    static const QRegularExpression picture(QStringLiteral("^\\s*data:image/(png|jpeg|jpg|gif);base64,"),
                                            QRegularExpression::CaseInsensitiveOption);
    return picture.match(value.toString()).hasMatch();
}

// Every url(...) in a style or presentation attribute must point inside the document.
QString cssProblem(QStringView css) {
    if (!css.contains(QStringLiteral("url"), Qt::CaseInsensitive) &&
        !css.contains(QStringLiteral("@import"), Qt::CaseInsensitive))
        return {};
    if (css.contains(QStringLiteral("@import"), Qt::CaseInsensitive))
        return QStringLiteral("a style sheet imports another one (@import)");
    static const QRegularExpression url(QStringLiteral("url\\s*\\(\\s*['\"]?\\s*([^'\"\\)\\s]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
    auto it = url.globalMatch(css.toString());
    while (it.hasNext()) {
        const auto m = it.next();
        if (!m.captured(1).startsWith(u'#'))
            return QStringLiteral("refers to \"%1\" outside the file").arg(m.captured(1).left(80));
    }
    return {};
}

} // namespace

QString stateName(int state) {
    return state >= 0 && state < kStateCount ? QString::fromLatin1(kStateNames[state]) : QString();
}

int CharacterData::findAnimation(const QString& animationName) const {
    for (std::size_t i = 0; i < animations.size(); ++i) {
        if (animations[i].name == animationName)
            return int(i);
    }
    return -1;
}

QString svgProblem(const QByteArray& svg) {
    if (svg.size() > limits::kSvgBytes)
        return QStringLiteral("the image is larger than %1 bytes").arg(limits::kSvgBytes);
    QXmlStreamReader xml(svg);
    bool root = true;
    bool inStyle = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return QStringLiteral("declares a document type (DOCTYPE); entities are not allowed");
        case QXmlStreamReader::EntityReference:
            return QStringLiteral("uses the entity \"%1\"").arg(xml.name().toString());
        case QXmlStreamReader::ProcessingInstruction:
            return QStringLiteral("has the processing instruction \"%1\"")
                .arg(xml.processingInstructionTarget());
        case QXmlStreamReader::StartElement: {
            const QStringView name = xml.name();
            if (root && name != u"svg")
                return QStringLiteral("is not an SVG document (its root is <%1>)").arg(name);
            root = false;
            if (name == u"script" || name == u"foreignObject" || name == u"iframe")
                return QStringLiteral("contains a <%1> element").arg(name);
            inStyle = name == u"style";
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                const QStringView value = attribute.value();
                if (attribute.name() == u"href") {
                    const bool ok = name == u"image" ? isEmbeddedPicture(value) || isLocalReference(value)
                                                     : isLocalReference(value);
                    if (!ok)
                        return QStringLiteral("<%1> refers to \"%2\" outside the file")
                            .arg(name, value.left(80).toString());
                } else {
                    const QString problem = cssProblem(value);
                    if (!problem.isEmpty())
                        return QStringLiteral("<%1> %2").arg(name, problem);
                }
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            inStyle = false;
            break;
        case QXmlStreamReader::Characters:
            if (inStyle) {
                const QString problem = cssProblem(xml.text());
                if (!problem.isEmpty())
                    return QStringLiteral("<style> ") + problem;
            }
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return QStringLiteral("is not well-formed XML (line %1: %2)")
            .arg(xml.lineNumber())
            .arg(xml.errorString());
    if (root)
        return QStringLiteral("is empty");
    return {};
}

/// Throws a Refusal naming the place of the first problem.
static void checkCharacter(const CharacterData& c) {
    checkName(QStringLiteral("character"), c.name);
    if (c.width < 1 || c.width > limits::kFrameSide || c.height < 1 || c.height > limits::kFrameSide)
        fail({}, QStringLiteral("frame size %1 x %2 is outside 1 to %3")
                     .arg(c.width)
                     .arg(c.height)
                     .arg(limits::kFrameSide));

    const BalloonStyle& b = c.balloon;
    if (b.font.size() > limits::kNameLength)
        fail(QStringLiteral("balloon"), QStringLiteral("font name too long"));
    if (b.pointSize < 4 || b.pointSize > 72)
        fail(QStringLiteral("balloon"), QStringLiteral("point size %1 is outside 4 to 72").arg(b.pointSize));
    if (b.lines < 1 || b.lines > 20)
        fail(QStringLiteral("balloon"), QStringLiteral("%1 lines is outside 1 to 20").arg(b.lines));
    if (b.charsPerLine < 4 || b.charsPerLine > 200)
        fail(QStringLiteral("balloon"),
             QStringLiteral("%1 characters per line is outside 4 to 200").arg(b.charsPerLine));
    if (c.voice.voice.size() > limits::kNameLength)
        fail(QStringLiteral("voice"), QStringLiteral("voice name too long"));
    if (c.voice.pitch < 0 || c.voice.pitch > 1000)
        fail(QStringLiteral("voice"), QStringLiteral("pitch %1 Hz is outside 0 to 1000").arg(c.voice.pitch));
    if (c.voice.speed < 0 || c.voice.speed > 1000)
        fail(QStringLiteral("voice"), QStringLiteral("speed %1 is outside 0 to 1000").arg(c.voice.speed));

    if (c.images.empty())
        fail({}, QStringLiteral("the character has no images"));
    if (int(c.images.size()) > limits::kImages)
        fail({}, QStringLiteral("more than %1 images").arg(limits::kImages));
    QSet<QString> names;
    for (const Image& image : c.images) {
        const QString place = QStringLiteral("image \"%1\"").arg(image.name.left(limits::kNameLength));
        checkName(place, image.name);
        if (names.contains(image.name))
            fail(place, QStringLiteral("the name is used twice"));
        names.insert(image.name);
        const QString problem = svgProblem(image.svg);
        if (!problem.isEmpty())
            fail(place, problem);
    }

    for (int m = 0; m < kMouthCount; ++m) {
        if (c.mouths[m] < 0 || c.mouths[m] >= int(c.images.size()))
            fail(QStringLiteral("mouth \"%1\"").arg(mouthName(Mouth(m))),
                 QStringLiteral("refers to no image"));
    }

    if (c.animations.empty())
        fail({}, QStringLiteral("the character has no animations"));
    if (int(c.animations.size()) > limits::kAnimations)
        fail({}, QStringLiteral("more than %1 animations").arg(limits::kAnimations));
    names.clear();
    for (const Animation& a : c.animations) {
        const QString place = QStringLiteral("animation \"%1\"").arg(a.name.left(limits::kNameLength));
        checkName(place, a.name);
        if (names.contains(a.name))
            fail(place, QStringLiteral("the name is used twice"));
        names.insert(a.name);
        if (a.returnAnimation != -1 &&
            (a.returnAnimation < 0 || a.returnAnimation >= int(c.animations.size())))
            fail(place, QStringLiteral("its return animation does not exist"));
        if (a.frames.empty())
            fail(place, QStringLiteral("has no frames"));
        if (int(a.frames.size()) > limits::kFramesPerAnimation)
            fail(place, QStringLiteral("more than %1 frames").arg(limits::kFramesPerAnimation));
        for (std::size_t f = 0; f < a.frames.size(); ++f)
            checkFrame(c, place + QStringLiteral(", frame %1").arg(f), a.frames[f], int(a.frames.size()));
    }

    for (int s = 0; s < kStateCount; ++s) {
        const QString place = QStringLiteral("state \"%1\"").arg(stateName(s));
        if (int(c.states[s].size()) > limits::kAnimationsPerState)
            fail(place, QStringLiteral("more than %1 animations").arg(limits::kAnimationsPerState));
        for (int index : c.states[s]) {
            if (index < 0 || index >= int(c.animations.size()))
                fail(place, QStringLiteral("refers to animation %1, which does not exist").arg(index));
        }
    }
}

Status validate(const CharacterData& character) {
    try {
        checkCharacter(character);
        return {};
    } catch (const Refusal& refusal) {
        return Error{refusal.message};
    }
}

} // namespace cw::character
