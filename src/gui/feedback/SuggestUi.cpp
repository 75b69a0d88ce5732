#include "SuggestUi.h"

#include "skin/SkinArt.h"
#include "skin/SkinLayout.h"
#include "ui/HotArea.h"

#include <QLabel>
#include <QLineEdit>

namespace {
namespace Feedback = SkinLayout::Feedback;

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
    txtName = box(w, "txtName", Feedback::kName, 50, QStringLiteral("Your Name"));
    txtEMail = box(w, "txtEMail", Feedback::kEmail, 100, QStringLiteral("Email"));
    txtComment = box(w, "txtComment", Feedback::kComment, 256, QString());
    QWidget::setTabOrder(txtName, txtEMail);
    QWidget::setTabOrder(txtEMail, txtComment);
    lblSending = new QLabel(w);
    lblSending->setObjectName(QStringLiteral("lblSending"));
    lblSending->setGeometry(Feedback::kStatus);
    QFont status(SkinArt::FontFamily());
    status.setPointSizeF(9);
    status.setBold(true);
    lblSending->setFont(status);
    lblSending->hide();
}

void SuggestUi::setupButtons(QWidget* w)
{
    imgSend = HotArea::create(w, "imgSend", Feedback::kSend, QStringLiteral("Send your feedback now"));
    imgBack = HotArea::create(w, "imgBack", Feedback::kBack, QStringLiteral("back to main"));
    imgExit = HotArea::create(w, "imgExit", Feedback::kClose, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));

    using SkinArt::Look;
    imgSend->setLooks(SkinArt::DialogButton(QStringLiteral("Send"), Look::Light));
    imgBack->setLooks(SkinArt::DialogButton(QStringLiteral("Back"), Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
}
