#include "QtMsgBox.h"

#include <QApplication>
#include <QMessageBox>

namespace QtMsgBox {

void present(const MsgBox::Shown& shown)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (shown.icon) {
    case MsgBox::Icon::Critical:
        icon = QMessageBox::Critical;
        break;
    case MsgBox::Icon::Warning:
    case MsgBox::Icon::Exclamation:
        icon = QMessageBox::Warning;
        break;
    case MsgBox::Icon::Information:
        icon = QMessageBox::Information;
        break;
    case MsgBox::Icon::None:
        break;
    }
    QMessageBox box(icon, shown.title, shown.text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void install()
{
    MsgBox::setPresenter(&present);
}

} // namespace QtMsgBox
