#pragma once

#include "feedback/SuggestUi.h"
#include "ui/SkinnedWindow.h"

class QNetworkAccessManager;
class QNetworkReply;

// The feedback form: name, e-mail address and comment, sent once per opening as one request.
class frmSuggest : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmSuggest(QWidget* parent = nullptr);

    // The controls, for tests.
    SuggestUi& ui() { return m_ui; }

    void Command1_Click();

    // The host (and port) the request goes to; the maker's site unless a test says otherwise.
    static void setHost(const QString& host);
    static QString host();

    // Shows the form modally, centred on the screen, and returns when it is closed.
    static void ShowModal();

signals:
    // The request has ended, well or not; lblSending says which.
    void requestFinished();

private:
    void wb_DocumentComplete(QNetworkReply* reply);
    void Form_MouseMove();
    void showStatus(const QString& text);

    QNetworkAccessManager* wb = nullptr;
    SuggestUi m_ui;
    bool m_sent = false;
};
