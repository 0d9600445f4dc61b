#include "CharacterFile.h"

#include <QSet>
#include <array>
#include <cstring>

namespace cw::character {

namespace {

/// How a check deep in the reader gives up: thrown there and caught by unpack(), which returns it as the
/// result's error. It never leaves this file.
struct Refusal {
    QString message;
};

[[noreturn]] void refuse(const QString& message) {
    throw Refusal{message};
}

constexpr std::array<char, 8> kMagic{'\x89', 'C', 'W', 'A', '\r', '\n', '\x1a', '\n'};
constexpr int kMaxSections = 64;
constexpr int kMaxStringBytes = limits::kNameLength * 4;

constexpr quint32 tag(const char (&t)[5]) {
    return quint32(quint8(t[0])) | quint32(quint8(t[1])) << 8 | quint32(quint8(t[2])) << 16 |
           quint32(quint8(t[3])) << 24;
}
constexpr quint32 kCharTag = tag("CHAR");
constexpr quint32 kImagesTag = tag("IMGS");
constexpr quint32 kMouthsTag = tag("MOUT");
constexpr quint32 kAnimationsTag = tag("ANIM");
constexpr quint32 kStatesTag = tag("STAT");

QString tagName(quint32 t) {
    QString s;
    for (int i = 0; i < 4; ++i) {
        const char c = char((t >> (8 * i)) & 0xff);
        s += c >= 0x20 && c < 0x7f ? QChar(c) : QChar(u'?');
    }
    return s;
}

class Writer {
public:
    void u8(quint8 v) { out.append(char(v)); }
    void u16(quint16 v) {
        u8(quint8(v));
        u8(quint8(v >> 8));
    }
    void u32(quint32 v) {
        u16(quint16(v));
        u16(quint16(v >> 16));
    }
    void i32(qint32 v) { u32(quint32(v)); }
    void f32(double v) {
        const float f = float(v);
        quint32 bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        u32(bits);
    }
    void string(const QString& s) {
        const QByteArray utf8 = s.toUtf8();
        u16(quint16(utf8.size()));
        out.append(utf8);
    }
    void blob(const QByteArray& b) {
        u32(quint32(b.size()));
        out.append(b);
    }
    QByteArray out;
};

// Reads a bounded range of the file; every read checks what is left, so nothing reads past the end.
class Reader {
public:
    Reader(const QByteArray& bytes, qsizetype begin, qsizetype end, QString section)
        : data(bytes), pos(begin), end(end), section(std::move(section)) {}

    [[noreturn]] void fail(const QString& problem) const {
        refuse(QStringLiteral("section \"%1\"%2%3: %4")
                   .arg(section, item.isEmpty() ? QString() : QStringLiteral(", "), item, problem));
    }
    void need(qsizetype n) {
        if (n < 0 || end - pos < n)
            fail(QStringLiteral("ends early"));
    }
    quint8 u8() {
        need(1);
        return quint8(data[pos++]);
    }
    quint16 u16() {
        const quint16 lo = u8();
        return quint16(lo | quint16(u8()) << 8);
    }
    quint32 u32() {
        const quint32 lo = u16();
        return lo | quint32(u16()) << 16;
    }
    qint32 i32() { return qint32(u32()); }
    double f32() {
        const quint32 bits = u32();
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return double(f);
    }
    QString string() {
        const int n = u16();
        if (n > kMaxStringBytes)
            fail(QStringLiteral("a name of %1 bytes is too long").arg(n));
        need(n);
        const QString s = QString::fromUtf8(data.constData() + pos, n);
        pos += n;
        return s;
    }
    QByteArray blob(qint64 limit) {
        const quint32 n = u32();
        if (n > limit)
            fail(QStringLiteral("a block of %1 bytes is larger than %2 bytes").arg(n).arg(limit));
        need(qsizetype(n));
        const QByteArray b = data.mid(pos, qsizetype(n));
        pos += qsizetype(n);
        return b;
    }
    // A count that cannot claim more items than the bytes left could hold.
    int count(quint32 n, int limit, int minItemBytes, const QString& what) {
        if (n > quint32(limit))
            fail(QStringLiteral("%1 %2 are more than %3").arg(n).arg(what).arg(limit));
        need(qsizetype(n) * minItemBytes);
        return int(n);
    }
    void finish() {
        if (pos != end)
            fail(QStringLiteral("%1 bytes left over at its end").arg(end - pos));
    }

