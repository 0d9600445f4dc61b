#include "FrameRenderer.h"

#include <QPainter>
#include <QXmlStreamReader>
#include <cmath>

namespace cw::character {

namespace {
constexpr int kCacheKilobytes = 48 * 1024;
constexpr qreal kMaxRasterSide = 4096;
} // namespace

FrameRenderer::FrameRenderer(std::shared_ptr<const CharacterData> data) : data_(std::move(data)) {
    const auto refuse = [this](const QString& why) {
        if (refusal_.isEmpty())
            refusal_ = why;
    };
    cache_.setMaxCost(kCacheKilobytes);
    svgs_.resize(data_->images.size());
    for (std::size_t i = 0; i < data_->images.size(); ++i) {
        const Image& image = data_->images[i];
        // Parsing every document up front costs a fifth of start-up: an image whose size is plainly declared
        // is parsed when it is first drawn. Any other is parsed now, so what cannot be read is still refused
        // here.
        if (const std::optional<QSizeF> declared = declaredSize(image.svg)) {
            sizes_.push_back(*declared);
            continue;
        }
        auto svg = std::make_unique<QSvgRenderer>(image.svg);
        QSizeF size = svg->defaultSize();
        if (size.isEmpty())
            size = svg->viewBoxF().size();
        if (!svg->isValid()) {
            refuse(QStringLiteral("image \"%1\": the SVG document cannot be read").arg(image.name));
        } else if (size.isEmpty() || size.width() > limits::kSvgSide || size.height() > limits::kSvgSide) {
            refuse(QStringLiteral("image \"%1\": its size %2 x %3 is outside 1 to %4")
                       .arg(image.name)
                       .arg(size.width())
                       .arg(size.height())
                       .arg(limits::kSvgSide));
        } else {
            svgs_[i] = std::move(svg);
            sizes_.push_back(size);
            continue;
        }
        // A refused image is left out of the drawing: an empty document, drawn at no size.
        svgs_[i] = std::make_unique<QSvgRenderer>();
        sizes_.push_back({});
    }
}

Result<std::unique_ptr<FrameRenderer>> FrameRenderer::create(std::shared_ptr<const CharacterData> data) {
    auto renderer = std::make_unique<FrameRenderer>(std::move(data));
    if (!renderer->refusal_.isEmpty())
        return Error{renderer->refusal_};
    return renderer;
}

std::optional<QSizeF> FrameRenderer::declaredSize(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() != u"svg")
            return std::nullopt;
        const QXmlStreamAttributes attributes = xml.attributes();
        // Plain numbers or pixels only: the sizes the SVG renderer takes as they are.
        auto length = [&attributes](QLatin1StringView name) {
            QStringView value = attributes.value(name).trimmed();
            if (value.endsWith(u"px"))
                value.chop(2);
            bool ok = false;
            const double number = value.toDouble(&ok);
            return ok ? number : -1.0;
        };
        const double width = length(QLatin1StringView("width"));
        const double height = length(QLatin1StringView("height"));
        if (width > 0 && height > 0 && width <= limits::kSvgSide && height <= limits::kSvgSide)
            return QSizeF(width, height);
        return std::nullopt;
    }
    return std::nullopt;
}

QSvgRenderer& FrameRenderer::svg(int image) {
    std::unique_ptr<QSvgRenderer>& svg = svgs_[std::size_t(image)];
    if (!svg) {
        svg = std::make_unique<QSvgRenderer>(data_->images[std::size_t(image)].svg);
        if (!svg->isValid())
            qWarning("image \"%s\": the SVG document cannot be read; it is left out",
                     qPrintable(data_->images[std::size_t(image)].name));
    }
    return *svg;
}

