#include "SkinArt.h"

#include "settings/OptionRows.h"
#include "skin/Palette.h"
#include "skin/SkinLayout.h"
#include "skin/SkinPainting.h"

#include <QLinearGradient>

namespace SkinArt {

using namespace Painting;
namespace Dialog = SkinLayout::Dialog;

namespace {
void paintDialogButton(QPainter& p, const QRect& r, const QString& caption, Look look)
{
    antialias(p);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (look == Look::Light) {
        g.setColorAt(0, Palette::kAccentHigh);
        g.setColorAt(1, QColor(28, 150, 132));
    } else {
        g.setColorAt(0, QColor(52, 70, 90));
        g.setColorAt(1, QColor(40, 54, 70));
    }
    p.setPen(QPen(look == Look::Light ? QColor(20, 110, 100) : Palette::kEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    label(p, r, caption, Qt::white, 7.5, true, Qt::AlignCenter);
}

// A small dialog's skin: body, title bar with close button, the panel that holds its fields (down to
// the row of buttons), what paintFields draws there, the two buttons (the window's own command and
// Back) and the edge.
template <typename PaintFields>
QPixmap dialogSkin(const QString& title, const QString& command, const QSize& size, PaintFields paintFields)
{
    const int w = size.width();
    const int h = size.height();
    QImage img = body(w, h, 12);
    {
        QPainter p(&img);
        antialias(p);
        titleBar(p, w, 28, title);
        paintTitleButton(p, Dialog::kClose, TitleButton::Close, Look::Normal);
        panel(p, QRectF(10, 30, 310, h - 80));
    }
    QPainter p(&img);
    antialias(p);
    paintFields(p, Palette::kLabel);
    paintDialogButton(p, Dialog::CommandButton(h), command, Look::Normal);
    paintDialogButton(p, Dialog::BackButton(h), QStringLiteral("Back"), Look::Normal);
    edge(p, w, h, 12, Palette::kAccent);
    p.end();
    return QPixmap::fromImage(img);
}

// One row of the cut's time: its caption, then hours, minutes and seconds with their units.
void paintTimeRow(QPainter& p, const QRect (&boxes)[3], const QString& caption, const QColor& c)
{
    const int top = boxes[0].y();
    label(p, QRect(22, top, 70, 18), caption, c, 7.5);
    for (const QRect& r : boxes)
        field(p, r);
    const char* units[] = {"Hour", "Min", "Sec"};
    const int widths[] = {40, 32, 32};
    for (int i = 0; i < 3; ++i)
        label(p, QRect(boxes[i].right() + 5, top, widths[i], 18), QString::fromLatin1(units[i]), Palette::kMuted, 7);
}
} // namespace

QPixmap OptionsSkin()
{
    namespace Layout = SkinLayout::Options;
    const int lists = int(OptionRows::All().size());
    return dialogSkin(QStringLiteral("Options"), QStringLiteral("OK"), Layout::Size(lists + Layout::kTextRows),
                      [](QPainter& p, const QColor& c) {
                          label(p, QRect(22, 60, 120, 20), QStringLiteral("Video Cutter"), c, 7.5);
                          label(p, QRect(164, 60, 120, 20), QStringLiteral("Music Cutter"), Palette::kMuted, 7);
                          paintTimeRow(p, Layout::kFrom, QStringLiteral("From"), c);
                          paintTimeRow(p, Layout::kDuration, QStringLiteral("Duration"), c);
                          // The lists, each opened by its own drop button.
                          const QList<OptionRows::Row>& rows = OptionRows::All();
                          for (int row = 0; row < int(rows.size()); ++row) {
                              field(p, Layout::ListRow(row));
                              paintDropButton(p, Layout::ListRowDrop(row), Look::Normal);
                              const QString& caption = rows[row].caption;
                              label(p, Layout::ListRowCaption(row, caption.contains(QLatin1Char('\n'))), caption, c,
                                    7.5);
                          }
                          field(p, Layout::TextRow(int(rows.size())));
                          label(p, Layout::TextRowCaption(int(rows.size())), QStringLiteral("My pattern"), c, 7.5);
                      });
}

QPixmap FeedbackSkin()
{
    namespace Layout = SkinLayout::Feedback;
    return dialogSkin(
        QStringLiteral("Feedback"), QStringLiteral("Send"), Layout::kSize, [](QPainter& p, const QColor& c) {
            const struct
            {
                QRect box;
                const char* caption;
            } rows[] = {{Layout::kName, "Your Name"}, {Layout::kEmail, "Your Email"}, {Layout::kComment, "Comment"}};
            for (const auto& row : rows)
                label(p, QRect(22, row.box.y(), 84, row.box.height()), QString::fromLatin1(row.caption), c, 7.5);
            label(p, QRect(110, 32, 200, 16), QStringLiteral("Tell us what you think"), Palette::kMuted, 7);
            for (const auto& row : rows)
                field(p, row.box);
        });
}

QPixmap DialogButton(const QString& caption, Look look)
{
    const QSize size = Dialog::CommandButton(0).size();
    return picture(size.width(), size.height(), [&](QPainter& p, const QRect& r) {
        p.fillRect(r, Palette::kPanel);
        paintDialogButton(p, r, caption, look);
    });
}

} // namespace SkinArt
