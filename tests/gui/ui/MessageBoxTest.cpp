// The real message box with a long failure list: it fits on the screen, and its details hold the list.
#include "convert/BatchOutcome.h"
#include "ui/QtMsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

TEST(FailureMessageBox, TwoHundredFailuresFitOnTheScreenAndTheDetailsScrollThroughAllOfThem)
{
    BatchOutcome outcome;
    for (int i = 0; i < 200; ++i)
        outcome.fail(QStringLiteral("/home/someone/Music/A rather long album name/%1 - a song title.wav").arg(i),
                     QStringLiteral("Invalid data found when processing input"));
    const auto box = QtMsgBox::build(
        {outcome.failureMessage(), QStringLiteral("T"), MsgBox::Icon::Warning, outcome.failureDetails()}, nullptr);
    box->show();
    QApplication::processEvents();
    const QRect screen = box->screen()->availableGeometry();
    EXPECT_LE(box->frameGeometry().height(), screen.height()) << "closed";
    EXPECT_LE(box->frameGeometry().width(), screen.width());

    QAbstractButton* details = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        if (box->buttonRole(b) == QMessageBox::ActionRole)
            details = b;
    }
    ASSERT_NE(details, nullptr) << "a details button";
    details->click();
    QApplication::processEvents();
    EXPECT_LE(box->frameGeometry().height(), screen.height()) << "open";
    const auto* list = box->findChild<QTextEdit*>();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(list->isReadOnly());
    EXPECT_TRUE(list->textInteractionFlags() & Qt::TextSelectableByMouse) << "can be copied";
    EXPECT_EQ(list->toPlainText().count(QStringLiteral("a song title.wav")), 200);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0) << "it scrolls";
    box->close();
}

} // namespace
