#include "QtMsgBox.h"

#include "skin/SkinArt.h"
#include "skin/StyleSheets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace QtMsgBox {

std::unique_ptr<QMessageBox> build(const MsgBox::Shown& shown, QWidget* parent)
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
    auto box = std::make_unique<QMessageBox>(icon, shown.title, shown.text, QMessageBox::Ok, parent);
    // The kind of icon stays; the picture is the skin's own.
    if (icon != QMessageBox::NoIcon)
        box->setIconPixmap(SkinArt::MessageIcon(kind));
    QFont font(SkinArt::FontFamily());
    font.setPointSizeF(9);
    box->setFont(font);
    box->setStyleSheet(StyleSheets::MessageBox());
    // The details show in a list of fixed height that scrolls, however long it is.
    if (!shown.details.isEmpty()) {
        box->setDetailedText(shown.details);
        // Wide enough that a listed name and its reason take one line: the box would wrap them at half
        // its usual width, and grow twice as tall.
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setMinimumWidth(560);
    }
    for (QAbstractButton* b : box->buttons())
        b->setIcon(QIcon());
    // Enter answers OK and Escape closes the box, whichever button has the focus.
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

void present(const MsgBox::Shown& shown)
{
    build(shown, QApplication::activeWindow())->exec();
}

void install()
{
    MsgBox::setPresenter(&present);
}

} // namespace QtMsgBox
