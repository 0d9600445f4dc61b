#include "Description.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace cw::character {

namespace {

/// How a check deep in the reader gives up: thrown there and caught by parseDescription(), which returns it
/// as the result's error. It never leaves this file.
struct Refusal {
    QString message;
};

[[noreturn]] void fail(const QString& place, const QString& problem) {
    throw Refusal{place.isEmpty() ? problem : place + QStringLiteral(": ") + problem};
}

QString join(const QString& place, const QString& key) {
    return place.isEmpty() ? QStringLiteral("\"%1\"").arg(key) : place + QStringLiteral(", \"%1\"").arg(key);
}

QJsonObject object(const QJsonObject& parent, const QString& key, const QString& place,
                   bool required = true) {
    const QJsonValue v = parent.value(key);
    if (v.isUndefined() && !required)
        return {};
    if (!v.isObject())
        fail(join(place, key),
             v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be an object"));
    return v.toObject();
}

QJsonArray array(const QJsonObject& parent, const QString& key, const QString& place, bool required = true) {
    const QJsonValue v = parent.value(key);
    if (v.isUndefined() && !required)
        return {};
    if (!v.isArray())
        fail(join(place, key),
             v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a list"));
    return v.toArray();
}

QString text(const QJsonObject& o, const QString& key, const QString& place,
             const QString* fallback = nullptr) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && fallback)
        return *fallback;
    if (!v.isString())
        fail(join(place, key),
             v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a string"));
    return v.toString();
}

double number(const QJsonObject& o, const QString& key, const QString& place,
              std::optional<double> fallback = {}) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && fallback)
        return *fallback;
    if (!v.isDouble())
        fail(join(place, key),
             v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a number"));
    return v.toDouble();
}

int whole(const QJsonObject& o, const QString& key, const QString& place, std::optional<int> fallback = {}) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() && fallback)
        return *fallback;
    const double d = number(o, key, place);
    if (d != std::floor(d) || std::abs(d) > 1e9)
        fail(join(place, key), QStringLiteral("must be a whole number"));
    return int(d);
}

QRgb colour(const QJsonObject& o, const QString& key, const QString& place, QRgb fallback) {
    if (!o.contains(key))
        return fallback;
    const QColor c = QColor::fromString(text(o, key, place));
    if (!c.isValid())
        fail(join(place, key),
             QStringLiteral("\"%1\" is not a colour").arg(o.value(key).toString().left(40)));
    return c.rgba();
}

int imageIndex(const QHash<QString, int>& images, const QString& name, const QString& place) {
    const auto it = images.find(name);
    if (it == images.end())
        fail(place, QStringLiteral("the image \"%1\" does not exist").arg(name.left(limits::kNameLength)));
    return *it;
}

Frame readFrame(const QJsonObject& o, const QString& place, const QHash<QString, int>& images) {
    Frame f;
    f.duration = whole(o, QStringLiteral("duration"), place);
    const QJsonArray layers = array(o, QStringLiteral("images"), place, false);
    if (layers.size() > limits::kLayersPerFrame)
        fail(place, QStringLiteral("more than %1 images").arg(limits::kLayersPerFrame));
    for (qsizetype i = 0; i < layers.size(); ++i) {
        const QString where = place + QStringLiteral(", image %1").arg(i);
        if (!layers[i].isObject())
            fail(where, QStringLiteral("must be an object"));
        const QJsonObject l = layers[i].toObject();
        Layer layer;
        layer.image = imageIndex(images, text(l, QStringLiteral("image"), where), where);
        layer.x = number(l, QStringLiteral("x"), where, 0.0);
        layer.y = number(l, QStringLiteral("y"), where, 0.0);
        layer.rotate = number(l, QStringLiteral("rotate"), where, 0.0);
        layer.hasPivot = l.contains(QStringLiteral("pivotX")) || l.contains(QStringLiteral("pivotY"));
        if (layer.hasPivot) {
            layer.pivotX = number(l, QStringLiteral("pivotX"), where);
            layer.pivotY = number(l, QStringLiteral("pivotY"), where);
        }
        layer.scale = number(l, QStringLiteral("scale"), where, 1.0);
        layer.opacity = number(l, QStringLiteral("opacity"), where, 1.0);
        f.layers.push_back(layer);
    }
    const QJsonArray branches = array(o, QStringLiteral("branches"), place, false);
    if (branches.size() > limits::kBranchesPerFrame)
        fail(place, QStringLiteral("more than %1 branches").arg(limits::kBranchesPerFrame));
    for (qsizetype i = 0; i < branches.size(); ++i) {
        const QString where = place + QStringLiteral(", branch %1").arg(i);
        if (!branches[i].isObject())
            fail(where, QStringLiteral("must be an object"));
        const QJsonObject b = branches[i].toObject();
        f.branches.push_back(
            {whole(b, QStringLiteral("to"), where), whole(b, QStringLiteral("probability"), where)});
    }
    f.exit = whole(o, QStringLiteral("exit"), place, -1);
    if (o.contains(QStringLiteral("exit")) && f.exit < 0)
        fail(place, QStringLiteral("exit goes to frame %1, which does not exist").arg(f.exit));
    if (o.contains(QStringLiteral("mouth"))) {
        const QJsonObject m = object(o, QStringLiteral("mouth"), place);
        const QString where = join(place, QStringLiteral("mouth"));
        f.hasMouth = true;
        f.mouth = QPointF(number(m, QStringLiteral("x"), where), number(m, QStringLiteral("y"), where));
    }
    return f;
}

