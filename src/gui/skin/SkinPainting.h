#pragma once

#include "skin/SkinArt.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

// The strokes the skin's pictures are made of, shared by the main skin, the dialog skins and the icons.
// Private to src/gui/skin: the windows use SkinArt.h.
namespace SkinArt::Painting {

QFont font(double points, bool bold = false);
QPixmap blank(int w, int h);
void antialias(QPainter& p);

// A picture of w x h on transparent, handed to paint as a painter and its whole rectangle.
template <typename Paint> QPixmap picture(int w, int h, Paint paint)
{
    QPixmap pix = blank(w, h);
    QPainter p(&pix);
    paint(p, QRect(0, 0, w, h));
    return pix;
}

// A window's body, title bar and the thin edge inside its outline.
QImage body(int w, int h, int radius);
void titleBar(QPainter& p, int w, int h, const QString& title);
void edge(QPainter& p, int w, int h, int radius, const QColor& colour);

// What sits on a body: a panel, a caption, the frame of a field.
void panel(QPainter& p, const QRectF& r, const QString& title = QString());
void label(QPainter& p, const QRect& r, const QString& text, const QColor& colour, double points = 7.5,
           bool bold = false, int align = Qt::AlignLeft | Qt::AlignVCenter);
void field(QPainter& p, const QRect& r);

// Controls on more than one window.
enum class TitleButton { Help, Min, Close };
void paintTitleButton(QPainter& p, const QRect& r, TitleButton kind, Look look);
void paintDropButton(QPainter& p, const QRect& r, Look look);

// The toolbar's pictures, drawn on a 24-unit square in box.
void glyph(QPainter& p, int index, const QRectF& box, const QColor& ink);

} // namespace SkinArt::Painting
