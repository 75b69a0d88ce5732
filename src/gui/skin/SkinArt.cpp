#include "SkinArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace SkinArt {

namespace {
// The palette: a deep slate face, teal accents, a light status bar.
const QColor kFace(24, 32, 43);
const QColor kFaceHigh(33, 44, 58);
const QColor kPanel(30, 40, 53);
const QColor kPanelEdge(52, 67, 86);
const QColor kText(230, 237, 243);
const QColor kMuted(143, 161, 179);
const QColor kAccent(35, 179, 160);
const QColor kAccentHigh(64, 214, 190);
const QColor kStatus(208, 217, 227);

QFont font(double points, bool bold = false)
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

// The window's body: a rounded slab on the key colour. Painted without antialiasing so that every
// edge pixel is either the key colour or the face, never a blend of the two.
QImage body(int w, int h, int radius)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kKey);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, w, h), radius, radius);
    p.fillPath(path, kFace);
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
    p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
    const int cy = h / 2 + 1;
    for (int i = 0; i < 4; ++i) {
        const int bar = QList<int>{4, 8, 5, 9}[i];
        p.drawLine(QPointF(10 + i * 4, cy - bar / 2.0), QPointF(10 + i * 4, cy + bar / 2.0));
    }
    p.setPen(kText);
    p.setFont(font(8, true));
    p.drawText(QRect(30, 0, 260, h + 1), Qt::AlignVCenter | Qt::AlignLeft, title);
}

void panel(QPainter& p, const QRectF& r, const QString& title = QString())
{
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(kPanel);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    if (!title.isEmpty()) {
        p.setPen(kAccentHigh);
        p.setFont(font(8, true));
        p.drawText(r.adjusted(10, 6, -10, 0), Qt::AlignLeft | Qt::AlignTop, title);
    }
}

void label(QPainter& p, const QRect& r, const QString& text, const QColor& colour = kMuted, double points = 7.5,
           bool bold = false, int align = Qt::AlignLeft | Qt::AlignVCenter)
{
    p.setPen(colour);
    p.setFont(font(points, bold));
    p.drawText(r, align, text);
}

void field(QPainter& p, const QRect& r)
{
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(QColor(17, 23, 31));
    p.drawRoundedRect(QRectF(r).adjusted(-1.5, -1.5, 1.5, 1.5), 3, 3);
}

void glyph(QPainter& p, int index, const QRectF& box, const QColor& ink)
{
    p.save();
    p.translate(box.topLeft());
    const double s = box.width() / 24.0;
    p.scale(s, s);
    QPen pen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto plusBadge = [&](double cx, double cy, const QColor& fill) {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(QPointF(cx, cy), 5.5, 5.5);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(cx - 2.8, cy), QPointF(cx + 2.8, cy));
        p.drawLine(QPointF(cx, cy - 2.8), QPointF(cx, cy + 2.8));
    };
    switch (index) {
    case 0: { // a sheet of music with a plus
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
        plusBadge(18.5, 18.5, kAccent);
        break;
    }
    case 6: { // a folder with a plus
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
        plusBadge(19, 18.5, kAccent);
        break;
    }
    case 1: { // a sheet with a minus
        p.drawRect(QRectF(4, 2, 13, 19));
        p.drawLine(QPointF(7, 7), QPointF(14, 7));
        p.drawLine(QPointF(7, 11), QPointF(14, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(226, 87, 76));
        p.drawEllipse(QPointF(18.5, 18.5), 5.5, 5.5);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15.7, 18.5), QPointF(21.3, 18.5));
        break;
    }
    case 2: { // a gear
        p.save();
        p.translate(12, 12);
        for (int i = 0; i < 8; ++i) {
            p.drawLine(QPointF(0, -7.2), QPointF(0, -10));
            p.rotate(45);
        }
        p.restore();
        p.drawEllipse(QPointF(12, 12), 7, 7);
        p.drawEllipse(QPointF(12, 12), 2.8, 2.8);
        break;
    }
    case 3: { // a question in a circle
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        QPainterPath q;
        q.moveTo(9, 9.5);
        q.cubicTo(9, 5.5, 15, 5.5, 15, 9.2);
        q.cubicTo(15, 11.5, 12, 11.8, 12, 14.2);
        p.drawPath(q);
        p.setBrush(ink);
        p.drawEllipse(QPointF(12, 17.6), 0.9, 0.9);
        break;
    }
    case 4: { // a power symbol
        p.drawArc(QRectF(3.5, 4, 17, 17), 125 * 16, 290 * 16);
        p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
        break;
    }
    default:
        break;
    }
    p.restore();
}

