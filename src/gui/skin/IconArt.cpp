#include "SkinArt.h"

#include "skin/Palette.h"
#include "skin/SkinPainting.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace SkinArt {

namespace {
// A coloured disc with a white plus in the corner of a glyph.
void plusBadge(QPainter& p, double cx, double cy, const QColor& fill)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QPointF(cx, cy), 5.5, 5.5);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(cx - 2.8, cy), QPointF(cx + 2.8, cy));
    p.drawLine(QPointF(cx, cy - 2.8), QPointF(cx, cy + 2.8));
}

// A sheet of music with a plus.
void addFileGlyph(QPainter& p, const QColor& ink)
{
    QPainterPath sheet;
    sheet.moveTo(4, 2);
    sheet.lineTo(13, 2);
    sheet.lineTo(18, 7);
    sheet.lineTo(18, 21);
    sheet.lineTo(4, 21);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.drawLine(QPointF(13, 2), QPointF(13, 7));
    p.drawLine(QPointF(13, 7), QPointF(18, 7));
    p.setBrush(ink);
    p.drawEllipse(QPointF(9, 16), 1.8, 1.5);
    p.drawLine(QPointF(10.6, 16), QPointF(10.6, 9.5));
    plusBadge(p, 18.5, 18.5, Palette::kAccent);
}

// A folder with a plus.
void addFolderGlyph(QPainter& p)
{
    QPainterPath folder;
    folder.moveTo(2, 6);
    folder.lineTo(9, 6);
    folder.lineTo(11, 8);
    folder.lineTo(21, 8);
    folder.lineTo(21, 19);
    folder.lineTo(2, 19);
    folder.closeSubpath();
    p.drawPath(folder);
    p.drawLine(QPointF(2, 11), QPointF(21, 11));
    plusBadge(p, 19, 18.5, Palette::kAccent);
}

// A sheet with a minus.
void removeGlyph(QPainter& p)
{
    p.drawRect(QRectF(4, 2, 13, 19));
    p.drawLine(QPointF(7, 7), QPointF(14, 7));
    p.drawLine(QPointF(7, 11), QPointF(14, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(226, 87, 76));
    p.drawEllipse(QPointF(18.5, 18.5), 5.5, 5.5);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15.7, 18.5), QPointF(21.3, 18.5));
}

void gearGlyph(QPainter& p)
{
    p.save();
    p.translate(12, 12);
    for (int i = 0; i < 8; ++i) {
        p.drawLine(QPointF(0, -7.2), QPointF(0, -10));
        p.rotate(45);
    }
    p.restore();
    p.drawEllipse(QPointF(12, 12), 7, 7);
    p.drawEllipse(QPointF(12, 12), 2.8, 2.8);
}

// A question in a circle.
void helpGlyph(QPainter& p, const QColor& ink)
{
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    QPainterPath q;
    q.moveTo(9, 9.5);
    q.cubicTo(9, 5.5, 15, 5.5, 15, 9.2);
    q.cubicTo(15, 11.5, 12, 11.8, 12, 14.2);
    p.drawPath(q);
    p.setBrush(ink);
    p.drawEllipse(QPointF(12, 17.6), 0.9, 0.9);
}

void powerGlyph(QPainter& p)
{
    p.drawArc(QRectF(3.5, 4, 17, 17), 125 * 16, 290 * 16);
    p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
}
} // namespace

void Painting::glyph(QPainter& p, int index, const QRectF& box, const QColor& ink)
{
    p.save();
    p.translate(box.topLeft());
    const double s = box.width() / 24.0;
    p.scale(s, s);
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (index) {
    case 0:
        addFileGlyph(p, ink);
        break;
    case 6:
        addFolderGlyph(p);
        break;
    case 1:
        removeGlyph(p);
        break;
    case 2:
        gearGlyph(p);
        break;
    case 3:
        helpGlyph(p, ink);
        break;
    case 4:
        powerGlyph(p);
        break;
    default:
        break;
    }
    p.restore();
}

namespace {
// The program's icon on a 256-unit square: the window face in a rounded square with the skin's edge, and
// the wave mark of the title bar, large. The PNG sizes and the SVG are drawn from these numbers alike.
constexpr double kIconFace = 20;          // inset of the face
constexpr double kIconRadius = 48;        // corner radius
constexpr double kIconEdge = 8;           // edge width
constexpr double kIconBarWidth = 26;      // wave bar width
constexpr double kIconBarGap = 44;        // distance between bar centres
constexpr double kIconBarUnit = 14.5;     // bar height per unit of the title bar's mark
constexpr int kIconBars[] = {4, 8, 5, 9}; // the title bar's mark
} // namespace

