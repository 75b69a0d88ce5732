#pragma once

#include <QByteArray>
#include <QString>

// The feedback request: one GET to the maker's site with the name, the e-mail address (under the key
// "age") and the comment (after "(WMA)"). Each typed value is percent-encoded, every character but
// letters, digits, "-", ".", "_" and "~", so no "&", "#", "+" or "%" can break the query.
namespace FeedbackRequest {

constexpr const char* kDefaultHost = "www.veltrasoft.example";

QByteArray Address(const QString& host, const QString& name, const QString& email, const QString& comment);

} // namespace FeedbackRequest
