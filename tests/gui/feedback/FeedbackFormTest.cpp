#include "HttpServer.h"
#include "feedback/FeedbackRequest.h"
#include "feedback/frmSuggest.h"
#include "ui/HotArea.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

class FeedbackForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frmSuggest::setHost(server.hostAndPort());
        form = std::make_unique<frmSuggest>();
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        frmSuggest::setHost(QString::fromLatin1(FeedbackRequest::kDefaultHost));
    }
    void fill(const QString& name, const QString& email, const QString& comment)
    {
        form->ui().txtName->setText(name);
        form->ui().txtEMail->setText(email);
        form->ui().txtComment->setText(comment);
    }
    // Sends and waits for the form's own notice that the request ended.
    bool send()
    {
        QSignalSpy done(form.get(), &frmSuggest::requestFinished);
        QTest::mouseClick(form->ui().imgSend, Qt::LeftButton);
        return done.wait(30000);
    }

    HttpServer server;
    std::unique_ptr<frmSuggest> form;
};

TEST_F(FeedbackForm, MissingFieldsAreNamedOneAtATimeWithTheFocusOnThem)
{
    EXPECT_FALSE(form->ui().lblSending->isVisible());
    form->Command1_Click();
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Your Name?"));
    EXPECT_TRUE(form->ui().lblSending->isVisible());
    EXPECT_EQ(form->focusWidget(), form->ui().txtName);
    fill(QStringLiteral(" "), QString(), QString());
    form->Command1_Click();
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Your Email?"));
    EXPECT_EQ(form->focusWidget(), form->ui().txtEMail);
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QString());
    form->Command1_Click();
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Comment?"));
    EXPECT_EQ(form->focusWidget(), form->ui().txtComment);
    EXPECT_TRUE(server.targets.isEmpty());
}

TEST_F(FeedbackForm, SendsTheExactQueryOnceAndSaysFinished)
{
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("hi"));
    // A send starts its request at once: the form holds the reply until the answer has come.
    const auto replies = [&] { return form->findChildren<QNetworkReply*>().size(); };
    QSignalSpy done(form.get(), &frmSuggest::requestFinished);
    QTest::mouseClick(form->ui().imgSend, Qt::LeftButton);
    EXPECT_EQ(replies(), 1);
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Sending..."));
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(server.targets, QList<QByteArray>{"/suggest/post.php?name=Ann&age=x&comment=(WMA)hi"});
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Finished."));
    EXPECT_FALSE(form->ui().imgSend->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies() == 0; }, 10000));
    form->Command1_Click();
    QTest::mouseClick(form->ui().imgSend, Qt::LeftButton);
    EXPECT_EQ(replies(), 0) << "one send per opening";
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Finished."));
    EXPECT_EQ(server.targets.size(), 1);
}

TEST_F(FeedbackForm, AwkwardCharactersArriveIntact)
{
    const QString name = QStringLiteral("Ann & Bob #1");
    const QString email = QStringLiteral("a+b%40@x.org");
    const QString comment = QStringLiteral("50% off? Zoë says „grüß dich“ + 1=1&2");
    fill(name, email, comment);
    ASSERT_TRUE(send());
    ASSERT_EQ(server.targets.size(), 1);
    const QByteArray target = server.targets[0];
    const QByteArray query = target.mid(target.indexOf('?') + 1);
    QMap<QByteArray, QString> fields;
    for (const QByteArray& pair : query.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        fields[pair.left(eq)] = QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
    }
    EXPECT_EQ(fields.keys(), (QList<QByteArray>{"age", "comment", "name"}));
    EXPECT_EQ(fields["name"], name);
    EXPECT_EQ(fields["age"], email);
    EXPECT_EQ(fields["comment"], QStringLiteral("(WMA)") + comment);
    EXPECT_FALSE(query.contains(' '));
}

TEST_F(FeedbackForm, ServerErrorOrNoServerIsAFailureNeverFinished)
{
    server.status = 500;
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("hi"));
    ASSERT_TRUE(send());
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Failed."));

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    frmSuggest::setHost(QStringLiteral("127.0.0.1:%1").arg(port));
    form = std::make_unique<frmSuggest>();
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("hi"));
    ASSERT_TRUE(send());
    EXPECT_EQ(form->ui().lblSending->text(), QStringLiteral("Failed."));
}

TEST_F(FeedbackForm, BoxesRefuseTextBeyondTheirLimits)
{
    QTest::keyClicks(form->ui().txtName, QString(60, QLatin1Char('n')));
    QTest::keyClicks(form->ui().txtEMail, QString(110, QLatin1Char('e')));
    QTest::keyClicks(form->ui().txtComment, QString(300, QLatin1Char('c')));
    EXPECT_EQ(form->ui().txtName->text().size(), 50);
    EXPECT_EQ(form->ui().txtEMail->text().size(), 100);
    EXPECT_EQ(form->ui().txtComment->text().size(), 256);
    EXPECT_EQ(form->size(), QSize(330, 180));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("FeedBack"));
}

TEST_F(FeedbackForm, BackAndCloseButtonsCloseTheForm)
{
    QTest::mouseClick(form->ui().imgBack, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    form->show();
    QTest::mouseClick(form->ui().imgExit, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