const char* toolbarCaption(int index)
{
    switch (index) {
    case 0:
        return "Add File(s)";
    case 6:
        return "Add Folder";
    case 1:
        return "Remove";
    case 2:
        return "Options";
    case 3:
        return "Help";
    case 4:
        return "Exit";
    default:
        return "";
    }
}

void paintToolbarButton(QPainter& p, const QRect& r, int index, Look look)
{
    antialias(p);
    if (look != Look::Normal) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, look == Look::Dark ? QColor(22, 30, 40) : QColor(46, 62, 80));
        g.setColorAt(1, look == Look::Dark ? QColor(28, 38, 50) : QColor(36, 49, 64));
        p.setPen(QPen(look == Look::Dark ? kPanelEdge : kAccent, 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
    }
    const QColor ink = look == Look::Light ? QColor(255, 255, 255) : QColor(206, 217, 228);
    glyph(p, index, QRectF(r.x() + (r.width() - 24) / 2.0, r.y() + 5, 24, 24), ink);
    label(p, QRect(r.x(), r.y() + 32, r.width(), 16), QString::fromLatin1(toolbarCaption(index)),
          look == Look::Light ? kText : QColor(190, 203, 216), 7.5, false, Qt::AlignCenter);
}

const char* menuCaption(int index)
{
    return index == 0 ? "File" : index == 1 ? "Options" : "About";
}

const QRect kMenuRects[] = {{18, 31, 40, 15}, {60, 31, 59, 15}, {122, 31, 51, 15}};

void paintMenuEntry(QPainter& p, const QRect& r, int index, Look look)
{
    antialias(p);
    if (look != Look::Normal) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(46, 62, 80));
        p.drawRoundedRect(QRectF(r).adjusted(0, 0, 0, 0), 3, 3);
    }
    label(p, r, QString::fromLatin1(menuCaption(index)), look == Look::Normal ? QColor(196, 208, 220) : kText, 8, false,
          Qt::AlignCenter);
}

// The big start button and the Stop button it becomes: one shape, their own colours and marks.
struct BigButton
{
    QColor top, bottom;           // the face's gradient
    QColor lightTop, lightBottom; // the same under the pointer
    QColor glow, edge, hintText;  // the lit halo, the outline, the small line under the caption
    bool pressedDarker;           // the pressed look darkens (and drops the sheen)
    QColor pressedTop, pressedBottom;
    bool stopMark; // a square in the ring; otherwise a play triangle
    const char* caption;
    const char* hint;
};

void paintBigButton(QPainter& p, const QRect& r, Look look, const BigButton& b)
{
    antialias(p);
    const QRectF box = QRectF(r).adjusted(3, 3, -3, -3);
    const bool pressed = look == Look::Dark && b.pressedDarker;
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, pressed ? b.pressedTop : look == Look::Light ? b.lightTop : b.top);
    g.setColorAt(1, pressed ? b.pressedBottom : look == Look::Light ? b.lightBottom : b.bottom);
    if (look == Look::Light) {
        p.setPen(QPen(b.glow, 5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box, 12, 12);
    }
    p.setPen(QPen(b.edge, 1));
    p.setBrush(g);
    p.drawRoundedRect(box, 12, 12);
    if (!pressed) {
        // A soft sheen on the upper half.
        QLinearGradient sheen(box.topLeft(), QPointF(box.left(), box.center().y()));
        sheen.setColorAt(0, QColor(255, 255, 255, 60));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        p.drawRoundedRect(box.adjusted(2, 2, -2, -box.height() / 2), 10, 10);
    }
    // The mark in a ring, then the caption.
    const QPointF c(box.left() + 40, box.center().y() + (pressed ? 1 : 0));
    p.setPen(QPen(Qt::white, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 20, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    if (b.stopMark) {
        p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 8, 16, 16), 2, 2);
    } else {
        QPainterPath tri;
        tri.moveTo(c.x() - 6, c.y() - 10);
        tri.lineTo(c.x() + 11, c.y());
        tri.lineTo(c.x() - 6, c.y() + 10);
        tri.closeSubpath();
        p.drawPath(tri);
    }
    label(p, QRect(int(box.left()) + 68, int(box.top()) + 20, 110, 26), QString::fromLatin1(b.caption), Qt::white, 15,
          true);
    label(p, QRect(int(box.left()) + 69, int(box.top()) + 46, 110, 16), QString::fromLatin1(b.hint), b.hintText, 7.5);
}

