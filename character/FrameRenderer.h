#pragma once

#include "character/CharacterData.h"
#include "core/Mouth.h"

#include <QCache>
#include <QImage>
#include <QSizeF>
#include <QSvgRenderer>
#include <memory>
#include <optional>
#include <vector>

namespace cw::character {

/// Draws a character's frames from its SVG images. Each image is rasterised once per device pixel ratio and
/// scale and kept in a bounded cache, so drawing a frame is only compositing.
class FrameRenderer {
public:
    /// The renderer of a character, or why one of its images cannot be drawn (naming the image): an SVG
    /// document whose root does not plainly declare its size is parsed now and refused when it cannot be read
    /// or is too large. The others (the character file's checks have read them as XML already) are parsed
    /// when first drawn; one that then cannot be read is left out of the drawing.
    static Result<std::unique_ptr<FrameRenderer>> create(std::shared_ptr<const CharacterData> data);
    /// For a character whose images create() accepts (a test character); an image it would refuse is left out
    /// of the drawing.
    explicit FrameRenderer(std::shared_ptr<const CharacterData> data);

    QSize frameSize() const { return {data_->width, data_->height}; }
    /// The frame with the mouth overlay (if any), at the given device pixel ratio, on a transparent
    /// background.
    QImage render(int animation, int frame, std::optional<Mouth> mouth, qreal devicePixelRatio);
    /// One image on its own, at its own size.
    QImage renderImage(int image, qreal devicePixelRatio);
    /// The size an image is drawn at, in logical pixels.
    QSizeF imageSize(int image) const { return sizes_[image]; }

private:
    /// An image rasterised at some scale, cut down to the part that is drawn.
    struct Raster {
        QImage pixels;
        QRectF logical; // where the pixels go, in the image's own coordinates
    };
    const Raster& raster(int image, qreal pixelsPerUnit);
    /// The image's document, parsed on first use.
    QSvgRenderer& svg(int image);
    /// The size the root element declares in plain numbers or pixels, within the limits; else none.
    static std::optional<QSizeF> declaredSize(const QByteArray& svg);

    QString refusal_; ///< why the first image create() refuses cannot be drawn

    std::shared_ptr<const CharacterData> data_;
    std::vector<std::unique_ptr<QSvgRenderer>> svgs_; // null until first drawn
    std::vector<QSizeF> sizes_;
    QCache<quint64, Raster> cache_;
    Raster scratch_;
};

} // namespace cw::character
