#include "frmSuggest.h"

#include "feedback/FeedbackRequest.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QUrl>

namespace {
QString& hostSetting()
{
    static QString host = QString::fromLatin1(FeedbackRequest::kDefaultHost);
    return host;
}

const char* kStyle = R"(
QLineEdit {
    background: #11171f; color: #e6edf3; border: 1px solid #344356; border-radius: 3px;
    padding: 1px 4px; selection-background-color: #23b3a0;
}
QLineEdit:focus { border-color: #23b3a0; }
QToolTip { background: #243142; color: #e6edf3; border: 1px solid #23b3a0; padding: 3px; }
#lblSending { color: #ffffff; }
)";

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

frmSuggest::frmSuggest(QWidget* parent) : SkinnedWindow(parent)
{
    setObjectName(QStringLiteral("frmSuggest"));
    setWindowTitle(QStringLiteral("FeedBack"));
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(8);
    setFont(f);

    txtName = box(this, "txtName", {110, 50, 141, 21}, 50, QStringLiteral("Your Name"));
    txtEMail = box(this, "txtEMail", {110, 76, 141, 21}, 100, QStringLiteral("Email"));
    txtComment = box(this, "txtComment", {110, 102, 189, 21}, 256, QString());
    setTabOrder(txtName, txtEMail);
    setTabOrder(txtEMail, txtComment);
    lblSending = new QLabel(this);
    lblSending->setObjectName(QStringLiteral("lblSending"));
    lblSending->setGeometry(48, 138, 70, 14);
    QFont status(SkinArt::FontFamily());
    status.setPointSizeF(9);
    status.setBold(true);
    lblSending->setFont(status);
    lblSending->hide();

    imgSend = HotArea::create(this, "imgSend", {166, 136, 58, 18}, QStringLiteral("Send your feedback now"));
    imgBack = HotArea::create(this, "imgBack", {246, 136, 58, 18}, QStringLiteral("back to main"));
    imgExit = HotArea::create(this, "imgExit", {300, 11, 15, 15}, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));
    Command1 = new QPushButton(QStringLiteral("Send"), this);
    Command2 = new QPushButton(QStringLiteral("Back"), this);
    Command1->hide();
    Command2->hide();

    using SkinArt::Look;
    imgSendLight = SkinArt::DialogButton(QStringLiteral("Send"), Look::Light);
    imgBackLight = SkinArt::DialogButton(QStringLiteral("Back"), Look::Light);
    imgExitLight = SkinArt::CloseButton(Look::Light);
    connect(imgSend, &HotArea::mouseMoved, this, [this] { ShowLook(imgSend, imgSendLight); });
    connect(imgBack, &HotArea::mouseMoved, this, [this] { ShowLook(imgBack, imgBackLight); });
    connect(imgExit, &HotArea::mouseMoved, this, [this] { ShowLook(imgExit, imgExitLight); });
    connect(imgSend, &HotArea::clicked, Command1, &QPushButton::click);
    connect(Command1, &QPushButton::clicked, this, &frmSuggest::Command1_Click);
    for (HotArea* closer : {imgBack, imgExit})
        connect(closer, &HotArea::clicked, Command2, &QPushButton::click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(this, &SkinnedWindow::backgroundMoved, this, &frmSuggest::Form_MouseMove);
    setStyleSheet(QString::fromLatin1(kStyle));

    wb = new QNetworkAccessManager(this);
    connect(wb, &QNetworkAccessManager::finished, this, &frmSuggest::wb_DocumentComplete);

    setSkin(SkinArt::FeedbackSkin());
    GeometryPass();
}

void frmSuggest::setHost(const QString& host)
{
    hostSetting() = host;
}

QString frmSuggest::host()
{
    return hostSetting();
}

void frmSuggest::showStatus(const QString& text)
{
    lblSending->setText(text);
    lblSending->show();
}

void frmSuggest::Command1_Click()
{
    // A box counts as empty only when it holds nothing at all; spaces pass.
    const std::pair<QLineEdit*, const char*> required[] = {
        {txtName, "Your Name?"}, {txtEMail, "Your Email?"}, {txtComment, "Comment?"}};
    for (const auto& [field, question] : required) {
        if (field->text().isEmpty()) {
            showStatus(QString::fromLatin1(question));
            field->setFocus();
            return;
        }
    }
    showStatus(QStringLiteral("Sending..."));
    // One send per opening.
    Command1->setEnabled(false);
    imgSend->setEnabled(false);
    const QByteArray address = FeedbackRequest::Address(host(), txtName->text(), txtEMail->text(), txtComment->text());
    wb->get(QNetworkRequest(QUrl::fromEncoded(address, QUrl::StrictMode)));
}

void frmSuggest::wb_DocumentComplete(QNetworkReply* reply)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Only an answer that says the server took it counts as sent.
    const bool sent = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    showStatus(sent ? QStringLiteral("Finished.") : QStringLiteral("Failed."));
    emit requestFinished();
}

void frmSuggest::Form_MouseMove()
{
    ClearLook(imgExit);
    ClearLook(imgBack);
    ClearLook(imgSend);
}

void frmSuggest::ShowModal()
{
    if (ModalGuard::blocked("feedback window"))
        return;
    frmSuggest form;
    form.ExecModal();
}
