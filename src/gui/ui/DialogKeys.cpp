#include "DialogKeys.h"

#include <QAbstractButton>
#include <QShortcut>
#include <QWidget>

namespace DialogKeys {
namespace {
void press(QAbstractButton* button)
{
    if (button->isEnabled() && button->isVisible())
        button->click();
}
} // namespace

void install(QWidget* dialog, QAbstractButton* defaultButton, QAbstractButton* backButton)
{
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(keys, dialog);
        enter->setAutoRepeat(false);
        QObject::connect(enter, &QShortcut::activated, defaultButton, [defaultButton] { press(defaultButton); });
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), dialog);
    escape->setAutoRepeat(false);
    QObject::connect(escape, &QShortcut::activated, backButton, [backButton] { press(backButton); });

    // The window itself closes its focus chain: what comes before it is the chain's last widget.
    for (QAbstractButton* button : {defaultButton, backButton}) {
        QWidget* last = dialog->previousInFocusChain();
        if (last != button)
            QWidget::setTabOrder(last, button);
    }
}
} // namespace DialogKeys
