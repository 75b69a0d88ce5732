// The whole list's progress with several files at once: the files not started yet weigh in, so the bar
// says how much of the batch is done, not how far the files started so far have come. One file at a time
// shows that file's own progress.
#include "DriverBatch.h"
#include "TestSupport.h"
#include "convert/ProgressParser.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

TEST(BatchProgress, SixOfTwentyDoneShowAboutThirtyPercentAtSeveralAtOnceAndTheRunningFileAtOne)
{
    for (const int atOnce : {1, 2, 3}) {
        ProgramFolder program;
        QTemporaryDir dir;
        const QString go = dir.filePath(QStringLiteral("go"));
        // Every file says it is 10 s long and half done; the six "done-" files then end, the others are
        // held there until the test lets them go.
        ScopedEnv ops("FAKE_TOOL_OPS", "out:  Duration: 00:00:10.00, start\\n;out:size= 1kB time=00:00:05.00 "
                                       "bitrate\\r;touchif:/done-;endif:/done-;waitfor:" +
                                           go.toUtf8() + ";touch");
        QList<QString> inputs;
        for (int i = 1; i <= 20; ++i) {
            inputs.append(
                dir.filePath(QStringLiteral("%1-%2.wav").arg(i <= 6 ? "done" : "later").arg(i, 2, 10, QChar('0'))));
            QFile in(inputs.last());
            ASSERT_TRUE(in.open(QIODevice::WriteOnly));
            in.write(QByteArray(4000, 'x')); // one size for all: each file is a twentieth of the work
        }
        DriverBatch batch(program.path(), dir.filePath(QStringLiteral("out")), atOnce);
        double shown = -1;
        double most = -1;
        QObject::connect(
            &batch.driver, &BatchDriver::progressChanged, &batch.driver, [&](int width, const QString& caption) {
                shown = caption.chopped(1).toDouble();
                most = std::max(most, shown);
                EXPECT_NEAR(width * 100.0 / ProgressParser::kBarFullWidth, shown, 1.0) << caption.toStdString();
            });
        QSet<QString> held;
        QObject::connect(&batch.driver, &BatchDriver::fileProgress, &batch.driver,
                         [&](const QString& input, int percent) {
                             if (input.contains(QStringLiteral("/later-")) && percent > 0)
                                 held.insert(input);
                         });
        QSignalSpy end(&batch.driver, &BatchDriver::batchEnded);
        batch.queue.appendMany(inputs);
        ASSERT_TRUE(batch.driver.Start(batch.setup));
        ASSERT_TRUE(QTest::qWaitFor([&] { return held.size() == atOnce; }, 60000)) << atOnce;
        // Six whole files and the held ones half: 35 % at two at once, 37.5 % at three; one at a time
        // shows the held file's own half.
        const double expected = atOnce == 1 ? 50 : (6 + 0.5 * atOnce) * 100 / 20;
        EXPECT_NEAR(shown, expected, 1.0) << atOnce;
        EXPECT_LE(most, expected + 1.0) << atOnce << ": never ahead of the work done";
        EXPECT_EQ(batch.count(BatchDriver::FileEnd::Converted), 6) << atOnce;
        release(go);
        ASSERT_TRUE(end.wait(60000)) << atOnce;
        EXPECT_EQ(batch.driver.outcome().converted(), 20) << atOnce;
        if (atOnce > 1) {
            EXPECT_EQ(shown, 100) << atOnce << ": the whole list done";
        }
    }
}

} // namespace
