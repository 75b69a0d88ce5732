#include "SuggestUi.h"

#include "skin/SkinArt.h"
#include "ui/HotArea.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QLineEdit* box(QWidget* parent, const char* name, const QRect& r, int maxLength, const QString& tip)
{
    auto* b = new QLineEdit(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    b->setMaxLength(maxLength);
    b->setToolTip(tip);
    return b;
}
} // namespace

void SuggestUi::setup(QWidget* w)
{
    setupFields(w);
    setupButtons(w);
}

void SuggestUi::setupFields(QWidget* w)
{
    txtName = box(w, "txtName", {110, 50, 141, 21}, 50, QStringLiteral("Your Name"));
    txtEMail = box(w, "txtEMail", {110, 76, 141, 21}, 100, QStringLiteral("Email"));
    txtComment = box(w, "txtComment", {110, 102, 189, 21}, 256, QString());
    QWidget::setTabOrder(txtName, txtEMail);
    QWidget::setTabOrder(txtEMail, txtComment);
    lblSending = new QLabel(w);
    lblSending->setObjectName(QStringLiteral("lblSending"));
    lblSending->setGeometry(48, 138, 70, 14);
    QFont status(SkinArt::FontFamily());
    status.setPointSizeF(9);
    status.setBold(true);
    lblSending->setFont(status);
    lblSending->hide();
}

void SuggestUi::setupButtons(QWidget* w)
{
    imgSend = HotArea::create(w, "imgSend", {166, 136, 58, 18}, QStringLiteral("Send your feedback now"));
    imgBack = HotArea::create(w, "imgBack", {246, 136, 58, 18}, QStringLiteral("back to main"));
    imgExit = HotArea::create(w, "imgExit", {300, 11, 15, 15}, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));
    Command1 = new QPushButton(QStringLiteral("Send"), w);
    Command2 = new QPushButton(QStringLiteral("Back"), w);
    Command1->hide();
    Command2->hide();

    using SkinArt::Look;
    imgSend->setLooks(SkinArt::DialogButton(QStringLiteral("Send"), Look::Light));
    imgBack->setLooks(SkinArt::DialogButton(QStringLiteral("Back"), Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
}