const FrameRenderer::Raster& FrameRenderer::raster(int image, qreal pixelsPerUnit) {
    // Quantised so that nearly equal scales share one raster; bounded so no raster outgrows a large frame.
    const qreal side = std::max(sizes_[image].width(), sizes_[image].height());
    const qreal ppu = std::clamp(pixelsPerUnit, 1.0 / 64, std::min(64.0, kMaxRasterSide / side));
    const quint64 step = quint64(std::max<qint64>(1, std::lround(ppu * 64)));
    const quint64 key = quint64(image) << 32 | step;
    if (const Raster* hit = cache_.object(key))
        return *hit;
    const qreal stepPpu = qreal(step) / 64;
    const QSize pixels(std::max(1, int(std::ceil(sizes_[image].width() * stepPpu))),
                       std::max(1, int(std::ceil(sizes_[image].height() * stepPpu))));
    QImage full(pixels, QImage::Format_ARGB32_Premultiplied);
    full.fill(Qt::transparent);
    {
        QPainter p(&full);
        p.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer& document = svg(image);
        if (document.isValid())
            document.render(&p, QRectF(QPointF(0, 0), sizes_[image] * stepPpu));
    }
    // Layers are often drawn on the whole frame with most of it empty: keep only the drawn part.
    int top = pixels.height(), bottom = -1, left = pixels.width(), right = -1;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(full.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(row[x]) != 0) {
                top = std::min(top, y);
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    auto raster = std::make_unique<Raster>();
    if (bottom >= 0) {
        const QRect used(QPoint(left, top), QPoint(right, bottom));
        raster->pixels = full.copy(used);
        raster->logical = QRectF(QPointF(used.topLeft()) / stepPpu, QSizeF(used.size()) / stepPpu);
    }
    const int cost = int(std::max<qsizetype>(1, raster->pixels.sizeInBytes() / 1024));
    const Raster* stored = raster.get();
    if (!cache_.insert(key, raster.release(), cost)) {
        // Larger than the whole cache: keep it only until the next call.
        scratch_ = *stored;
        return scratch_;
    }
    return *stored;
}

QImage FrameRenderer::renderImage(int image, qreal dpr) {
    if (image < 0 || image >= int(sizes_.size()))
        return {};
    const Raster& r = raster(image, dpr);
    QImage out((sizes_[image] * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    out.setDevicePixelRatio(dpr);
    QPainter p(&out);
    p.drawImage(r.logical, r.pixels);
    return out;
}

QImage FrameRenderer::render(int animation, int frame, std::optional<Mouth> mouth, qreal dpr) {
    const QSize frameSize(std::max(1, int(std::ceil(data_->width * dpr))),
                          std::max(1, int(std::ceil(data_->height * dpr))));
    QImage out(frameSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    out.setDevicePixelRatio(dpr);
    if (animation < 0 || animation >= int(data_->animations.size()))
        return out;
    const auto& frames = data_->animations[animation].frames;
    if (frame < 0 || frame >= int(frames.size()))
        return out;
    const Frame& f = frames[frame];

    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    auto draw = [&](int image, const QTransform& transform, qreal scale, qreal opacity) {
        const Raster& r = raster(image, dpr * scale);
        if (r.pixels.isNull())
            return;
        p.setTransform(transform);
        p.setOpacity(opacity);
        p.drawImage(r.logical, r.pixels);
    };
    for (const Layer& l : f.layers) {
        const QSizeF size = sizes_[l.image];
        const QPointF pivot =
            l.hasPivot ? QPointF(l.pivotX, l.pivotY) : QPointF(size.width() / 2, size.height() / 2);
        QTransform t;
        t.translate(l.x, l.y);
        t.translate(pivot.x(), pivot.y());
        t.rotate(l.rotate);
        t.scale(l.scale, l.scale);
        t.translate(-pivot.x(), -pivot.y());
        draw(l.image, t, l.scale, l.opacity);
    }
    if (mouth && f.hasMouth) {
        QTransform t;
        t.translate(f.mouth.x(), f.mouth.y());
        draw(data_->mouths[int(*mouth)], t, 1.0, 1.0);
    }
    return out;
}

} // namespace cw::character