QImage AppIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Painting::antialias(p);
    p.scale(size / 256.0, size / 256.0);
    const QRectF face(kIconFace, kIconFace, 256 - 2 * kIconFace, 256 - 2 * kIconFace);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, Palette::kFaceHigh);
    g.setColorAt(1, QColor(16, 22, 30));
    p.setPen(QPen(Palette::kAccent, kIconEdge));
    p.setBrush(g);
    p.drawRoundedRect(face, kIconRadius, kIconRadius);
    p.setPen(QPen(Palette::kAccentHigh, kIconBarWidth, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const double x = 128 + (i - 1.5) * kIconBarGap;
        const double half = kIconBars[i] * kIconBarUnit / 2;
        p.drawLine(QPointF(x, 128 - half), QPointF(x, 128 + half));
    }
    p.end();
    return img;
}

QByteArray AppIconSvg()
{
    const auto n = [](double v) { return QByteArray::number(v, 'g', 6); };
    const QRectF face(kIconFace, kIconFace, 256 - 2 * kIconFace, 256 - 2 * kIconFace);
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
                     "  <defs>\n    <linearGradient id=\"face\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
                     "      <stop offset=\"0\" stop-color=\"" +
                     Palette::kFaceHigh.name().toLatin1() +
                     "\"/>\n      <stop offset=\"1\" stop-color=\"#10161e\"/>\n    </linearGradient>\n  </defs>\n";
    svg += "  <rect x=\"" + n(face.x()) + "\" y=\"" + n(face.y()) + "\" width=\"" + n(face.width()) + "\" height=\"" +
           n(face.height()) + "\" rx=\"" + n(kIconRadius) + "\" fill=\"url(#face)\" stroke=\"" +
           Palette::kAccent.name().toLatin1() + "\" stroke-width=\"" + n(kIconEdge) + "\"/>\n";
    for (int i = 0; i < 4; ++i) {
        const double x = 128 + (i - 1.5) * kIconBarGap;
        const double half = kIconBars[i] * kIconBarUnit / 2;
        svg += "  <line x1=\"" + n(x) + "\" y1=\"" + n(128 - half) + "\" x2=\"" + n(x) + "\" y2=\"" + n(128 + half) +
               "\" stroke=\"" + Palette::kAccentHigh.name().toLatin1() + "\" stroke-width=\"" + n(kIconBarWidth) +
               "\" stroke-linecap=\"round\"/>\n";
    }
    return svg + "</svg>\n";
}

QPixmap MessageIcon(MessageKind kind)
{
    return Painting::picture(40, 40, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kFace);
        Painting::antialias(p);
        const QRectF box = QRectF(r).adjusted(3, 3, -3, -3);
        QColor fill;
        QString mark;
        switch (kind) {
        case MessageKind::Critical:
            fill = QColor(214, 72, 60);
            mark = QStringLiteral("\u2715");
            break;
        case MessageKind::Warning:
            fill = QColor(232, 168, 56);
            mark = QStringLiteral("!");
            break;
        case MessageKind::Information:
            fill = Palette::kAccent;
            mark = QStringLiteral("i");
            break;
        }
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        if (kind == MessageKind::Warning) {
            QPainterPath tri;
            tri.moveTo(box.center().x(), box.top());
            tri.lineTo(box.right(), box.bottom() - 2);
            tri.lineTo(box.left(), box.bottom() - 2);
            tri.closeSubpath();
            p.drawPath(tri);
            Painting::label(p, box.adjusted(0, 9, 0, 0).toRect(), mark, Palette::kFace, 15, true, Qt::AlignCenter);
        } else {
            p.drawEllipse(box);
            Painting::label(p, box.toRect(), mark, Qt::white, kind == MessageKind::Critical ? 14 : 17, true,
                            Qt::AlignCenter);
        }
    });
}

QPixmap HandCursor()
{
    QPixmap pix = Painting::blank(32, 32);
    QPainter p(&pix);
    Painting::antialias(p);
    // A pointing hand whose fingertip is the hot spot (6, 0).
    QPainterPath hand;
    hand.moveTo(4.5, 2);
    hand.cubicTo(4.5, 0.3, 7.5, 0.3, 7.5, 2);
    hand.lineTo(7.5, 10);
    hand.cubicTo(7.5, 8.6, 10.5, 8.6, 10.5, 10);
    hand.lineTo(10.5, 11);
    hand.cubicTo(10.5, 9.6, 13.5, 9.6, 13.5, 11);
    hand.lineTo(13.5, 12);
    hand.cubicTo(13.5, 10.6, 16.5, 10.6, 16.5, 12);
    hand.lineTo(16.5, 18);
    hand.cubicTo(16.5, 21, 14.5, 23, 12, 23);
    hand.lineTo(8, 23);
    hand.cubicTo(6, 23, 5, 22, 3.5, 19.5);
    hand.lineTo(0.8, 14.5);
    hand.cubicTo(0, 13, 1.8, 11.5, 3, 12.8);
    hand.lineTo(4.5, 14.5);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.end();
    return pix;
}

} // namespace SkinArt
