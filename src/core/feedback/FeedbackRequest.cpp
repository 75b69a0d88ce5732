#include "FeedbackRequest.h"

#include <QUrl>

namespace FeedbackRequest {

QByteArray Address(const QString& host, const QString& name, const QString& email, const QString& comment)
{
    return "http://" + host.toUtf8() + "/suggest/post.php?name=" + QUrl::toPercentEncoding(name) +
           "&age=" + QUrl::toPercentEncoding(email) + "&comment=(WMA)" + QUrl::toPercentEncoding(comment);
}

} // namespace FeedbackRequest