/// Throws a Refusal naming the place of the first problem.
CharacterData readJson(const QByteArray& json, const QString& folder) {
    if (json.size() > limits::kFileBytes)
        fail({}, QStringLiteral("the description is larger than %1 bytes").arg(limits::kFileBytes));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        const int line = int(json.left(error.offset).count('\n')) + 1;
        fail({}, QStringLiteral("line %1: %2").arg(line).arg(error.errorString()));
    }
    if (!doc.isObject())
        fail({}, QStringLiteral("the description must be one JSON object"));
    const QJsonObject root = doc.object();

    CharacterData c;
    c.name = text(root, QStringLiteral("name"), {});
    c.width = whole(root, QStringLiteral("width"), {});
    c.height = whole(root, QStringLiteral("height"), {});

    const QJsonObject balloon = object(root, QStringLiteral("balloon"), {}, false);
    const QString bp = QStringLiteral("balloon");
    const BalloonStyle defaults;
    c.balloon.font = text(balloon, QStringLiteral("font"), bp, &defaults.font);
    c.balloon.pointSize = whole(balloon, QStringLiteral("pointSize"), bp, defaults.pointSize);
    c.balloon.foreground = colour(balloon, QStringLiteral("foreground"), bp, defaults.foreground);
    c.balloon.background = colour(balloon, QStringLiteral("background"), bp, defaults.background);
    c.balloon.border = colour(balloon, QStringLiteral("border"), bp, defaults.border);
    c.balloon.lines = whole(balloon, QStringLiteral("lines"), bp, defaults.lines);
    c.balloon.charsPerLine = whole(balloon, QStringLiteral("charsPerLine"), bp, defaults.charsPerLine);

    const QJsonObject voice = object(root, QStringLiteral("voice"), {}, false);
    const QString vp = QStringLiteral("voice");
    const QString noVoice;
    c.voice.voice = text(voice, QStringLiteral("voice"), vp, &noVoice);
    c.voice.pitch = whole(voice, QStringLiteral("pitch"), vp, 0);
    c.voice.speed = whole(voice, QStringLiteral("speed"), vp, 0);

    const QJsonObject images = object(root, QStringLiteral("images"), {});
    if (images.size() > limits::kImages)
        fail({}, QStringLiteral("more than %1 images").arg(limits::kImages));
    QHash<QString, int> imageIndexes;
    const QDir dir(folder);
    for (auto it = images.begin(); it != images.end(); ++it) {
        const QString place = QStringLiteral("image \"%1\"").arg(it.key().left(limits::kNameLength));
        if (!it.value().isString())
            fail(place, QStringLiteral("must name an SVG file"));
        QFile file(dir.filePath(it.value().toString()));
        if (!file.open(QIODevice::ReadOnly))
            fail(place, QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        if (file.size() > limits::kSvgBytes)
            fail(place,
                 QStringLiteral("%1 is larger than %2 bytes").arg(file.fileName()).arg(limits::kSvgBytes));
        imageIndexes.insert(it.key(), int(c.images.size()));
        c.images.push_back({it.key(), file.readAll()});
    }

    const QJsonObject mouths = object(root, QStringLiteral("mouths"), {});
    for (int m = 0; m < kMouthCount; ++m) {
        const QString place = QStringLiteral("mouth \"%1\"").arg(mouthName(Mouth(m)));
        if (!mouths.contains(mouthName(Mouth(m))))
            fail(place, QStringLiteral("is missing"));
        c.mouths[m] =
            imageIndex(imageIndexes, text(mouths, mouthName(Mouth(m)), QStringLiteral("mouths")), place);
    }

    const QJsonObject animations = object(root, QStringLiteral("animations"), {});
    if (animations.size() > limits::kAnimations)
        fail({}, QStringLiteral("more than %1 animations").arg(limits::kAnimations));
    QHash<QString, QString> returns;
    for (auto it = animations.begin(); it != animations.end(); ++it) {
        const QString place = QStringLiteral("animation \"%1\"").arg(it.key().left(limits::kNameLength));
        if (!it.value().isObject())
            fail(place, QStringLiteral("must be an object"));
        const QJsonObject a = it.value().toObject();
        Animation animation;
        animation.name = it.key();
        if (a.contains(QStringLiteral("return")))
            returns.insert(it.key(), text(a, QStringLiteral("return"), place));
        const QJsonArray frames = array(a, QStringLiteral("frames"), place);
        if (frames.size() > limits::kFramesPerAnimation)
            fail(place, QStringLiteral("more than %1 frames").arg(limits::kFramesPerAnimation));
        for (qsizetype f = 0; f < frames.size(); ++f) {
            const QString where = place + QStringLiteral(", frame %1").arg(f);
            if (!frames[f].isObject())
                fail(where, QStringLiteral("must be an object"));
            animation.frames.push_back(readFrame(frames[f].toObject(), where, imageIndexes));
        }
        c.animations.push_back(std::move(animation));
    }
    for (Animation& a : c.animations) {
        const auto it = returns.constFind(a.name);
        if (it == returns.cend())
            continue;
        a.returnAnimation = c.findAnimation(*it);
        if (a.returnAnimation < 0)
            fail(QStringLiteral("animation \"%1\"").arg(a.name),
                 QStringLiteral("its return animation \"%1\" does not exist")
                     .arg(it->left(limits::kNameLength)));
    }

    const QJsonObject states = object(root, QStringLiteral("states"), {});
    for (auto it = states.begin(); it != states.end(); ++it) {
        int s = 0;
        while (s < kStateCount && stateName(s) != it.key())
            ++s;
        if (s == kStateCount)
            fail(QStringLiteral("state \"%1\"").arg(it.key().left(limits::kNameLength)),
                 QStringLiteral("is not a state this program knows"));
        const QString place = QStringLiteral("state \"%1\"").arg(it.key());
        if (!it.value().isArray())
            fail(place, QStringLiteral("must be a list of animation names"));
        for (const QJsonValue& v : it.value().toArray()) {
            const int index = c.findAnimation(v.toString());
            if (!v.isString() || index < 0)
                fail(place, QStringLiteral("the animation \"%1\" does not exist").arg(v.toString().left(80)));
            c.states[s].push_back(index);
        }
    }

    if (const Status valid = validate(c); !valid.ok())
        fail({}, valid.message());
    return c;
}

} // namespace

Result<CharacterData> parseDescription(const QByteArray& json, const QString& folder) {
    try {
        return readJson(json, folder);
    } catch (const Refusal& refusal) {
        return Error{refusal.message};
    }
}

Result<CharacterData> readDescription(const QString& jsonPath) {
    QFile file(jsonPath);
    const auto refused = [&jsonPath](const QString& problem) {
        return Error{jsonPath + QStringLiteral(": ") + problem};
    };
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("cannot read it: %1").arg(file.errorString()));
    if (file.size() > limits::kFileBytes)
        return refused(QStringLiteral("it is larger than %1 bytes").arg(limits::kFileBytes));
    Result<CharacterData> character = parseDescription(file.readAll(), QFileInfo(jsonPath).absolutePath());
    if (!character.ok())
        return refused(character.message());
    return character;
}

} // namespace cw::character
