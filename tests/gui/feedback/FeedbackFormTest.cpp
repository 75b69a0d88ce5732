#include "HttpServer.h"
#include "feedback/FeedbackRequest.h"
#include "feedback/frmSuggest.h"
#include "ui/HotArea.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
        form->txtName->setText(name);
        form->txtEMail->setText(email);
        form->txtComment->setText(comment);
    }
    // Sends and waits for the form's own notice that the request ended.
    bool send()
    {
        QSignalSpy done(form.get(), &frmSuggest::requestFinished);
        QTest::mouseClick(form->imgSend, Qt::LeftButton);
        return done.wait(10000);
    }

    HttpServer server;
    std::unique_ptr<frmSuggest> form;
};

TEST_F(FeedbackForm, MissingFieldsAreNamedOneAtATimeWithTheFocusOnThem)
{
    EXPECT_FALSE(form->lblSending->isVisible());
    form->Command1_Click();
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Your Name?"));
    EXPECT_TRUE(form->lblSending->isVisible());
    EXPECT_EQ(form->focusWidget(), form->txtName);
    fill(QStringLiteral(" "), QString(), QString());
    form->Command1_Click();
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Your Email?"));
    EXPECT_EQ(form->focusWidget(), form->txtEMail);
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QString());
    form->Command1_Click();
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Comment?"));
    EXPECT_EQ(form->focusWidget(), form->txtComment);
    EXPECT_TRUE(server.targets.isEmpty());
}

TEST_F(FeedbackForm, SendsTheExactQueryOnceAndSaysFinished)
{
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("hi"));
    ASSERT_TRUE(send());
    EXPECT_EQ(server.targets, QList<QByteArray>{"/suggest/post.php?name=Ann&age=x&comment=(WMA)hi"});
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Finished."));
    EXPECT_FALSE(form->imgSend->isEnabled());
    EXPECT_FALSE(form->Command1->isEnabled());
    form->Command1->click();
    QTest::mouseClick(form->imgSend, Qt::LeftButton);
    QTest::qWait(200);
    EXPECT_EQ(server.targets.size(), 1) << "one send per opening";
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
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Failed."));

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    frmSuggest::setHost(QStringLiteral("127.0.0.1:%1").arg(port));
    form = std::make_unique<frmSuggest>();
    fill(QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("hi"));
    ASSERT_TRUE(send());
    EXPECT_EQ(form->lblSending->text(), QStringLiteral("Failed."));
}

TEST_F(FeedbackForm, BoxesRefuseTextBeyondTheirLimits)
{
    QTest::keyClicks(form->txtName, QString(60, QLatin1Char('n')));
    QTest::keyClicks(form->txtEMail, QString(110, QLatin1Char('e')));
    QTest::keyClicks(form->txtComment, QString(300, QLatin1Char('c')));
    EXPECT_EQ(form->txtName->text().size(), 50);
    EXPECT_EQ(form->txtEMail->text().size(), 100);
    EXPECT_EQ(form->txtComment->text().size(), 256);
    EXPECT_EQ(form->size(), QSize(330, 180));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("FeedBack"));
}

TEST_F(FeedbackForm, BackAndCloseButtonsCloseTheForm)
{
    QTest::mouseClick(form->imgBack, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    form->show();
    QTest::mouseClick(form->imgExit, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
