#include "ui/HotArea.h"

#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QPixmap filled(Qt::GlobalColor colour)
{
    QPixmap p(8, 8);
    p.fill(colour);
    return p;
}

// A button whose command changed under the click (Convert became Stop, Stop became Convert) shows its
// new face at once, not the old one until the pointer moves.
TEST(HotArea, NewLooksReplaceTheOldFaceAtOnceAndLeaveALookOfItsOwnAlone)
{
    HotArea area;
    area.resize(8, 8);
    const QPixmap stopLit = filled(Qt::red);
    const QPixmap stopPressed = filled(Qt::darkRed);
    const QPixmap stopResting = filled(Qt::magenta);
    area.setLooks(stopLit, stopPressed);
    area.setRestingLook(stopResting);
    QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_EQ(area.look().cacheKey(), stopPressed.cacheKey());
    // The click stops the batch; the window gives the button the Convert looks.
    const QPixmap convertLit = filled(Qt::green);
    area.setLooks(convertLit, QPixmap());
    area.setRestingLook(QPixmap());
    QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_NE(area.look().cacheKey(), stopPressed.cacheKey());
    EXPECT_NE(area.look().cacheKey(), stopResting.cacheKey());
    EXPECT_TRUE(area.look().isNull() || area.look().cacheKey() == convertLit.cacheKey());

    // The same looks again change nothing: a pressed face stays while the button is held.
    area.setLooks(convertLit, filled(Qt::blue));
    area.showLit();
    const QPixmap held = filled(Qt::yellow);
    area.setLooks(convertLit, held);
    QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(4, 4));
    area.setLooks(convertLit, held);
    EXPECT_EQ(area.look().cacheKey(), held.cacheKey());
    QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(4, 4));
}

} // namespace
