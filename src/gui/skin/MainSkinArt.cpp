#include "SkinArt.h"

#include "skin/Palette.h"
#include "skin/SkinLayout.h"
#include "skin/SkinPainting.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace SkinArt {

using namespace Painting;
namespace Layout = SkinLayout::Main;

namespace {
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
        p.setPen(QPen(look == Look::Dark ? Palette::kEdge : Palette::kAccent, 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
    }
    const QColor ink = look == Look::Light ? QColor(255, 255, 255) : QColor(206, 217, 228);
    glyph(p, index, QRectF(r.x() + (r.width() - 24) / 2.0, r.y() + 5, 24, 24), ink);
    label(p, QRect(r.x(), r.y() + 32, r.width(), 16), QString::fromLatin1(toolbarCaption(index)),
          look == Look::Light ? Palette::kText : QColor(190, 203, 216), 7.5, false, Qt::AlignCenter);
}

const char* menuCaption(int index)
{
    return index == 0 ? "File" : index == 1 ? "Options" : "About";
}

void paintMenuEntry(QPainter& p, const QRect& r, int index, Look look)
{
    antialias(p);
    if (look != Look::Normal) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(46, 62, 80));
        p.drawRoundedRect(QRectF(r).adjusted(0, 0, 0, 0), 3, 3);
    }
    label(p, r, QString::fromLatin1(menuCaption(index)), look == Look::Normal ? QColor(196, 208, 220) : Palette::kText,
          8, false, Qt::AlignCenter);
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

// The mark in a ring left of the caption.
void paintBigButtonMark(QPainter& p, const QPointF& c, bool stopMark)
{
    p.setPen(QPen(Qt::white, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 20, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    if (stopMark) {
        p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 8, 16, 16), 2, 2);
    } else {
        QPainterPath tri;
        tri.moveTo(c.x() - 6, c.y() - 10);
        tri.lineTo(c.x() + 11, c.y());
        tri.lineTo(c.x() - 6, c.y() + 10);
        tri.closeSubpath();
        p.drawPath(tri);
    }
}

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
    paintBigButtonMark(p, QPointF(box.left() + 40, box.center().y() + (pressed ? 1 : 0)), b.stopMark);
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
                        : look == Look::Light ? Palette::kButtonHover
                                              : Palette::kButton;
    p.setPen(QPen(look == Look::Normal ? Palette::kEdge : Palette::kAccent, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(1.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(look == Look::Normal ? QColor(200, 212, 224) : Qt::white);
    const double cy = r.y() + r.height() / 2.0;
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(r.x() + r.width() / 2.0 + 1 + i * 6, cy), 1.6, 1.6);
}

// Title bar, menu bar, toolbar and the brand.
void paintMainTop(QPainter& p)
{
    titleBar(p, Layout::kSize.width(), 26, QStringLiteral("Veltra WMA Converter"));
    paintTitleButton(p, Layout::kHelp, TitleButton::Help, Look::Normal);
    paintTitleButton(p, Layout::kMin, TitleButton::Min, Look::Normal);
    paintTitleButton(p, Layout::kClose, TitleButton::Close, Look::Normal);

    p.fillRect(QRect(1, 27, 698, 22), Palette::kFaceHigh);
    for (int i = 0; i < 3; ++i)
        paintMenuEntry(p, Layout::kMenu[i], i, Look::Normal);
    QLinearGradient tb(0, 50, 0, 112);
    tb.setColorAt(0, QColor(30, 41, 54));
    tb.setColorAt(1, Palette::kFace);
    p.fillRect(QRect(1, 49, 698, 63), tb);
    p.setPen(QColor(44, 58, 75));
    p.drawLine(1, 49, 698, 49);
    p.drawLine(1, 112, 698, 112);
    for (int i = 0; i < Layout::kToolbarCount; ++i)
        paintToolbarButton(p, Layout::kToolbar[i], Layout::kToolbarIndex[i], Look::Normal);
    // A separator between the file commands and the rest, and the brand on the right.
    p.setPen(Palette::kEdge);
    const double gap = Layout::kToolbar[3].left() - 0.5;
    p.drawLine(QPointF(gap, 62), QPointF(gap, 102));
    label(p, QRect(548, 58, 140, 22), QStringLiteral("VELTRA"), Palette::kAccentHigh, 13, true,
          Qt::AlignRight | Qt::AlignVCenter);
    label(p, QRect(548, 80, 140, 16), QStringLiteral("WMA Converter"), Palette::kMuted, 8, false,
          Qt::AlignRight | Qt::AlignVCenter);
}

// The file list's panel and the conversion settings with their captions, fields and buttons.
void paintMainPanels(QPainter& p)
{
    panel(p, QRectF(9, 120, 471, 320), QStringLiteral("Files to convert"));
    label(p, QRect(250, 126, 222, 16), QStringLiteral("Add files, a folder, or drop them here"), Palette::kMuted, 7,
          false, Qt::AlignRight | Qt::AlignVCenter);
    p.setPen(QPen(Palette::kEdge, 1));
    p.setBrush(Palette::kField);
    p.drawRect(QRectF(Layout::kList).adjusted(-0.5, -0.5, 0.5, 0.5));

    panel(p, QRectF(484, 120, 206, 246), QStringLiteral("Conversion Settings"));
    const char* captions[] = {"Output Format:", "Bitrate (Kbps):", "Rate (Hz):", "Audio Channel:"};
    for (int i = 0; i < Layout::kSelectorCount; ++i) {
        const QRect& r = Layout::kSelector[i];
        label(p, QRect(r.x() + 1, r.y() - 16, 190, 15), QString::fromLatin1(captions[i]), Palette::kLabel, 7.5);
    }
    const QRect& folder = Layout::kFolder;
    label(p, QRect(folder.x() + 1, folder.y() - 16, 190, 15), QStringLiteral("Output Folder:"), Palette::kLabel, 7.5);
    for (const QRect& r : Layout::kSelector)
        field(p, r);
    field(p, folder);
    paintBrowseButton(p, Layout::kBrowse, Look::Normal);
    for (const QRect& r : Layout::kSelectorDrop)
        paintDropButton(p, r, Look::Normal);
    paintConvertButton(p, Layout::kConvert, Look::Normal);
}

// Progress, then the status bar: light, so the product name reads in black.
void paintMainBottom(QPainter& p)
{
    const QRect& frame = Layout::kProgressFrame;
    label(p, QRect(18, frame.y() + 1, 92, 15), QStringLiteral("Progress:"), Palette::kLabel, 7.5, true);
    p.setPen(QPen(Palette::kEdge, 1));
    p.setBrush(QColor(14, 19, 26));
    p.drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);

    const int w = Layout::kSize.width();
    const int h = Layout::kSize.height();
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, w, h), 14, 14);
    p.setClipPath(clip);
    p.fillRect(QRect(0, 470, w, 30), Palette::kStatus);
    p.setClipping(false);
    p.setPen(QColor(170, 182, 196));
    p.drawLine(0, 470, w - 1, 470);
    antialias(p);
    label(p, QRect(440, 477, 180, 14), QStringLiteral("Ready for your music"), QColor(90, 104, 120), 7, false,
          Qt::AlignRight | Qt::AlignVCenter);
}
} // namespace

