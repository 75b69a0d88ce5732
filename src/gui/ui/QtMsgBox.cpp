#include "QtMsgBox.h"

#include "skin/SkinArt.h"
#include "skin/StyleSheets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace QtMsgBox {

void present(const MsgBox::Shown& shown)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    SkinArt::MessageKind kind = SkinArt::MessageKind::Information;
    switch (shown.icon) {
    case MsgBox::Icon::Critical:
        icon = QMessageBox::Critical;
        kind = SkinArt::MessageKind::Critical;
        break;
    case MsgBox::Icon::Warning:
    case MsgBox::Icon::Exclamation:
        icon = QMessageBox::Warning;
        kind = SkinArt::MessageKind::Warning;
        break;
    case MsgBox::Icon::Information:
        icon = QMessageBox::Information;
        break;
    case MsgBox::Icon::None:
        break;
    }
    QMessageBox box(icon, shown.title, shown.text, QMessageBox::Ok, QApplication::activeWindow());
    // The kind of icon stays; the picture is the skin's own.
    if (icon != QMessageBox::NoIcon)
        box.setIconPixmap(SkinArt::MessageIcon(kind));
    QFont font(SkinArt::FontFamily());
    font.setPointSizeF(9);
    box.setFont(font);
    box.setStyleSheet(StyleSheets::MessageBox());
    for (QAbstractButton* b : box.buttons())
        b->setIcon(QIcon());
    box.exec();
}

void install()
{
    MsgBox::setPresenter(&present);
}

} // namespace QtMsgBox
