#include "FocusRing.h"

#include "skin/Palette.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace FocusRing {

void paint(QPainter& p, const QRectF& area, bool enabled)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    // Small title-bar buttons get a tighter corner, or the ring would turn into a circle.
    const qreal radius = std::clamp(std::min(area.width(), area.height()) / 4.0, 2.0, 5.0);
    const QRectF band = area.adjusted(1.5, 1.5, -1.5, -1.5);
    QColor rim = Palette::kFace;
    rim.setAlpha(200);
    p.setPen(QPen(rim, 3.5));
    p.drawRoundedRect(band, radius, radius);
    QPen pen(enabled ? Palette::kAccentHigh : Palette::kDim, 1.6);
    if (!enabled)
        pen.setDashPattern({2.0, 2.0});
    p.setPen(pen);
    p.drawRoundedRect(band, radius, radius);
    p.restore();
}

} // namespace FocusRing