QPixmap MainSkin()
{
    QImage img = body(Layout::kSize.width(), Layout::kSize.height(), 14);
    QPainter p(&img);
    antialias(p);
    paintMainTop(p);
    paintMainPanels(p);
    paintMainBottom(p);
    edge(p, Layout::kSize.width(), Layout::kSize.height(), 14, QColor(60, 78, 100));
    p.end();
    return QPixmap::fromImage(img);
}

QPixmap ToolbarButton(int index, Look look)
{
    const QSize size = Layout::kToolbar[0].size();
    return picture(size.width(), size.height(),
                   [&](QPainter& p, const QRect& r) { paintToolbarButton(p, r, index, look); });
}

QPixmap MenuEntry(int index, Look look)
{
    const QRect at = Layout::kMenu[qBound(0, index, 2)];
    return picture(at.width(), at.height(), [&](QPainter& p, const QRect& r) { paintMenuEntry(p, r, index, look); });
}

// The lit pictures of the big button cover the painted one entirely, so they carry the face behind it too.
QPixmap ConvertButton(Look look)
{
    return picture(Layout::kConvert.width(), Layout::kConvert.height(), [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kFace);
        paintConvertButton(p, r, look);
    });
}

QPixmap StopButton(Look look)
{
    return picture(Layout::kConvert.width(), Layout::kConvert.height(), [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kFace);
        paintStopButton(p, r, look);
    });
}

QPixmap BrowseButton(Look look)
{
    return picture(Layout::kBrowse.width(), Layout::kBrowse.height(), [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kPanel);
        paintBrowseButton(p, r, look);
    });
}

QPixmap ProgressStrip()
{
    QImage img(1, 15, QImage::Format_RGB32);
    const QColor top(84, 232, 204);
    const QColor bottom(22, 140, 124);
    for (int y = 0; y < 15; ++y) {
        const double t = y / 14.0;
        img.setPixelColor(0, y,
                          QColor::fromRgbF(top.redF() + (bottom.redF() - top.redF()) * t,
                                           top.greenF() + (bottom.greenF() - top.greenF()) * t,
                                           top.blueF() + (bottom.blueF() - top.blueF()) * t));
    }
    return QPixmap::fromImage(img);
}

} // namespace SkinArt