void paintConvertButton(QPainter& p, const QRect& r, Look look)
{
    paintBigButton(p, r, look,
                   {QColor(46, 196, 170),
                    QColor(20, 128, 118),
                    QColor(78, 226, 196),
                    QColor(28, 160, 140),
                    QColor(64, 214, 190, 90),
                    QColor(12, 84, 76),
                    QColor(220, 250, 244),
                    false,
                    {},
                    {},
                    false,
                    "Convert",
                    "start the list"});
}

// The start button while a list converts: the same shape in warm colours, a stop square in the ring.
void paintStopButton(QPainter& p, const QRect& r, Look look)
{
    paintBigButton(p, r, look,
                   {QColor(226, 98, 78), QColor(160, 48, 42), QColor(250, 128, 104), QColor(196, 62, 52),
                    QColor(240, 110, 90, 90), QColor(96, 26, 22), QColor(255, 230, 222), true, QColor(168, 54, 46),
                    QColor(132, 38, 34), true, "Stop", "end the list here"});
}

void paintBrowseButton(QPainter& p, const QRect& r, Look look)
{
    antialias(p);
    const QColor fill = look == Look::Dark    ? QColor(20, 110, 100)
                        : look == Look::Light ? QColor(58, 78, 100)
                                              : QColor(44, 59, 77);
    p.setPen(QPen(look == Look::Normal ? kPanelEdge : kAccent, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(1.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(look == Look::Normal ? QColor(200, 212, 224) : Qt::white);
    const double cy = r.y() + r.height() / 2.0;
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(r.x() + r.width() / 2.0 + 1 + i * 6, cy), 1.6, 1.6);
}

void paintTitleButton(QPainter& p, const QRect& r, int kind, Look look)
{
    antialias(p);
    const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool lit = look != Look::Normal;
    const QColor ring = kind == 2 && lit ? QColor(232, 86, 74) : lit ? kAccent : QColor(70, 88, 110);
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(box);
    QPen pen(lit ? Qt::white : QColor(205, 216, 228), 1.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    const QPointF c = box.center();
    const double k = box.width() / 2 - 4;
    if (kind == 0) {
        p.setFont(font(7, true));
        p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
    } else if (kind == 1) {
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
    p.setBrush(look == Look::Light ? kAccent : QColor(44, 59, 77));
    p.drawRoundedRect(QRectF(r), 3, 3);
    p.setPen(
        QPen(look == Look::Light ? Qt::white : QColor(200, 212, 224), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c = QRectF(r).center();
    p.drawPolyline(QPolygonF({{c.x() - 4, c.y() - 2}, {c.x(), c.y() + 2.5}, {c.x() + 4, c.y() - 2}}));
}

void paintDialogButton(QPainter& p, const QRect& r, const QString& caption, Look look)
{
    antialias(p);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (look == Look::Light) {
        g.setColorAt(0, QColor(64, 214, 190));
        g.setColorAt(1, QColor(28, 150, 132));
    } else {
        g.setColorAt(0, QColor(52, 70, 90));
        g.setColorAt(1, QColor(40, 54, 70));
    }
    p.setPen(QPen(look == Look::Light ? QColor(20, 110, 100) : kPanelEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    label(p, r, caption, Qt::white, 7.5, true, Qt::AlignCenter);
}

template <typename Paint> QPixmap picture(int w, int h, Paint paint)
{
    QPixmap pix = blank(w, h);
    QPainter p(&pix);
    paint(p, QRect(0, 0, w, h));
    return pix;
}

// A small dialog: body, title bar with close button, and the panel that holds its fields.
// A thin edge just inside the outline, so a window stands apart from whatever lies behind it. Inset, so
// its antialiased pixels never touch the key colour.
void edge(QPainter& p, int w, int h, int radius, const QColor& colour)
{
    antialias(p);
    p.setPen(QPen(colour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), radius - 1.5, radius - 1.5);
}

QImage dialogBody(const QString& title, int height)
{
    QImage img = body(330, height, 12);
    QPainter p(&img);
    antialias(p);
    titleBar(p, 330, 28, title);
    paintTitleButton(p, QRect(300, 11, 15, 15), 2, Look::Normal);
    // The fields' panel fills the window down to the row of buttons.
    panel(p, QRectF(10, 30, 310, height - 80));
    return img;
}
} // namespace

QString FontFamily()
{
    return QStringLiteral("DejaVu Sans");
}

QPixmap MainSkin()
{
    QImage img = body(700, 500, 14);
    QPainter p(&img);
    antialias(p);
    titleBar(p, 700, 26, QStringLiteral("Veltra WMA Converter"));
    paintTitleButton(p, QRect(635, 8, 15, 15), 0, Look::Normal);
    paintTitleButton(p, QRect(652, 9, 14, 14), 1, Look::Normal);
    paintTitleButton(p, QRect(672, 10, 15, 15), 2, Look::Normal);

    // Menu bar and toolbar.
    p.fillRect(QRect(1, 27, 698, 22), kFaceHigh);
    for (int i = 0; i < 3; ++i)
        paintMenuEntry(p, kMenuRects[i], i, Look::Normal);
    QLinearGradient tb(0, 50, 0, 112);
    tb.setColorAt(0, QColor(30, 41, 54));
    tb.setColorAt(1, QColor(24, 32, 43));
    p.fillRect(QRect(1, 49, 698, 63), tb);
    p.setPen(QColor(44, 58, 75));
    p.drawLine(1, 49, 698, 49);
    p.drawLine(1, 112, 698, 112);
    const int order[] = {0, 6, 1, 2, 3, 4};
    const int lefts[] = {16, 103, 190, 277, 364, 451};
    for (int i = 0; i < 6; ++i)
        paintToolbarButton(p, QRect(lefts[i], 55, 86, 53), order[i], Look::Normal);
    // A separator between the file commands and the rest, and the brand on the right.
    p.setPen(QColor(52, 67, 86));
    p.drawLine(QPointF(276.5, 62), QPointF(276.5, 102));
    label(p, QRect(548, 58, 140, 22), QStringLiteral("VELTRA"), QColor(64, 214, 190), 13, true,
          Qt::AlignRight | Qt::AlignVCenter);
    label(p, QRect(548, 80, 140, 16), QStringLiteral("WMA Converter"), kMuted, 8, false,
          Qt::AlignRight | Qt::AlignVCenter);

    // File list panel.
    panel(p, QRectF(9, 120, 471, 320), QStringLiteral("Files to convert"));
    label(p, QRect(250, 126, 222, 16), QStringLiteral("Add files, a folder, or drop them here"), kMuted, 7, false,
          Qt::AlignRight | Qt::AlignVCenter);
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(QColor(17, 23, 31));
    p.drawRect(QRectF(16.5, 159.5, 456, 275));

    // Conversion settings panel.
    panel(p, QRectF(484, 120, 206, 246), QStringLiteral("Conversion Settings"));
    const struct
    {
        int top;
        const char* text;
    } labels[] = {{142, "Output Format:"},
                  {184, "Bitrate (Kbps):"},
                  {228, "Rate (Hz):"},
                  {270, "Audio Channel:"},
                  {314, "Output Folder:"}};
    for (const auto& l : labels)
        label(p, QRect(489, l.top, 190, 15), QString::fromLatin1(l.text), QColor(176, 192, 208), 7.5);
    for (int top : {158, 200, 244, 286})
        field(p, QRect(488, top, 189, 22));
    field(p, QRect(488, 330, 143, 23));
    paintBrowseButton(p, QRect(635, 331, 42, 22), Look::Normal);
    for (int top : {160, 202, 246, 288})
        paintDropButton(p, QRect(657, top, 19, 19), Look::Normal);

    // Start button.
    paintConvertButton(p, QRect(489, 371, 187, 91), Look::Normal);

    // Progress.
    label(p, QRect(18, 446, 92, 15), QStringLiteral("Progress:"), QColor(176, 192, 208), 7.5, true);
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(QColor(14, 19, 26));
    p.drawRoundedRect(QRectF(111.5, 445.5, 364, 16), 3, 3);

    // Status bar: light, so the product name reads in black.
    QPainterPath status;
    status.addRect(QRectF(0, 470, 700, 16));
    status.addRoundedRect(QRectF(0, 470, 700, 30), 14, 14);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, 700, 500), 14, 14);
    p.setClipPath(clip);
    p.fillRect(QRect(0, 470, 700, 30), kStatus);
    p.setClipping(false);
    p.setPen(QColor(170, 182, 196));
    p.drawLine(0, 470, 699, 470);
    antialias(p);
    label(p, QRect(440, 477, 180, 14), QStringLiteral("Ready for your music"), QColor(90, 104, 120), 7, false,
          Qt::AlignRight | Qt::AlignVCenter);
    edge(p, 700, 500, 14, QColor(60, 78, 100));
    p.end();
    return QPixmap::fromImage(img);
}

namespace {
// A small dialog's skin: its body and title, what paintFields draws, the two buttons (the window's own
// command and Back) and the edge.
template <typename PaintFields>
QPixmap dialogSkin(const QString& title, const QString& command, int height, PaintFields paintFields)
{
    QImage img = dialogBody(title, height);
    QPainter p(&img);
    antialias(p);
    paintFields(p, QColor(176, 192, 208));
    paintDialogButton(p, QRect(166, height - 44, 58, 18), command, Look::Normal);
    paintDialogButton(p, QRect(246, height - 44, 58, 18), QStringLiteral("Back"), Look::Normal);
    edge(p, 330, height, 12, kAccent);
    p.end();
    return QPixmap::fromImage(img);
}
} // namespace

QPixmap OptionsSkin()
{
    return dialogSkin(QStringLiteral("Options"), QStringLiteral("OK"), 206, [](QPainter& p, const QColor& c) {
        label(p, QRect(22, 34, 120, 20), QStringLiteral("Sound Reminder"), c, 7.5);
        label(p, QRect(22, 60, 120, 20), QStringLiteral("Video Cutter"), c, 7.5);
        label(p, QRect(164, 60, 120, 20), QStringLiteral("Music Cutter"), kMuted, 7);
        for (int top : {85, 109}) {
            label(p, QRect(22, top, 70, 18), top == 85 ? QStringLiteral("From") : QStringLiteral("Duration"), c, 7.5);
            field(p, QRect(94, top, 19, 18));
            field(p, QRect(160, top, 31, 18));
            field(p, QRect(230, top, 43, 18));
            label(p, QRect(117, top, 40, 18), QStringLiteral("Hour"), kMuted, 7);
            label(p, QRect(195, top, 32, 18), QStringLiteral("Min"), kMuted, 7);
            label(p, QRect(277, top, 32, 18), QStringLiteral("Sec"), kMuted, 7);
        }
        // Sound Reminder and Files at once: a list each, opened by its own drop-down button.
        for (int top : {34, 132}) {
            field(p, QRect(146, top, 163, 20));
            paintDropButton(p, QRect(290, top + 1, 19, 19), Look::Normal);
        }
        label(p, QRect(22, 132, 120, 20), QStringLiteral("Files at once"), c, 7.5);
    });
}

QPixmap FeedbackSkin()
{
    return dialogSkin(QStringLiteral("Feedback"), QStringLiteral("Send"), 180, [](QPainter& p, const QColor& c) {
        label(p, QRect(22, 50, 84, 21), QStringLiteral("Your Name"), c, 7.5);
        label(p, QRect(22, 76, 84, 21), QStringLiteral("Your Email"), c, 7.5);
        label(p, QRect(22, 102, 84, 21), QStringLiteral("Comment"), c, 7.5);
        label(p, QRect(110, 32, 200, 16), QStringLiteral("Tell us what you think"), kMuted, 7);
        field(p, QRect(110, 50, 141, 21));
        field(p, QRect(110, 76, 141, 21));
        field(p, QRect(110, 102, 189, 21));
    });
}

QPixmap ToolbarButton(int index, Look look)
{
    return picture(86, 53, [&](QPainter& p, const QRect& r) { paintToolbarButton(p, r, index, look); });
}

QPixmap MenuEntry(int index, Look look)
{
    const QRect at = kMenuRects[qBound(0, index, 2)];
    return picture(at.width(), at.height(), [&](QPainter& p, const QRect& r) { paintMenuEntry(p, r, index, look); });
}

QPixmap ConvertButton(Look look)
{
    // The lit picture covers the painted button entirely, so it carries the face behind it too.
    return picture(187, 91, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, kFace);
        paintConvertButton(p, r, look);
    });
}

QPixmap StopButton(Look look)
{
    return picture(187, 91, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, kFace);
        paintStopButton(p, r, look);
    });
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
    antialias(p);
    p.scale(size / 256.0, size / 256.0);
    const QRectF face(kIconFace, kIconFace, 256 - 2 * kIconFace, 256 - 2 * kIconFace);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, kFaceHigh);
    g.setColorAt(1, QColor(16, 22, 30));
    p.setPen(QPen(kAccent, kIconEdge));
    p.setBrush(g);
    p.drawRoundedRect(face, kIconRadius, kIconRadius);
    p.setPen(QPen(kAccentHigh, kIconBarWidth, Qt::SolidLine, Qt::RoundCap));
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
                     kFaceHigh.name().toLatin1() +
                     "\"/>\n      <stop offset=\"1\" stop-color=\"#10161e\"/>\n    </linearGradient>\n  </defs>\n";
    svg += "  <rect x=\"" + n(face.x()) + "\" y=\"" + n(face.y()) + "\" width=\"" + n(face.width()) + "\" height=\"" +
           n(face.height()) + "\" rx=\"" + n(kIconRadius) + "\" fill=\"url(#face)\" stroke=\"" +
           kAccent.name().toLatin1() + "\" stroke-width=\"" + n(kIconEdge) + "\"/>\n";
    for (int i = 0; i < 4; ++i) {
        const double x = 128 + (i - 1.5) * kIconBarGap;
        const double half = kIconBars[i] * kIconBarUnit / 2;
        svg += "  <line x1=\"" + n(x) + "\" y1=\"" + n(128 - half) + "\" x2=\"" + n(x) + "\" y2=\"" + n(128 + half) +
               "\" stroke=\"" + kAccentHigh.name().toLatin1() + "\" stroke-width=\"" + n(kIconBarWidth) +
               "\" stroke-linecap=\"round\"/>\n";
    }
    return svg + "</svg>\n";
}

