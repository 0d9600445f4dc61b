// Renders every animation of a character file, frame by frame, onto one PNG contact sheet so a person can
// review the art: one block per animation with each frame's number, duration, branches, exit and mouth slot.
#include "character/CharacterFile.h"
#include "character/FrameRenderer.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>

using namespace cw::character;
using cw::Mouth;

namespace {

constexpr int kPerRow = 10;
constexpr int kMargin = 12;
constexpr int kCaption = 30;
constexpr int kTitle = 22;

QString caption(const Frame& f, int index) {
    QString s = QStringLiteral("#%1  %2 ms").arg(index).arg(f.duration);
    QStringList extra;
    for (const Branch& b : f.branches)
        extra << QStringLiteral("%1%→%2").arg(b.probability).arg(b.to);
    if (f.exit >= 0)
        extra << QStringLiteral("exit→%1").arg(f.exit);
    if (f.hasMouth)
        extra << QStringLiteral("mouth");
    return extra.isEmpty() ? s : s + u'\n' + extra.join(u' ');
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: charsheet CHARACTER.acs OUTPUT.png\n");
        return 2;
    }
    const auto refuse = [](const QString& problem) {
        std::fprintf(stderr, "charsheet: %s\n", qPrintable(problem));
        return 1;
    };
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot read %1: %2").arg(args[1], in.errorString()));
    cw::Result<CharacterData> unpacked = unpack(in.read(limits::kFileBytes + 1));
    if (!unpacked.ok())
        return refuse(unpacked.message());
    const auto data = std::make_shared<const CharacterData>(std::move(unpacked).value());
    auto created = FrameRenderer::create(data);
    if (!created.ok()) // an image that cannot be drawn
        return refuse(created.message());
    FrameRenderer& renderer = *created.value();
    {
        const int cellW = data->width + 8;
        const int cellH = data->height + kCaption;

        int rows = 0;
        for (const Animation& a : data->animations)
            rows += (int(a.frames.size()) + kPerRow - 1) / kPerRow;
        rows += 1; // the mouths
        const int blocks = int(data->animations.size()) + 1;
        const QSize size(kMargin * 2 + kPerRow * cellW, kMargin * 2 + rows * cellH + blocks * kTitle);
        QImage sheet(size, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(QColor(0xf4, 0xf4, 0xf4));
        QPainter p(&sheet);
        QFont title(QStringLiteral("Liberation Sans"), 11, QFont::Bold);
        QFont small(QStringLiteral("Liberation Sans"), 7);

        int y = kMargin;
        auto cell = [&](int column, const QImage& image, const QString& text) {
            const QRect box(kMargin + column * cellW, y, data->width, data->height);
            p.fillRect(box, Qt::white);
            p.setPen(QColor(0xc8, 0xc8, 0xc8));
            p.drawRect(box.adjusted(0, 0, -1, -1));
            p.drawImage(box.topLeft(), image);
            p.setPen(Qt::black);
            p.setFont(small);
            p.drawText(QRect(box.left(), box.bottom() + 2, cellW, kCaption - 2), Qt::AlignLeft | Qt::AlignTop,
                       text);
        };
        for (std::size_t ai = 0; ai < data->animations.size(); ++ai) {
            const Animation& a = data->animations[ai];
            p.setFont(title);
            p.setPen(Qt::black);
            QString heading = a.name;
            if (a.returnAnimation >= 0)
                heading +=
                    QStringLiteral("   (returns with %1)").arg(data->animations[a.returnAnimation].name);
            for (int s = 0; s < kStateCount; ++s) {
                if (std::find(data->states[s].begin(), data->states[s].end(), int(ai)) !=
                    data->states[s].end())
                    heading += QStringLiteral("   [%1]").arg(stateName(s));
            }
            p.drawText(kMargin, y + kTitle - 6, heading);
            y += kTitle;
            for (std::size_t f = 0; f < a.frames.size(); ++f) {
                const auto mouth = a.frames[f].hasMouth ? std::optional<Mouth>(Mouth::Closed) : std::nullopt;
                cell(int(f % kPerRow), renderer.render(int(ai), int(f), mouth, 1.0),
                     caption(a.frames[f], int(f)));
                if (f % kPerRow == kPerRow - 1 && f + 1 < a.frames.size())
                    y += cellH;
            }
            y += cellH;
        }
        p.setFont(title);
        p.drawText(kMargin, y + kTitle - 6, QStringLiteral("Mouths"));
        y += kTitle;
        for (int m = 0; m < cw::kMouthCount; ++m) {
            QImage one(data->width, data->height, QImage::Format_ARGB32_Premultiplied);
            one.fill(Qt::transparent);
            QPainter mp(&one);
            const QImage overlay = renderer.renderImage(data->mouths[m], 1.0);
            mp.drawImage((data->width - overlay.width()) / 2, (data->height - overlay.height()) / 2, overlay);
            mp.end();
            cell(m, one, cw::mouthName(Mouth(m)));
        }
        p.end();
        if (!sheet.save(args[2], "PNG"))
            return refuse(QStringLiteral("cannot write %1").arg(args[2]));
    }
    return 0;
}
