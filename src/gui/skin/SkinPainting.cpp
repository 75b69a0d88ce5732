#include "SkinPainting.h"

#include "skin/Palette.h"
#include "skin/SkinLayout.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace SkinArt {

QString FontFamily()
{
    return QStringLiteral("DejaVu Sans");
}

namespace Painting {

QFont font(double points, bool bold)
{
    QFont f(FontFamily());
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPixmap blank(int w, int h)
{
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

void antialias(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

// A rounded slab on the key colour. Painted without antialiasing so that every edge pixel is either the
// key colour or the face, never a blend of the two.
QImage body(int w, int h, int radius)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Palette::kKey);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, w, h), radius, radius);
    p.fillPath(path, Palette::kFace);
    return img;
}

void titleBar(QPainter& p, int w, int h, const QString& title)
{
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(16, 22, 30));
    g.setColorAt(1, QColor(27, 37, 49));
    p.setClipRect(0, 0, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(6, 0, w - 12, h); // the corners stay the body's rounded ones
    p.setClipping(false);
    p.setPen(QColor(44, 58, 75));
    p.drawLine(1, h, w - 2, h);
    // A small wave mark before the title.
    p.setPen(QPen(Palette::kAccent, 2, Qt::SolidLine, Qt::RoundCap));
    const int cy = h / 2 + 1;
    for (int i = 0; i < 4; ++i) {
        const int bar = QList<int>{4, 8, 5, 9}[i];
        p.drawLine(QPointF(10 + i * 4, cy - bar / 2.0), QPointF(10 + i * 4, cy + bar / 2.0));
    }
    p.setPen(Palette::kText);
    p.setFont(font(8, true));
    p.drawText(QRect(30, 0, 260, h + 1), Qt::AlignVCenter | Qt::AlignLeft, title);
}

// Inset, so the edge's antialiased pixels never touch the key colour.
void edge(QPainter& p, int w, int h, int radius, const QColor& colour)
{
    antialias(p);
    p.setPen(QPen(colour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), radius - 1.5, radius - 1.5);
}

void panel(QPainter& p, const QRectF& r, const QString& title)
{
    p.setPen(QPen(Palette::kEdge, 1));
    p.setBrush(Palette::kPanel);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    if (!title.isEmpty()) {
        p.setPen(Palette::kAccentHigh);
        p.setFont(font(8, true));
        p.drawText(r.adjusted(10, 6, -10, 0), Qt::AlignLeft | Qt::AlignTop, title);
    }
}

void label(QPainter& p, const QRect& r, const QString& text, const QColor& colour, double points, bool bold, int align)
{
    p.setPen(colour);
    p.setFont(font(points, bold));
    p.drawText(r, align, text);
}

// The frame lies just outside the control's rectangle, so the live box covers the field's face exactly.
void field(QPainter& p, const QRect& r)
{
    p.setPen(QPen(Palette::kEdge, 1));
    p.setBrush(Palette::kField);
    p.drawRoundedRect(QRectF(r).adjusted(-1.5, -1.5, 1.5, 1.5), 3, 3);
}

void paintTitleButton(QPainter& p, const QRect& r, TitleButton kind, Look look)
{
    antialias(p);
    const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool lit = look != Look::Normal;
    const QColor ring = kind == TitleButton::Close && lit ? QColor(232, 86, 74)
                        : lit                             ? Palette::kAccent
                                                          : QColor(70, 88, 110);
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(box);
    QPen pen(lit ? Qt::white : QColor(205, 216, 228), 1.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    const QPointF c = box.center();
    const double k = box.width() / 2 - 4;
    if (kind == TitleButton::Help) {
        p.setFont(font(7, true));
        p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
    } else if (kind == TitleButton::Min) {
        p.drawLine(QPointF(c.x() - k, c.y()), QPointF(c.x() + k, c.y()));
    } else {
        p.drawLine(QPointF(c.x() - k, c.y() - k), QPointF(c.x() + k, c.y() + k));
        p.drawLine(QPointF(c.x() - k, c.y() + k), QPointF(c.x() + k, c.y() - k));
    }
}

void paintDropButton(QPainter& p, const QRect& r, Look look)
{
    antialias(p);
    p.setPen(Qt::NoPen);
    p.setBrush(look == Look::Light ? Palette::kAccent : Palette::kButton);
    p.drawRoundedRect(QRectF(r), 3, 3);
    p.setPen(
        QPen(look == Look::Light ? Qt::white : QColor(200, 212, 224), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c = QRectF(r).center();
    p.drawPolyline(QPolygonF({{c.x() - 4, c.y() - 2}, {c.x(), c.y() + 2.5}, {c.x() + 4, c.y() - 2}}));
}

} // namespace Painting

// The title bar's buttons and the selectors' drop buttons, lit and pressed; the drop button carries the
// field behind it, since it stands inside one.
QPixmap HelpButton(Look look)
{
    return Painting::picture(
        SkinLayout::Main::kHelp.width(), SkinLayout::Main::kHelp.height(),
        [&](QPainter& p, const QRect& r) { Painting::paintTitleButton(p, r, Painting::TitleButton::Help, look); });
}

QPixmap MinButton(Look look)
{
    return Painting::picture(
        SkinLayout::Main::kMin.width(), SkinLayout::Main::kMin.height(),
        [&](QPainter& p, const QRect& r) { Painting::paintTitleButton(p, r, Painting::TitleButton::Min, look); });
}

QPixmap CloseButton(Look look)
{
    return Painting::picture(
        SkinLayout::Main::kClose.width(), SkinLayout::Main::kClose.height(),
        [&](QPainter& p, const QRect& r) { Painting::paintTitleButton(p, r, Painting::TitleButton::Close, look); });
}

QPixmap DropButton(Look look)
{
    const QRect& place = SkinLayout::Main::kSelectorDrop[0];
    return Painting::picture(place.width(), place.height(), [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kField);
        Painting::paintDropButton(p, r, look);
    });
}

} // namespace SkinArt