QPixmap MessageIcon(MessageKind kind)
{
    return picture(40, 40, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, QColor(24, 32, 43));
        antialias(p);
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
            fill = kAccent;
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
            label(p, box.adjusted(0, 9, 0, 0).toRect(), mark, QColor(24, 32, 43), 15, true, Qt::AlignCenter);
        } else {
            p.drawEllipse(box);
            label(p, box.toRect(), mark, Qt::white, kind == MessageKind::Critical ? 14 : 17, true, Qt::AlignCenter);
        }
    });
}

QPixmap BrowseButton(Look look)
{
    return picture(42, 22, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, kPanel);
        paintBrowseButton(p, r, look);
    });
}

QPixmap HelpButton(Look look)
{
    return picture(15, 15, [&](QPainter& p, const QRect& r) { paintTitleButton(p, r, 0, look); });
}

QPixmap MinButton(Look look)
{
    return picture(14, 14, [&](QPainter& p, const QRect& r) { paintTitleButton(p, r, 1, look); });
}

QPixmap CloseButton(Look look)
{
    return picture(15, 15, [&](QPainter& p, const QRect& r) { paintTitleButton(p, r, 2, look); });
}

QPixmap DropButton(Look look)
{
    return picture(19, 19, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, QColor(17, 23, 31));
        paintDropButton(p, r, look);
    });
}

QPixmap DialogButton(const QString& caption, Look look)
{
    return picture(58, 18, [&](QPainter& p, const QRect& r) {
        p.fillRect(r, kPanel);
        paintDialogButton(p, r, caption, look);
    });
}

QPixmap ProgressStrip()
{
    QImage img(1, 15, QImage::Format_RGB32);
    for (int y = 0; y < 15; ++y) {
        const double t = y / 14.0;
        const QColor top(84, 232, 204);
        const QColor bottom(22, 140, 124);
        img.setPixelColor(0, y,
                          QColor::fromRgbF(top.redF() + (bottom.redF() - top.redF()) * t,
                                           top.greenF() + (bottom.greenF() - top.greenF()) * t,
                                           top.blueF() + (bottom.blueF() - top.blueF()) * t));
    }
    return QPixmap::fromImage(img);
}

QPixmap HandCursor()
{
    QPixmap pix = blank(32, 32);
    QPainter p(&pix);
    antialias(p);
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
