#include "QtMsgBox.h"

#include "skin/SkinArt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace QtMsgBox {

namespace {
// The skin's own colours: a dark face, light text, buttons like the dialogs' painted ones, and no icons
// on the buttons.
const char* kStyle = R"(
QMessageBox { background: #18202b; border: 1px solid #344356; }
QMessageBox QLabel { color: #e6edf3; background: transparent; }
QDialogButtonBox { dialogbuttonbox-buttons-have-icons: 0; }
QPushButton {
    background: #2c3b4d; color: #e6edf3; border: 1px solid #344356; border-radius: 3px;
    min-width: 64px; padding: 3px 12px;
}
QPushButton:hover { background: #3a4e64; border-color: #23b3a0; }
QPushButton:pressed { background: #1f6f66; }
QPushButton:default { border-color: #23b3a0; }
QPushButton:focus { outline: none; }
QTextEdit {
    background: #0f151d; color: #e6edf3; border: 1px solid #344356;
    selection-background-color: #1f6f66;
}
)";
} // namespace

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
    box->setStyleSheet(QString::fromLatin1(kStyle));
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
