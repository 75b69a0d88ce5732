#include "frmSuggest.h"

#include "feedback/FeedbackRequest.h"
#include "skin/SkinArt.h"
#include "skin/StyleSheets.h"
#include "ui/DialogKeys.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
QString& hostSetting()
{
    static QString host = QString::fromLatin1(FeedbackRequest::kDefaultHost);
    return host;
}

} // namespace

frmSuggest::frmSuggest(QWidget* parent) : SkinnedWindow(parent)
{
    setObjectName(QStringLiteral("frmSuggest"));
    setWindowTitle(QStringLiteral("FeedBack"));
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(8);
    setFont(f);

    m_ui.setup(this);
    connect(m_ui.imgSend, &HotArea::clicked, this, &frmSuggest::Command1_Click);
    for (HotArea* closer : {m_ui.imgBack, m_ui.imgExit})
        connect(closer, &HotArea::clicked, this, &QWidget::close);
    m_ui.imgExit->keepOutOfTabChain();
    m_ui.imgSend->setCaption(QStringLiteral("Send"));
    m_ui.imgBack->setCaption(QStringLiteral("Back"));
    m_ui.imgExit->setCaption(QStringLiteral("Close"));
    DialogKeys::install(this, m_ui.imgSend, m_ui.imgBack);
    connect(this, &SkinnedWindow::backgroundMoved, this, &frmSuggest::Form_MouseMove);
    setStyleSheet(StyleSheets::Feedback());

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
    m_ui.lblSending->setText(text);
    m_ui.lblSending->show();
}

void frmSuggest::Command1_Click()
{
    // One send per opening.
    if (m_sent)
        return;
    // A box counts as empty only when it holds nothing at all; spaces pass.
    const std::pair<QLineEdit*, const char*> required[] = {
        {m_ui.txtName, "Your Name?"}, {m_ui.txtEMail, "Your Email?"}, {m_ui.txtComment, "Comment?"}};
    for (const auto& [field, question] : required) {
        if (field->text().isEmpty()) {
            showStatus(QString::fromLatin1(question));
            field->setFocus();
            return;
        }
    }
    showStatus(QStringLiteral("Sending..."));
    m_sent = true;
    m_ui.imgSend->setEnabled(false);
    const QByteArray address =
        FeedbackRequest::Address(host(), m_ui.txtName->text(), m_ui.txtEMail->text(), m_ui.txtComment->text());
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
    HotArea::ClearAll(this);
}

void frmSuggest::ShowModal()
{
    if (ModalGuard::blocked("feedback window"))
        return;
    frmSuggest form;
    form.ExecModal();
}