    const QByteArray& data;
    qsizetype pos;
    qsizetype end;
    QString section;
    QString item;
};

void readChar(Reader& r, CharacterData& c) {
    c.name = r.string();
    c.width = r.u16();
    c.height = r.u16();
    c.balloon.font = r.string();
    c.balloon.pointSize = r.u16();
    c.balloon.foreground = r.u32();
    c.balloon.background = r.u32();
    c.balloon.border = r.u32();
    c.balloon.lines = r.u16();
    c.balloon.charsPerLine = r.u16();
    c.voice.voice = r.string();
    c.voice.pitch = r.u16();
    c.voice.speed = r.u16();
}

void readImages(Reader& r, CharacterData& c) {
    const int n = r.count(r.u32(), limits::kImages, 6, QStringLiteral("images"));
    c.images.resize(n);
    for (int i = 0; i < n; ++i) {
        r.item = QStringLiteral("image %1").arg(i);
        c.images[i].name = r.string();
        c.images[i].svg = r.blob(limits::kSvgBytes);
    }
}

void readMouths(Reader& r, CharacterData& c) {
    for (int m = 0; m < kMouthCount; ++m)
        c.mouths[m] = r.i32();
}

void readFrame(Reader& r, Frame& f) {
    f.duration = r.i32();
    f.exit = r.i32();
    const quint8 flags = r.u8();
    if (flags & ~1u)
        r.fail(QStringLiteral("unknown frame flags %1").arg(flags));
    f.hasMouth = flags & 1u;
    if (f.hasMouth) {
        const double x = r.f32();
        f.mouth = QPointF(x, r.f32());
    }
    const int layers = r.count(r.u16(), limits::kLayersPerFrame, 25, QStringLiteral("images"));
    f.layers.resize(layers);
    for (Layer& l : f.layers) {
        l.image = r.i32();
        l.x = r.f32();
        l.y = r.f32();
        l.rotate = r.f32();
        const quint8 pivot = r.u8();
        if (pivot > 1)
            r.fail(QStringLiteral("unknown pivot flag %1").arg(pivot));
        l.hasPivot = pivot == 1;
        if (l.hasPivot) {
            l.pivotX = r.f32();
            l.pivotY = r.f32();
        }
        l.scale = r.f32();
        l.opacity = r.f32();
    }
    const int branches = r.count(r.u16(), limits::kBranchesPerFrame, 5, QStringLiteral("branches"));
    f.branches.resize(branches);
    for (Branch& b : f.branches) {
        b.to = r.i32();
        b.probability = r.u8();
    }
}

void readAnimations(Reader& r, CharacterData& c) {
    const int n = r.count(r.u32(), limits::kAnimations, 10, QStringLiteral("animations"));
    c.animations.resize(n);
    for (int i = 0; i < n; ++i) {
        Animation& a = c.animations[i];
        r.item = QStringLiteral("animation %1").arg(i);
        a.name = r.string();
        r.item = QStringLiteral("animation \"%1\"").arg(a.name.left(limits::kNameLength));
        a.returnAnimation = r.i32();
        const int frames = r.count(r.u32(), limits::kFramesPerAnimation, 13, QStringLiteral("frames"));
        a.frames.resize(frames);
        const QString animationPlace = r.item;
        for (int f = 0; f < frames; ++f) {
            r.item = animationPlace + QStringLiteral(", frame %1").arg(f);
            readFrame(r, a.frames[f]);
        }
    }
}

void readStates(Reader& r, CharacterData& c) {
    for (int s = 0; s < kStateCount; ++s) {
        r.item = QStringLiteral("state \"%1\"").arg(stateName(s));
        const int n = r.count(r.u16(), limits::kAnimationsPerState, 4, QStringLiteral("animations"));
        c.states[s].resize(n);
        for (int& index : c.states[s])
            index = r.i32();
    }
}

} // namespace

QByteArray pack(const CharacterData& c) {
    struct Section {
        quint32 tag;
        QByteArray bytes;
    };
    std::vector<Section> sections;

    Writer w;
    w.string(c.name);
    w.u16(quint16(c.width));
    w.u16(quint16(c.height));
    w.string(c.balloon.font);
    w.u16(quint16(c.balloon.pointSize));
    w.u32(c.balloon.foreground);
    w.u32(c.balloon.background);
    w.u32(c.balloon.border);
    w.u16(quint16(c.balloon.lines));
    w.u16(quint16(c.balloon.charsPerLine));
    w.string(c.voice.voice);
    w.u16(quint16(c.voice.pitch));
    w.u16(quint16(c.voice.speed));
    sections.push_back({kCharTag, std::exchange(w.out, {})});

    w.u32(quint32(c.images.size()));
    for (const Image& image : c.images) {
        w.string(image.name);
        w.blob(image.svg);
    }
    sections.push_back({kImagesTag, std::exchange(w.out, {})});

    for (int m : c.mouths)
        w.i32(m);
    sections.push_back({kMouthsTag, std::exchange(w.out, {})});

    w.u32(quint32(c.animations.size()));
    for (const Animation& a : c.animations) {
        w.string(a.name);
        w.i32(a.returnAnimation);
        w.u32(quint32(a.frames.size()));
        for (const Frame& f : a.frames) {
            w.i32(f.duration);
            w.i32(f.exit);
            w.u8(f.hasMouth ? 1 : 0);
            if (f.hasMouth) {
                w.f32(f.mouth.x());
                w.f32(f.mouth.y());
            }
            w.u16(quint16(f.layers.size()));
            for (const Layer& l : f.layers) {
                w.i32(l.image);
                w.f32(l.x);
                w.f32(l.y);
                w.f32(l.rotate);
                w.u8(l.hasPivot ? 1 : 0);
                if (l.hasPivot) {
                    w.f32(l.pivotX);
                    w.f32(l.pivotY);
                }
                w.f32(l.scale);
                w.f32(l.opacity);
            }
            w.u16(quint16(f.branches.size()));
            for (const Branch& b : f.branches) {
                w.i32(b.to);
                w.u8(quint8(b.probability));
            }
        }
    }
    sections.push_back({kAnimationsTag, std::exchange(w.out, {})});

    for (const auto& state : c.states) {
        w.u16(quint16(state.size()));
        for (int index : state)
            w.i32(index);
    }
    sections.push_back({kStatesTag, std::exchange(w.out, {})});

    Writer file;
    file.out.append(kMagic.data(), qsizetype(kMagic.size()));
    file.u16(kFormatVersion);
    file.u16(quint16(sections.size()));
    quint32 offset = quint32(kMagic.size() + 4 + sections.size() * 12);
    for (const Section& s : sections) {
        file.u32(s.tag);
        file.u32(offset);
        file.u32(quint32(s.bytes.size()));
        offset += quint32(s.bytes.size());
    }
    for (const Section& s : sections)
        file.out.append(s.bytes);
    return file.out;
}

namespace {

/// Throws a Refusal naming the place of the first problem.
CharacterData readPacked(const QByteArray& bytes) {
    if (bytes.size() > limits::kFileBytes)
        refuse(QStringLiteral("the file is larger than %1 bytes").arg(limits::kFileBytes));
    if (bytes.size() < qsizetype(kMagic.size()) ||
        std::memcmp(bytes.constData(), kMagic.data(), kMagic.size()) != 0)
        refuse(QStringLiteral("this is not a character file (its first bytes are wrong)"));

    Reader header(bytes, qsizetype(kMagic.size()), bytes.size(), QStringLiteral("header"));
    const quint16 version = header.u16();
    if (version != kFormatVersion)
        refuse(QStringLiteral("format version %1 is not supported (this program reads version %2)")
                   .arg(version)
                   .arg(kFormatVersion));
    const int sections = header.count(header.u16(), kMaxSections, 12, QStringLiteral("sections"));

    CharacterData c;
    QSet<quint32> seen;
    for (int i = 0; i < sections; ++i) {
        const quint32 t = header.u32();
        const quint32 offset = header.u32();
        const quint32 size = header.u32();
        const QString name = tagName(t);
        if (seen.contains(t))
            refuse(QStringLiteral("section \"%1\" appears twice").arg(name));
        seen.insert(t);
        if (offset < quint32(kMagic.size()) || offset > quint64(bytes.size()) ||
            size > quint64(bytes.size()) - offset)
            refuse(QStringLiteral("section \"%1\" lies outside the file").arg(name));
        Reader r(bytes, qsizetype(offset), qsizetype(offset) + qsizetype(size), name);
        if (t == kCharTag)
            readChar(r, c);
        else if (t == kImagesTag)
            readImages(r, c);
        else if (t == kMouthsTag)
            readMouths(r, c);
        else if (t == kAnimationsTag)
            readAnimations(r, c);
        else if (t == kStatesTag)
            readStates(r, c);
        else
            continue; // sections added by later versions of the packer are optional
        r.item.clear();
        r.finish();
    }
    for (quint32 required : {kCharTag, kImagesTag, kMouthsTag, kAnimationsTag, kStatesTag}) {
        if (!seen.contains(required))
            refuse(QStringLiteral("section \"%1\" is missing").arg(tagName(required)));
    }
    if (const Status valid = validate(c); !valid.ok())
        refuse(valid.message());
    return c;
}

} // namespace

Result<CharacterData> unpack(const QByteArray& bytes) {
    try {
        return readPacked(bytes);
    } catch (const Refusal& refusal) {
        return Error{refusal.message};
    }
}

} // namespace cw::character
